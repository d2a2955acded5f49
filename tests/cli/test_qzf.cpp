#include "cli/qzf.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

struct Sortie {
    int statut = -1;
    QString out;
    QString err;
};

Sortie lancer(const QStringList &arguments)
{
    Sortie s;
    QTextStream out(&s.out), err(&s.err);
    s.statut = qzf::executer(arguments, out, err);
    out.flush();
    err.flush();
    return s;
}

bool poser(const QString &chemin, const QByteArray &octets)
{
    QFile f(chemin);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(octets) == octets.size();
}

QByteArray contenu(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An 803-byte record that is zero except for the given bytes.
QByteArray enregistrement(std::initializer_list<std::pair<int, QByteArray>> champs)
{
    QByteArray r(FicheQuestion::Taille, '\0');
    for (const auto &[offset, octets] : champs)
        r.replace(offset, octets.size(), octets);
    return r;
}

QByteArray carteDeTheme(int i, int theme)
{
    FicheQuestion f;
    texte::stocker(f.Question, QStringLiteral("Q%1").arg(i));
    f.BonneReponse[0] = -1;
    f.NumTheme = quint8(theme);
    return f.octets();
}

QString blancs(int n) { return QString(n, u' '); }

} // namespace

class TestQzf : public QObject {
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString chemin(const QString &nom) const { return m_dir->filePath(nom); }
    QStringList fichiers() const { return QDir(m_dir->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void dump_printsEachCardAsOneJsonLine_data()
    {
        QTest::addColumn<QByteArray>("carte");
        QTest::addColumn<QString>("ligne");

        FicheQuestion f;
        texte::stocker(f.Question, QStringLiteral("Capitale de la France ?"));
        texte::stocker(f.Reponse[0], QStringLiteral("Paris"));
        texte::stocker(f.Reponse[1], QStringLiteral("Lyon"));
        texte::stocker(f.Reponse[2], QStringLiteral("Nice"));
        texte::stocker(f.Commentaire, QStringLiteral("Depuis 987."));
        f.BonneReponse[0] = -1;
        f.NumTheme = 4;
        f.Marque = 1;
        texte::stocker(f.Auteur, QStringLiteral("AB"));
        texte::stocker(f.FichierMedia, QStringLiteral("photo.jpg"));
        f.TailleImage = 11;
        QTest::newRow("stored by the editor")
            << f.octets()
            << "{\"n\":1,\"Question\":\"Capitale de la France ?" + blancs(177) + "\",\"Reponse\":[\"Paris" + blancs(120)
                   + "\",\"Lyon" + blancs(121) + "\",\"Nice" + blancs(121) + "\"],\"Commentaire\":\"Depuis 987."
                   + blancs(189) + "\",\"BonneReponse\":[-1,0,0],\"NumTheme\":4,\"Marque\":1,\"Auteur\":\"AB   \","
                   "\"FichierMedia\":\"photo.jpg   \",\"TailleImage\":11}";

        QTest::newRow("never written")
            << enregistrement({})
            << "{\"n\":1,\"Question\":\"\",\"Reponse\":[\"\",\"\",\"\"],\"Commentaire\":\"\",\"BonneReponse\":[0,0,0],"
               "\"NumTheme\":0,\"Marque\":0,\"Auteur\":\"\",\"FichierMedia\":\"\",\"TailleImage\":0}";

        QTest::newRow("escapes")
            << enregistrement({{0, QByteArray("dit \"oui\" \\ a\tb\nc\rd\x01\x1F\x7F")},
                               {200, QByteArray("\x81\x9D")},
                               {575, QByteArray(" fin ")}})
            << "{\"n\":1,\"Question\":\"dit \\\"oui\\\" \\\\ a\\tb\\nc\\rd\\u0001\\u001f\\u007f\","
               "\"Reponse\":[\"\\u0081\\u009d\",\"\",\"\"],\"Commentaire\":\" fin \",\"BonneReponse\":[0,0,0],"
               "\"NumTheme\":0,\"Marque\":0,\"Auteur\":\"\",\"FichierMedia\":\"\",\"TailleImage\":0}";

        QTest::newRow("Windows-1252 and text after a zero byte")
            << enregistrement({{0, QByteArray("\xE9t\xE9 \x80 \x9C\0cach\xE9", 13)}, {784, QByteArray("\xC9L")}})
            << "{\"n\":1,\"Question\":\"été € œ\",\"Reponse\":[\"\",\"\",\"\"],\"Commentaire\":\"\","
               "\"BonneReponse\":[0,0,0],\"NumTheme\":0,\"Marque\":0,\"Auteur\":\"ÉL\",\"FichierMedia\":\"\","
               "\"TailleImage\":0}";

        QTest::newRow("percent signs are text")
            << enregistrement({{0, QByteArray("%1 %6 %10 %L1")}, {575, QByteArray("100%7")}, {789, QByteArray("%9.jpg")}})
            << "{\"n\":1,\"Question\":\"%1 %6 %10 %L1\",\"Reponse\":[\"\",\"\",\"\"],\"Commentaire\":\"100%7\","
               "\"BonneReponse\":[0,0,0],\"NumTheme\":0,\"Marque\":0,\"Auteur\":\"\",\"FichierMedia\":\"%9.jpg\","
               "\"TailleImage\":0}";

        QTest::newRow("numbers as stored")
            << enregistrement({{775, QByteArray::fromHex("0100 FEFF 0080")},
                               {781, QByteArray::fromHex("C8")},
                               {782, QByteArray::fromHex("FFFF")},
                               {801, QByteArray::fromHex("FF7F")}})
            << "{\"n\":1,\"Question\":\"\",\"Reponse\":[\"\",\"\",\"\"],\"Commentaire\":\"\","
               "\"BonneReponse\":[1,-2,-32768],\"NumTheme\":200,\"Marque\":-1,\"Auteur\":\"\",\"FichierMedia\":\"\","
               "\"TailleImage\":32767}";
    }
    void dump_printsEachCardAsOneJsonLine()
    {
        QFETCH(QByteArray, carte);
        QFETCH(QString, ligne);
        QVERIFY(poser(chemin("BASE.QZF"), carte));
        const Sortie s = lancer({"dump", chemin("BASE.QZF")});
        QCOMPARE(s.err, QString());
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.out, ligne + u'\n');
        QCOMPARE(contenu(chemin("BASE.QZF")), carte);
    }

    void dump_numbersCardsAndCountsShortLastRecord()
    {
        QVERIFY(poser(chemin("B.QZF"), carteDeTheme(1, 0) + carteDeTheme(2, 1) + carteDeTheme(3, 2).left(781)));
        const Sortie s = lancer({"dump", chemin("B.QZF")});
        QCOMPARE(s.statut, 0);
        const QStringList lignes = s.out.split(u'\n');
        QCOMPARE(lignes.size(), 4);
        QCOMPARE(lignes[3], QString());
        for (int i = 0; i < 3; ++i)
            QVERIFY2(lignes[i].startsWith(QStringLiteral("{\"n\":%1,\"Question\":\"Q%1 ").arg(i + 1)), qPrintable(lignes[i]));
        QVERIFY(lignes[1].contains(QLatin1String("\"NumTheme\":1,")));
        // The short record lost its theme byte and everything after it.
        QVERIFY(lignes[2].endsWith(QLatin1String("\"BonneReponse\":[-1,0,0],\"NumTheme\":0,\"Marque\":0,\"Auteur\":\"\","
                                                 "\"FichierMedia\":\"\",\"TailleImage\":0}")));
    }

    void dump_emptyBank_printsNothing()
    {
        QVERIFY(poser(chemin("B.QZF"), {}));
        const Sortie s = lancer({"dump", chemin("B.QZF")});
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.out, QString());
        QCOMPARE(s.err, QString());
    }

