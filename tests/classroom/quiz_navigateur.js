// Takes a quiz page in a real browser as a student would, and tells what the page showed.
// Usage: node quiz_navigateur.js CHROMIUM PAGE ANSWERS.json [SHUFFLED_PAGE FOLDER]
// ANSWERS.json: [{"q": question text, "bonne": good answer text}, ...]
// With a shuffled page, its answers are saved by its button into FOLDER.
// Prints one JSON object; the checks are made by the test that runs this script.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');
const { chromium } = require('playwright-core');

const [navigateur, page1, fichierAttentes, pageMelangee, dossierSortie] = process.argv.slice(2);
const attentes = JSON.parse(fs.readFileSync(fichierAttentes, 'utf8'));
const bonneDe = (q) => {
  const a = attentes.find((x) => x.q === q);
  if (!a) throw new Error('question inconnue : ' + q);
  return a.bonne;
};

async function ouvrir(contexte, fichier, obs) {
  const page = await contexte.newPage();
  page.setDefaultTimeout(10000);
  page.on('pageerror', (e) => obs.erreurs.push(String(e.message)));
  page.on('console', (m) => { if (m.type() === 'error') obs.erreurs.push(m.text()); });
  await page.goto(pathToFileURL(fichier).href, { waitUntil: 'load' });
  await page.waitForSelector('#enonce');
  return page;
}

const texte = (page, sel) => page.$eval(sel, (e) => e.textContent);

// Answers the question on screen, right or with a wrong answer, by the way given.
async function repondre(page, juste, maniere) {
  const q = await texte(page, '#enonce');
  const bonne = bonneDe(q);
  const reponses = await page.$$eval('#reponses button .texte', (l) => l.map((e) => e.textContent));
  let i = reponses.indexOf(bonne);
  if (!juste) i = (i + 1) % reponses.length;
  if (maniere === 'chiffre') await page.keyboard.press(String(i + 1));
  else if (maniere === 'lettre') await page.keyboard.press('abc'[i]);
  else await page.click(`#reponses button[data-index="${i}"]`);
  await page.waitForSelector('#suivante:not([hidden])');
  return { q, reponses };
}

async function suivante(page, maniere) {
  if (maniere === 'entree') {
    // The focus is on "Question suivante" once answered: Enter goes on.
    const focus = await page.evaluate(() => document.activeElement && document.activeElement.id);
    if (focus !== 'suivante') throw new Error('le focus est sur ' + focus);
    await page.keyboard.press('Enter');
  } else {
    await page.click('#suivante');
  }
}

async function toutJuste(page, obs) {
  const n = attentes.length;
  const manieres = ['clic', 'chiffre', 'lettre'];
  obs.compteurs = [];
  obs.ordre = [];
  obs.boutons = {};
  for (let k = 0; k < n; ++k) {
    obs.compteurs.push(await texte(page, '#compteur'));
    const { q, reponses } = await repondre(page, true, manieres[k % 3]);
    obs.ordre.push(q);
    obs.boutons[q] = reponses;
    obs.retours = obs.retours || [];
    obs.retours.push(await texte(page, '#retour'));
    if (await page.$('#media img')) {
      const img = await page.waitForFunction(() => {
        const i = document.querySelector('#media img');
        return i && i.complete && i.naturalWidth > 0 && i.style.width ? i : null;
      });
      obs.image = await img.evaluate((i) => ({ naturalWidth: i.naturalWidth, largeur: i.getBoundingClientRect().width,
                                              src: i.src.slice(0, 23) }));
    }
    const absent = await page.$('#media .absent');
    if (absent) obs.absent = await absent.textContent();
    await suivante(page, k % 2 ? 'entree' : 'clic');
  }
  await page.waitForSelector('#score');
  obs.score = await texte(page, '#score');
  obs.manquees = await page.$$eval('#manquees li', (l) => l.length);
  obs.pirate = await page.evaluate(() => typeof window.pirate);
  obs.imagesInjectees = await page.$$eval('#app img', (l) => l.length);
}

