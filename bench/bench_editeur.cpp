// The main window on the largest bank the format allows: start-up, and the walk back
// by theme from the last card to the first.
#include "editor/formedit.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kCartes = 32767;

QByteArray banqueGeante(int themes)
{
    QByteArray b;
    b.reserve(qsizetype(kCartes) * FicheQuestion::Taille);
    banque::Carte c;
    c.reponses = {QStringLiteral("Première réponse"), QStringLiteral("Deuxième"), QStringLiteral("Troisième")};
    c.commentaire = QStringLiteral("Un commentaire de longueur moyenne sur la réponse.");
    c.auteur = QStringLiteral("AB");
    for (int i = 0; i < kCartes; ++i) {
        c.question = QStringLiteral("Question numéro %1 : quelle est la bonne réponse ?").arg(i + 1);
        // Sorted by theme, as every bank is after a quit.
        c.theme = int(qint64(i) * themes / kCartes);
        b += banque::fiche(c).octets();
    }
    return b;
}

struct Dossier {
    QTemporaryDir dir;
    FakePlateforme plateforme{dir.path()};
    explicit Dossier(const QByteArray &contenu)
    {
        banque::ecrire(dir.filePath(QStringLiteral("BASE.QZF")), contenu);
        banque::ecrireThemes(dir.filePath(QStringLiteral("BASE.prm")), {QStringLiteral("Un"), QStringLiteral("Deux")});
    }
};

void demarrage(benchmark::State &state, const QByteArray &contenu)
{
    Dossier d(contenu);
    for (auto _ : state) {
        FormEdit fenetre(d.plateforme);
        fenetre.charger();
        benchmark::DoNotOptimize(fenetre.session().etat().NbFiches);
        state.PauseTiming();
        fenetre.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_DemarrageBanqueVide(benchmark::State &state) { demarrage(state, {}); }
void BM_DemarrageBanque32767(benchmark::State &state)
{
    static const QByteArray contenu = banqueGeante(9);
    demarrage(state, contenu);
}

// From card 32767 of a bank of themes 0 and 1, "<<" walks every card down to card 1.
void BM_PremierDepuisLaDerniere(benchmark::State &state)
{
    Dossier d(banqueGeante(2));
    FormEdit fenetre(d.plateforme);
    fenetre.charger();
    auto *premier = fenetre.findChild<QPushButton *>(QStringLiteral("Premier"));
    for (auto _ : state) {
        state.PauseTiming();
        fenetre.session().etat().NumFiche = kCartes;
        fenetre.session().Lit();
        state.ResumeTiming();
        premier->click();
    }
    if (fenetre.session().etat().NumFiche != 2)
        state.SkipWithError("the walk did not end on card 2");
}

} // namespace

BENCHMARK(BM_DemarrageBanqueVide)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemarrageBanque32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PremierDepuisLaDerniere)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
