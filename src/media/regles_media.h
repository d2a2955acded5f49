#pragma once
#include "store/fichequestion.h"

#include <QString>

// Rules of the media attached to cards, without windows.
namespace media {

// A card holds at most 12 characters of media name, extension included.
inline constexpr int LongueurNomMax = 12;

// The name, spaces removed at both ends, is longer than a card can hold.
bool nomTropLong(const QString &nom);

// Names the thumbnail shows: ending in lower-case "jpg" or "bmp" exactly. A picture named in
// upper case is still attached, without a preview.
bool apercuPossible(const QString &nom);

// The media code of a sound, from the last three characters of its name in any case: "MID" 1,
// "WAV" 2, "MP3" 3. Any other ending keeps the code the card had.
int codeSon(const QString &nom, int codeActuel);

// How the desktop's players take a sound file, from its extension.
enum class GenreSon {
    Onde,     // WAV: the light wave player
    Autre,    // MP3, MIDI: the general media player
    Inconnu,  // nothing here plays it
};
GenreSon genreSon(const QString &chemin);

// Both paths name the same existing folder (links followed); a missing folder is no one's.
bool memeDossier(const QString &a, const QString &b);

// Copies a file into a bank's media folder (created when missing), under the same bare name.
// A file of that name already there is never replaced: the same bytes count as already copied.
struct Copie {
    enum class Etat { Copiee, DejaLa, AutreFichier, Echec };
    Etat etat;
    QString erreur;  // the French message, for AutreFichier and Echec
};
Copie copierDansDossier(const QString &source, const QString &dossier);

} // namespace media
