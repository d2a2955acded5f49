#include "support/banque.h"
#include "support/lancer.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

// An 803-byte record, zero but for the given bytes.
static QByteArray carte(std::initializer_list<std::pair<int, QByteArray>> champs)
{
    QByteArray r(803, '\0');
    for (const auto &[offset, octets] : champs)
        r.replace(offset, octets.size(), octets);
    return r;
}

class TestQzf : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;

private slots:
    void init() { QVERIFY(QDir::setCurrent(m_dir.emplace().path())); }

    void verb_printsResultAndKeepsFiles_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("banque");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("texte");     // on stdout when the status is 0, else on stderr
        QTest::addColumn<QByteArray>("apres");  // the bank afterwards
        QTest::addColumn<QString>("fichiers");
        QTest::addColumn<QByteArray>("prm");    // BASE.prm; none when empty
        auto ligne = [](const char *nom, QString args, QByteArray banque, int statut, QString texte, QByteArray apres,
                        QString fichiers = "BASE.QZF", QByteArray prm = {}) {
            QTest::newRow(nom) << args << banque << statut << texte << apres << fichiers << prm;
        };
        // Byte 17 stays zero: the text after it is never shown.
        const QByteArray riche = carte({{0, "\"1\" \\ \t\n\x01 \xE9t\xE9 \x80\x9C"}, {18, "cach\xE9"}, {200, "%1"},
            {325, "\x81"}, {575, " fin  "}, {775, "\xFF\xFF"}, {781, "\x04\x01"}, {784, "AB   photo.jpg   \x0B"}});
        const QByteArray a = carte({{0, "a"}, {781, "\x02"}}), b = carte({}), c = carte({{0, "c"}, {781, "\x09"}});
        ligne("dump", "dump BASE.QZF", riche, 0,
              "{\"n\":1,\"Question\":\"\\\"1\\\" \\\\ \\t\\n\\u0001 été €œ\",\"Reponse\":[\"%1\",\"\\u0081\",\"\"],"
              R"("Commentaire":" fin  ","BonneReponse":[-1,0,0],"NumTheme":4,"Marque":1,"Auteur":"AB   ",)"
              R"("FichierMedia":"photo.jpg   ","TailleImage":11})" "\n", riche);
        ligne("themes", "themes BASE.QZF", a, 0, "[\"Géo \\\"1\\\" \",\"Art\"" R"(,"","","","","","",""])" "\n", a,
              "BASE.prm BASE.QZF", QByteArray("G\xE9o \"1\" \0x", 10).leftJustified(27, '\0') + "Art");
        ligne("themes without a theme file", "themes BASE.QZF", a, 0, R"(["","","","","","","","",""])" "\n", a);
        ligne("sort", "sort BASE.QZF", a + b + c, 0, R"({"parTheme":[1,0,1,0,0,0,0,0,0],"horsThemes":1,"total":3})" "\n",
              b + a + c, "BASE.QZF base.tmp");
        // The card deleted is kept in the recycle file of the media folder BASE.
        ligne("delete", "delete BASE.QZF 2", a + b + c, 0, R"({"supprimee":2,"restantes":2})" "\n", a + c, "BASE BASE.QZF");
        ligne("no such card", "delete BASE.QZF 4", a + b, 1, "qzf: BASE.QZF: no card 4 (the bank holds 2)\n", a + b);
        ligne("missing bank", "sort ABSENT.QZF", a, 1, "qzf: ABSENT.QZF: no such file\n", a);
        ligne("no verb", "", a, 2, "qzf: unknown verb (none) (see qzf --help)\n", a);
        ligne("no bank", "dump", a, 2, "qzf dump: missing BANK (see qzf dump --help)\n", a);
        ligne("unknown verb", "undo BASE.QZF", a, 2, "qzf: unknown verb undo (see qzf --help)\n", a);
        ligne("extra argument", "dump BASE.QZF x", a, 2, "qzf dump: unexpected argument x (see qzf dump --help)\n", a);
        ligne("unknown option", "sort --fast BASE.QZF", a, 2, "qzf sort: Unknown option 'fast'. (see qzf sort --help)\n", a);
    }
    void verb_printsResultAndKeepsFiles()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, banque);
        QFETCH(int, statut);
        QFETCH(QByteArray, prm);
        QVERIFY(banque::ecrire("BASE.QZF", banque) && (prm.isEmpty() || banque::ecrire("BASE.prm", prm)));
        QString out, err;
        QCOMPARE(lancer(arguments.split(u' '), out, err), statut);
        QTEST(statut == 0 ? out : err, "texte");
        QCOMPARE(statut == 0 ? err : out, QString());
        QTEST(banque::lire("BASE.QZF"), "apres");
        QTEST(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(u' '), "fichiers");
    }

    void help_listsEveryVerb()
    {
        QString out, err;
        QCOMPARE(lancer({"--help"}, out, err), 0);
        for (const char *texte : {"\n  dump BANK ", "\n  themes BANK ", "\n  sort BANK ", "\n  delete BANK N ", "\n  --help ",
                                  "\n  export BANK --to FORMAT", "\n  import FILE BANK", "\n  find BANK "})
            QVERIFY2(out.contains(QLatin1String(texte)), texte);
        // A long synopsis does not push its summary off the side of a terminal.
        for (const QString &ligne : out.split(u'\n'))
            QVERIFY2(ligne.size() <= 110, qPrintable(ligne));
    }

    void builtTool_dumpsInUtf8()
    {
        QVERIFY(banque::ecrire("BASE.QZF", QByteArray("Une \x9Cuvre").leftJustified(803, '\0')));
        QProcess p;
        p.start(QStringLiteral(QZF_PATH), {"dump", "BASE.QZF"});
        QVERIFY(p.waitForFinished(10000) && p.exitCode() == 0);
        QCOMPARE(p.readAllStandardOutput() + p.readAllStandardError(), QByteArray(R"({"n":1,"Question":"Une )" "\xC5\x93"
                 R"(uvre","Reponse":["","",""],"Commentaire":"","BonneReponse":[0,0,0],"NumTheme":0,"Marque":0,)"
                 R"("Auteur":"","FichierMedia":"","TailleImage":0})" "\n"));
    }
};

QTEST_GUILESS_MAIN(TestQzf)
#include "test_qzf.moc"
