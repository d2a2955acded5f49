#pragma once
#include "classroom/corrige.h"
#include "classroom/page_quiz.h"

#include <QDate>

// Exam sheets: K versions of the same questions, each shuffled its own way, and their
// answer keys. What goes on the pages is decided here, window-free; the pages themselves
// are drawn by sujets_pdf (Qt Gui).
namespace classe {

inline constexpr int VersionsMax = 26;
inline constexpr int ChiffresEleveMax = 10;

struct OptionsSujets {
    QString titre;     // empty: the bank's name without its extension
    QString date;      // empty: today's date, in French
    int versions = 1;  // 1 to VersionsMax
    // Each version's boxes on an answer sheet of their own, read by a machine, instead of the
    // grid at the end of its questions; its key is written beside the PDF.
    bool feuilleReponses = false;
    int chiffresEleve = 0;  // the answer sheet's student number: 0 = none, or 1 to ChiffresEleveMax digits
};

// "6 décembre 2025", "1er mars 2026".
QString dateEnFrancais(const QDate &date);

// Everything the pages show.
struct Sujets {
    Tirage tirage;
    QString titre, date;
    QList<QList<Question>> versions;
    QString dossierMedias;
    QString banque;  // its absolute path
    quint64 graine = 0;
    bool feuilleReponses = false;
    int chiffresEleve = 0;
    QString examen;  // names the exam on its answer sheets
};

// Draws the cards and shuffles the versions. The versions are made only when cards remain.
Sujets preparerSujets(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsSujets &options);

// The answer key of one version: the good answer's letter for each question, in order.
QString corrige(const QList<Question> &version);

// Ten hexadecimal digits from the title, the date, the seed, the versions and the cards drawn:
// the same exam made again keeps its name, another exam gets another.
QString identifiantExamen(const Sujets &sujets);

// The key of the answer sheets, all but where their boxes sit (the pages are the drawing's).
Corrige corrigeDesSujets(const Sujets &sujets);

// The exam as a PDF file, replaced whole once complete; no card to ask fails with
// texteAucuneFiche() and writes nothing. Drawing pages needs Qt Gui: programs that link it
// set this (see sujets_pdf.h); where only Qt Core is linked it stays null.
using EcrireSujets = ResultatSortie (*)(const echanges::CheminsBanque &banque, const Choix &choix,
                                        const OptionsSujets &options, const QString &fichier,
                                        const Progression &progression);
extern EcrireSujets ecrireSujetsPdf;

} // namespace classe
