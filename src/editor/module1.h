#pragma once
#include "store/canaux.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QString>
#include <array>

// The editor state shared by every window for the whole run.
struct Module1 {
    QString NomFichier;           // the open bank, without folder
    int NumFiche = 0;             // card on screen, from 1
    int NbFiches = 0;             // cards of the open bank (+1 while a new card is not yet written)
    FicheQuestion Fiche;          // the one record buffer every read and write goes through
    int CanalFichier = 0;         // the open bank's channel
    QString NomMedia;             // media name of the card on screen, 12 characters
    int OptionTaille = 0;         // media code of the card on screen
    std::array<int, 9> NbParTheme = {};
    QString FichierDest;          // destination of a transfer
    TableThemes Themes;           // the open bank's theme table

    Canaux canaux;

    FichierQuestions *fichier() const { return canaux.fichier(CanalFichier); }
};

// Paths of a bank, from the program folder and a bare file name.
namespace chemins {
QString banque(const QString &dossierProgramme, const QString &nomFichier);
QString themes(const QString &dossierProgramme, const QString &nomFichier);
QString dossierMedia(const QString &dossierProgramme, const QString &nomFichier);
QString media(const QString &dossierProgramme, const QString &nomFichier, const QString &nomMedia);
} // namespace chemins

// A text of exactly 12 characters: cut or padded with spaces.
QString surDouze(const QString &texte);
// A text up to its first zero character (zero bytes end a stored text).
QString jusquAuZero(const QString &texte);
