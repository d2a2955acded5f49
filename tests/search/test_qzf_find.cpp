// qzf find, run in-process: the card it prints, the refusals and usage errors, exit statuses.
#include "support/banque.h"
#include "support/lancer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using L = QStringList;

class TestQzfFind : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;

private slots:
    void init() { QVERIFY(QDir::setCurrent(m_dir.emplace().path())); }

    void find_data()
    {
        QTest::addColumn<L>("arguments");
        QTest::addColumn<QByteArray>("banque");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("sortie");
        QTest::addColumn<QString>("erreurs");
        // Twelve cards; 4 and 9 marked, 7 names a picture, 11 has a media field never written.
        QByteArray douze;
        for (int k = 1; k <= 12; ++k) {
            banque::Carte c{k == 5 ? QStringLiteral("Un été à Nîmes") : QStringLiteral("Question %1").arg(k)};
            c.marque = k == 4 || k == 9;
            c.media = k == 7 ? QStringLiteral("photo.jpg") : QString();
            QByteArray r = banque::fiche(c).octets();
            if (k == 11)
                r.replace(789, 12, QByteArray(12, '\0'));
            douze += r;
        }
        const QByteArray une = douze.left(803);
        auto ligne = [&](const char *nom, const L &args, int statut, const QString &sortie, const QString &erreurs,
                         const QByteArray &b = {}) {
            QTest::newRow(nom) << L{"find", "BASE.QZF"} + args << (b.isNull() ? douze : b) << statut << sortie << erreurs;
        };
        const QString aucune = QStringLiteral("Pas d'occurrence trouvée!\n");
        ligne("number", {"--number", "12"}, 0, "12\n", "");
        ligne("number above", {"--number", " 12.4 "}, 1, "", "La fiche numéro  12.4  n'existe pas!\n");
        ligne("mark", {"--mark"}, 0, "4\n", "");
        ligne("mark wraps", {"--mark", "--from", "10"}, 0, "4\n", "");
        ligne("mark on the only marked card", {"--mark"}, 1, "", aucune, une);
        ligne("media", {"--media", "--from", "7"}, 0, "11\n", "");
        ligne("text in capitals", {"--text", "ÉTÉ À"}, 0, "5\n", "");
        ligne("text ending in a space", {"--text", "question 1 ", "--from", "2"}, 0, "1\n", "");
        ligne("text starting with a dash", {"--text", "-x"}, 1, "", aucune);
        ligne("empty text", {"--text", "", "--from", "12"}, 0, "1\n", "");
        ligne("empty bank", {"--media"}, 1, "", aucune, "");
        const QString exactement = "qzf find: give exactly one of --number, --text, --mark, --media (see qzf find --help)\n";
        ligne("no criterion", {}, 2, "", exactement);
        ligne("two criteria", {"--mark", "--media"}, 2, "", exactement);
        ligne("from 0", {"--mark", "--from", "0"}, 2, "", "qzf find: --from 0 is not between 1 and 12 (see qzf find --help)\n");
        ligne("from past the last", {"--mark", "--from", "13"}, 2, "", "qzf find: --from 13 is not between 1 and 12 (see qzf find --help)\n");
        ligne("from, empty bank", {"--mark", "--from", "2"}, 2, "", "qzf find: --from 2 is not between 1 and 1 (see qzf find --help)\n", "");
        ligne("from not a number", {"--mark", "--from", "x"}, 2, "", "qzf find: --from takes a card number (see qzf find --help)\n");
        ligne("missing value", {"--text"}, 2, "", "qzf find: Missing value after '--text'. (see qzf find --help)\n");
    }
    void find()
    {
        QFETCH(L, arguments);
        QFETCH(QByteArray, banque);
        QVERIFY(banque::ecrire("BASE.QZF", banque));
        QString out, err;
        QTEST(lancer(arguments, out, err), "statut");
        QTEST(out, "sortie");
        QTEST(err, "erreurs");
        QCOMPARE(banque::lire("BASE.QZF"), banque);
    }

    void missingBank_saysSo()
    {
        QString out, err;
        QCOMPARE(lancer({"find", "ABSENT.QZF", "--mark"}, out, err), 1);
        QCOMPARE(err, QStringLiteral("qzf: ABSENT.QZF: no such file\n"));
        QVERIFY(!QFile::exists("ABSENT.QZF"));
    }

    void help_namesEveryCriterion()
    {
        QString out, err;
        QCOMPARE(lancer({"find", "--help"}, out, err), 0);
        QVERIFY2(out.startsWith("Usage: qzf find [options] BANK\n"), qPrintable(out));
        for (const char *option : {"--number <TEXT>", "--text <TEXT>", "--mark ", "--media ", "--from <N>"})
            QVERIFY2(out.contains(QLatin1String(option)), option);
    }
};

QTEST_GUILESS_MAIN(TestQzfFind)
#include "test_qzf_find.moc"
