#pragma once
#include "store/resultat.h"

#include <QString>

// Where the banks of a run live, and how that folder is made ready at start.
namespace dossiers {

// The per-user data folder (~/.local/share/Orbelin): the application's name must be set first.
QString dossierDonnees();

// An installed program has its shared files in ../share/orbelin beside its own folder.
bool estInstalle(const QString &dossierExecutable);

// The folder of the banks: the program's own folder for a copy that can write beside itself,
// the per-user data folder for an installed program or a folder that cannot be written.
QString dossierDesBanques(const QString &dossierExecutable, const QString &dossierDonnees);

// The folder holding the sample bank to copy on a first start: the installed shared folder,
// else the build tree's (when the program runs from build/bin); empty when there is none.
QString sourceExemple(const QString &dossierExecutable);

// Creates the folder when it is missing. On a first start (no "BASE.QZF" in it yet) copies
// into it the files of the sample bank that it does not hold; nothing that exists is replaced.
Resultat preparer(const QString &dossier, const QString &sourceExemple);

// A bank named on the command line, checked before anything opens it: its folder becomes the
// program folder of the run and its bare name the open bank.
struct BanqueDemandee {
    Resultat resultat;  // the French message when the bank cannot be opened
    QString dossier;
    QString nom;
};
BanqueDemandee banqueDemandee(const QString &argument);

// The sample bank of the folder of the banks ("orbelin --exemple"), or why it is not there.
BanqueDemandee banqueExemple(const QString &dossier);

} // namespace dossiers