    void themes_missingThemeFile_printsNineEmptyNamesAndCreatesNothing()
    {
        QVERIFY(poser(chemin("BASE.QZF"), carteDeTheme(1, 0)));
        const Sortie s = lancer({"themes", chemin("BASE.QZF")});
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.out, QStringLiteral("[\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"]\n"));
        QCOMPARE(s.err, QString());
        QCOMPARE(fichiers(), QStringList{"BASE.QZF"});
    }

    void themes_savedThemeFile_printsNamesAsStored()
    {
        QVERIFY(poser(chemin("quiz.qzf"), {}));
        TableThemes t;
        t.fixerNom(0, QStringLiteral("Histoire"));
        t.fixerNom(1, QStringLiteral("Géo \"1\""));
        t.fixerNom(9, QStringLiteral("slot 9 is not a theme"));
        QByteArray octets(TableThemes::Taille, '\0');
        t.versOctets(octets.data());
        octets.replace(54, 3, "a\0b", 3);  // slot 2 ends at its zero byte
        QVERIFY(poser(chemin("quiz.prm"), octets));
        const Sortie s = lancer({"themes", chemin("quiz.qzf")});
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.out, "[\"Histoire" + blancs(19) + "\",\"Géo \\\"1\\\"" + blancs(20)
                            + "\",\"a\",\"\",\"\",\"\",\"\",\"\",\"\"]\n");
    }

    void sort_rewritesBankAndPrintsCountsPerTheme()
    {
        const QByteArray a = carteDeTheme(1, 2), b = carteDeTheme(2, 0), c = carteDeTheme(3, 2), d = carteDeTheme(4, 1),
                         e = carteDeTheme(5, 9);
        QVERIFY(poser(chemin("BASE.QZF"), a + b + c + d + e));
        const Sortie s = lancer({"sort", chemin("BASE.QZF")});
        QCOMPARE(s.err, QString());
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.out, QStringLiteral("{\"parTheme\":[1,1,2,0,0,0,0,0,0],\"horsThemes\":1,\"total\":5}\n"));
        QCOMPARE(contenu(chemin("BASE.QZF")), b + d + a + c + e);
        QCOMPARE(contenu(chemin("base.tmp")), b + d + a + c + e);
    }

    void sort_temporaryFileBlocked_failsAndKeepsBank()
    {
        QVERIFY(poser(chemin("BASE.QZF"), carteDeTheme(1, 2) + carteDeTheme(2, 0)));
        QVERIFY(QDir(m_dir->path()).mkdir("base.tmp"));
        const Sortie s = lancer({"sort", chemin("BASE.QZF")});
        QCOMPARE(s.statut, 1);
        QCOMPARE(s.out, QString());
        QVERIFY2(s.err.startsWith(QLatin1String("qzf: ")) && s.err.count(u'\n') == 1 && s.err.endsWith(u'\n'),
                 qPrintable(s.err));
        QVERIFY(s.err.contains(chemin("base.tmp")));
        QCOMPARE(contenu(chemin("BASE.QZF")), carteDeTheme(1, 2) + carteDeTheme(2, 0));
    }

    void delete_removesCardAndPrintsWhatRemains()
    {
        QByteArray banque;
        for (int i = 1; i <= 5; ++i)
            banque += carteDeTheme(i, 0);
        QVERIFY(poser(chemin("BASE.QZF"), banque));
        const Sortie s = lancer({"delete", chemin("BASE.QZF"), "2"});
        QCOMPARE(s.err, QString());
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.out, QStringLiteral("{\"supprimee\":2,\"restantes\":4}\n"));
        QCOMPARE(contenu(chemin("BASE.QZF")), banque.left(803) + banque.mid(2 * 803));
        QCOMPARE(fichiers(), QStringList{"BASE.QZF"});
    }

    void delete_refused_exitsOneAndKeepsBank_data()
    {
        QTest::addColumn<int>("cartes");
        QTest::addColumn<QString>("numero");
        QTest::addColumn<QString>("message");  // after "qzf: BANK: "
        QTest::newRow("beyond the last") << 5 << "6" << "no card 6 (the bank holds 5)";
        QTest::newRow("zero") << 5 << "0" << "no card 0 (the bank holds 5)";
        QTest::newRow("not a number") << 5 << "deux" << "no card deux (the bank holds 5)";
        QTest::newRow("empty bank") << 0 << "1" << "no card 1 (the bank holds 0)";
        QTest::newRow("only card") << 1 << "1" << "the last card of a bank cannot be deleted";
    }
    void delete_refused_exitsOneAndKeepsBank()
    {
        QFETCH(int, cartes);
        QFETCH(QString, numero);
        QFETCH(QString, message);
        QByteArray banque;
        for (int i = 1; i <= cartes; ++i)
            banque += carteDeTheme(i, 0);
        QVERIFY(poser(chemin("BASE.QZF"), banque));
        const Sortie s = lancer({"delete", chemin("BASE.QZF"), numero});
        QCOMPARE(s.statut, 1);
        QCOMPARE(s.out, QString());
        QCOMPARE(s.err, "qzf: " + chemin("BASE.QZF") + ": " + message + u'\n');
        QCOMPARE(contenu(chemin("BASE.QZF")), banque);
        QCOMPARE(fichiers(), QStringList{"BASE.QZF"});
    }

    void delete_temporaryFileBlocked_failsAndKeepsBank()
    {
        const QByteArray banque = carteDeTheme(1, 0) + carteDeTheme(2, 0);
        QVERIFY(poser(chemin("BASE.QZF"), banque));
        QVERIFY(QDir(m_dir->path()).mkdir("BASE.TMP"));
        const Sortie s = lancer({"delete", chemin("BASE.QZF"), "1"});
        QCOMPARE(s.statut, 1);
        QCOMPARE(s.out, QString());
        QVERIFY2(s.err.startsWith(QLatin1String("qzf: ")) && s.err.count(u'\n') == 1, qPrintable(s.err));
        QCOMPARE(contenu(chemin("BASE.QZF")), banque);
    }

    void missingOrUnreadableBank_oneLineOnStderrAndCreatesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("raison");
        QTest::newRow("dump") << QStringList{"dump", "ABSENT.QZF"} << "no such file";
        QTest::newRow("themes") << QStringList{"themes", "ABSENT.QZF"} << "no such file";
        QTest::newRow("sort") << QStringList{"sort", "ABSENT.QZF"} << "no such file";
        QTest::newRow("delete") << QStringList{"delete", "ABSENT.QZF", "1"} << "no such file";
        QTest::newRow("dump of a folder") << QStringList{"dump", "DOSSIER"} << "not a readable file";
        QTest::newRow("sort of a folder") << QStringList{"sort", "DOSSIER"} << "not a readable file";
    }
    void missingOrUnreadableBank_oneLineOnStderrAndCreatesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, raison);
        QVERIFY(QDir(m_dir->path()).mkdir("DOSSIER"));
        arguments[1] = chemin(arguments[1]);
        const Sortie s = lancer(arguments);
        QCOMPARE(s.statut, 1);
        QCOMPARE(s.out, QString());
        QCOMPARE(s.err, "qzf: " + arguments[1] + ": " + raison + u'\n');
        QCOMPARE(fichiers(), QStringList{"DOSSIER"});
        QVERIFY(QDir(chemin("DOSSIER")).isEmpty());
    }

    void help_listsEveryVerb_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("long") << "--help";
        QTest::newRow("short") << "-h";
    }
    void help_listsEveryVerb()
    {
        QFETCH(QString, option);
        const Sortie s = lancer({option});
        QCOMPARE(s.statut, 0);
        QCOMPARE(s.err, QString());
        for (const char *verbe : {"\n  dump BANK ", "\n  themes BANK ", "\n  sort BANK ", "\n  delete BANK N ", "\n  --help "})
            QVERIFY2(s.out.contains(QLatin1String(verbe)), verbe);
        QVERIFY(s.out.startsWith(QLatin1String("Usage: qzf ")));
    }

    void usageError_exitsTwoWithOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("verb without bank") << QStringList{"dump"};
        QTest::newRow("one argument too many") << QStringList{"dump", "A.QZF", "B.QZF"};
        QTest::newRow("delete without number") << QStringList{"delete", "A.QZF"};
        QTest::newRow("unknown verb") << QStringList{"list", "A.QZF"};
        QTest::newRow("verbs are exact") << QStringList{"DUMP", "A.QZF"};
        QTest::newRow("help with an argument") << QStringList{"--help", "A.QZF"};
    }
    void usageError_exitsTwoWithOneLine()
    {
        QFETCH(QStringList, arguments);
        const Sortie s = lancer(arguments);
        QCOMPARE(s.statut, 2);
        QCOMPARE(s.out, QString());
        QCOMPARE(s.err, QStringLiteral("qzf: usage: qzf dump|themes|sort BANK, qzf delete BANK N (see qzf --help)\n"));
    }

    void builtTool_dumpsRealFileAndFailsOnMissingOne()
    {
        const QByteArray carte = enregistrement({{0, QByteArray("Qu'est-ce que l'\x9C\x75vre ?")}, {781, "\x03"}});
        QVERIFY(poser(chemin("BASE.QZF"), carte));

        QProcess p;
        p.setWorkingDirectory(m_dir->path());
        p.start(QStringLiteral(QZF_PATH), {"dump", "BASE.QZF"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardError(), QByteArray());
        QCOMPARE(p.readAllStandardOutput(),
                 QByteArray("{\"n\":1,\"Question\":\"Qu'est-ce que l'\xC5\x93uvre ?\",\"Reponse\":[\"\",\"\",\"\"],"
                            "\"Commentaire\":\"\",\"BonneReponse\":[0,0,0],\"NumTheme\":3,\"Marque\":0,\"Auteur\":\"\","
                            "\"FichierMedia\":\"\",\"TailleImage\":0}\n"));

        p.start(QStringLiteral(QZF_PATH), {"dump", "AUTRE.QZF"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        QCOMPARE(p.readAllStandardError(), QByteArray("qzf: AUTRE.QZF: no such file\n"));
        QCOMPARE(fichiers(), QStringList{"BASE.QZF"});

        p.start(QStringLiteral(QZF_PATH), {});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestQzf)
#include "test_qzf.moc"
