// qzf transfer and qzf print: outputs, exit statuses and files, in process and through the
// built tool (which makes its own Qt Gui application only for --pdf).
#include "output/listing.h"
#include "output/mise_en_page.h"
#include "support/banque.h"
#include "support/lancer.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

QByteArray trois()  // marks on cards 1 and 3
{
    return banque::octets({{"Un été", 0, 1, 1, {"oui"}}, {"Deux", 0, 2, 0, {"a", "b"}}, {"Trois", 0, 1, 1}});
}

} // namespace

class TestQzfSortie : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;

private slots:
    void initTestCase() { listing::imprimerPdf = &imprimerEnPdf; }
    void init() { QVERIFY(QDir::setCurrent(m_dir.emplace().path())); }

    void verbs_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("texte");  // stdout when the status is 0, else stderr
        QTest::addColumn<QList<int>>("dest");  // cards of BASE.QZF in DEST.QZF afterwards
        const QList<int> aucune;
        QTest::newRow("all") << "transfer BASE.QZF DEST.QZF --all" << 0 << "3\n" << QList<int>{1, 2, 3};
        QTest::newRow("marked") << "transfer BASE.QZF DEST.QZF --marked" << 0 << "2\n" << QList<int>{1, 3};
        QTest::newRow("between marks") << "transfer --between-marks BASE.QZF DEST.QZF" << 0 << "3\n"
                                       << QList<int>{1, 2, 3};
        QTest::newRow("no selection") << "transfer BASE.QZF DEST.QZF" << 2
            << "qzf transfer: choose --all, --marked or --between-marks (see qzf transfer --help)\n" << aucune;
        QTest::newRow("two selections") << "transfer BASE.QZF DEST.QZF --all --marked" << 2
            << "qzf transfer: choose one of --all, --marked, --between-marks (see qzf transfer --help)\n"
            << aucune;
        QTest::newRow("same bank") << "transfer BASE.QZF ./BASE.QZF --all" << 1
            << "qzf: ./BASE.QZF: the destination is the source bank itself\n" << aucune;
        QTest::newRow("missing source") << "transfer ABSENT.QZF DEST.QZF --all" << 1
                                        << "qzf: ABSENT.QZF: no such file\n" << aucune;
        QTest::newRow("missing folder") << "transfer BASE.QZF NUL/DEST.QZF --all" << 1
            << "qzf: Impossible de créer le fichier destination NUL/DEST.QZF : le dossier n'existe pas.\n"
            << aucune;
        const QString q1 = " 1 )" + QString("Un été").leftJustified(200), q3 = " 3 )" + QString("Trois").leftJustified(200);
        const QString q2 = " 2 )" + QString("Deux").leftJustified(200), blanc(200, u' '), douze(12, u' ');
        const QString rep1 = douze + " 0 Rép=>" + QString("oui").leftJustified(70);
        const QString rep2 = douze + " 0 -" + QString("a").leftJustified(70) + douze + " 1 Rép=>" + QString("b").leftJustified(70);
        const QString tete = "EDITION ORBELIN - LE FICHIER CONTIENT : 3 QUESTIONS\n\n";
        const QString teteNom = "EDITION ORBELIN - LE FICHIER BASE.QZF CONTIENT : 3 QUESTIONS\n\n";
        QTest::newRow("quick") << "print BASE.QZF --quick" << 0 << tete + q1 + "\n" + q2 + "\n" + q3 + "\n" << aucune;
        QTest::newRow("light, marked") << "print --light --marked BASE.QZF" << 0 << teteNom + q1 + "\n" + q3 + "\n" << aucune;
        QTest::newRow("detailed") << "print BASE.QZF --detailed" << 0
            << tete + q1 + "\n" + rep1 + "\n" + blanc + "\n" + q2 + "\n" + rep2 + "\n" + blanc + "\n" + q3 + "\n\n"
                   + blanc + "\n" << aucune;
        QTest::newRow("complete, between marks") << "print BASE.QZF --complete --between-marks" << 0
            << teteNom + q1 + "\n" + rep1 + "\n" + blanc + "\n\n" + q2 + "\n" + rep2 + "\n" + blanc + "\n\n" + q3
                   + "\n\n" + blanc + "\n\n" << aucune;
        QTest::newRow("no form") << "print BASE.QZF" << 2
            << "qzf print: choose --quick, --detailed, --light or --complete (see qzf print --help)\n" << aucune;
        QTest::newRow("two forms") << "print BASE.QZF --quick --light" << 2
            << "qzf print: choose one of --quick, --detailed, --light, --complete (see qzf print --help)\n" << aucune;
        QTest::newRow("quick chooses nothing") << "print BASE.QZF --quick --marked" << 2
            << "qzf print: --quick and --detailed list every card (see qzf print --help)\n" << aucune;
        QTest::newRow("missing bank") << "print ABSENT.QZF --quick" << 1 << "qzf: ABSENT.QZF: no such file\n" << aucune;
        QTest::newRow("pdf") << "print BASE.QZF --complete --pdf liste.pdf" << 0 << "3\n" << aucune;
        QTest::newRow("pdf, marked") << "print BASE.QZF --light --marked --pdf liste.pdf" << 0 << "2\n" << aucune;
        QTest::newRow("pdf into a missing folder") << "print BASE.QZF --quick --pdf NUL/liste.pdf" << 1
            << "qzf: Impossible d'écrire le fichier NUL/liste.pdf : fichier ou dossier introuvable.\n" << aucune;
    }
    void verbs()
    {
        QFETCH(QString, arguments);
        QFETCH(int, statut);
        QFETCH(QList<int>, dest);
        QVERIFY(banque::ecrire("BASE.QZF", trois()));
        QString out, err;
        QCOMPARE(lancer(arguments.split(u' ', Qt::SkipEmptyParts), out, err), statut);
        QTEST(statut == 0 ? out : err, "texte");
        QCOMPARE(statut == 0 ? err : out, QString());
        QByteArray attendu;
        for (int n : dest)
            attendu += banque::enregistrement(trois(), n).replace(782, 2, QByteArray(2, '\0'));
        QCOMPARE(banque::lire("DEST.QZF"), attendu);
        QCOMPARE(QFileInfo::exists("DEST.QZF"), statut == 0 && arguments.startsWith("transfer"));
        QCOMPARE(QFileInfo::exists("liste.pdf"), statut == 0 && arguments.contains("--pdf"));
        QCOMPARE(banque::lire("BASE.QZF"), trois());
    }

    // A line longer than the page goes on over the next lines: every word of it is printed.
    void pdf_wrapsLongLinesAndFollowsOnNewPages()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QFAIL("pdftotext (poppler-utils, listed in tools/deps.sh) is needed to read the PDF back");
        QString question;
        for (int i = 1; question.size() < 200; ++i)
            question += QStringLiteral("mot%1 ").arg(i);
        question = question.left(196) + "fin.";  // the whole 200-character field, its last word cut short
        const QString avantDernier = question.section(u' ', -2, -2), dernier = question.section(u' ', -1);
        QByteArray b = banque::octets({{question, 0, 1, 0, {"Paris", "Lyon", "Metz"}}});
        for (int i = 2; i <= 150; ++i)
            b += banque::fiche({QStringLiteral("Question %1 ?").arg(i)}).octets();
        QVERIFY(banque::ecrire("BASE.QZF", b));
        QString out, err;
        QCOMPARE(lancer({"print", "BASE.QZF", "--complete", "--pdf", "liste.pdf"}, out, err), 0);
        const QString texte = pdfEnTexte("liste.pdf");
        QVERIFY2(texte.contains("EDITION ORBELIN - LE FICHIER BASE.QZF CONTIENT : 150 QUESTIONS"), qPrintable(texte.left(300)));
        QVERIFY(texte.contains("1 )mot1 mot2"));
        for (const QString &mot : {avantDernier + " " + dernier, QString("Rép=>Paris"), QString("150 )Question 150 ?")})
            QVERIFY2(texte.contains(mot), qPrintable(mot));
        QVERIFY(texte.count(u'\f') >= 3);  // several pages
    }

    void builtTool_printsUtf8AndWritesPdf()
    {
        QVERIFY(banque::ecrire("BASE.QZF", trois()));
        QProcess p;
        p.start(QStringLiteral(QZF_PATH), {"print", "BASE.QZF", "--light"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardError(), QByteArray());
        QVERIFY(p.readAllStandardOutput().contains(" 1 )Un \xC3\xA9t\xC3\xA9 "));
        p.start(QStringLiteral(QZF_PATH), {"print", "BASE.QZF", "--quick", "--pdf", "liste.pdf"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.readAllStandardError(), QByteArray());
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("3\n"));
        QVERIFY(banque::lire("liste.pdf").startsWith("%PDF-"));
        p.start(QStringLiteral(QZF_PATH), {"transfer", "BASE.QZF", "DEST.QZF", "--marked"});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.readAllStandardOutput(), QByteArray("2\n"));
        QCOMPARE(QFileInfo("DEST.QZF").size(), 2 * 803);
    }
};

QTEST_MAIN(TestQzfSortie)
#include "test_qzf_sortie.moc"
