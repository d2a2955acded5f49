#pragma once
#include "store/fichierquestions.h"
#include "store/resultat.h"

#include <QList>
#include <QString>
#include <functional>

namespace recherche {
class Critere;
}

// Changes made to many cards at once, each in one whole-bank rewrite: the new bank is written
// complete into a temporary file beside it, flushed, and renamed over it.
namespace menage {

// The temporary file of these rewrites, in the bank's folder.
QString cheminTemporaire(const QString &cheminBanque);

struct Bilan {
    Resultat resultat;
    int changees = 0;       // cards whose bytes changed
    int total = 0;          // cards of the bank
    ComptesThemes comptes;  // cards per theme afterwards
};

// Runs `changer` on every record (803 bytes, numbered from 1; a short last record padded with
// zeros); it returns true when it changed the record. The bank is rewritten once, and only when
// a record changed.
Bilan reecrire(const QString &cheminBanque, const QString &cheminTmp,
               const std::function<bool(int numero, char *enregistrement)> &changer);

// Moves every card that meets the test to theme 0 to 8.
Bilan changerTheme(const QString &cheminBanque, const QString &cheminTmp, const recherche::Critere &quelles,
                   int theme);
// How many cards meet the test.
int compter(const QString &cheminBanque, const recherche::Critere &quelles, Resultat *resultat = nullptr);
// Marks the cards numbered (from 1).
Bilan marquer(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros);

} // namespace menage
