// Transfers and listings of a full bank (32767 cards, 26 MB) held in the page cache.
// The transfer of every card is compared with its floor, a plain copy of the bank followed
// by fdatasync; the listings are read as processor time (text) and as time to the last
// byte of the PDF file. Run with --benchmark_repetitions=5 and compare medians.
#include "output/listing.h"
#include "output/mise_en_page.h"
#include "output/transfert.h"
#include "store/fichequestion.h"

#include <QBuffer>
#include <QFile>
#include <QTextStream>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int NbFiches = 32767;

// The bank of bench_store (short texts, as most cards are), or one whose texts fill most of
// their fields, for information: a listing costs by the glyph.
struct Banque {
    QTemporaryDir dir;
    QString source;
    QString destination;

    explicit Banque(bool longs)
    {
        if (!dir.isValid())
            std::abort();
        source = dir.filePath(QStringLiteral("BASE.QZF"));
        destination = dir.filePath(QStringLiteral("DEST.QZF"));
        QByteArray octets;
        octets.reserve(qsizetype(NbFiches) * FicheQuestion::Taille);
        for (int i = 0; i < NbFiches; ++i) {
            FicheQuestion f;
            if (longs) {
                texte::stocker(f.Question, QStringLiteral("Question numéro %1 : laquelle de ces réponses décrit le "
                                                          "mieux la situation présentée dans l'énoncé ?")
                                               .arg(i + 1));
                for (int k = 0; k < 3; ++k)
                    texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1 de la carte %2, assez longue pour "
                                                                "occuper une bonne part du champ")
                                                     .arg(k + 1)
                                                     .arg(i + 1));
                texte::stocker(f.Commentaire, QStringLiteral("Commentaire de la carte %1 : la bonne réponse est "
                                                             "expliquée ici en une phrase.")
                                                  .arg(i + 1));
            } else {
                texte::stocker(f.Question, QStringLiteral("Question numéro %1 : laquelle de ces réponses ?").arg(i + 1));
                for (int k = 0; k < 3; ++k)
                    texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1 de la carte %2").arg(k + 1).arg(i + 1));
                texte::stocker(f.Commentaire, QStringLiteral("Commentaire de la carte %1").arg(i + 1));
            }
            f.BonneReponse[i % 3] = -1;
            f.NumTheme = quint8(i % 9);
            f.Marque = qint16(i % 5 == 0);
            texte::stocker(f.Auteur, QStringLiteral("AB"));
            octets += f.octets();
        }
        QFile out(source);
        if (!out.open(QIODevice::WriteOnly) || out.write(octets) != octets.size())
            std::abort();
        out.close();
        const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
        ::fdatasync(fd);
        ::close(fd);
    }
};

Banque &banque(bool longs = false)
{
    static Banque courte(false);
    if (!longs)
        return courte;
    static Banque longue(true);
    return longue;
}

void effacer(const QString &chemin) { ::unlink(QFile::encodeName(chemin).constData()); }

// The floor: the bank copied with read and write through a buffer, then flushed.
void BM_CopieSynchronisee(benchmark::State &state)
{
    Banque &b = banque();
    std::vector<char> tampon(1 << 20);
    for (auto _ : state) {
        state.PauseTiming();
        effacer(b.destination);
        state.ResumeTiming();
        const int s = ::open(QFile::encodeName(b.source).constData(), O_RDONLY | O_CLOEXEC);
        const int d = ::open(QFile::encodeName(b.destination).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                             0644);
        for (ssize_t r; (r = ::read(s, tampon.data(), tampon.size())) > 0;)
            if (::write(d, tampon.data(), size_t(r)) != r)
                std::abort();
        if (::fdatasync(d) != 0)
            std::abort();
        ::close(s);
        ::close(d);
    }
}

// The cards of a selection appended to a new destination, flushed.
void BM_Transfert(benchmark::State &state)
{
    Banque &b = banque();
    for (auto _ : state) {
        state.PauseTiming();
        effacer(b.destination);
        state.ResumeTiming();
        const ResultatTransfert r = transferer(b.source, b.destination, Selection(state.range(0)));
        if (!r.resultat)
            std::abort();
    }
}

// A listing as UTF-8 text, as qzf print writes it; processor time.
void BM_ListingTexte(benchmark::State &state)
{
    Banque &b = banque(state.range(1));
    for (auto _ : state) {
        QBuffer tampon;
        tampon.open(QIODevice::WriteOnly);
        QTextStream flux(&tampon);
        listing::SortieFlux sortie(flux);
        const listing::ResultatListing r = listing::imprimer(b.source, QStringLiteral("BASE.QZF"),
                                                             listing::Forme(state.range(0)), Selection::Toutes, sortie);
        flux.flush();
        if (!r.resultat || r.imprimees != NbFiches || tampon.size() == 0)
            std::abort();
    }
}

// The complete listing laid out into a PDF file by the printer's page code.
void BM_ListingPdf(benchmark::State &state)
{
    Banque &b = banque(state.range(1));
    const QString pdf = b.dir.filePath(QStringLiteral("BASE.pdf"));
    for (auto _ : state) {
        const listing::ResultatListing r = imprimerEnPdf(pdf, b.source, QStringLiteral("BASE.QZF"),
                                                         listing::Forme(state.range(0)), Selection::Toutes, {});
        if (!r.resultat || r.imprimees != NbFiches)
            std::abort();
    }
    state.counters["octets"] = double(QFile(pdf).size());
}

} // namespace

BENCHMARK(BM_CopieSynchronisee)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Transfert)->Arg(int(Selection::Toutes))->Arg(int(Selection::Marquees))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
// Arguments: the form (0 quick, 3 complete), then the bank (0 short texts, 1 long texts).
BENCHMARK(BM_ListingTexte)->Args({int(listing::Forme::Rapide), 0})->Args({int(listing::Forme::Complete), 0})
    ->Args({int(listing::Forme::Complete), 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingPdf)->Args({int(listing::Forme::Complete), 0})->Args({int(listing::Forme::Complete), 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
