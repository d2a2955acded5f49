#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

// The pictures and the sound of the sample bank, drawn and computed here.
namespace exemple {

// Names of the files fabriquer() makes.
QStringList mediasFabriques();
// The file's bytes; empty for a name it does not know.
QByteArray fabriquer(const QString &nom);

QImage dessinSaturne();
QImage dessinHexagone();
// A tuning-fork tone as a mono 16-bit PCM WAV file.
QByteArray sonWav(double frequence, double secondes, int echantillonnage);

} // namespace exemple
