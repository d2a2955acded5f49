// The figures of a test, checked against a class worked out by hand (exemple.h), through qzf
// stats as a teacher runs it: the exact JSON, the lines refused, the history kept beside the bank.
#include "analyse/analyse.h"
#include "analyse/exemple.h"
#include "classroom/page_quiz.h"
#include "exchange/commun.h"
#include "support/lancer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using essai::Banque;

namespace {

struct Classe {
    Banque b;
    QString cle = b.chemin("controle.corrige.json"), csv = b.chemin("RESULTS.csv");
    explicit Classe(const QByteArray &resultats = exemple::kResultats)
    {
        b.poser({{"Q1"}});
        classe::ecrireCorrige(cle, exemple::corrige(b.chemins().banque));
        b.fichier("RESULTS.csv", resultats);
    }
    QString historique() const { return analyse::fichierHistorique(b.chemins().medias); }
};

} // namespace

class TestAnalyse : public QObject {
    Q_OBJECT
private slots:
    void stats_figuresOfTheClassWorkedOutByHand()
    {
        Classe c;
        QString out, err;
        QCOMPARE(lancer({"stats", c.cle, c.csv, "--json"}, out, err), 0);
        QCOMPARE(err, "");
        QCOMPARE(out, exemple::kJson);
        // Reading leaves nothing behind.
        QVERIFY(!QFile::exists(c.historique()));
        out.clear();
        QCOMPARE(lancer({"stats", c.cle, c.csv}, out, err), 0);
        const QStringList l = out.split('\n');
        QCOMPARE(l.mid(0, 7), (QStringList{"Contrôle",
                                           "6 copies · moyenne 11,67 / 20 · médiane 12,50 · écart type 3,73 · KR-20 0,27", "",
                                           "Fiche      p      r      d     1     2     3  vide  Précédent      Alertes",
                                           "    4   1,00      —   0,00    6*    0     0     0                 trop facile",
                                           "    7   0,67   0,25   1,00    1     4*    1     0",
                                           "    9   0,67   0,25   0,50    0     0     4*    2"}));
        QVERIFY2(out.contains("10 à <12 " + QString(27, '#') + QString(14, ' ') + "2\n12 à <14" + QString(42, ' ') + "0\n14 à <16 "
                                 + QString(40, '#') + " 3\n"), qPrintable(out));
    }

    void stats_refusesALineItCannotRead_data()
    {
        QTest::addColumn<QByteArray>("resultats");
        QTest::addColumn<QString>("erreur");
        const QByteArray tete = "copie;eleve;nom;version;note_sur_20;points;Q1;Q2;Q3;Q4\n";
        QTest::newRow("no header") << QByteArray("1;;;1;20;4;A;B;C;A\n")
                                   << "ligne 1 : l'en-tête des résultats est attendu (copie;eleve;nom;version;note_sur_20;points;Q1;Q2;…)";
        QTest::newRow("empty file") << QByteArray()
                                    << "ligne 1 : l'en-tête des résultats est attendu (copie;eleve;nom;version;note_sur_20;points;Q1;Q2;…)";
        QTest::newRow("letter D") << tete + "1;;;1;20;4;A;B;C;A\n2;;;1;0;0;A;D;;\n" << "ligne 3, Q2 : « D » n'est pas une réponse lue (A, B, C, AB…, ? ou rien)";
        QTest::newRow("version not a number") << tete + "1;;;v1;20;4;A;B;C;A\n" << "ligne 2 : la version « v1 » n'est pas un nombre entier positif";
        QTest::newRow("copy not a number") << tete + "x;;;1;20;4;A;B;C;A\n" << "ligne 2 : le numéro de copie « x » n'est pas un nombre entier positif";
        QTest::newRow("version not in the key") << tete + "1;;;3;20;4;A;B;C;A\n" << "ligne 2 : la version 3 n'est pas dans le corrigé";
        QTest::newRow("empty line inside") << tete + "1;;;1;20;4;A;B;C;A\r\n\r\n2;;;1;20;4;A;B;C;A\r\n" << "ligne 3 : ligne vide au milieu des résultats";
    }
    void stats_refusesALineItCannotRead()
    {
        QFETCH(QByteArray, resultats);
        QFETCH(QString, erreur);
        Classe c(resultats);
        QString out, err;
        QCOMPARE(lancer({"stats", c.cle, c.csv, "--json"}, out, err), 1);
        QCOMPARE(out, "");
        QCOMPARE(err, "qzf stats: « RESULTS.csv », " + erreur + ".\n");
    }

