// The list of the cards over the largest bank the format allows: the window opened, a key
// typed in the text filter, a sort on the question column, and the records read while the
// table is scrolled from the first card to the last. Targets: 150 ms to open, 30 ms for a
// key, 150 ms for the sort; the reads a few screens' worth, not the bank.
#include "editor/formedit.h"
#include "editor/session.h"
#include "liste/fenetre_liste.h"
#include "liste/liste.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

constexpr int kCartes = 32767;

const char *const kSujets[] = {"la capitale", "le plus long fleuve", "la monnaie", "la langue officielle",
                               "le plus haut sommet", "la population", "le drapeau", "l'hymne national"};

struct Dossier {
    QTemporaryDir dir;
    FakePlateforme plateforme{dir.path()};
    QByteArray octets;
    Dossier()
    {
        octets.reserve(qsizetype(kCartes) * FicheQuestion::Taille);
        banque::Carte c;
        c.commentaire = QStringLiteral("Un commentaire de longueur moyenne sur la réponse.");
        c.auteur = QStringLiteral("AB");
        for (int i = 0; i < kCartes; ++i) {
            // Questions in no order, so that the sort has work to do.
            const int n = int(quint32(i) * 2654435761U % 100000);
            c.question = QStringLiteral("Question %1 : quel est %2 du pays numéro %3 ?")
                             .arg(n)
                             .arg(QString::fromUtf8(kSujets[n % 8]))
                             .arg(n % 1000);
            c.reponses = {QStringLiteral("Réponse %1").arg(n), QStringLiteral("Autre %1").arg(n + 1),
                          QStringLiteral("Encore %1").arg(n + 2)};
            c.theme = i % 9;
            c.marque = i % 17 == 0;
            octets += banque::fiche(c).octets();
        }
        if (!banque::ecrire(dir.filePath(QStringLiteral("BASE.QZF")), octets)
            || !banque::ecrireThemes(dir.filePath(QStringLiteral("BASE.prm")), {QStringLiteral("Un"), QStringLiteral("Deux")}))
            std::abort();
        QDir::setCurrent(dir.path());
    }
};

Dossier &dossier()
{
    static Dossier d;
    return d;
}

TableThemes themes()
{
    TableThemes t;
    t.fixerNom(0, QStringLiteral("Un"));
    t.fixerNom(1, QStringLiteral("Deux"));
    return t;
}

// The rules alone: the index read from the bank, a filter, a sort.
void BM_Index(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(liste::Index::lire(dossier().dir.filePath(QStringLiteral("BASE.QZF"))).nombre());
}

void BM_Filtre(benchmark::State &state)
{
    const liste::Index index(dossier().octets);
    liste::Filtre f;
    f.texte = QStringLiteral("numéro 12");
    f.sansAccents = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(liste::lignes(index, f, {}, themes()).size());
}

void BM_TriQuestion(benchmark::State &state)
{
    const liste::Index index(dossier().octets);
    index.textes(1, true);  // the folded texts made once, as the window's first sort does
    for (auto _ : state)
        benchmark::DoNotOptimize(liste::lignes(index, {}, {liste::Colonne::Question, false}, themes()).size());
}

// The window over the editor.
struct Editeur {
    FormEdit fenetre{dossier().plateforme};
    Editeur() { fenetre.charger(); }
    QWidget *liste()
    {
        ouvrirListe(fenetre.session(), &fenetre);
        QApplication::processEvents();
        return fenetre.session().dialogue<QWidget>(QStringLiteral("ListeFiches"));
    }
};

void BM_OuvertureFenetre(benchmark::State &state)
{
    Editeur e;
    for (auto _ : state) {
        QWidget *l = e.liste();
        state.PauseTiming();
        l->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}

void BM_ToucheFiltre(benchmark::State &state)
{
    Editeur e;
    auto *filtre = e.liste()->findChild<QLineEdit *>(QStringLiteral("filtreFiches"));
    int k = 0;
    for (auto _ : state) {
        // "numéro 1", "numéro 12"...: one more character each time, as typed.
        filtre->setText(QStringLiteral("numéro ") + QString::number(1234567).left(1 + k++ % 7));
        QApplication::processEvents();
    }
}

void BM_TriFenetre(benchmark::State &state)
{
    Editeur e;
    auto *vue = e.liste()->findChild<QTableView *>(QStringLiteral("vueFiches"));
    bool descendant = false;
    for (auto _ : state) {
        vue->sortByColumn(int(liste::Colonne::Question), descendant ? Qt::DescendingOrder : Qt::AscendingOrder);
        descendant = !descendant;
        QApplication::processEvents();
    }
}

void BM_DefilementLectures(benchmark::State &state)
{
    Editeur e;
    auto *vue = e.liste()->findChild<QTableView *>(QStringLiteral("vueFiches"));
    auto *modele = qobject_cast<ModeleFiches *>(vue->model());
    vue->resize(1000, 600);
    const qint64 avant = modele->lectures();
    for (auto _ : state) {
        QScrollBar *barre = vue->verticalScrollBar();
        for (int pas = 0; pas <= 100; ++pas) {
            barre->setValue(barre->maximum() * pas / 100);
            QApplication::processEvents();
        }
    }
    state.counters["lectures"] = benchmark::Counter(double(modele->lectures() - avant), benchmark::Counter::kAvgIterations);
    state.counters["lignes_par_ecran"] = vue->height() / qMax(1, vue->verticalHeader()->defaultSectionSize());
}

} // namespace

BENCHMARK(BM_Index)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filtre)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriQuestion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OuvertureFenetre)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToucheFiltre)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TriFenetre)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefilementLectures)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
