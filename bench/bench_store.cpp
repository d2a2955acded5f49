// Whole-bank operations on a full bank (32767 cards, 26 MB) held in the page cache.
// Each figure is compared with a floor: reading the bytes (for the theme count) or
// copying them durably (for the rewrites). Run with --benchmark_repetitions=5 and
// compare medians: fdatasync times vary from run to run.
#include "store/fichequestion.h"
#include "store/fichierquestions.h"
#include "store/reecriture.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int NbFiches = 32767;

struct Banque {
    QTemporaryDir dir;
    QString source;  // never modified
    QString travail;
    QString tmp;

    Banque()
    {
        if (!dir.isValid())
            std::abort();
        source = dir.filePath(QStringLiteral("SOURCE.QZF"));
        travail = dir.filePath(QStringLiteral("BASE.QZF"));
        tmp = dir.filePath(QStringLiteral("base.tmp"));
        QByteArray octets;
        octets.reserve(qsizetype(NbFiches) * FicheQuestion::Taille);
        for (int i = 0; i < NbFiches; ++i) {
            FicheQuestion f;
            texte::stocker(f.Question, QStringLiteral("Question numéro %1 : laquelle de ces réponses ?").arg(i + 1));
            for (int k = 0; k < 3; ++k)
                texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1 de la carte %2").arg(k + 1).arg(i + 1));
            texte::stocker(f.Commentaire, QStringLiteral("Commentaire de la carte %1").arg(i + 1));
            f.BonneReponse[i % 3] = -1;
            f.NumTheme = quint8((i * 7 + i / 9) % 9);  // every theme, interleaved
            texte::stocker(f.Auteur, QStringLiteral("AB"));
            texte::stocker(f.FichierMedia, QString());
            octets += f.octets();
        }
        QFile out(source);
        if (!out.open(QIODevice::WriteOnly) || out.write(octets) != octets.size())
            std::abort();
    }
};

Banque &banque()
{
    static Banque b;
    return b;
}

int ouvrir(const QString &chemin, int drapeaux)
{
    const int fd = ::open(QFile::encodeName(chemin).constData(), drapeaux | O_CLOEXEC, 0644);
    if (fd < 0)
        std::abort();
    return fd;
}

qint64 taille(int fd) { return qint64(::lseek(fd, 0, SEEK_END)); }

// Copies the whole file in the kernel, as cp does; unsynced.
void copier(const QString &de, const QString &vers, bool synchroniser)
{
    ::unlink(QFile::encodeName(vers).constData());
    const int s = ouvrir(de, O_RDONLY), d = ouvrir(vers, O_WRONLY | O_CREAT | O_TRUNC);
    qint64 reste = taille(s);
    loff_t off = 0;
    while (reste > 0) {
        const ssize_t r = ::copy_file_range(s, &off, d, nullptr, size_t(reste), 0);
        if (r <= 0)
            std::abort();
        reste -= r;
    }
    if (synchroniser && ::fdatasync(d) != 0)
        std::abort();
    ::close(s);
    ::close(d);
}

// Outside the timed region: a fresh unsorted bank, on disk like a bank in use, and the
// files a rewrite replaces or deletes flushed too, as they would be after earlier runs.
void preparer(const Banque &b)
{
    copier(b.source, b.travail, true);
    for (const QString &ancien : {b.tmp, b.dir.filePath(QStringLiteral("COPIE.QZF"))}) {
        const int fd = ::open(QFile::encodeName(ancien).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
    }
}

// (a) The floor of a pass over the bank: its bytes read in 1 MB pieces into one buffer.
void BM_LectureSeule(benchmark::State &state)
{
    const int fd = ouvrir(banque().source, O_RDONLY);
    const qint64 total = taille(fd);
    std::vector<char> tampon(1306 * FicheQuestion::Taille);
    for (auto _ : state) {
        for (qint64 pos = 0; pos < total;) {
            const qint64 r = lireComplet(fd, tampon.data(), qMin<qint64>(qint64(tampon.size()), total - pos), pos);
            if (r <= 0)
                std::abort();
            pos += r;
        }
        benchmark::DoNotOptimize(tampon.data());
        benchmark::ClobberMemory();
    }
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * total);
}

