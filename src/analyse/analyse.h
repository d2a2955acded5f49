#pragma once
#include "classroom/corrige.h"
#include "store/resultat.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// Which questions of an exam or a quiz worked: how many got each right, whether the good
// students got it more often than the others, which answers were chosen, and the figures of
// the whole test. Window-free: the window and qzf stats make the same figures.
namespace analyse {

// What a copy chose for one card: that answer of the card (1 to 3), none, or several boxes
// or a doubtful mark.
inline constexpr qint8 Aucune = 0;
inline constexpr qint8 Plusieurs = -1;

struct Copie {
    QString nom;           // the name, the student number or "copie N": what a report calls it
    QList<qint8> choix;    // one per card of the test, in the order of Epreuve::fiches
};

// A test as the analysis sees it, from an exam's results or from quiz pages.
struct Epreuve {
    QString titre;
    QString banque;             // the bank the cards come from, when known
    QList<int> fiches;          // the cards asked, by their number in the bank, ascending
    QStringList questions;      // their texts, as printed
    QList<QStringList> reponses;  // for each card its answers 1 to 3 (empty text: none printed)
    QList<int> bonnes;          // each card's good answer, 1 to 3
    classe::Bareme bareme;
    QList<Copie> copies;
};

// ---------------------------------------------------------------------------
// The results of the marking: RESULTS.csv

struct LigneResultats {
    int ligne = 0;  // in the file, from 1
    int copie = 0;
    QString eleve, nom;
    int version = 0;
    QStringList reponses;  // Q1, Q2... as read: "A", "AB", "?", ""
};

Resultat lireResultats(const QByteArray &octets, QList<LigneResultats> &lignes);
Resultat lireResultats(const QString &fichier, QList<LigneResultats> &lignes);
// The copies mapped onto the cards through the key: each letter becomes the card's answer.
Resultat epreuveDepuisCorrige(const classe::Corrige &corrige, const QList<LigneResultats> &lignes, Epreuve &epreuve);

// ---------------------------------------------------------------------------
// Quiz pages and the files their students save

struct PageQuiz {
    QString id, titre;
    Epreuve epreuve;  // without copies
};
Resultat lirePageQuiz(const QByteArray &page, PageQuiz &quiz);
Resultat lirePageQuiz(const QString &fichier, PageQuiz &quiz);
// Adds the copy a student saved; a file of another page is refused.
Resultat ajouterResultatQuiz(const QByteArray &json, PageQuiz &quiz);
Resultat ajouterResultatQuiz(const QString &fichier, PageQuiz &quiz);
// True when the file is a result saved from this page (its id), for a folder's scan.
bool estResultatDe(const QString &fichier, const QString &id);

// ---------------------------------------------------------------------------
// The figures

struct Precedent {
    QDateTime date;
    double p = 0;
    std::optional<double> r;
};

struct Question {
    int fiche = 0;
    QString texte;
    QStringList reponses;
    int bonne = 0;                  // 1 to 3
    double p = 0;                   // share of right answers
    std::optional<double> r;        // corrected point-biserial
    std::optional<double> d;        // upper group minus lower group
    std::array<int, 4> choix{};     // copies that chose answer 1, 2, 3; then those with no single answer
    QStringList alertes;            // "trop facile", "trop difficile", "à revoir"
    std::optional<Precedent> precedent;
};

inline constexpr int ClassesNotes = 10;  // the histogram: marks 0 to 20 by bands of 2

struct Analyse {
    QString titre, banque;
    int copies = 0;
    std::optional<double> moyenne, mediane, ecartType, kr20;  // marks out of 20
    std::array<int, ClassesNotes> histogramme{};
    QList<double> notes;  // each copy's mark out of 20, in copy order
    QList<Question> questions;
};

// One copy's mark out of 20 from the scale: right, wrong (several boxes and doubtful marks
// included) and blank each weigh as the scale says; never below 0.
double note(const Epreuve &e, const Copie &c);
Analyse analyser(const Epreuve &e);

// ---------------------------------------------------------------------------
// What earlier analyses said: one line per card and analysis in the bank's media folder

QString fichierHistorique(const QString &dossierMedia);
// The last analysis of each card dated `avant` or earlier goes into Question::precedent.
void joindreHistorique(const QString &dossierMedia, Analyse &a, const QDateTime &avant);
// Appends this analysis, flushed to the disk before it returns; the folder is made when missing.
Resultat ecrireHistorique(const QString &dossierMedia, const Analyse &a, const QDateTime &date);

// ---------------------------------------------------------------------------
// Reports

QString enJson(const Analyse &a);
// The readable French table of qzf stats.
QString enTexte(const Analyse &a);
// The table as CSV for a spreadsheet (UTF-8, ";", decimal comma).
QByteArray enCsv(const Analyse &a);
// "0,75", "—" for none.
QString nombre(std::optional<double> v, int decimales = 2);

} // namespace analyse
