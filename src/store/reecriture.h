#pragma once
#include "store/fichierquestions.h"

// Whole-bank rewrites. The bank is replaced by an atomic rename of a complete,
// flushed file: at every moment it is either the old file or the new one.

struct ResultatClasser {
    // Where it failed. Up to Remplacement the bank is untouched; at CopieFinale the bank
    // is sorted and only base.tmp could not be brought up to date. At Dossier the bank's
    // name leads to the sorted file, but the disk did not confirm it: the old bank's file
    // is kept as it was (in base.tmp when the two were exchanged).
    enum class Etape { Aucune, Lecture, CopieTriee, Remplacement, CopieFinale, Dossier };
    Resultat resultat;
    Etape echec = Etape::Aucune;
    ComptesThemes ecrits;          // cards written per theme
    int total = 0;
};

// Each rewrite settles what an interrupted write left (reprendreBanque) first, refuses a
// bank its owner may not write, works on the file a symbolic link leads to (its temporary
// files beside it) and gives the new file the bank's rights.

// The bank behind a name may be rewritten: a plain file its owner may write, of no more
// cards than a bank can number (a rewrite of a larger one would lose the cards beyond).
Resultat verifierReecriture(const QString &cheminBanque);

// Sorts the bank by theme 0 to 8 (a stable sort; cards of a theme above 8 follow, in
// file order) into cheminTmp, which stays in place, and replaces the bank with the sorted
// cards. The bank is replaced atomically and flushed first; it is never half written.
ResultatClasser classerParTheme(const QString &cheminBanque, const QString &cheminTmp);

// Rebuilds the bank without card numero through cheminTmp, which then becomes the bank.
// A number beyond the last record (a card never written) leaves every record in place.
Resultat supprimerFiche(const QString &cheminBanque, const QString &cheminTmp, int numero);

// Appends whole records to the bank (created when missing) through cheminTmp, flushed and
// renamed over it: the bank is the old file or the new one. A short last record is padded.
Resultat ajouterFiches(const QString &cheminBanque, const QString &cheminTmp, const QByteArray &enregistrements);

// Cards per theme of a bank on disk, without opening it for writing.
ComptesThemes compterThemes(const QString &cheminBanque, Resultat *resultat = nullptr);
