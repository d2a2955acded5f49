// Exam sheets read back from the PDF with poppler's tools: every question once per version,
// answer keys that match each version's order, pictures, and qzf exam's statuses. The answer
// sheets are rendered and checked against their key as the scan reader will use it.
#include "classroom/sujets_pdf.h"
#include "correction/scans.h"
#include "exchange/commun.h"
#include "support/lancer.h"

#include <QColor>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPdfDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#define ZX_USE_UTF8  // text() as UTF-8
#include <ZXing/ReadBarcode.h>

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

// N cards; every fifth has two answers.
QList<Carte> serie(int n)
{
    QList<Carte> l;
    for (int i = 1; i <= n; ++i) {
        const QString q = QString::number(i);
        l.append({"Question " + q + " ?", 0, i % 2 + 1, 0,
                  i % 5 ? QStringList{"un " + q, "deux " + q, "trois " + q} : QStringList{"un " + q, "deux " + q}});
    }
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
    const QRegularExpression question("^(\\d+)\\.\\s*(.*)$"), reponse("^\\s+([A-C])\\.\\s+(.*)$"),
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

// The darkest and the lightest pixel of a rectangle, on a page rendered at 150 dpi.
std::pair<int, int> extremes(const QImage &image, const RectMm &r)
{
    int min = 255, max = 0;
    for (int y = int(r.y * 150 / 25.4); y <= int((r.y + r.h) * 150 / 25.4); ++y)
        for (int x = int(r.x * 150 / 25.4); x <= int((r.x + r.l) * 150 / 25.4); ++x) {
            min = qMin(min, qGray(image.pixel(x, y)));
            max = qMax(max, qGray(image.pixel(x, y)));
        }
    return {min, max};
}

RectMm reduit(const RectMm &r, qreal d) { return {r.x + d, r.y + d, r.l - 2 * d, r.h - 2 * d}; }

// A box as the reader measures it: white inside, its outline dark all round.
void verifierCase(const QImage &rendu, const RectMm &r, const QString &nom)
{
    QVERIFY2(r.l >= 4 && r.h >= 4 && extremes(rendu, reduit(r, 0.5)).first > 235, qPrintable(nom));
    for (qreal t : {0.25, 0.5, 0.75}) {
        const qreal x = r.x + t * r.l, y = r.y + t * r.h;
        for (const RectMm &trait : {RectMm{x, r.y - 0.3, 0, 0.6}, RectMm{x, r.y + r.h - 0.3, 0, 0.6},
                                    RectMm{r.x - 0.3, y, 0.6, 0}, RectMm{r.x + r.l - 0.3, y, 0.6, 0}})
            QVERIFY2(extremes(rendu, trait).first < 170, qPrintable(nom));
    }
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

    // The key is the reader's map: from it alone, every mark, box and code is found on the
    // rendered sheets, and it says what each version asks in the order printed.
    void answerSheet_keyMatchesTheRenderedSheets_data()
    {
        QTest::addColumn<int>("cartes");
        QTest::addColumn<int>("versions");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("chiffres");
        QTest::addColumn<int>("feuilles");  // answer sheet pages per version
        QTest::newRow("two versions, number of four digits") << 8 << 2 << QStringList{"--student-number", "4"} << 4 << 1;
        QTest::newRow("ten digits, on two pages") << 70 << 1 << QStringList{"--student-number", "10"} << 10 << 2;
        QTest::newRow("no number, on two pages") << 130 << 1 << QStringList{"--answer-sheet"} << 0 << 2;
    }
    void answerSheet_keyMatchesTheRenderedSheets()
    {
        QFETCH(int, cartes);
        QFETCH(int, versions);
        QFETCH(QStringList, options);
        QFETCH(int, chiffres);
        QFETCH(int, feuilles);
        Banque b;
        const QList<Carte> liste = cartes == 8 ? huit() : serie(cartes);
        poser(b, liste);
        const QString pdf = b.chemin("examen.pdf"), cle = b.chemin("examen.corrige.json");
        QString out, err;
        const QStringList arguments{"exam", b.chemins().banque, "-o", pdf, "--seed", "5", "--versions",
                                    QString::number(versions), "--date", "6 décembre 2025"};
        QCOMPARE(lancer(arguments + options, out, err), 0);
        QCOMPARE(err, "");
        QVERIFY2(QRegularExpression(QString("^\\{\"questions\":%1,\"versions\":%2,\"pages\":\\d+,\"seed\":5,\"key\":\"%3\"\\}\\n$")
                                        .arg(cartes)
                                        .arg(versions)
                                        .arg(QRegularExpression::escape(cle)))
                     .match(out)
                     .hasMatch(),
                 qPrintable(out));
        Corrige c;
        QVERIFY(lireCorrige(cle, c));
        QVERIFY(QRegularExpression("^[0-9A-F]{10}$").match(c.examen).hasMatch());
        QVERIFY(c.titre == "BASE" && c.banque == QFileInfo(b.chemins().banque).absoluteFilePath() && c.graine == 5
                && c.bareme == Bareme());
        QCOMPARE(c.pages.size(), versions * feuilles);

        // What each version asks, as its questions and its answer key page print it.
        const QList<Lu> lus = lire(pdf, versions);
        QCOMPARE(c.versions.size(), versions);
        for (int v = 0; v < versions; ++v) {
            QVERIFY(c.versions[v].version == v + 1 && c.versions[v].questions.size() == cartes);
            for (int k = 0; k < cartes; ++k) {
                const QuestionCorrigee &q = c.versions[v].questions[k];
                QVERIFY(q.numero == k + 1 && q.question == liste[q.fiche - 1].question && q.fiche == lus[v].fiches.value(k + 1));
                QCOMPARE(q.question, lus[v].questions[k]);
                QCOMPARE(q.reponses, lus[v].reponses[k]);
                QCOMPARE(QChar(u'A' + q.bonne), lus[v].corrige.value(k + 1));
                QCOMPARE(q.origines.size(), q.reponses.size());
                for (int r = 0; r < q.reponses.size(); ++r)
                    QCOMPARE(q.reponses[r], liste[q.fiche - 1].reponses.value(q.origines[r] - 1));
            }
        }

        QPdfDocument document;
        QCOMPARE(document.load(pdf), QPdfDocument::Error::None);
        const QStringList textes = pdfEnTexte(pdf).split(u'\f');
        QCOMPARE(textes.filter("noircissez sa case sur la feuille de réponses, à la").size(), versions);
        QMap<int, QList<int>> vues;  // version: each question's boxes, one count per question
        for (const PageFeuille &p : c.pages) {
            const QString ou = QString("page %1").arg(p.page);
            QVERIFY2(textes.value(p.page - 1).contains(QString("Feuille de réponses — Sujet %1").arg(p.version)), qPrintable(ou));
            const QSizeF points = document.pagePointSize(p.page - 1);
            QVERIFY(qAbs(p.largeur - points.width() * 25.4 / 72) < 0.1 && qAbs(p.hauteur - points.height() * 25.4 / 72) < 0.1);
            const QImage rendu = correction::surBlanc(document.render(p.page - 1, (points * 150 / 72).toSize()));
            // The marks: black all over, within what a printer prints, white around them.
            for (const RectMm &m : p.reperes) {
                QVERIFY2(m.l >= 6 && m.l <= 8 && m.h == m.l && m.x >= 8 && m.y >= 8 && m.x + m.l <= p.largeur - 8
                             && m.y + m.h <= p.hauteur - 8 && extremes(rendu, reduit(m, 0.2)).second < 60,
                         qPrintable(ou));
                const qreal d = 0.4, e = 5;
                for (const RectMm &bord : {RectMm{m.x - e, m.y - e, m.l + 2 * e, e - d}, RectMm{m.x - e, m.y + m.h + d, m.l + 2 * e, e - d},
                                           RectMm{m.x - e, m.y, e - d, m.h}, RectMm{m.x + m.l + d, m.y, e - d, m.h}})
                    QVERIFY2(extremes(rendu, bord).first > 200, qPrintable(ou));
            }
            const RectMm &hg = p.reperes[0], &bd = p.reperes[2];
            QVERIFY(hg.x < p.reperes[1].x && hg.y < p.reperes[3].y && bd.x == p.reperes[1].x && bd.y == p.reperes[3].y);
            auto dansLeCadre = [&](const RectMm &r) {
                return r.x > hg.x + hg.l && r.y > hg.y + hg.h && r.x + r.l < bd.x && r.y + r.h < bd.y;
            };
            // The code names this page, and sits where the key says, inside the marks' frame.
            QVERIFY(dansLeCadre(p.qr) && p.qr.l >= 18 && p.qr.l <= 26);
            const QImage gris = rendu.convertToFormat(QImage::Format_Grayscale8);
            const ZXing::Result lu = ZXing::ReadBarcode({gris.bits(), gris.width(), gris.height(), ZXing::ImageFormat::Lum,
                                                         int(gris.bytesPerLine())},
                                                        ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
            QVERIFY2(lu.isValid(), qPrintable(ou));
            QCOMPARE(QString::fromStdString(lu.text()), texteQr(c.examen, p.version, p.page));
            const ZXing::PointI centre = lu.position().topLeft() + lu.position().bottomRight();
            QVERIFY(qAbs(centre.x * 25.4 / 300 - (p.qr.x + p.qr.l / 2)) < 1 && qAbs(centre.y * 25.4 / 300 - (p.qr.y + p.qr.h / 2)) < 1);
            // Its quiet zone of four modules (at most 25 of them here) is white.
            const qreal zone = 4 * p.qr.l / 25;
            QVERIFY(extremes(rendu, {p.qr.x - zone, p.qr.y - zone, p.qr.l + 2 * zone, zone - 0.3}).first > 235
                    && extremes(rendu, {p.qr.x - zone, p.qr.y, zone - 0.3, p.qr.l}).first > 235);

            QList<RectMm> toutes;
            for (const CaseFeuille &k : p.cases) {
                verifierCase(rendu, k.rect, ou + QString(", question %1%2").arg(k.question).arg(QChar(u'A' + k.reponse)));
                QList<int> &n = vues[p.version];
                n.resize(qMax(n.size(), k.question));
                QCOMPARE(k.reponse, n[k.question - 1]++);
                toutes << k.rect;
            }
            // The number on the first sheet of each version only.
            QCOMPARE(p.numeroEleve.size(), c.page(p.version, p.page - 1) ? 0 : chiffres * 10);
            for (const CaseChiffre &k : p.numeroEleve) {
                verifierCase(rendu, k.rect, ou + QString(", chiffre %1 : %2").arg(k.chiffre).arg(k.valeur));
                QCOMPARE(k.chiffre * 10 + k.valeur, (&k - p.numeroEleve.data()) + 10);
                toutes << k.rect;
            }
            // At least 2 mm between two boxes, all inside the frame and clear of the code.
            for (const RectMm &r : toutes) {
                QVERIFY(dansLeCadre(r));
                QVERIFY(r.x > p.qr.x + p.qr.l + zone || r.y > p.qr.y + p.qr.h + zone || r.x + r.l < p.qr.x - zone);
            }
            for (qsizetype i = 0; i < toutes.size(); ++i)
                for (qsizetype j = i + 1; j < toutes.size(); ++j) {
                    const RectMm &a = toutes[i], &o = toutes[j];
                    QVERIFY(a.x + a.l + 1.98 <= o.x || o.x + o.l + 1.98 <= a.x || a.y + a.h + 1.98 <= o.y || o.y + o.h + 1.98 <= a.y);
                }
        }
        for (int v = 0; v < versions; ++v) {
            QList<int> attendu;
            for (const QuestionCorrigee &q : c.versions[v].questions)
                attendu << int(q.reponses.size());
            QCOMPARE(vues.value(v + 1), attendu);
        }

        // The same exam made again is named the same; without the option, the key goes.
        const QString examen = c.examen;
        QCOMPARE(lancer(arguments + options, out, err), 0);
        QVERIFY(lireCorrige(cle, c) && c.examen == examen);
        out.clear();
        QCOMPARE(lancer(arguments, out, err), 0);
        QVERIFY(!QFile::exists(cle) && !out.contains("key") && pdfEnTexte(pdf).contains("Grille de réponses — Sujet 1"));
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
        const QString chiffres = "qzf exam: --student-number takes a whole number from 1 to 10 (not %1) (see qzf exam --help)\n";
        for (const char *n : {"0", "11", "4x"})
            QTest::newRow(qPrintable(QString("student number %1").arg(n))) << QStringList{"--student-number", n} << 2
                                                                          << chiffres.arg(n);
        // A folder where the key goes: the PDF is not written either.
        QTest::newRow("key cannot be written") << QStringList{"--answer-sheet"} << 1
                                               << "qzf exam: Impossible d'écrire le fichier CLE : c'est un dossier.\n";
    }
    void qzfExam_refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, erreurs);
        Banque b;
        poser(b, huit());
        QDir().mkpath(b.chemin("e.corrige.json"));
        QString out, err;
        QTEST(lancer(QStringList{"exam", b.chemins().banque, "-o", b.chemin("e.pdf")} + arguments, out, err), "statut");
        QCOMPARE(err, erreurs.replace("CLE", b.chemin("e.corrige.json")));
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
