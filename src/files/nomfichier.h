#pragma once
#include "store/resultat.h"

#include <QString>
#include <QStringList>

// Names of banks typed by the user. Banks live in the program folder and nowhere else, so a
// name is a bare file name that any desktop can hold.
namespace nomfichier {

inline constexpr int LongueurMax = 8;  // characters before ".qzf"
inline constexpr char16_t Extension[] = u".qzf";

// No folder part ("/", "\", "..", a name of dots only) and no character a Windows file
// name cannot hold (< > : " | ? * and control characters).
bool admissible(const QString &nom);

enum class Refus { Aucun, Vide, TropLong, Invalide, Existe };

// A name typed for a new bank, against the names listed for the folder shown. The checks run
// in this order; `base` receives the typed name without its surrounding spaces.
// Existe: one listed name equals base + ".qzf" exactly, case included.
Refus examinerNouveauNom(const QString &saisie, const QStringList &listes, QString *base = nullptr);

// Whether the editor can open this bank for reading and writing and read its theme file (or
// create whichever is missing). Checked before the open bank is let go, so that a refusal
// loses nothing.
Resultat chargeable(const QString &cheminBanque, const QString &cheminThemes);

} // namespace nomfichier