(async () => {
  const profil = fs.mkdtempSync(path.join(os.tmpdir(), 'quiz-profil-'));
  const contexte = await chromium.launchPersistentContext(profil, {
    executablePath: navigateur,
    headless: true,
    acceptDownloads: true,
    args: ['--no-sandbox', '--disable-gpu'],
    viewport: { width: 900, height: 900 },
  });
  const obs = { erreurs: [], externes: [] };
  // Every request goes through here: only the page's own file and its data: URIs may load.
  await contexte.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('file:') || url.startsWith('data:')) return route.continue();
    obs.externes.push(url);
    return route.abort();
  });
  try {
    await parcours(contexte, obs);
  } catch (e) {
    obs.echec = String(e && e.stack ? e.stack : e);
  } finally {
    await contexte.close();
    fs.rmSync(profil, { recursive: true, force: true });
  }
  process.stdout.write(JSON.stringify(obs) + '\n');
})();

async function parcours(contexte, obs) {
  // Every answer right, through the mouse and the keyboard.
  const p = await ouvrir(contexte, page1, obs);
  obs.titre = await p.title();
  obs.premierFocus = await p.evaluate(() => document.activeElement && document.activeElement.id);
  // Nothing to go on with before an answer is given.
  obs.suivanteAvant = await p.isVisible('#suivante');
  obs.juste = {};
  await toutJuste(p, obs.juste);
  await p.click('#recommencer');
  obs.apresRecommencer = { compteur: await texte(p, '#compteur'), enonce: await texte(p, '#enonce') };
  await p.close();

  // One wrong answer, on the first question.
  const f = await ouvrir(contexte, page1, obs);
  obs.faute = {};
  const { q, reponses } = await repondre(f, false, 'clic');
  obs.faute.question = q;
  obs.faute.retour = await texte(f, '#retour');
  obs.faute.commentaire = await f.$eval('#commentaire', (e) => (e.hidden ? null : e.textContent));
  obs.faute.figes = await f.$$eval('#reponses button', (l) => l.every((b) => b.getAttribute('aria-disabled') === 'true'));
  obs.faute.reponses = reponses;
  obs.faute.etiquettes = await f.$$eval('#reponses button', (l) => l.map((b) => b.getAttribute('aria-label')));
  // A key pressed once answered changes nothing.
  await f.keyboard.press('1');
  obs.faute.retourApresTouche = await texte(f, '#retour');
  await suivante(f, 'clic');
  for (let k = 1; k < attentes.length; ++k) {
    await repondre(f, true, 'clic');
    await suivante(f, 'clic');
  }
  await f.waitForSelector('#score');
  obs.faute.score = await texte(f, '#score');
  obs.faute.manquees = await f.$$eval('#manquees li', (l) => l.map((li) => Array.from(li.children).map((e) => e.textContent)));
  await f.close();
  if (pageMelangee) await enregistrer(contexte, obs);
}

// The shuffled page taken with the first answer wrong, then saved under a name.
async function enregistrer(contexte, obs) {
  const m = await ouvrir(contexte, pageMelangee, obs);
  const e = (obs.enregistrement = {});
  for (let k = 0; k < attentes.length; ++k) {
    const { q, reponses } = await repondre(m, k > 0, 'clic');
    if (k === 0) e.faute = { q, reponse: await texte(m, '#reponses .faux .texte'), reponses };
    await suivante(m, 'clic');
  }
  await m.click('#enregistrer');
  e.sansNom = await texte(m, '#message-enregistrer');
  await m.fill('#nom', 'Élève n°1');
  const [telechargement] = await Promise.all([m.waitForEvent('download'), m.click('#enregistrer')]);
  e.fichier = telechargement.suggestedFilename();
  await telechargement.saveAs(path.join(dossierSortie, e.fichier));
  e.message = await texte(m, '#message-enregistrer');
  await m.close();
}
