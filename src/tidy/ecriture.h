#pragma once
#include <QByteArray>
#include <QString>

// The two writes of the tidy-up that the store has no helper for, made through its file
// layer (so that the store's fault tests reach them too). False with errno set.
namespace ecriture {

// Creates the folder when missing, and flushes its parent then; fails when the name is no folder.
bool assurerDossier(const QString &dossier);
// Writes `octets` into cheminTmp, flushes it and renames it over `cible`, then flushes the folder.
bool remplacerPar(const QString &cible, const QString &cheminTmp, const QByteArray &octets);

} // namespace ecriture
