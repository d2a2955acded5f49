// Characters a bank name may not hold, and whether a bank can be opened before the open one
// is let go. The refusals of a typed name are tested through the choosers.
#include "files/nomfichier.h"
#include "verrou.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <unistd.h>

using L = QStringList;

class TestNomFichier : public QObject {
    Q_OBJECT
private slots:
    void admissible_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<bool>("admis");
        QTest::newRow("plain") << "BASE.QZF" << true;
        QTest::newRow("spaces, accents") << "  mes été.qzf " << true;
        QTest::newRow("one dot inside") << "a.b" << true;
        QTest::newRow("dots inside") << "a..b" << false;
        QTest::newRow("dot alone") << " . " << false;
        QTest::newRow("drive letter") << "c:\\base.qzf" << false;
        for (const char c : QByteArray("<>:\"|?*"))
            QTest::addRow("character %c", c) << QStringLiteral("a%1b.qzf").arg(QChar(c)) << false;
        QTest::newRow("newline") << "a\nb.qzf" << false;
        QTest::newRow("delete character") << QStringLiteral("a%1b").arg(QChar(127)) << false;
    }
    void admissible()
    {
        QFETCH(QString, nom);
        QTEST(nomfichier::admissible(nom), "admis");
    }

    // Layouts: "f" a file, "d" a folder, "-" nothing, "0" a file nobody may read or write.
    void chargeable_data()
    {
        QTest::addColumn<QString>("banque");
        QTest::addColumn<QString>("themes");
        QTest::addColumn<bool>("ok");
        QTest::newRow("both there") << "f" << "f" << true;
        QTest::newRow("themes missing") << "f" << "-" << true;
        QTest::newRow("bank missing") << "-" << "f" << true;
        QTest::newRow("both missing") << "-" << "-" << true;
        QTest::newRow("bank is a folder") << "d" << "f" << false;
        QTest::newRow("themes are a folder") << "f" << "d" << false;
        QTest::newRow("bank locked") << "0" << "f" << false;
        QTest::newRow("themes locked") << "f" << "0" << false;
    }
    void chargeable()
    {
        QFETCH(QString, banque);
        QFETCH(QString, themes);
        QTemporaryDir dir;
        std::unique_ptr<Verrou> verrou;
        const auto poser = [&](const QString &nom, const QString &quoi) {
            const QString chemin = dir.filePath(nom);
            if (quoi == "d")
                QDir().mkdir(chemin);
            if (quoi == "f" || quoi == "0") {
                QFile f(chemin);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("x");
            }
            if (quoi == "0")
                verrou = std::make_unique<Verrou>(chemin);
        };
        poser("x.qzf", banque);
        poser("x.prm", themes);
        if (verrou && (!verrou->pose() || (themes == "0" && !verrou->empecheLecture())))
            QSKIP("this file system lets this process read and write whatever it holds");
        const QByteArray avant = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toUtf8();
        const Resultat r = nomfichier::chargeable(dir.filePath("x.qzf"), dir.filePath("x.prm"));
        QTEST(r.ok, "ok");
        QCOMPARE(r.erreur.isEmpty(), r.ok);
        // The check creates nothing.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ').toUtf8(), avant);
    }

    void chargeable_readOnlyFolder_refusesMissingBank()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(!nomfichier::chargeable(dir.filePath("x.qzf"), dir.filePath("x.prm")).ok);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestNomFichier)
#include "test_nomfichier.moc"
