// An exam's key and a results file as a stranger could hand them over (the two parts split at
// the first zero byte): whatever they hold, the key reads back as it was written, every copy's
// mark stays within 0 to 20 and every figure of the analysis within its range.
#include "analyse/analyse.h"
#include "classroom/corrige.h"
#include "correction/copies.h"

#include <cmath>
#include <cstdint>
#include "verifier.h"

namespace {

bool dans(double v, double min, double max) { return std::isfinite(v) && v >= min - 1e-9 && v <= max + 1e-9; }
bool dans(std::optional<double> v, double min, double max) { return !v || dans(*v, min, max); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray octets(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype zero = octets.indexOf('\0');
    const QByteArray cle = zero < 0 ? octets : octets.left(zero), resultats = zero < 0 ? QByteArray() : octets.mid(zero + 1);

    classe::Corrige corrige;
    if (!classe::depuisJson(cle, corrige))
        return 0;
    const QByteArray json = classe::versJson(corrige);
    classe::Corrige relu;
    VERIFIER(classe::depuisJson(json, relu));
    VERIFIER(classe::versJson(relu) == json);

    // The second part read as the boxes of every page, two bits a box.
    QList<correction::FeuilleLue> feuilles;
    qsizetype bit = 0;
    auto etat = [&] {
        const int v = resultats.isEmpty() ? 0 : (uchar(resultats[(bit / 8) % resultats.size()]) >> (bit % 8)) & 3;
        bit += 2;
        return v == 3 ? correction::Etat::Vide : correction::Etat(v);
    };
    for (const classe::PageFeuille &p : corrige.pages) {
        correction::FeuilleLue f;
        f.lue = true;
        f.version = p.version;
        f.page = p.page;
        for (qsizetype i = 0; i < p.cases.size() && i < 4096; ++i)
            f.cases << etat();
        for (qsizetype i = 0; i < p.numeroEleve.size() && i < 4096; ++i)
            f.chiffres << etat();
        feuilles << f;
    }
    for (const correction::Copie &c : correction::assembler(feuilles, corrige))
        VERIFIER(dans(c.note, 0, 20));

    QList<analyse::LigneResultats> lignes;
    analyse::Epreuve epreuve;
    if (!analyse::lireResultats(resultats, lignes) || !analyse::epreuveDepuisCorrige(corrige, lignes, epreuve))
        return 0;
    const analyse::Analyse a = analyse::analyser(epreuve);
    VERIFIER(dans(a.moyenne, 0, 20) && dans(a.mediane, 0, 20) && dans(a.ecartType, 0, 20) && (!a.kr20 || std::isfinite(*a.kr20)));
    for (const analyse::Question &q : a.questions) {
        VERIFIER(dans(q.p, 0, 1) && dans(q.r, -1, 1) && dans(q.d, -1, 1));
        VERIFIER(q.choix[0] + q.choix[1] + q.choix[2] + q.choix[3] == a.copies);
    }
    return 0;
}
