// Exam sheets read back from the PDF with poppler's tools: every question once per version,
// answer keys that match each version's order, pictures, and qzf exam's statuses.
#include "classroom/sujets_pdf.h"
#include "exchange/commun.h"
#include "support/lancer.h"

#include <QColor>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace classe;
using essai::Banque;

namespace {

using Carte = banque::Carte;

// Eight cards whose texts are found again word for word; the fifth has no third answer.
QList<Carte> huit()
{
    QList<Carte> l;
    const QStringList noms{"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot", "Golf", "Hotel"};
    for (int i = 0; i < 8; ++i)
        l.append({"Question " + noms[i] + " ?", 0, (i % 3 == 2 && i != 4 ? 2 : i % 2) + 1, 0,
                  i == 4 ? QStringList{noms[i] + " un", noms[i] + " deux"}
                         : QStringList{noms[i] + " un", noms[i] + " deux", noms[i] + " trois"}});
    return l;
}

void poser(Banque &b, const QList<Carte> &cartes)
{
    QByteArray octets;
    for (const Carte &c : cartes)
        octets += banque::fiche(c).octets();
    banque::ecrire(b.chemins().banque, octets);
}

// One version as the sheet shows it: for each number, the question and its answers.
struct Lu {
    QList<QString> questions;
    QList<QStringList> reponses;
    QMap<int, QChar> corrige;  // the key: question number to letter
    QMap<int, int> fiches;     // the key: question number to card number
    int pagesCorrige = 0;
};

QList<Lu> lire(const QString &pdf, int versions)
{
    QList<Lu> lus(versions);
    const QRegularExpression question("^(\\d+)\\.\\s+(.*)$"), reponse("^\\s+([A-C])\\.\\s+(.*)$"),
        cle("(\\d+)\\s+([A-C])\\s+fiche (\\d+)"), pied("— (Sujet|Corrigé du sujet) (\\d+)\\s+page \\d+ / \\d+\\s*$");
    for (const QString &page : pdfEnTexte(pdf).split(u'\f')) {
        const QStringList lignes = page.split(u'\n');
        int v = -1;
        bool corrige = false;
        for (const QString &l : lignes)
            if (const auto m = pied.match(l); m.hasMatch()) {
                v = m.captured(2).toInt() - 1;
                corrige = m.captured(1) != "Sujet";
            }
        if (v < 0 || v >= versions)
            continue;
        Lu &lu = lus[v];
        lu.pagesCorrige += corrige;
        for (const QString &l : lignes) {
            if (corrige) {
                for (auto it = cle.globalMatch(l); it.hasNext();) {
                    const auto m = it.next();
                    lu.corrige.insert(m.captured(1).toInt(), m.captured(2).at(0));
                    lu.fiches.insert(m.captured(1).toInt(), m.captured(3).toInt());
                }
            } else if (const auto m = question.match(l); m.hasMatch()) {
                lu.questions << m.captured(2).trimmed();
                lu.reponses << QStringList();
            } else if (const auto r = reponse.match(l); r.hasMatch() && !lu.reponses.isEmpty()) {
                lu.reponses.last() << r.captured(2).trimmed();
            }
        }
    }
    return lus;
}

} // namespace