    // Each analysis appended beside the bank; the next one shows the last earlier one of each card,
    // a line a crash cut short set aside.
    void stats_historyKeptInTheMediaFolder()
    {
        Classe c;
        QDir().mkpath(c.b.chemins().medias);
        const QByteArray avant = "7;2026-01-01T08:00:00Z;0.5;0.125;30\n12;2026-01-02T08:00:00Z;0.25;;4\n7;2026-01-03T08:00:00Z;0.9";
        banque::ecrire(c.historique(), avant);
        QString out, err;
        QCOMPARE(lancer({"stats", c.cle, c.csv, "--json", "--history"}, out, err), 0);
        QVERIFY2(out.contains("\"fiche\": 7, \"p\": 0.6667, \"r\": 0.25, \"d\": 1, \"choix\": {\"1\": 1, \"2\": 4, \"3\": 1, \"vide\": 0}, "
                              "\"alertes\": [], \"precedent\": {\"date\": \"2026-01-01T08:00:00Z\", \"p\": 0.5, \"r\": 0.125}}"),
                 qPrintable(out));
        QVERIFY(out.contains("\"alertes\": [\"trop difficile\", \"à revoir\"], \"precedent\": {\"date\": \"2026-01-02T08:00:00Z\", "
                             "\"p\": 0.25, \"r\": null}}\n]}"));
        QCOMPARE(out.count("precedent"), 2);
        const QByteArray apres = banque::lire(c.historique());
        QCOMPARE(apres.left(avant.size() + 1), avant + '\n');
        QString ajout = QString::fromLatin1(apres.mid(avant.size() + 1));
        const QString date = ajout.section(';', 1, 1);
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$").match(date).hasMatch(), qPrintable(date));
        QCOMPARE(ajout.replace(date, "D"), "4;D;1;;6\n7;D;0.666666666667;0.25;6\n9;D;0.666666666667;0.25;6\n12;D;0;;6\n");
        // The next analysis of the same cards shows this one.
        QCOMPARE(lancer({"stats", c.cle, c.csv, "--json"}, out, err), 0);
        QVERIFY(out.contains("\"precedent\": {\"date\": \"" + date + "\", \"p\": 1, \"r\": null}"));
    }

    void stats_usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("erreur");
        QTest::newRow("two results for a key") << QStringList{"k.corrige.json", "a.csv", "b.csv"}
                                               << "qzf stats: a key takes one results file (unexpected argument b.csv) (see qzf stats --help)\n";
        QTest::newRow("history of a page") << QStringList{"quiz.html", "a-quiz.json", "--history"}
                                           << "qzf stats: --history with a quiz page needs --bank (see qzf stats --help)\n";
    }
    void stats_usage()
    {
        QFETCH(QStringList, arguments);
        QString out, err;
        QCOMPARE(lancer(QStringList{"stats"} + arguments, out, err), 2);
        QTEST(err, "erreur");
    }

    // Marks from the key's scale, never below 0.
    void note_data()
    {
        QTest::addColumn<double>("fausse");
        QTest::addColumn<double>("vide");
        QTest::addColumn<QList<int>>("choix");
        QTest::addColumn<double>("note");
        QTest::newRow("right, wrong, blank, two boxes") << 0.0 << 0.0 << QList<int>{1, 2, 0, -1} << 5.0;
        QTest::newRow("wrong costs a half") << -0.5 << 0.0 << QList<int>{1, 1, 2, 0} << 7.5;
        QTest::newRow("two boxes cost as wrong") << -0.5 << 0.0 << QList<int>{1, 1, 1, -1} << 12.5;
        QTest::newRow("never below 0") << -1.0 << -1.0 << QList<int>{2, 2, 0, 1} << 0.0;
    }
    void note()
    {
        QFETCH(double, fausse);
        QFETCH(double, vide);
        QFETCH(QList<int>, choix);
        analyse::Epreuve e;
        e.fiches = {1, 2, 3, 4};
        e.bonnes = {1, 1, 1, 1};
        e.bareme = {1, fausse, vide};
        analyse::Copie copie;
        for (int x : choix)
            copie.choix << qint8(x);
        QTEST(analyse::note(e, copie), "note");
    }

    // A page keeps each shown answer's number on its card, shuffled or not; a saved answer file
    // of another page is refused.
    void quizPage_answersByTheCardsNumbers()
    {
        Banque b;
        b.poser({{"Q1", 0, 3, 0, {"un", "", "trois"}}, {"Q2", 0, 2, 0, {"a", "b", "c"}}});
        QList<classe::Question> qs = classe::tirer(b.chemins(), {}).questions;
        QCOMPARE(qs[0].origines, (QList<int>{1, 3}));
        const QByteArray page = classe::pageQuiz(classe::melanger(qs, 5), {}, "T", true, 5);
        analyse::PageQuiz quiz;
        QVERIFY(analyse::lirePageQuiz(page, quiz));
        QCOMPARE(quiz.id.size(), 12);
        QCOMPARE(quiz.epreuve.reponses[0], (QStringList{"un", "", "trois"}));
        QCOMPARE(quiz.epreuve.bonnes, (QList<int>{3, 2}));
        QVERIFY(analyse::ajouterResultatQuiz(QByteArray(R"({"quiz":")" + quiz.id.toLatin1() + R"(","nom":"E","reponses":{"1":3,"2":null}})"), quiz));
        QCOMPARE(analyse::analyser(quiz.epreuve).notes, QList<double>{10});
        QCOMPARE(analyse::ajouterResultatQuiz(QByteArray(R"({"quiz":"autre","reponses":{}})"), quiz).erreur,
                 "ces réponses viennent d'une autre page de quiz");
        QCOMPARE(analyse::ajouterResultatQuiz(QByteArray(R"({"quiz":")" + quiz.id.toLatin1() + R"(","reponses":{"1":4}})"), quiz).erreur,
                 "la réponse à la fiche 1 doit être 1, 2, 3 ou null");
    }
};

QTEST_GUILESS_MAIN(TestAnalyse)
#include "test_analyse.moc"
