#pragma once
#include <QByteArray>
#include <QString>

// Windows-1252 with our own table for 0x80-0x9F; the rest is Latin-1.
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to U+0081... and back, so every byte read and written back stays the same.
namespace cp1252 {

QString decode(const char *octets, qsizetype n);
inline QString decode(const QByteArray &octets) { return decode(octets.constData(), octets.size()); }

// A character the code page cannot hold becomes '?' (one per code point).
QByteArray encode(const QString &texte);

char16_t versUnicode(unsigned char octet);
// The byte of a code point; -1 when the code page has none.
int versOctet(char32_t c);

} // namespace cp1252
