// The students' quiz page and the exam sheets, from a bank on disk to the file written.
// Targets: a page of 1000 cards without media in at most 100 ms; an exam of 100 questions
// in 2 versions in at most 2 s.
#include "classroom/page_quiz.h"
#include "classroom/sujets_pdf.h"
#include "store/fichequestion.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// Cards of ordinary length: a two-line question, three answers, a comment, nine themes.
QString banqueDe(const QTemporaryDir &dir, int nombre)
{
    QByteArray octets;
    for (int n = 1; n <= nombre; ++n) {
        FicheQuestion f;
        texte::stocker(f.Question, QStringLiteral("Question numéro %1 : parmi les trois réponses proposées ci-dessous, "
                                                  "laquelle est la bonne ? Une seule l'est.")
                                       .arg(n));
        for (int k = 0; k < 3; ++k) {
            texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1 de la question %2, d'une longueur ordinaire").arg(k + 1).arg(n));
            f.BonneReponse[k] = k == n % 3 ? -1 : 0;
        }
        texte::stocker(f.Commentaire, QStringLiteral("Le commentaire explique pourquoi la réponse %1 est la bonne.").arg(n % 3 + 1));
        f.NumTheme = quint8(n % 9);
        octets += f.octets();
    }
    const QString chemin = dir.filePath(QStringLiteral("BASE.QZF"));
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly) || f.write(octets) != octets.size())
        return {};
    return chemin;
}

void BM_PageQuiz(benchmark::State &state)
{
    QTemporaryDir dir;
    const auto banque = echanges::CheminsBanque::pres(banqueDe(dir, int(state.range(0))));
    classe::Choix choix;
    choix.graine = 1;
    classe::OptionsQuiz options;
    options.melanger = state.range(1) != 0;
    const QString fichier = dir.filePath(QStringLiteral("quiz.html"));
    for (auto _ : state) {
        const classe::ResultatSortie r = classe::ecrireQuiz(banque, choix, options, fichier);
        if (r.questions != state.range(0))
            state.SkipWithError("page not written");
    }
    state.counters["octets"] = double(QFile(fichier).size());
}

void BM_Sujets(benchmark::State &state)
{
    QTemporaryDir dir;
    const auto banque = echanges::CheminsBanque::pres(banqueDe(dir, int(state.range(0))));
    classe::Choix choix;
    choix.graine = 1;
    classe::OptionsSujets options;
    options.versions = int(state.range(1));
    options.date = QStringLiteral("6 décembre 2025");
    const QString fichier = dir.filePath(QStringLiteral("sujets.pdf"));
    int pages = 0;
    for (auto _ : state) {
        const classe::ResultatSortie r = classe::ecrireSujets(banque, choix, options, fichier);
        if (!r.resultat)
            state.SkipWithError("exam not written");
        pages = r.pages;
    }
    state.counters["pages"] = pages;
    state.counters["octets"] = double(QFile(fichier).size());
}

} // namespace

BENCHMARK(BM_PageQuiz)->Args({1000, 0})->Args({1000, 1})->Args({32767, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sujets)->Args({100, 2})->Args({30, 1})->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
