#pragma once
#include "store/resultat.h"

#include <QString>

// The theme table of a bank: one 339-byte record, eleven name slots of 27 characters
// (nine used) and 42 reserved bytes that are kept exactly as read.
struct TableThemes {
    static constexpr int Taille = 339;
    static constexpr int NbSlots = 11;
    static constexpr int NbThemes = 9;
    static constexpr int Largeur = 27;
    static constexpr int TailleReserve = Taille - NbSlots * Largeur;  // 42

    char NomTheme[NbSlots][Largeur] = {};
    char Reserve[TailleReserve] = {};

    QString nom(int slot) const;          // up to the first zero byte, spaces kept
    void fixerNom(int slot, const QString &nom);  // left-aligned, padded or cut to 27
    bool estBlanc(int slot) const;        // nothing but spaces

    static TableThemes depuisOctets(const char *octets, qsizetype n);  // missing bytes are zero
    void versOctets(char *sortie) const;
};

// "BASE.QZF" -> "BASE.prm": the first n - 4 characters of the name, n being its trimmed length.
QString nomFichierThemes(const QString &nomFichier);

// Reads record 1 of the theme file. A missing file is created empty when creer is set.
Resultat lireThemes(const QString &chemin, TableThemes &table, bool creer = true);
// Writes bytes 0 to 338; whatever the file holds beyond them is kept. The file is replaced whole.
Resultat ecrireThemes(const QString &chemin, const TableThemes &table);
