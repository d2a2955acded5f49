#pragma once
#include "store/fichequestion.h"
#include "store/resultat.h"

#include <QList>
#include <QString>
#include <QStringList>

// Cards typed twice. Two kinds of groups:
// - identical: the questions are the same once case, accents, punctuation and spaces are set
//   aside ("Quelle est la capitale de la France ?" = "quelle est la capitale de la france?");
// - close: the likeness of two cards reaches a threshold. The likeness is the mean of the
//   likeness of the questions (shared 4-letter pieces of the folded text, Jaccard) and that of
//   the answers taken as a set (their order does not matter).
// Close pairs are found through MinHash signatures cut into bands: only cards that share a
// band are compared, never every pair of the bank.
namespace doublons {

constexpr double SeuilParDefaut = 0.8;

// Lower case, accents taken off, every run of other characters (punctuation, spaces) as one space,
// no space at either end. Works on the stored Windows-1252 bytes, up to the first zero byte.
QString plier(const char *champ, int largeur);
QString plier(const QString &texte);

double ressemblance(const FicheQuestion &a, const FicheQuestion &b);

struct Groupe {
    bool identique = false;
    double score = 1.0;  // close groups: the lowest likeness that joined two of its cards
    QList<int> fiches;   // card numbers from 1, increasing
};

struct Analyse {
    QList<Groupe> groupes;  // identical groups first, each kind by its first card
    int nbFiches = 0;
    int identiques() const;
    int proches() const { return int(groupes.size()) - identiques(); }
};

// Over whole records laid end to end (a short last record counts, padded with zeros).
Analyse chercher(const char *octets, qint64 longueur, double seuil = SeuilParDefaut);
Analyse chercher(const QString &cheminBanque, double seuil, Resultat *resultat);

// The words of a text that the other does not hold (compared folded), for highlighting.
QStringList motsAbsents(const QString &texte, const QStringList &autres);

} // namespace doublons
