// qzf export and import, run in-process: exit statuses, the report printed, the messages.
#include "cli/qzf.h"
#include "support/banque.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using L = QStringList;

class TestQzfEchanges : public QObject {
    Q_OBJECT
    struct Sortie {
        int code;
        QString sortie, erreurs;
    };
    Sortie lancer(const QTemporaryDir &dir, QStringList arguments)
    {
        arguments.replaceInStrings("DIR", dir.path());
        QString o, e;
        QTextStream so(&o), se(&e);
        const int code = qzf::executer(arguments, so, se);
        so.flush();
        se.flush();
        return {code, o.replace(dir.path(), "DIR"), e.replace(dir.path(), "DIR")};
    }

private slots:
    void verbs_answerEachCase_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("sortie");
        QTest::addColumn<QString>("erreurs");
        QTest::newRow("export without a format")
            << L{"export", "DIR/BASE.QZF"} << 2 << ""
            << "qzf export: missing --to FORMAT (see qzf export --help)\n";
        QTest::newRow("export to an unknown format")
            << L{"export", "DIR/BASE.QZF", "--to", "pdf"} << 2 << ""
            << "qzf export: unknown format pdf (gift, moodle-xml, qti or csv) (see qzf export --help)\n";
        QTest::newRow("export with another separator")
            << L{"export", "DIR/BASE.QZF", "--to", "csv", "--separator", "|"} << 2 << ""
            << "qzf export: the separator is ; or , (not |) (see qzf export --help)\n";
        QTest::newRow("export a missing bank")
            << L{"export", "DIR/AUTRE.QZF", "--to", "gift"} << 1 << "" << "qzf: DIR/AUTRE.QZF: no such file\n";
        QTest::newRow("export beside the bank")
            << L{"export", "DIR/BASE.QZF", "--to", "gift"} << 0
            << "Exportation de la banque BASE.QZF au format GIFT dans DIR/BASE.gift\n2 fiche(s) exportée(s).\n\n"
               "Ce que le format ne garde pas (1) :\n  1 fiche(s) perdent leur marque : 2\n"
            << "";
        QTest::newRow("export CSV with commas where asked")
            << L{"export", "DIR/BASE.QZF", "--to=csv", "-o", "DIR/t.csv", "--separator", ","} << 0
            << "Exportation de la banque BASE.QZF au format CSV dans DIR/t.csv\n2 fiche(s) exportée(s).\n\n"
               "Remarques (1) :\n  Les fichiers des images et des sons ne sont pas dans le CSV : seuls leurs noms y sont.\n"
            << "";
        QTest::newRow("import from an unknown format")
            << L{"import", "DIR/q.gift", "DIR/BASE.QZF", "--from", "doc"} << 2 << ""
            << "qzf import: unknown format doc (gift, moodle-xml, qti or csv) (see qzf import --help)\n";
        QTest::newRow("import a missing file")
            << L{"import", "DIR/rien.gift", "DIR/BASE.QZF"} << 1 << "" << "qzf: DIR/rien.gift: no such file\n";
        QTest::newRow("import into a new bank")
            << L{"import", "DIR/q.gift", "DIR/NEUVE.QZF"} << 0
            << "Importation de q.gift (GIFT) dans la banque NEUVE.QZF\n1 question importée : fiche 1.\n"
               "1 question(s) non importée(s) : voir ci-dessous.\n\nQuestions non importées (1) :\n"
               "  ligne 5 : question vrai/faux\n\nThèmes (1) :\n  « Arts » : nouveau thème 1\n"
            << "";
        QTest::newRow("import with nothing to take")
            << L{"import", "DIR/vf.gift", "DIR/BASE.QZF"} << 1
            << "Importation de vf.gift (GIFT) dans la banque BASE.QZF\n"
               "Aucune question importée : la banque n'a pas changé.\n"
               "1 question(s) non importée(s) : voir ci-dessous.\n\nQuestions non importées (1) :\n"
               "  ligne 1 : question vrai/faux\n"
            << "";
        QTest::newRow("import a file read as another format")
            << L{"import", "DIR/q.gift", "DIR/BASE.QZF", "--from", "moodle-xml"} << 1 << ""
            << "qzf import: Le fichier q.gift n'est pas un XML valide (ligne 1, colonne 1) : du texte se "
               "trouve hors de l'élément racine.\n";
    }
    void verbs_answerEachCase()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, sortie);
        QFETCH(QString, erreurs);
        QTemporaryDir dir;
        banque::ecrire(dir.filePath("BASE.QZF"), {{"Un", 0, 1, 0, {"a", "b", "c"}}, {"Deux", 0, 2, 1, {"a", "b", "c"}}});
        banque::ecrireThemes(dir.filePath("BASE.prm"), {"Histoire"});
        banque::ecrire(dir.filePath("q.gift"), "$CATEGORY: Arts\n\nQ {=a ~b ~c}\n\nV {T}\n");
        banque::ecrire(dir.filePath("vf.gift"), "V {T}\n");
        const QByteArray avant = banque::lire(dir.filePath("BASE.QZF"));
        const Sortie s = lancer(dir, arguments);
        QCOMPARE(s.erreurs, erreurs);
        QCOMPARE(s.sortie, sortie);
        QCOMPARE(s.code, code);
        QCOMPARE(banque::lire(dir.filePath("BASE.QZF")), avant);
    }
};

QTEST_GUILESS_MAIN(TestQzfEchanges)
#include "test_qzf_echanges.moc"
