#pragma once
#include "classroom/page_quiz.h"

#include <QDate>

// Exam sheets: K versions of the same questions, each shuffled its own way, and their
// answer keys. What goes on the pages is decided here, window-free; the pages themselves
// are drawn by sujets_pdf (Qt Gui).
namespace classe {

inline constexpr int VersionsMax = 26;

struct OptionsSujets {
    QString titre;     // empty: the bank's name without its extension
    QString date;      // empty: today's date, in French
    int versions = 1;  // 1 to VersionsMax
};

// "6 décembre 2025", "1er mars 2026".
QString dateEnFrancais(const QDate &date);

// Everything the pages show.
struct Sujets {
    Tirage tirage;
    QString titre, date;
    QList<QList<Question>> versions;
    QString dossierMedias;
};

// Draws the cards and shuffles the versions. The versions are made only when cards remain.
Sujets preparerSujets(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsSujets &options);

// The answer key of one version: the good answer's letter for each question, in order.
QString corrige(const QList<Question> &version);

// The exam as a PDF file, replaced whole once complete; no card to ask fails with
// texteAucuneFiche() and writes nothing. Drawing pages needs Qt Gui: programs that link it
// set this (see sujets_pdf.h); where only Qt Core is linked it stays null.
using EcrireSujets = ResultatSortie (*)(const echanges::CheminsBanque &banque, const Choix &choix,
                                        const OptionsSujets &options, const QString &fichier,
                                        const Progression &progression);
extern EcrireSujets ecrireSujetsPdf;

} // namespace classe
