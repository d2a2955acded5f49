// Marking scanned answer sheets: a PDF of 20 scanned pages at 200 dpi, read whole.
// Target: at most 0.25 s a page on a 2-core machine (100 copies in 25 s).
#include "classroom/sujets_pdf.h"
#include "correction/scans.h"
#include "store/fichequestion.h"
#include "support/copies.h"

#include <QFile>
#include <QGuiApplication>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kPages = 20;

struct Pile {
    QTemporaryDir dir;
    classe::Corrige corrige;
    QString scans;
    QImage page;

    Pile()
    {
        QByteArray octets;
        for (int n = 1; n <= 40; ++n) {
            FicheQuestion f;
            texte::stocker(f.Question, QStringLiteral("Question %1 : laquelle des trois réponses est la bonne ?").arg(n));
            for (int k = 0; k < 3; ++k) {
                texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1").arg(k + 1));
                f.BonneReponse[k] = k == n % 3 ? -1 : 0;
            }
            octets += f.octets();
        }
        QFile b(dir.filePath(QStringLiteral("BASE.QZF")));
        if (!b.open(QIODevice::WriteOnly) || b.write(octets) != octets.size())
            return;
        b.close();
        classe::Choix choix;
        choix.graine = 1;
        classe::OptionsSujets options;
        options.versions = 2;
        options.feuilleReponses = true;
        options.chiffresEleve = 8;
        const QString pdf = dir.filePath(QStringLiteral("examen.pdf"));
        if (!classe::ecrireSujets(echanges::CheminsBanque::pres(b.fileName()), choix, options, pdf).resultat
            || !classe::lireCorrige(classe::fichierCorrige(pdf), corrige))
            return;
        QPdfDocument doc;
        doc.load(pdf);
        const classe::PageFeuille &f = corrige.pages.first();
        page = correction::surBlanc(doc.render(f.page - 1, QSize(1654, 2339))).convertToFormat(QImage::Format_RGB32);
        for (qsizetype i = 0; i < f.cases.size(); i += 4)
            copies::marquer(page, f.cases[i].rect, copies::Trace::Croix, 200);
        page = copies::alterer(page, {1.5, 1, 0, 8, 75}, 1);
        scans = dir.filePath(QStringLiteral("scans.pdf"));
        QPdfWriter w(scans);
        w.setResolution(200);
        QPainter p(&w);
        for (int i = 0; i < kPages; ++i) {
            if (i > 0)
                w.newPage();
            p.drawImage(QRectF(0, 0, w.width(), w.height()), page);
        }
    }
};

Pile &pile()
{
    static Pile p;
    return p;
}

void BM_LirePage(benchmark::State &state)
{
    Pile &p = pile();
    for (auto _ : state)
        if (!correction::lirePage(p.page, p.corrige).lue)
            state.SkipWithError("page not read");
}

void BM_ChargerPage(benchmark::State &state)
{
    Pile &p = pile();
    correction::Scans lecteur;
    QStringList erreurs;
    const QList<correction::Scan> scans = correction::Scans::lister({p.scans}, erreurs);
    int i = 0;
    for (auto _ : state)
        if (lecteur.charger(scans[i++ % scans.size()]).isNull())
            state.SkipWithError("page not rendered");
}

void BM_CorrigerPdf(benchmark::State &state)
{
    Pile &p = pile();
    for (auto _ : state) {
        const correction::Correction c = correction::corriger(p.corrige, {p.scans});
        if (c.copies.size() != kPages)
            state.SkipWithError("pages not read");
    }
    state.counters["s_par_page"] = benchmark::Counter(kPages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_LirePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChargerPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorrigerPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
