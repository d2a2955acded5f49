// Duplicates over the largest bank the format allows (32767 cards, in the page cache), with
// identical and close cards spread through it, and the listing of a recycle file of 10 000
// deleted cards. Targets: at most 1 s of processor time for the duplicates, 50 ms for the listing.
#include "support/banque.h"
#include "tidy/corbeille.h"
#include "tidy/doublons.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr int kCartes = 32767;
constexpr int kSupprimees = 10000;

const char *const kSujets[] = {"la capitale", "le plus long fleuve", "la monnaie", "la langue officielle",
                               "le plus haut sommet", "la population", "le drapeau", "l'hymne national"};

struct Banc {
    QTemporaryDir dir;
    QString banque, media;
    Banc()
    {
        if (!dir.isValid())
            std::abort();
        banque = dir.filePath(QStringLiteral("BASE.QZF"));
        media = dir.filePath(QStringLiteral("BASE"));
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

BENCHMARK_MAIN();
