// Names typed for banks, and whether a bank can be opened before the open one is let go.
#include "files/nomfichier.h"
#include "verrou.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <unistd.h>

using L = QStringList;
Q_DECLARE_METATYPE(nomfichier::Refus)

class TestNomFichier : public QObject {
    Q_OBJECT
private slots:
    void examinerNouveauNom_data()
    {
        using R = nomfichier::Refus;
        QTest::addColumn<QString>("saisie");
        QTest::addColumn<L>("listes");
        QTest::addColumn<R>("refus");
        QTest::addColumn<QString>("base");
        const L abc = {"ABC.QZF", "autre.qzf"};
        QTest::newRow("8 characters") << "abcdefgh" << L{} << R::Aucun << "abcdefgh";
        QTest::newRow("9 characters") << "abcdefghi" << L{} << R::TropLong << "abcdefghi";
        QTest::newRow("8 inside spaces") << "  abcdefgh  " << L{} << R::Aucun << "abcdefgh";
        QTest::newRow("8 accented") << "éèàùçôîê" << L{} << R::Aucun << "éèàùçôîê";
        QTest::newRow("cancelled") << "" << L{} << R::Vide << "";
        QTest::newRow("spaces only") << "    " << L{} << R::Vide << "";
        QTest::newRow("typed extension") << "abc.qzf" << L{"abc.qzf"} << R::Aucun << "abc.qzf";
        QTest::newRow("listed in capitals") << "abc" << abc << R::Aucun << "abc";
        QTest::newRow("listed as typed") << "autre" << abc << R::Existe << "autre";
        QTest::newRow("listed, typed with spaces") << " autre " << abc << R::Existe << "autre";
        QTest::newRow("listed other extension case") << "autre" << L{"autre.QZF"} << R::Aucun << "autre";
        QTest::newRow("slash") << "a/b" << L{} << R::Invalide << "a/b";
        QTest::newRow("backslash") << "a\\b" << L{} << R::Invalide << "a\\b";
        QTest::newRow("parent") << ".." << L{} << R::Invalide << "..";
        QTest::newRow("parent inside") << "a..b" << L{} << R::Invalide << "a..b";
        QTest::newRow("dot alone") << "." << L{} << R::Invalide << ".";
        QTest::newRow("colon") << "c:x" << L{} << R::Invalide << "c:x";
        QTest::newRow("tab inside") << "a\tb" << L{} << R::Invalide << "a\tb";
        QTest::newRow("too long beats invalid") << "abc/defghi" << L{} << R::TropLong << "abc/defghi";
        QTest::newRow("invalid beats listed") << "a?" << L{"a?.qzf"} << R::Invalide << "a?";
        QTest::newRow("single dot inside") << "a.b" << L{} << R::Aucun << "a.b";
    }
    void examinerNouveauNom()
    {
        QFETCH(QString, saisie);
        QFETCH(L, listes);
        QString base = "inchangé";
        QTEST(nomfichier::examinerNouveauNom(saisie, listes, &base), "refus");
        QTEST(base, "base");
    }

    void admissible_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<bool>("admis");
        QTest::newRow("plain") << "BASE.QZF" << true;
        QTest::newRow("spaces around") << "  base.qzf " << true;
        QTest::newRow("inner space") << "mes q.qzf" << true;
        QTest::newRow("accents") << "été.qzf" << true;
        QTest::newRow("folder") << "sous/base.qzf" << false;
        QTest::newRow("up") << "../base.qzf" << false;
        QTest::newRow("windows folder") << "c:\\base.qzf" << false;
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
