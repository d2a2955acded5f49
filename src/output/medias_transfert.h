#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The pictures and sounds named by cards copied from one bank to another go with them: from
// the source's media folder (the bank's path without its extension) into the destination's,
// created when missing. A file already in the destination's folder is never replaced; a name
// that is not a bare file name, or a file that is not a regular one (a symbolic link, a
// folder), is not copied. Returns one French line per file not copied, saying why.
QStringList copierMediasDesCartes(const QString &source, const QString &destination, const char *cartes,
                                  qint64 nombre);
