// Any text typed in the search window's number box: the number read and the card it names
// agree with each other, whatever the text and the bank's size.
#include "search/recherche.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "verifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes give the bank's size, the rest is the typed text (UTF-8, or as bytes).
    const int nbFiches = (data[0] | data[1] << 8) & 0x7FFF;
    const QByteArray octets(reinterpret_cast<const char *>(data) + 2, qsizetype(size - 2));
    for (const QString &texte : {QString::fromUtf8(octets), QString::fromLatin1(octets)}) {
        const double v = recherche::nombreEnTete(texte);
        VERIFIER(!std::isnan(v));
        const int fiche = recherche::ficheDemandee(texte, nbFiches);
        VERIFIER(fiche >= 0 && fiche <= nbFiches);
        if (v < 1 || v > nbFiches)
            VERIFIER(fiche == 0);
        else
            VERIFIER(fiche >= 1 && std::fabs(fiche - v) <= 0.5);
        // Spaces around the text change nothing.
        VERIFIER(recherche::ficheDemandee(QStringLiteral("  ") + texte + QStringLiteral("  "), nbFiches) == fiche);
        VERIFIER(!recherche::messageFicheInexistante(texte).isEmpty());
    }
    return 0;
}
