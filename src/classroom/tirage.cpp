#include "classroom/tirage.h"

#include "exchange/formats.h"

#include <QRandomGenerator>
#include <algorithm>
#include <numeric>

namespace classe {

quint64 Hasard::suivant()
{
    quint64 z = (m_etat += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

quint64 Hasard::entre(quint64 n)
{
    // The numbers below 2^64 mod n would come up once more than the others: drawn again.
    const quint64 reste = (0 - n) % n;
    quint64 x = suivant();
    while (x < reste)
        x = suivant();
    return x % n;
}

quint64 deriver(quint64 graine, quint64 usage)
{
    Hasard h(graine ^ (usage * 0xD1B54A32D192ED03ull));
    return h.suivant();
}

quint64 graineAuHasard() { return QRandomGenerator::global()->bounded(1, 1000000); }

QString texteAucuneFiche()
{
    return QStringLiteral("Aucune fiche ne correspond à la sélection : aucun fichier n'a été écrit.");
}

Tirage tirer(const echanges::CheminsBanque &banque, const Choix &choix)
{
    Tirage t;
    echanges::SourceBanque source;
    if (t.resultat = source.ouvrir(banque); !t.resultat)
        return t;
    Selecteur selecteur(choix.selection);
    QList<Question> candidates;
    for (int n = 1; n <= source.nombre(); ++n) {
        // The selector sees every card, so that a range between marks stays a range when
        // the themes leave out some of its cards.
        const FicheQuestion f = source.fiche(n);
        if (!selecteur.prendre(f.Marque))
            continue;
        if (!choix.themes.isEmpty() && !choix.themes.contains(int(f.NumTheme)))
            continue;
        const echanges::Carte c = source.carte(n);
        const QString lieu = QStringLiteral("fiche %1 : ").arg(n);
        if (c.question.isEmpty()) {
            t.remarques << lieu + QStringLiteral("la question est vide, fiche laissée de côté");
            continue;
        }
        if (c.bonne == 0) {
            t.remarques << lieu + QStringLiteral("aucune bonne réponse n'est cochée, fiche laissée de côté");
            continue;
        }
        if (c.reponses[size_t(c.bonne - 1)].isEmpty()) {
            t.remarques << lieu + QStringLiteral("la bonne réponse est vide, fiche laissée de côté");
            continue;
        }
        Question q;
        q.fiche = n;
        q.texte = c.question;
        for (int k = 0; k < 3; ++k) {
            const QString &r = c.reponses[size_t(k)];
            if (r.isEmpty())
                continue;
            if (k == c.bonne - 1)
                q.bonne = int(q.reponses.size());
            q.reponses << r;
            q.origines << k + 1;
        }
        q.commentaire = c.commentaire;
        q.theme = c.categorie;
        q.media = c.media;
        q.codeMedia = c.codeMedia;
        candidates << std::move(q);
    }
    t.prises = int(candidates.size());
    if (choix.nombre > 0 && choix.nombre < candidates.size()) {
        QList<int> indices(candidates.size());
        std::iota(indices.begin(), indices.end(), 0);
        Hasard h(deriver(choix.graine, 1));
        h.melanger(indices);
        indices.resize(choix.nombre);
        std::sort(indices.begin(), indices.end());
        for (int i : indices)
            t.questions << candidates[i];
    } else {
        t.questions = std::move(candidates);
    }
    return t;
}

Question melangerReponses(Question q, Hasard &hasard)
{
    QList<int> ordre(q.reponses.size());
    std::iota(ordre.begin(), ordre.end(), 0);
    hasard.melanger(ordre);
    QStringList reponses;
    QList<int> origines;
    const int bonne = q.bonne;
    for (qsizetype i = 0; i < ordre.size(); ++i) {
        if (ordre[i] == bonne)
            q.bonne = int(i);
        reponses << q.reponses[ordre[i]];
        if (ordre[i] < q.origines.size())
            origines << q.origines[ordre[i]];
    }
    q.reponses = std::move(reponses);
    q.origines = std::move(origines);
    return q;
}

QList<Question> melanger(QList<Question> questions, quint64 graine)
{
    Hasard h(graine);
    h.melanger(questions);
    for (Question &q : questions)
        q = melangerReponses(std::move(q), h);
    return questions;
}

QList<QList<Question>> versions(const QList<Question> &questions, int nombre, quint64 graine)
{
    bool variable = questions.size() > 1;
    for (const Question &q : questions)
        variable = variable || q.reponses.size() > 1;
    QList<QList<Question>> liste;
    for (int v = 1; v <= nombre; ++v) {
        quint64 g = deriver(graine, quint64(100 + v));
        QList<Question> version = melanger(questions, g);
        // A few more draws for a version equal to an earlier one; with two questions of one
        // answer each only two orders exist, so the draws stop after a while all the same.
        for (int essai = 0; variable && essai < 64 && liste.contains(version); ++essai) {
            g = deriver(g, 1);
            version = melanger(questions, g);
        }
        liste << std::move(version);
    }
    return liste;
}

} // namespace classe