class TestSujets : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { classe::ecrireSujetsPdf = &classe::ecrireSujets; }

    void versions_everyQuestionOnceAndKeysMatchTheirOrder()
    {
        Banque b;
        const QList<Carte> cartes = huit();
        poser(b, cartes);
        QString out, err;
        // A title too long for the foot of the page: the version is still named there.
        auto examen = [&](const QString &graine) {
            return lancer({"exam", b.chemins().banque, "-o", b.chemin(graine), "--versions", "3", "--seed", graine, "--date",
                           "6 décembre 2025", "--title", QString("Un titre fort long ").repeated(8)}, out, err);
        };
        QCOMPARE(examen("11"), 0);
        QCOMPARE(err, "");
        QVERIFY2(QRegularExpression("^\\{\"questions\":8,\"versions\":3,\"pages\":\\d+,\"seed\":11\\}\\n$").match(out).hasMatch(),
                 qPrintable(out));
        // The same seed gives the same sheets, another seed others.
        const QString texte = pdfEnTexte(b.chemin("11"));
        QVERIFY(examen("11") == 0 && pdfEnTexte(b.chemin("11")) == texte);
        QVERIFY(examen("12") == 0 && pdfEnTexte(b.chemin("12")) != texte);
        const QList<Lu> lus = lire(b.chemin("11"), 3);
        for (int v = 0; v < 3; ++v) {
            const Lu &lu = lus[v];
            QCOMPARE(lu.questions.size(), 8);
            QCOMPARE(lu.pagesCorrige, 1);
            QCOMPARE(lu.corrige.size(), 8);
            for (const Carte &c : cartes)
                QCOMPARE(lu.questions.count(c.question), 1);
            for (int k = 0; k < 8; ++k) {
                const int n = int(std::find_if(cartes.begin(), cartes.end(),
                                               [&](const Carte &c) { return c.question == lu.questions[k]; })
                                  - cartes.begin());
                const Carte &c = cartes[n];
                QStringList montrees = lu.reponses[k], attendues = c.reponses;
                montrees.sort();
                attendues.sort();
                QCOMPARE(montrees, attendues);
                // The key's letter names, in this version's order, the card's good answer.
                const int lettre = lu.corrige.value(k + 1).unicode() - 'A';
                QCOMPARE(lu.reponses[k].value(lettre), c.reponses[c.bonne - 1]);
                QCOMPARE(lu.fiches.value(k + 1), n + 1);
            }
            for (int w = 0; w < v; ++w)
                QVERIFY(lus[w].questions != lu.questions || lus[w].reponses != lu.reponses);
        }
    }

    void media_pictureInlineMissingOneSaidSoundNamed()
    {
        Banque b;
        b.poser({{"Avec une image", 0, 1, 0, {"a", "b", "c"}, "", "", "carre.jpg", 12},
                 {"Image perdue", 0, 2, 0, {"a", "b", "c"}, "", "", "absente.jpg", 10},
                 {"Avec un son", 0, 3, 0, {"a", "b", "c"}, "", "", "la.wav", 2}});
        QImage carre(80, 60, QImage::Format_RGB32);
        carre.fill(QColor(30, 90, 200));
        QDir().mkpath(b.chemins().medias);
        QVERIFY(carre.save(QDir(b.chemins().medias).filePath("carre.jpg"), "JPEG"));
        QString out, err;
        QCOMPARE(lancer({"exam", b.chemins().banque, "-o", b.chemin("e.pdf"), "--versions", "2"}, out, err), 0);
        // Said once, for the card, however many versions show it.
        QCOMPARE(err, "qzf exam: fiche 2 : Image introuvable : absente.jpg\n");
        const QString t = pdfEnTexte(b.chemin("e.pdf"));
        QCOMPARE(t.count("Image introuvable : absente.jpg"), 2);
        QCOMPARE(t.count("(Cette question s'accompagne d'un son : « la.wav ».)"), 2);
        // pdfimages lists one picture per version.
        QProcess p;
        p.start("pdfimages", {"-list", b.chemin("e.pdf")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts).size(), 2 + 2);
    }

    void qzfExam_refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("erreurs");
        const QString versions = "qzf exam: --versions takes a whole number from 1 to 26 (not %1) (see qzf exam --help)\n";
        QTest::newRow("no version") << QStringList{"--versions", "0"} << 2 << versions.arg(0);
        QTest::newRow("too many") << QStringList{"--versions", "27"} << 2 << versions.arg(27);
        QTest::newRow("two selections") << QStringList{"--marked", "--between-marks"} << 2
                                        << "qzf exam: choose one of --all, --marked, --between-marks (see qzf exam --help)\n";
        QTest::newRow("nothing to ask") << QStringList{"--marked"} << 1
                                        << "qzf exam: Aucune fiche ne correspond à la sélection : aucun fichier n'a été écrit.\n";
    }
    void qzfExam_refusals()
    {
        QFETCH(QStringList, arguments);
        Banque b;
        poser(b, huit());
        QString out, err;
        QTEST(lancer(QStringList{"exam", b.chemins().banque, "-o", b.chemin("e.pdf")} + arguments, out, err), "statut");
        QTEST(err, "erreurs");
        QCOMPARE(out, "");
        QVERIFY(!QFile::exists(b.chemin("e.pdf")));
    }

    void builtTool_writesThePdfWithoutADesktop()
    {
        Banque b;
        poser(b, huit());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QZF_PATH), {"exam", b.chemins().banque, "--seed", "2", "--count", "5"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.readAllStandardError(), QByteArray());
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("{\"questions\":5,\"versions\":1,\"pages\":2,\"seed\":2}\n"));
        QVERIFY(banque::lire(b.chemin("BASE-sujets.pdf")).startsWith("%PDF-"));
    }
};

QTEST_MAIN(TestSujets)
#include "test_sujets.moc"
