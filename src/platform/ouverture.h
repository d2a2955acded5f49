#pragma once
#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>

// After a file was written for the teacher: one message names it and offers to open it or its
// folder; nothing opens by itself.
inline void offrirOuverture(Plateforme &p, const QString &texte, const QString &fichier, const QString &titre = {})
{
    const int r = p.choix(texte, titre,
                          {QStringLiteral("Ouvrir"), QStringLiteral("Ouvrir le dossier"), QStringLiteral("Fermer")});
    if (r != 0 && r != 1)
        return;
    const QString cible = r == 0 ? fichier : QFileInfo(fichier).absolutePath();
    if (!p.ouvrirFichier(cible))
        p.messageOk(QStringLiteral("Aucune application du bureau n'a pu ouvrir %1.").arg(QDir::toNativeSeparators(cible)),
                    Plateforme::Icone::Exclamation);
}
