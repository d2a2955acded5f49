#pragma once
#include "exchange/echanges.h"
#include "output/transfert.h"
#include "store/resultat.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <utility>

// Which cards of a bank go in front of the class, and in what order. Window-free: the
// editor's dialog and qzf make the same draw from the same seed.
namespace classe {

// Random numbers that a seed repeats on every machine and with every standard library:
// the generator and the way a number is brought into a range are ours.
class Hasard {
public:
    explicit Hasard(quint64 graine) : m_etat(graine) {}
    quint64 suivant();
    // Evenly spread over 0 .. n - 1 (n > 0).
    quint64 entre(quint64 n);
    template <class T> void melanger(QList<T> &liste)
    {
        for (qsizetype i = liste.size() - 1; i > 0; --i)
            liste.swapItemsAt(i, qsizetype(entre(quint64(i) + 1)));
    }

private:
    quint64 m_etat;
};

// A seed of its own for each use of one seed (the draw, each version...), so that one use
// does not shift the numbers of the next.
quint64 deriver(quint64 graine, quint64 usage);
// A seed for when none is given: short enough to be typed again.
quint64 graineAuHasard();

struct Choix {
    Selection selection = Selection::Toutes;  // the transfer's rules, in file order
    QList<int> themes;                        // theme indexes 0 to 8; empty = every theme
    int nombre = 0;                           // 0 = every card taken; N = N of them drawn at random
    quint64 graine = 0;
};

// One card as students see it: texts trimmed, line breaks as '\n', only the answers that
// hold a text, in the card's order until shuffled.
struct Question {
    int fiche = 0;  // the card's number in the bank
    QString texte;
    QStringList reponses;
    int bonne = 0;  // index of the good answer in `reponses`
    QList<int> origines;  // for each answer, its number on the card (1 to 3)
    QString commentaire;
    QString theme;  // the theme's name; empty when the slot is blank
    QString media;  // the media file's name; empty = none
    int codeMedia = 0;

    friend bool operator==(const Question &, const Question &) = default;
};

struct Tirage {
    Resultat resultat;
    QList<Question> questions;  // in bank order
    int prises = 0;             // cards the selection took, before the draw
    QStringList remarques;      // cards left out and why, one line each
};

// Reads the bank and takes the cards of the choice. A card without a question, without a
// good answer or whose good answer is empty cannot be asked: it is left out and said so.
// Answers left empty are not offered.
Tirage tirer(const echanges::CheminsBanque &banque, const Choix &choix);

// The message when nothing is left to put on a page.
QString texteAucuneFiche();

// The same question with its answers in another order (the good one followed).
Question melangerReponses(Question q, Hasard &hasard);
// Questions and their answers shuffled, from one seed.
QList<Question> melanger(QList<Question> questions, quint64 graine);

// K versions of an exam: each one the questions and their answers shuffled from its own
// seed. Where the questions allow it, no two versions come out in the same order.
QList<QList<Question>> versions(const QList<Question> &questions, int nombre, quint64 graine);

// "A", "B", "C"...
inline QChar lettre(int index) { return QChar(char16_t(u'A' + index)); }

} // namespace classe
