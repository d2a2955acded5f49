// The results analysis of a large exam: 2000 copies of 100 questions in 4 versions. Targets:
// qzf stats within 200 ms (the rules, and the files read and written as JSON); the window's
// report within 300 ms. `bench_analyse --ecrire DIR` writes the bank, the key and RESULTS.csv
// into DIR, to time the built qzf itself.
#include "analyse/analyse.h"
#include "analyse/fenetre_analyse.h"
#include "classroom/tirage.h"
#include "editor/formedit.h"
#include "editor/session.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kQuestions = 100, kCopies = 2000, kVersions = 4;

// Each copy answers as a student of some ability would: the good answer more often the better
// the student, a blank or two boxes now and then.
void ecrireExamen(const QString &dossier)
{
    classe::Hasard h(42);
    QByteArray cartes;
    for (int n = 1; n <= kQuestions; ++n)
        cartes += banque::fiche({QStringLiteral("Question %1 ?").arg(n), 0, n % 3 + 1, 0,
                                 {QStringLiteral("un"), QStringLiteral("deux"), QStringLiteral("trois")}})
                      .octets();
    const QString banque = QDir(dossier).filePath(QStringLiteral("BASE.QZF"));
    classe::Corrige c;
    c.examen = QStringLiteral("bench");
    c.titre = QStringLiteral("Grand examen");
    c.banque = banque;
    for (int v = 1; v <= kVersions; ++v) {
        classe::VersionCorrigee version{v, {}};
        QList<int> ordre;
        for (int n = 1; n <= kQuestions; ++n)
            ordre << n;
        h.melanger(ordre);
        for (int i = 0; i < kQuestions; ++i) {
            classe::QuestionCorrigee q;
            q.numero = i + 1;
            q.fiche = ordre[i];
            q.question = QStringLiteral("Question %1 ?").arg(q.fiche);
            q.origines = {1, 2, 3};
            h.melanger(q.origines);
            for (int o : q.origines)
                q.reponses << QString::number(o);
            q.bonne = int(q.origines.indexOf(q.fiche % 3 + 1));
            version.questions << q;
        }
        c.versions << version;
    }
    QByteArray csv = "copie;eleve;nom;version;note_sur_20;points";
    for (int i = 1; i <= kQuestions; ++i)
        csv += ";Q" + QByteArray::number(i);
    csv += '\n';
    for (int k = 1; k <= kCopies; ++k) {
        const int v = int(h.entre(kVersions)) + 1;
        const quint64 niveau = 30 + h.entre(65);
        csv += QByteArray::number(k) + ';' + QByteArray::number(10000 + k) + ";;" + QByteArray::number(v) + ";0;0";
        for (const classe::QuestionCorrigee &q : c.versions[v - 1].questions) {
            const quint64 x = h.entre(100);
            csv += ';';
            csv += x < niveau ? QByteArray(1, char('A' + q.bonne)) : x < 97 ? QByteArray(1, char('A' + h.entre(3))) : x < 99 ? QByteArray() : QByteArray("AB");
        }
        csv += '\n';
    }
    if (!banque::ecrire(banque, cartes) || !classe::ecrireCorrige(QDir(dossier).filePath(QStringLiteral("examen.corrige.json")), c)
        || !banque::ecrire(QDir(dossier).filePath(QStringLiteral("RESULTS.csv")), csv))
        std::abort();
}

struct Dossier {
    QTemporaryDir dir;
    QString cle = dir.filePath(QStringLiteral("examen.corrige.json")), csv = dir.filePath(QStringLiteral("RESULTS.csv"));
    Dossier() { ecrireExamen(dir.path()); }
};

Dossier &dossier()
{
    static Dossier d;
    return d;
}

analyse::Epreuve epreuve()
{
    classe::Corrige c;
    QList<analyse::LigneResultats> lignes;
    analyse::Epreuve e;
    if (!classe::lireCorrige(dossier().cle, c) || !analyse::lireResultats(dossier().csv, lignes)
        || !analyse::epreuveDepuisCorrige(c, lignes, e))
        std::abort();
    return e;
}

void BM_Analyser(benchmark::State &state)
{
    const analyse::Epreuve e = epreuve();
    for (auto _ : state)
        benchmark::DoNotOptimize(analyse::analyser(e).kr20);
}

// What qzf stats --json does, from the files to the text.
void BM_StatsDepuisFichiers(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(analyse::enJson(analyse::analyser(epreuve())).size());
}

void BM_OuvertureFenetre(benchmark::State &state)
{
    FakePlateforme pf(dossier().dir.path());
    QDir::setCurrent(dossier().dir.path());
    FormEdit fenetre(pf);
    fenetre.charger();
    for (auto _ : state) {
        pf.reponsesFichier << dossier().cle << dossier().csv;
        ouvrirAnalyse(fenetre.session(), &fenetre);
        QApplication::processEvents();
        state.PauseTiming();
        if (QWidget *w = fenetre.session().dialogue<QWidget>(QStringLiteral("AnalyseResultats")))
            w->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Each opening keeps its analysis: the history starts empty each time.
        QFile::remove(analyse::fichierHistorique(fenetre.session().dossierMedia()));
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_Analyser)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatsDepuisFichiers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OuvertureFenetre)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--ecrire") == 0) {
        QCoreApplication app(argc, argv);
        ecrireExamen(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
