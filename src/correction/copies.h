#pragma once
#include "classroom/corrige.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// From the boxes read on each page to the copies, their answers and their marks; the results
// file and the class list. Window-free: qzf grade and the marking window share it.
namespace correction {

enum class Etat { Vide, Cochee, Douteuse };

// A box's verdict from the share of its inside covered by ink and by grey (neither ink nor
// paper): a clear mark is read, a light grey left by a rubber is empty, anything in between is
// doubtful and never guessed.
Etat juger(double encre, double gris);

// What one page gave, as the pages are read (see lecture.h).
struct FeuilleLue {
    QString source;  // "scans.pdf, page 3"
    bool lue = false;
    QString raison;  // why skipped
    int version = 0, page = 0;
    QList<Etat> cases;     // as the key's page lists its boxes
    QList<Etat> chiffres;  // as the key's page lists its student-number boxes
};

// One question of one copy.
struct ReponseCopie {
    QString lues;         // letters ticked, "" for none, "AB" for two
    bool douteuse = false;  // a box neither clearly empty nor clearly ticked, or two ticked
    bool decidee = false;   // the teacher decided: `lues` is then the decision
    QString lettres() const { return douteuse && !decidee && lues.size() < 2 ? QStringLiteral("?") : lues; }
};

struct Copie {
    int numero = 0;  // order in the scans, from 1
    int version = 0;
    QList<int> feuilles;  // indexes of its pages in the list read
    QString eleve;        // the student number read; empty when not read whole
    bool eleveDouteux = false;
    QString nom;          // from the class list
    QList<ReponseCopie> reponses;  // one per question of its version
    double points = 0, note = 0;   // note out of 20
};

// Pages of the same version whose sheet pages follow one another make one copy; page 1 of a
// sheet opens the next copy. Marks are computed with the key's scale.
QList<Copie> assembler(const QList<FeuilleLue> &feuilles, const classe::Corrige &corrige);
void noter(Copie &copie, const classe::Corrige &corrige);

// The teacher's decision on a doubtful answer (letters, "" for none) or on a student number.
void decider(Copie &copie, int question, const QString &lettres, const classe::Corrige &corrige);
void deciderEleve(Copie &copie, const QString &numero);

// Decisions kept in a file, one per line: "copie;question;lettres" or "copie;eleve;NUMBER".
Resultat appliquerDecisions(const QString &fichier, QList<Copie> &copies, const classe::Corrige &corrige);

struct Eleve {
    QString numero, nom, prenom, classe;
};
// "numero;nom;prenom;classe", a heading line allowed.
Resultat lireClasse(const QString &fichier, QList<Eleve> &eleves);
// Names each copy from the list; what cannot be matched is said, one line each, and so is a
// number read on two copies (a page scanned twice, a student who copied a neighbour's number),
// with or without a list.
QStringList nommer(QList<Copie> &copies, const QList<Eleve> &eleves);

// "copie;eleve;nom;version;note_sur_20;points;Q1;Q2;…", UTF-8, marks with a decimal comma.
QByteArray resultatsCsv(const QList<Copie> &copies, const classe::Corrige &corrige);
Resultat ecrireResultats(const QString &fichier, const QList<Copie> &copies, const classe::Corrige &corrige);

// Copy 3, question 12: what is doubtful and still undecided, in words.
QStringList doutes(const QList<Copie> &copies);

QString nombreFrancais(double v);

} // namespace correction
