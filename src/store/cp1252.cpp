#include "store/cp1252.h"

#include <array>

namespace cp1252 {
namespace {

constexpr std::array<char16_t, 32> kHaut = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

} // namespace

int versOctet(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (kHaut[size_t(i)] == c)
            return 0x80 + i;
    return -1;
}

char16_t versUnicode(unsigned char octet)
{
    if (octet >= 0x80 && octet < 0xA0)
        return kHaut[octet - 0x80];
    return octet;
}

QString decode(const char *octets, qsizetype n)
{
    QString texte(n, Qt::Uninitialized);
    QChar *d = texte.data();
    for (qsizetype i = 0; i < n; ++i)
        d[i] = QChar(versUnicode(static_cast<unsigned char>(octets[i])));
    return texte;
}

QByteArray encode(const QString &texte)
{
    const qsizetype n = texte.size();
    QByteArray octets(n, Qt::Uninitialized);
    char *d = octets.data();
    const QChar *s = texte.constData();
    qsizetype k = 0;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i].unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            d[k++] = char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        }
        const int o = versOctet(c);
        d[k++] = o < 0 ? '?' : char(o);
    }
    octets.truncate(k);
    return octets;
}

} // namespace cp1252
