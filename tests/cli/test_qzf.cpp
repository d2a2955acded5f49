// qzf run in-process, verb by verb: the exit status, what it prints on each stream, and the
// bank and files it leaves; then the built tool itself.
#include "support/banque.h"
#include "support/lancer.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using L = QStringList;

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

    void verbs_data()
    {
        QTest::addColumn<L>("arguments");       // DIR stands for the folder, in them and in what is printed
        QTest::addColumn<QByteArray>("banque");  // BASE.QZF
        QTest::addColumn<QByteArray>("prm");     // BASE.prm; null: none
        QTest::addColumn<QByteArray>("gift");    // q.gift; null: none
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("sortie");
        QTest::addColumn<QString>("erreurs");
        QTest::addColumn<QByteArray>("apres");   // BASE.QZF afterwards; null: as it was
        QTest::addColumn<QString>("fichiers");   // the folder afterwards; null: not looked at
        // dump, themes, sort, delete and the usage errors of every verb.
        auto verbe = [](const char *nom, const QString &args, const QByteArray &banque, int statut, const QString &texte,
                        const QByteArray &apres, const QString &fichiers = "BASE.QZF", const QByteArray &prm = {}) {
            QTest::newRow(nom) << args.split(u' ') << banque << prm << QByteArray() << statut << (statut ? "" : texte)
                               << (statut ? texte : "") << apres << fichiers;
        };
        // Byte 17 stays zero: the text after it is never shown.
        const QByteArray riche = carte({{0, "\"1\" \\ \t\n\x01 \xE9t\xE9 \x80\x9C"}, {18, "cach\xE9"}, {200, "%1"},
            {325, "\x81"}, {575, " fin  "}, {775, "\xFF\xFF"}, {781, "\x04\x01"}, {784, "AB   photo.jpg   \x0B"}});
        const QByteArray a = carte({{0, "a"}, {781, "\x02"}}), b = carte({}), c = carte({{0, "c"}, {781, "\x09"}});
        verbe("dump", "dump BASE.QZF", riche, 0,
              "{\"n\":1,\"Question\":\"\\\"1\\\" \\\\ \\t\\n\\u0001 été €œ\",\"Reponse\":[\"%1\",\"\\u0081\",\"\"],"
              R"("Commentaire":" fin  ","BonneReponse":[-1,0,0],"NumTheme":4,"Marque":1,"Auteur":"AB   ",)"
              R"("FichierMedia":"photo.jpg   ","TailleImage":11})" "\n", riche);
        verbe("themes", "themes BASE.QZF", a, 0, "[\"Géo \\\"1\\\" \",\"Art\"" R"(,"","","","","","",""])" "\n", a,
              "BASE.prm BASE.QZF", QByteArray("G\xE9o \"1\" \0x", 10).leftJustified(27, '\0') + "Art");
        verbe("themes without a theme file", "themes BASE.QZF", a, 0, R"(["","","","","","","","",""])" "\n", a);
        verbe("sort", "sort BASE.QZF", a + b + c, 0, R"({"parTheme":[1,0,1,0,0,0,0,0,0],"horsThemes":1,"total":3})" "\n",
              b + a + c, "BASE.QZF base.tmp");
        // The card deleted is kept in the recycle file of the media folder BASE.
        verbe("delete", "delete BASE.QZF 2", a + b + c, 0, R"({"supprimee":2,"restantes":2})" "\n", a + c, "BASE BASE.QZF");
        verbe("no such card", "delete BASE.QZF 4", a + b, 1, "qzf: BASE.QZF: no card 4 (the bank holds 2)\n", a + b);
        verbe("missing bank", "sort ABSENT.QZF", a, 1, "qzf: ABSENT.QZF: no such file\n", a);
        verbe("no verb", "", a, 2, "qzf: unknown verb (none) (see qzf --help)\n", a);
        verbe("unknown verb", "undo BASE.QZF", a, 2, "qzf: unknown verb undo (see qzf --help)\n", a);
        verbe("extra argument", "dump BASE.QZF x", a, 2, "qzf dump: unexpected argument x (see qzf dump --help)\n", a);
        verbe("unknown option", "sort --fast BASE.QZF", a, 2, "qzf sort: Unknown option 'fast'. (see qzf sort --help)\n", a);

        // find: twelve cards; 4 and 9 marked, 7 names a picture, 11 has a media field never written.
        QByteArray douze;
        for (int k = 1; k <= 12; ++k) {
            QByteArray r = banque::fiche({k == 5 ? QStringLiteral("Un été à Nîmes") : QStringLiteral("Question %1").arg(k), 0, 1,
                                          k == 4 || k == 9, {}, {}, {}, k == 7 ? QStringLiteral("photo.jpg") : QString()})
                               .octets();
            if (k == 11)
                r.replace(789, 12, QByteArray(12, '\0'));
            douze += r;
        }
        auto find = [&](const char *nom, const L &args, int statut, const QString &sortie, const QString &erreurs,
                        const QByteArray &b = {}) {
            QTest::newRow(nom) << L{"find", "BASE.QZF"} + args << (b.isNull() ? douze : b) << QByteArray() << QByteArray() << statut
                               << sortie << erreurs << QByteArray() << QString();
        };
        const QString aucune = QStringLiteral("Pas d'occurrence trouvée!\n");
        find("find number", {"--number", "12"}, 0, "12\n", "");
        find("find number above", {"--number", " 12.4 "}, 1, "", "La fiche numéro  12.4  n'existe pas!\n");
        find("find mark", {"--mark"}, 0, "4\n", "");
        find("find media", {"--media", "--from", "7"}, 0, "11\n", "");
        find("find text starting with a dash", {"--text", "-x"}, 1, "", aucune);
        const QString exactement = "qzf find: give exactly one of --number, --text, --mark, --media (see qzf find --help)\n";
        find("find no criterion", {}, 2, "", exactement);
        find("find two criteria", {"--mark", "--media"}, 2, "", exactement);
        find("find from 0", {"--mark", "--from", "0"}, 2, "", "qzf find: --from 0 is not between 1 and 12 (see qzf find --help)\n");
        find("find from, empty bank", {"--mark", "--from", "2"}, 2, "", "qzf find: --from 2 is not between 1 and 1 (see qzf find --help)\n", "");
        find("find from not a number", {"--mark", "--from", "x"}, 2, "", "qzf find: --from takes a card number (see qzf find --help)\n");
        find("find missing value", {"--text"}, 2, "", "qzf find: Missing value after '--text'. (see qzf find --help)\n");
        QTest::newRow("find in a missing bank") << L{"find", "ABSENT.QZF", "--mark"} << douze << QByteArray() << QByteArray() << 1
                                                << "" << "qzf: ABSENT.QZF: no such file\n" << QByteArray() << "BASE.QZF";

        // export and import: a bank of two cards, the second marked, with one theme.
        const QByteArray deux = banque::octets({{"Un", 0, 1, 0, {"a", "b", "c"}}, {"Deux", 0, 2, 1, {"a", "b", "c"}}});
        QByteArray histoire(TableThemes::Taille, '\0');
        TableThemes t;
        t.fixerNom(0, QStringLiteral("Histoire"));
        t.versOctets(histoire.data());
        auto echange = [&](const char *nom, const L &args, int statut, const QString &sortie, const QString &erreurs,
                           const QByteArray &gift = "$CATEGORY: Arts\n\nQ {=a ~b ~c}\n\nV {T}\n") {
            QTest::newRow(nom) << args << deux << histoire << gift << statut << sortie << erreurs << QByteArray() << QString();
        };
        echange("export without a format", {"export", "DIR/BASE.QZF"}, 2, "", "qzf export: missing --to FORMAT (see qzf export --help)\n");
        echange("export to an unknown format", {"export", "DIR/BASE.QZF", "--to", "pdf"}, 2, "",
                "qzf export: unknown format pdf (gift, moodle-xml, qti or csv) (see qzf export --help)\n");
        echange("export with another separator", {"export", "DIR/BASE.QZF", "--to", "csv", "--separator", "|"}, 2, "",
                "qzf export: the separator is ; or , (not |) (see qzf export --help)\n");
        echange("export beside the bank", {"export", "DIR/BASE.QZF", "--to", "gift"}, 0,
                "Exportation de la banque BASE.QZF au format GIFT dans DIR/BASE.gift\n2 fiche(s) exportée(s).\n\n"
                "Ce que le format ne garde pas (1) :\n  1 fiche(s) perdent leur marque : 2\n", "");
        echange("export CSV with commas where asked", {"export", "DIR/BASE.QZF", "--to=csv", "-o", "DIR/t.csv", "--separator", ","}, 0,
                "Exportation de la banque BASE.QZF au format CSV dans DIR/t.csv\n2 fiche(s) exportée(s).\n\n"
                "Remarques (1) :\n  Les fichiers des images et des sons ne sont pas dans le CSV : seuls leurs noms y sont.\n", "");
        echange("import from an unknown format", {"import", "DIR/q.gift", "DIR/BASE.QZF", "--from", "doc"}, 2, "",
                "qzf import: unknown format doc (gift, moodle-xml, qti or csv) (see qzf import --help)\n");
        echange("import a missing file", {"import", "DIR/rien.gift", "DIR/BASE.QZF"}, 1, "", "qzf: DIR/rien.gift: no such file\n");
        echange("import into a new bank", {"import", "DIR/q.gift", "DIR/NEUVE.QZF"}, 0,
                "Importation de q.gift (GIFT) dans la banque NEUVE.QZF\n1 question importée : fiche 1.\n"
                "1 question(s) non importée(s) : voir ci-dessous.\n\nQuestions non importées (1) :\n"
                "  ligne 5 : question vrai/faux\n\nThèmes (1) :\n  « Arts » : nouveau thème 1\n", "");
        echange("import with nothing to take", {"import", "DIR/q.gift", "DIR/BASE.QZF"}, 1,
                "Importation de q.gift (GIFT) dans la banque BASE.QZF\nAucune question importée : la banque n'a pas changé.\n"
                "1 question(s) non importée(s) : voir ci-dessous.\n\nQuestions non importées (1) :\n  ligne 1 : question vrai/faux\n",
                "", "V {T}\n");
    }
    void verbs()
    {
        QFETCH(L, arguments);
        QFETCH(QByteArray, banque);
        QFETCH(QByteArray, prm);
        QFETCH(QByteArray, gift);
        QFETCH(QByteArray, apres);
        QFETCH(QString, fichiers);
        QVERIFY(banque::ecrire("BASE.QZF", banque) && (prm.isNull() || banque::ecrire("BASE.prm", prm))
                && (gift.isNull() || banque::ecrire("q.gift", gift)));
        const QString dir = QDir::currentPath();
        QString out, err;
        QTEST(lancer(arguments.replaceInStrings("DIR", dir), out, err), "statut");
        QTEST(out.replace(dir, "DIR"), "sortie");
        QTEST(err.replace(dir, "DIR"), "erreurs");
        QCOMPARE(banque::lire("BASE.QZF"), apres.isNull() ? banque : apres);
        if (!fichiers.isNull())
            QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(u' '), fichiers);
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
