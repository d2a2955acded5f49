// Searches over the largest bank the format allows (32767 cards, 26 MB, in the page cache),
// each finding nothing, so each reads the whole bank: from the middle card, the first pass
// runs to the last card and the second from card 1 back to the middle.
#include "search/recherche.h"
#include "support/banque.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr int kCartes = 32767;

struct Banque {
    QTemporaryDir dir;
    QString chemin;
    Banque()
    {
        if (!dir.isValid())
            std::abort();
        chemin = dir.filePath(QStringLiteral("BASE.QZF"));
        QByteArray b;
        b.reserve(qsizetype(kCartes) * FicheQuestion::Taille);
        banque::Carte c;
        c.reponses = {QStringLiteral("Première réponse"), QStringLiteral("Deuxième"), QStringLiteral("Troisième")};
        c.commentaire = QStringLiteral("Un commentaire de longueur moyenne sur la réponse.");
        c.auteur = QStringLiteral("AB");
        for (int i = 0; i < kCartes; ++i) {
            c.question = QStringLiteral("Question numéro %1 : quelle est la capitale de l'État où se trouve "
                                        "la ville citée dans la réponse ?").arg(i + 1);
            c.theme = i % 9;
            b += banque::fiche(c).octets();
        }
        if (!banque::ecrire(chemin, b))
            std::abort();
    }
};

const Banque &banqueGeante()
{
    static const Banque b;
    return b;
}

void chercher(benchmark::State &state, const recherche::Demande &demande)
{
    const QString &chemin = banqueGeante().chemin;
    for (auto _ : state) {
        const recherche::Conclusion c = recherche::rechercher(chemin, demande, kCartes / 2, kCartes);
        if (!c.lecture || c.message.isEmpty())
            state.SkipWithError("a card was found or the bank could not be read");
        benchmark::DoNotOptimize(c.numFiche);
    }
    state.SetBytesProcessed(state.iterations() * qint64(kCartes) * FicheQuestion::Taille);
}

// A word in no question.
void BM_TexteAbsent(benchmark::State &state) { chercher(state, {recherche::Option::Texte, {}, QStringLiteral("Zanzibar")}); }
// Every question starts like it: each card is compared over 17 bytes before it fails.
void BM_TexteAbsentDebutCommun(benchmark::State &state)
{
    chercher(state, {recherche::Option::Texte, {}, QStringLiteral("QUESTION NUMÉRO 0")});
}
// Its first letter is the most frequent one of the questions.
void BM_TexteAbsentLettreFrequente(benchmark::State &state)
{
    chercher(state, {recherche::Option::Texte, {}, QStringLiteral("exode")});
}
// The same word with the accents set aside: each question is folded before it is searched.
void BM_TexteAbsentSansAccents(benchmark::State &state)
{
    chercher(state, {recherche::Option::Texte, {}, QStringLiteral("Zanzibar"), true});
}
void BM_Marque(benchmark::State &state) { chercher(state, {recherche::Option::Marque, {}, {}}); }
void BM_Media(benchmark::State &state) { chercher(state, {recherche::Option::Media, {}, {}}); }

} // namespace

BENCHMARK(BM_TexteAbsent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexteAbsentDebutCommun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexteAbsentLettreFrequente)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TexteAbsentSansAccents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Marque)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Media)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
