#pragma once
#include "classroom/tirage.h"

#include <QByteArray>

// The quiz page students take in a browser: one HTML file that holds its style, its script,
// its pictures and its sounds, and asks nothing of any network.
namespace classe {

struct OptionsQuiz {
    QString titre;          // empty: the bank's name without its extension
    bool melanger = false;  // questions and answers shuffled, and shuffled again at each new start
};

// The page for these questions, in their order; the media are read from `dossierMedias`.
// A media file that cannot be put in the page is named in its place and in `remarques`.
QByteArray pageQuiz(const QList<Question> &questions, const QString &dossierMedias, const QString &titre,
                    bool melanger, quint64 graine, QStringList *remarques = nullptr);

// A text as HTML character data.
QString echapperHtml(const QString &texte);

struct ResultatSortie {
    Resultat resultat;      // failed: nothing was written (an older file of that name stays as it was)
    int questions = 0;
    int pages = 0;          // PDF only
    bool annule = false;    // stopped through the progression
    QStringList remarques;  // cards left out, media missing
    QString corrige;        // the exam's answer sheet key, when one was written
};

// Draws the cards and writes the page into `fichier`, replaced whole once complete.
// No card to ask: fails with texteAucuneFiche() and writes nothing.
ResultatSortie ecrireQuiz(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsQuiz &options,
                          const QString &fichier, const Progression &progression = {});

// The message when a file cannot be written, the reason in words for the user.
QString texteEcritureImpossible(const QString &fichier, const QString &raison);

// The title when none is given: the bank's file name without its extension.
QString titreParDefaut(const echanges::CheminsBanque &banque);

} // namespace classe