// (b) Start-up: every card read and counted by theme, on the bank held open.
void BM_CompterThemes(benchmark::State &state)
{
    FichierQuestions f;
    if (!f.ouvrir(banque().source, FichierQuestions::Mode::Lecture))
        std::abort();
    for (auto _ : state) {
        const ComptesThemes c = f.compterThemes();
        benchmark::DoNotOptimize(c);
        if (c.parTheme[0] == 0)
            std::abort();
    }
    state.SetBytesProcessed(state.iterations() * f.longueur());
}

// (e) For information: one read per card, as a loop over the cards with lire() does.
void BM_LireUneParUne(benchmark::State &state)
{
    FichierQuestions f;
    if (!f.ouvrir(banque().source, FichierQuestions::Mode::Lecture))
        std::abort();
    const int n = f.nombre();
    for (auto _ : state) {
        int parTheme[256] = {};
        for (int i = 1; i <= n; ++i)
            ++parTheme[f.lire(i).NumTheme];
        benchmark::DoNotOptimize(parTheme);
    }
}

// The floor of a durable rewrite: a copy of the bank, then fdatasync.
void BM_CopieSynchronisee(benchmark::State &state)
{
    Banque &b = banque();
    const QString copie = b.dir.filePath(QStringLiteral("COPIE.QZF"));
    for (auto _ : state) {
        state.PauseTiming();
        preparer(b);
        state.ResumeTiming();
        copier(b.travail, copie, true);
    }
}

// (c) The quit-time sort: base.tmp written in theme order, the bank replaced by a flushed copy.
void BM_ClasserParTheme(benchmark::State &state)
{
    Banque &b = banque();
    for (auto _ : state) {
        state.PauseTiming();
        preparer(b);
        state.ResumeTiming();
        const ResultatClasser r = classerParTheme(b.travail, b.tmp);
        if (!r.resultat || r.total != NbFiches)
            std::abort();
    }
}

// (d) Deleting a card in the middle: the bank rebuilt through BASE.TMP.
void BM_SupprimerFiche(benchmark::State &state)
{
    Banque &b = banque();
    const QString tmp = b.dir.filePath(QStringLiteral("BASE.TMP"));
    for (auto _ : state) {
        state.PauseTiming();
        preparer(b);
        state.ResumeTiming();
        if (!supprimerFiche(b.travail, tmp, NbFiches / 2))
            std::abort();
    }
}

// For information: dropping a flushed 26 MB file, which every rewrite does once for the bank
// it replaces and the sort once more for the base.tmp of the last sort. Where the file
// system discards freed blocks as it frees them, this costs as much as writing the file.
void BM_EffacerFichierEcrit(benchmark::State &state)
{
    Banque &b = banque();
    const QString jete = b.dir.filePath(QStringLiteral("JETE.QZF"));
    for (auto _ : state) {
        state.PauseTiming();
        copier(b.source, jete, true);
        state.ResumeTiming();
        if (::unlink(QFile::encodeName(jete).constData()) != 0)
            std::abort();
    }
}

} // namespace

// One card saved in the middle of the bank, journal and flushes included: the processor
// time is what the user waits for beyond the disk itself (target: 2 ms).
void BM_SauverFiche(benchmark::State &state)
{
    Banque &b = banque();
    copier(b.source, b.travail, true);
    FichierQuestions f;
    if (!f.ouvrir(b.travail))
        std::abort();
    FicheQuestion fiche = f.lire(NbFiches / 2);
    int n = 0;
    for (auto _ : state) {
        fiche.Marque = qint16(++n % 2);
        if (!f.ecrire(NbFiches / 2, fiche))
            std::abort();
    }
}

BENCHMARK(BM_SauverFiche)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LectureSeule)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CompterThemes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LireUneParUne)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopieSynchronisee)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClasserParTheme)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SupprimerFiche)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EffacerFichierEcrit)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
