(function () {
  'use strict';

  // Every text comes from the data block and goes into the page as text (textContent),
  // never as markup: a question that holds tags shows them and runs nothing.
  var donnees = JSON.parse(document.getElementById('donnees').textContent);
  var medias = donnees.medias || [];
  var app = document.getElementById('app');
  var LETTRES = ['A', 'B', 'C', 'D', 'E', 'F'];

  function element(nom, classe, texte) {
    var e = document.createElement(nom);
    if (classe) e.className = classe;
    if (texte !== undefined && texte !== null) e.textContent = texte;
    return e;
  }

  // The same seed gives the same orders again (for the rounds after the first, which the
  // page arrives with already shuffled).
  function hasard(graine) {
    var x = ((graine >>> 0) ^ 0x9e3779b9) >>> 0;
    if (x === 0) x = 1;
    function suivant() {
      x ^= x << 13; x >>>= 0;
      x ^= x >>> 17;
      x ^= x << 5; x >>>= 0;
      return x;
    }
    return {
      entre: function (n) {
        var limite = 4294967296 - (4294967296 % n);
        var v = suivant();
        while (v >= limite) v = suivant();
        return v % n;
      }
    };
  }

  function melanger(liste, h) {
    for (var i = liste.length - 1; i > 0; --i) {
      var j = h.entre(i + 1);
      var t = liste[i]; liste[i] = liste[j]; liste[j] = t;
    }
    return liste;
  }

  function copier(q) {
    return { f: q.f, q: q.q, r: q.r.slice(), o: (q.o || []).slice(), b: q.b, c: q.c, t: q.t, m: q.m };
  }

  function ordreMelange(tour) {
    var h = hasard((donnees.graine + Math.imul(tour, 0x9e3779b9)) >>> 0);
    var liste = melanger(donnees.questions.map(copier), h);
    liste.forEach(function (q) {
      var indices = melanger(q.r.map(function (_, i) { return i; }), h);
      q.r = indices.map(function (i) { return q.r[i]; });
      q.o = indices.map(function (i) { return q.o[i]; });
      q.b = indices.indexOf(q.b);
    });
    return liste;
  }

  var etat = { tour: 0, ordre: [], index: 0, score: 0, manquees: [], repondu: false, reponses: {} };

  // The page's parts that stay from one question to the next, so that the live region
  // announces each feedback.
  var ecranQuestion = element('section', 'carte');
  ecranQuestion.setAttribute('aria-labelledby', 'enonce');
  var compteur = element('p', 'compteur');
  compteur.id = 'compteur';
  var barre = element('div', 'barre');
  barre.setAttribute('aria-hidden', 'true');
  var barrePleine = element('div', 'barre-pleine');
  barre.appendChild(barrePleine);
  var theme = element('p', 'theme');
  theme.id = 'theme';
  var enonce = element('h2', 'enonce');
  enonce.id = 'enonce';
  enonce.tabIndex = -1;
  var zoneMedia = element('div', 'media');
  zoneMedia.id = 'media';
  var reponses = element('div', 'reponses');
  reponses.id = 'reponses';
  reponses.setAttribute('role', 'group');
  reponses.setAttribute('aria-labelledby', 'enonce');
  var aide = element('p', 'aide', 'Touches 1, 2, 3 ou A, B, C pour répondre.');
  aide.id = 'aide';
  var retour = element('p', 'retour');
  retour.id = 'retour';
  retour.setAttribute('role', 'status');
  retour.setAttribute('aria-live', 'polite');
  var commentaire = element('p', 'commentaire');
  commentaire.id = 'commentaire';
  commentaire.hidden = true;
  var suivante = element('button', 'suivante', 'Question suivante');
  suivante.id = 'suivante';
  suivante.type = 'button';
  suivante.hidden = true;
  [compteur, barre, theme, enonce, zoneMedia, reponses, aide, retour, commentaire, suivante].forEach(function (e) {
    ecranQuestion.appendChild(e);
  });

  var ecranFin = element('section', 'fin');
  ecranFin.id = 'fin';

  function montrerMedia(m) {
    zoneMedia.textContent = '';
    zoneMedia.hidden = !m;
    if (!m) return;
    if (m.k === 'image') {
      var img = element('img', 'image');
      img.alt = 'Image de la question';
      img.addEventListener('load', function () {
        // The size the card asks for; a narrow screen still gets it whole (max-width).
        img.style.width = Math.round(img.naturalWidth * m.x) + 'px';
      });
      img.src = medias[m.i];
      zoneMedia.appendChild(img);
    } else if (m.k === 'son') {
      var son = element('audio', 'son');
      son.controls = true;
      son.preload = 'auto';
      son.src = medias[m.i];
      son.setAttribute('aria-label', 'Son de la question');
      zoneMedia.appendChild(son);
    } else {
      zoneMedia.appendChild(element('p', 'absent', m.texte));
    }
  }

  function montrerQuestion() {
    var q = etat.ordre[etat.index];
    var n = etat.ordre.length;
    etat.repondu = false;
    compteur.textContent = 'Question ' + (etat.index + 1) + ' / ' + n;
    barrePleine.style.width = (100 * etat.index / n) + '%';
    theme.textContent = q.t || '';
    theme.hidden = !q.t;
    enonce.textContent = q.q;
    montrerMedia(q.m);
    reponses.textContent = '';
    q.r.forEach(function (texte, i) {
      var b = element('button', 'reponse');
      b.type = 'button';
      b.dataset.index = String(i);
      var l = element('span', 'lettre', LETTRES[i]);
      l.setAttribute('aria-hidden', 'true');
      b.appendChild(l);
      b.appendChild(element('span', 'texte', texte));
      b.setAttribute('aria-label', LETTRES[i] + ' : ' + texte);
      b.addEventListener('click', function () { repondre(i); });
      reponses.appendChild(b);
    });
    aide.textContent = 'Touches 1 à ' + q.r.length + ' ou A à ' + LETTRES[q.r.length - 1] + ' pour répondre.';
    retour.textContent = '';
    retour.className = 'retour';
    commentaire.textContent = '';
    commentaire.hidden = true;
    suivante.hidden = true;
    if (app.firstChild !== ecranQuestion) {
      app.textContent = '';
      app.appendChild(ecranQuestion);
    }
    enonce.focus();
  }

  function repondre(choix) {
    if (etat.repondu) return;
    var q = etat.ordre[etat.index];
    if (choix < 0 || choix >= q.r.length) return;
    etat.repondu = true;
    // Kept by the card's own answer numbers, whatever order the page showed them in.
    etat.reponses[q.f] = q.o[choix] || choix + 1;
    var juste = choix === q.b;
    if (juste) etat.score++;
    else etat.manquees.push({ q: q, choix: choix });
    Array.prototype.forEach.call(reponses.children, function (b, i) {
      b.setAttribute('aria-disabled', 'true');
      b.classList.add('fige');
      // The label read aloud says it too: it stands for the button's whole content.
      if (i === q.b) {
        b.classList.add('juste');
        b.appendChild(element('span', 'marque', '✓ Bonne réponse'));
        b.setAttribute('aria-label', b.getAttribute('aria-label') + ', bonne réponse');
      } else if (i === choix) {
        b.classList.add('faux');
        b.appendChild(element('span', 'marque', '✗ Votre réponse'));
        b.setAttribute('aria-label', b.getAttribute('aria-label') + ', votre réponse');
      }
    });
    retour.className = 'retour ' + (juste ? 'bravo' : 'rate');
    retour.textContent = juste
      ? 'Bonne réponse !'
      : 'Mauvaise réponse. La bonne réponse était ' + LETTRES[q.b] + ' : ' + q.r[q.b];
    if (q.c) {
      commentaire.textContent = 'Commentaire : ' + q.c;
      commentaire.hidden = false;
    }
    var derniere = etat.index === etat.ordre.length - 1;
    suivante.textContent = derniere ? 'Voir le résultat' : 'Question suivante';
    suivante.hidden = false;
    suivante.focus();
  }

  function montrerFin() {
    var n = etat.ordre.length;
    ecranFin.textContent = '';
    var titre = element('h2', null, 'Résultat');
    titre.tabIndex = -1;
    ecranFin.appendChild(titre);
    var score = element('p', 'score', 'Score : ' + etat.score + ' / ' + n);
    score.id = 'score';
    ecranFin.appendChild(score);
    if (etat.manquees.length === 0) {
      ecranFin.appendChild(element('p', 'bravo', 'Aucune erreur, bravo !'));
    } else {
      ecranFin.appendChild(element('h3', null, 'Questions manquées'));
      var liste = element('ol', 'manquees');
      liste.id = 'manquees';
      etat.manquees.forEach(function (m) {
        var li = element('li');
        li.appendChild(element('p', 'q', m.q.q));
        li.appendChild(element('p', 'choix', 'Votre réponse : ' + m.q.r[m.choix]));
        li.appendChild(element('p', 'bonne', 'Bonne réponse : ' + m.q.r[m.q.b]));
        if (m.q.c) li.appendChild(element('p', 'commentaire', m.q.c));
        liste.appendChild(li);
      });
      ecranFin.appendChild(liste);
    }
    ecranFin.appendChild(formulaireEnregistrer());
    var encore = element('button', 'suivante', 'Recommencer');
    encore.id = 'recommencer';
    encore.type = 'button';
    encore.addEventListener('click', commencer);
    ecranFin.appendChild(encore);
    app.textContent = '';
    app.appendChild(ecranFin);
    barrePleine.style.width = '100%';
    titre.focus();
  }

  // The answers saved as a file the student hands to the teacher: made inside the page and
  // downloaded, never sent anywhere.
  function formulaireEnregistrer() {
    var zone = element('div', 'enregistrer');
    var etiquette = element('label', null, 'Votre nom : ');
    etiquette.htmlFor = 'nom';
    var nom = element('input', 'nom');
    nom.id = 'nom';
    nom.type = 'text';
    nom.autocomplete = 'name';
    nom.maxLength = 80;
    var bouton = element('button', 'suivante', 'Enregistrer mes réponses');
    bouton.id = 'enregistrer';
    bouton.type = 'button';
    var message = element('p', 'message-enregistrer');
    message.id = 'message-enregistrer';
    message.setAttribute('role', 'status');
    bouton.addEventListener('click', function () {
      var qui = nom.value.trim();
      if (!qui) {
        message.textContent = 'Écrivez votre nom avant d’enregistrer vos réponses.';
        nom.focus();
        return;
      }
      var reponses = {};
      donnees.questions.forEach(function (q) {
        reponses[q.f] = Object.prototype.hasOwnProperty.call(etat.reponses, q.f) ? etat.reponses[q.f] : null;
      });
      var contenu = JSON.stringify({ quiz: donnees.id, titre: donnees.titre, nom: qui, reponses: reponses,
                                     date: new Date().toISOString() }, null, 1);
      var fichier = qui.replace(/[^0-9A-Za-zÀ-ÖØ-öø-ÿ_-]+/g, '_').replace(/^_+|_+$/g, '') || 'eleve';
      var lien = document.createElement('a');
      lien.href = URL.createObjectURL(new Blob([contenu + '\n'], { type: 'application/json' }));
      lien.download = fichier + '-quiz.json';
      document.body.appendChild(lien);
      lien.click();
      document.body.removeChild(lien);
      setTimeout(function () { URL.revokeObjectURL(lien.href); }, 60000);
      message.textContent = 'Réponses enregistrées dans le fichier ' + lien.download + ' : donnez-le à votre enseignant.';
    });
    zone.appendChild(etiquette);
    zone.appendChild(nom);
    zone.appendChild(bouton);
    zone.appendChild(message);
    return zone;
  }

  function commencer() {
    etat.ordre = etat.tour > 0 && donnees.melanger ? ordreMelange(etat.tour) : donnees.questions.map(copier);
    etat.tour++;
    etat.index = 0;
    etat.score = 0;
    etat.manquees = [];
    etat.reponses = {};
    montrerQuestion();
  }

  suivante.addEventListener('click', function () {
    if (!etat.repondu) return;
    if (etat.index + 1 < etat.ordre.length) {
      etat.index++;
      montrerQuestion();
    } else {
      montrerFin();
    }
  });

  document.addEventListener('keydown', function (e) {
    if (etat.repondu || app.firstChild !== ecranQuestion || e.ctrlKey || e.altKey || e.metaKey) return;
    var k = e.key.length === 1 ? e.key.toUpperCase() : '';
    var i = '123456'.indexOf(k);
    if (i < 0) i = LETTRES.indexOf(k);
    if (i >= 0 && i < etat.ordre[etat.index].r.length) {
      e.preventDefault();
      repondre(i);
    }
  });

  if (donnees.questions.length > 0) commencer();
})();
