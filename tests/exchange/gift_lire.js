// Reads a GIFT file with an independent parser and prints what it found as JSON, one entry
// per category or question: the Qt test compares it with the bank the file was written from.
'use strict';
const fs = require('fs');
const gift = require('gift-pegjs');

let trouve;
try {
  trouve = gift.parse(fs.readFileSync(process.argv[2], 'utf8'));
} catch (e) {
  console.log(JSON.stringify({erreur: e.message, ligne: e.location ? e.location.start.line : null}));
  process.exit(1);
}
console.log(JSON.stringify(trouve.map((q) => q.type === 'Category'
  ? {categorie: q.title}
  : {
      type: q.type,
      titre: q.title,
      question: q.stem ? q.stem.text : null,
      reponses: (q.choices || []).map((c) => c.text.text),
      justes: (q.choices || []).map((c) => c.isCorrect),
      commentaire: q.globalFeedback ? q.globalFeedback.text : null,
    })));
