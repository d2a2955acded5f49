// Export of a full bank (32767 cards, no media) to GIFT, Moodle XML and CSV, and import of
// each file into an empty bank. Targets: 300 ms of processor time per export, 500 ms per
// import; read the CPU column (the wall time adds the flushes to disk).
#include "exchange/formats.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr int NbFiches = 32767;
using echanges::Format;

struct Banque {
    QTemporaryDir dir;
    echanges::CheminsBanque source, cible;

    Banque()
    {
        if (!dir.isValid())
            std::abort();
        source = echanges::CheminsBanque::pres(dir.filePath(QStringLiteral("SOURCE.QZF")));
        cible = echanges::CheminsBanque::pres(dir.filePath(QStringLiteral("CIBLE.QZF")));
        QByteArray octets;
        octets.reserve(qsizetype(NbFiches) * FicheQuestion::Taille);
        for (int i = 0; i < NbFiches; ++i) {
            FicheQuestion f;
            texte::stocker(f.Question, QStringLiteral("Question numéro %1 : quelle est la bonne réponse, "
                                                      "parmi les trois qui suivent ?\r\nUne seule est juste.")
                                           .arg(i + 1));
            for (int k = 0; k < 3; ++k)
                texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1 de la carte %2 = {%3}").arg(k + 1).arg(i + 1).arg(k));
            texte::stocker(f.Commentaire, QStringLiteral("Commentaire de la carte %1 : « voir le cours », page %2.")
                                              .arg(i + 1)
                                              .arg(i % 300));
            f.BonneReponse[i % 3] = -1;
            f.NumTheme = quint8(i * 9 / NbFiches);  // sorted by theme, as after a quit
            f.Marque = qint16(i % 5 == 0);
            texte::stocker(f.Auteur, QStringLiteral("ÉLV"));
            texte::stocker(f.FichierMedia, QString());
            octets += f.octets();
        }
        QFile out(source.banque);
        if (!out.open(QIODevice::WriteOnly) || out.write(octets) != octets.size())
            std::abort();
        TableThemes t;
        for (int i = 0; i < 9; ++i)
            t.fixerNom(i, QStringLiteral("Thème n° %1").arg(i + 1));
        if (!ecrireThemes(source.themes, t))
            std::abort();
    }

    QString fichier(Format f) const { return dir.filePath(QStringLiteral("export.") + echanges::extension(f)); }
    bool exporter(Format f) const
    {
        echanges::OptionsExport o;
        o.format = f;
        echanges::Rapport r;
        return echanges::exporter(source, fichier(f), o, r).ok;
    }
};

Banque &banque()
{
    static Banque b;
    return b;
}

void BM_Export(benchmark::State &state)
{
    const Format f = Format(state.range(0));
    for (auto _ : state)
        if (!banque().exporter(f))
            state.SkipWithError("export failed");
    state.SetLabel(echanges::nomFormat(f).toStdString());
    state.counters["octets"] = double(QFile(banque().fichier(f)).size());
}

void BM_Import(benchmark::State &state)
{
    const Format f = Format(state.range(0));
    Banque &b = banque();
    if (!b.exporter(f))
        state.SkipWithError("export failed");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(b.cible.banque);
        QFile::remove(b.cible.themes);
        state.ResumeTiming();
        const echanges::ResultatImport r = echanges::importer(b.cible, b.fichier(f), f);
        if (!r.resultat || r.rapport.fiches != NbFiches)
            state.SkipWithError("import failed");
    }
    state.SetLabel(echanges::nomFormat(f).toStdString());
}

// The reader alone, on the file held in memory: the part of an import before the bank is written.
void BM_Lecture(benchmark::State &state)
{
    const Format f = Format(state.range(0));
    Banque &b = banque();
    if (!b.exporter(f))
        state.SkipWithError("export failed");
    QFile fichier(b.fichier(f));
    fichier.open(QIODevice::ReadOnly);
    const QByteArray contenu = fichier.readAll();
    for (auto _ : state) {
        const echanges::Lecture l = echanges::lire(f, contenu, QStringLiteral("export"));
        if (l.questions.size() != NbFiches)
            state.SkipWithError("read failed");
    }
    state.SetLabel(echanges::nomFormat(f).toStdString());
}

} // namespace

BENCHMARK(BM_Lecture)->Arg(int(Format::Gift))->Arg(int(Format::MoodleXml))->Arg(int(Format::Csv))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export)->Arg(int(Format::Gift))->Arg(int(Format::MoodleXml))->Arg(int(Format::Csv))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import)->Arg(int(Format::Gift))->Arg(int(Format::MoodleXml))->Arg(int(Format::Csv))->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
