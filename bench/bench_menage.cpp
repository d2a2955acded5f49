// Duplicates over the largest bank the format allows (32767 cards, in the page cache), with
// identical and close cards spread through it, and the listing of a recycle file of 10 000
// deleted cards. Targets: at most 1 s of processor time for the duplicates, 50 ms for the listing.
// A second bank of the same size is the worst case for close cards: every question is ten words
// drawn from a vocabulary of 26, like a bank of sums, so the pieces repeat everywhere and the
// bands hold many cards. `bench_menage --banque-vocabulaire FILE` writes it for timing qzf
// (`--banque-usuelle FILE` the first one).
#include "support/banque.h"
#include "tidy/corbeille.h"
#include "tidy/doublons.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kCartes = 32767;
constexpr int kSupprimees = 10000;

const char *const kSujets[] = {"la capitale", "le plus long fleuve", "la monnaie", "la langue officielle",
                               "le plus haut sommet", "la population", "le drapeau", "l'hymne national"};

QByteArray banqueUsuelle()
{
    QByteArray b;
    b.reserve(qsizetype(kCartes) * FicheQuestion::Taille);
    banque::Carte c;
    c.commentaire = QStringLiteral("Un commentaire de longueur moyenne sur la réponse.");
    c.auteur = QStringLiteral("AB");
    for (int i = 0; i < kCartes; ++i) {
        // One card in 50 repeats an earlier one in capitals, one in 50 changes a word of it.
        const int n = i % 50 == 7 ? i - 5 : i % 50 == 9 ? i - 3 : i;
        c.question = QStringLiteral("Question %1 : quel est %2 du pays numéro %3 de la liste ?")
                         .arg(n)
                         .arg(QString::fromUtf8(kSujets[n % 8]))
                         .arg(n * 7 % 1000);
        if (i % 50 == 7)
            c.question = c.question.toUpper();
        if (i % 50 == 9)
            c.question.replace(QStringLiteral("liste"), QStringLiteral("série"));
        c.reponses = {QStringLiteral("Réponse %1").arg(n), QStringLiteral("Autre %1").arg(n + 1),
                      QStringLiteral("Encore %1").arg(n + 2)};
        c.theme = i % 9;
        b += banque::fiche(c).octets();
    }
    return b;
}

struct Banc {
    QTemporaryDir dir;
    QString banque, media;
    Banc()
    {
        if (!dir.isValid())
            std::abort();
        banque = dir.filePath(QStringLiteral("BASE.QZF"));
        media = dir.filePath(QStringLiteral("BASE"));
        const QByteArray b = banqueUsuelle();
        if (!banque::ecrire(banque, b))
            std::abort();
        const qint64 maintenant = QDateTime::currentSecsSinceEpoch();
        for (int i = 0; i < kSupprimees; ++i)
            if (!corbeille::garder(media, banque::enregistrement(b, i + 1), maintenant - i))
                std::abort();
    }
};

const Banc &banc()
{
    static const Banc b;
    return b;
}

const char *const kMots[] = {"un",   "deux",  "trois", "quatre", "cinq",  "six",    "sept",  "huit",  "neuf",
                             "dix",  "onze",  "douze", "plus",   "moins", "fois",   "font",  "egal",  "quel",
                             "est",  "le",    "la",    "somme",  "reste", "double", "moitie", "de"};

// A fixed generator (splitmix64), so that the bank is the same on every machine.
struct Alea {
    quint64 s;
    quint32 suivant(quint32 borne)
    {
        quint64 z = (s += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return quint32((z ^ (z >> 31)) % borne);
    }
};

QByteArray banqueVocabulaire()
{
    QByteArray b;
    b.reserve(qsizetype(kCartes) * FicheQuestion::Taille);
    Alea alea{0x0DB1};
    banque::Carte c;
    for (int i = 0; i < kCartes; ++i) {
        QStringList mots;
        for (int k = 0; k < 10; ++k)
            mots << QString::fromLatin1(kMots[alea.suivant(26)]);
        c.question = mots.join(u' ') + QStringLiteral(" ?");
        // The same three numbers everywhere: the answers turn no pair away.
        c.reponses = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
        c.bonne = 1 + int(alea.suivant(3));
        b += banque::fiche(c).octets();
    }
    return b;
}

struct BancVocabulaire {
    QTemporaryDir dir;
    QString banque;
    BancVocabulaire()
    {
        if (!dir.isValid())
            std::abort();
        banque = dir.filePath(QStringLiteral("CALCUL.QZF"));
        if (!banque::ecrire(banque, banqueVocabulaire()))
            std::abort();
    }
};

void BM_DoublonsVocabulaire(benchmark::State &state)
{
    static const BancVocabulaire bv;
    for (auto _ : state) {
        Resultat r;
        const doublons::Analyse a = doublons::chercher(bv.banque, doublons::SeuilParDefaut, &r);
        if (!r)
            state.SkipWithError("bank not read");
        benchmark::DoNotOptimize(a.groupes.size());
        state.counters["identiques"] = a.identiques();
        state.counters["proches"] = a.proches();
    }
}
BENCHMARK(BM_DoublonsVocabulaire)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_Doublons(benchmark::State &state)
{
    const QString &chemin = banc().banque;
    for (auto _ : state) {
        Resultat r;
        const doublons::Analyse a = doublons::chercher(chemin, doublons::SeuilParDefaut, &r);
        if (!r || a.identiques() == 0 || a.proches() == 0)
            state.SkipWithError("no duplicates found");
        benchmark::DoNotOptimize(a.groupes.size());
        state.counters["identiques"] = a.identiques();
        state.counters["proches"] = a.proches();
    }
}
BENCHMARK(BM_Doublons)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Reading the recycle file and making each line of the list: question, theme number, date.
void BM_ListeCorbeille(benchmark::State &state)
{
    const QString &media = banc().media;
    for (auto _ : state) {
        corbeille::Contenu c;
        if (!corbeille::lire(media, c) || c.nombre() != kSupprimees)
            state.SkipWithError("recycle file not read");
        QStringList lignes;
        lignes.reserve(c.nombre());
        for (int i = 1; i <= c.nombre(); ++i) {
            const char *enr = c.enregistrement(i);
            lignes << texte::affiche(enr + offsets::Question, 200) + u'\t' + QString::number(quint8(enr[offsets::NumTheme]))
                          + u'\t' + QDateTime::fromSecsSinceEpoch(c.dates[size_t(i - 1)]).toString(QStringLiteral("dd/MM/yyyy HH:mm"));
        }
        benchmark::DoNotOptimize(lignes.size());
    }
}
BENCHMARK(BM_ListeCorbeille)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace

int main(int argc, char **argv)
{
    const bool vocabulaire = argc == 3 && std::strcmp(argv[1], "--banque-vocabulaire") == 0;
    if (vocabulaire || (argc == 3 && std::strcmp(argv[1], "--banque-usuelle") == 0)) {
        if (!banque::ecrire(QString::fromLocal8Bit(argv[2]), vocabulaire ? banqueVocabulaire() : banqueUsuelle())) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
