#pragma once
#include "store/fichequestion.h"
#include "store/resultat.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

// The recycle file of a bank: every card deleted is appended to it first, so that it can be
// put back. It lives in the bank's media folder, where no chooser lists it:
//   corbeille.qzc  the cards, 803-byte records as in a bank;
//   corbeille.qzd  one 16-byte record per card: the date of deletion (seconds since 1970,
//                  UTC, little-endian) and a checksum of the card's 803 bytes.
// The date is written and flushed before its card, and a card counts only once its 803 bytes
// are all there, so a card is never listed without its date nor half written. The checksum
// ties a date to its card: should the two files ever disagree on the order (a power cut between
// the two renames of a rewrite), each card still finds its own date, never another's.
namespace corbeille {

QString nomCartes();  // "corbeille.qzc"
QString nomDates();   // "corbeille.qzd"

// The media folder of a bank given by its path: the bank's name without its last 4 characters.
QString dossierMediaDe(const QString &cheminBanque);

struct Contenu {
    QByteArray cartes;             // whole records only
    std::vector<qint64> dates;     // one per card; 0 when its date is unknown
    int nombre() const { return int(cartes.size() / FicheQuestion::Taille); }
    const char *enregistrement(int n) const { return cartes.constData() + qsizetype(n - 1) * FicheQuestion::Taille; }
    FicheQuestion fiche(int n) const { return FicheQuestion::depuisOctets(enregistrement(n), FicheQuestion::Taille); }
};

// A missing recycle file reads as empty.
Resultat lire(const QString &dossierMedia, Contenu &contenu);

// Appends one card (its 803 bytes) and its date, flushed to the disk before returning. The
// media folder and the files are created when missing.
Resultat garder(const QString &dossierMedia, const QByteArray &enregistrement, qint64 date);

// Rewrites the recycle file without the cards numbered (from 1); each file is replaced whole.
Resultat retirer(const QString &dossierMedia, QList<int> numeros);
Resultat vider(const QString &dossierMedia);

// Deletes card `numero` of the bank (through cheminTmp, as the store does) after keeping it in
// the recycle file. When it cannot be kept, nothing is deleted. A number past the last record
// (a card never written) has nothing to keep.
Resultat supprimerEnGardant(const QString &cheminBanque, const QString &cheminTmp, int numero,
                            const QString &dossierMedia, qint64 date);

// Appends the recycle cards numbered (from 1, each once, in the order of the recycle file) to
// the end of the bank in one atomic replacement, then takes them out of the recycle file.
// *premiere receives the number the first of them has in the bank.
Resultat restaurer(const QString &cheminBanque, const QString &cheminTmp, const QString &dossierMedia,
                   QList<int> numeros, int *premiere = nullptr);

quint64 empreinte(const char *enregistrement);

} // namespace corbeille
