// "Analyse des résultats…" driven as a teacher would: the files asked of the fake desktop, the
// figures shown, the table sorted, "Aller à la fiche" landing on the card, the export.
#include "analyse/analyse.h"
#include "analyse/exemple.h"
#include "support/editeur.h"
#include "support/lancer.h"

#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableView>

namespace {

QByteArray douzeCartes()
{
    QByteArray b;
    for (int n = 1; n <= 12; ++n)
        b += banque::octets({{QStringLiteral("Question %1").arg(n), 0, 1, 0, {"a", "b", "c"}}});
    return b;
}

struct Analyse : Editeur {
    QString cle = chemin("controle.corrige.json");
    // `banque`: the bank the key names, this one by default; "quiz": no key, the files of a quiz page.
    explicit Analyse(const QString &banque = {}) : Editeur(douzeCartes())
    {
        autre = "AnalyseResultats";
        if (banque == "quiz")
            return;
        classe::ecrireCorrige(cle, exemple::corrige(banque.isEmpty() ? chemin("BASE.QZF") : banque));
        banque::ecrire(chemin("RESULTS.csv"), exemple::kResultats);
        pf.reponsesFichier << cle << chemin("RESULTS.csv");
        menu("actionAnalyseResultats");
    }
    QTableView *table() { return w<QTableView>("tableQuestions"); }
    // The column of the table, top to bottom.
    QStringList colonne(int c)
    {
        QStringList l;
        for (int r = 0; r < table()->model()->rowCount(); ++r)
            l << table()->model()->index(r, c).data().toString();
        return l;
    }
};

} // namespace

class TestFenetreAnalyse : public QObject {
    Q_OBJECT
private slots:
    void window_showsTheFiguresAndSortsTheQuestions()
    {
        Analyse e;
        QVERIFY(dialogueCharge(e.f, "AnalyseResultats")->isVisible());
        QCOMPARE(e.pf.dialoguesFichier.size(), 2);
        QCOMPARE(e.pf.dialoguesFichier[0].filtres, "Corrigés d'examen (*.corrige.json);;Pages de quiz (*.html *.htm)");
        QCOMPARE(e.texte("chiffresAnalyse"), "6 copies · moyenne 11,67 / 20 · médiane 12,50 · écart type 3,73 · KR-20 0,27");
        QCOMPARE(e.colonne(0), (QStringList{"4", "7", "9", "12"}));
        QCOMPARE(e.colonne(9), (QStringList{"trop facile", "", "", "trop difficile, à revoir"}));
        QCOMPARE(e.table()->model()->index(3, 9).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(248, 208, 204));
        QVERIFY(e.messages().isEmpty());
        // Sorted by d, the highest first; then by the question's text.
        QTest::mouseClick(e.table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(e.table()->horizontalHeader()->sectionViewportPosition(4) + 5, 5));
        QTest::mouseClick(e.table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(e.table()->horizontalHeader()->sectionViewportPosition(4) + 5, 5));
        QCOMPARE(e.colonne(4), (QStringList{"1,00", "0,50", "0,00", "0,00"}));
        QCOMPARE(e.colonne(0).mid(0, 2), (QStringList{"7", "9"}));
        // The analysis was kept: the next one shows each card's figures of this one.
        e.clic("boutFermer");
        e.pf.reponsesFichier << e.cle << e.chemin("RESULTS.csv");
        e.menu("actionAnalyseResultats");
        QCOMPARE(e.colonne(10), (QStringList{"1,00", "0,67", "0,67", "0,00"}));
        QCOMPARE(e.colonne(11), (QStringList{"—", "0,25", "0,25", "—"}));
    }

    // A quiz page: every answer file of that page in the folder of the one chosen, the others left.
    void quizPage_takesTheAnswersOfThatPageInTheFolder()
    {
        Analyse e("quiz");
        QString out, err;
        QCOMPARE(lancer({"quiz", e.chemin("BASE.QZF"), "-o", e.chemin("quiz.html"), "--seed", "3", "--shuffle"}, out, err), 0);
        analyse::PageQuiz page;
        QVERIFY(analyse::lirePageQuiz(e.chemin("quiz.html"), page));
        QDir(e.dir.path()).mkdir("copies");
        for (const auto &[nom, id, reponse] : {std::tuple{"un", page.id, 1}, std::tuple{"deux", page.id, 0},
                                               std::tuple{"autre", QString("ailleurs"), 2}}) {
            QJsonObject reponses;
            for (int n = 1; n <= 12; ++n)
                reponses[QString::number(n)] = reponse ? QJsonValue(reponse) : QJsonValue();
            banque::ecrire(e.chemin(QString("copies/%1-quiz.json").arg(nom)),
                           QJsonDocument(QJsonObject{{"quiz", id}, {"nom", nom}, {"reponses", reponses}}).toJson());
        }
        e.pf.reponsesFichier << e.chemin("quiz.html") << e.chemin("copies/un-quiz.json");
        e.menu("actionAnalyseResultats");
        QCOMPARE(e.texte("chiffresAnalyse"), "2 copies · moyenne 10,00 / 20 · médiane 10,00 · écart type 10,00 · KR-20 1,00");
        QCOMPARE(e.colonne(5), QStringList(12, "1"));
        QCOMPARE(e.colonne(8), QStringList(12, "1"));
        QVERIFY(e.w("boutAllerFiche")->isEnabled());
    }

    // The card on screen stored first (its change kept), then the selected question's card shown;
    // a key of another bank says so once and leaves the button off.
    void allerALaFiche_data()
    {
        QTest::addColumn<QString>("banque");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("ecran");
        QTest::newRow("the open bank") << "" << QStringList() << "9/12 Question 9";
        QTest::newRow("another bank") << "/ailleurs/AUTRE.QZF"
            << QStringList{"Ce corrigé vient de la banque /ailleurs/AUTRE.QZF, qui n'est pas celle ouverte dans l'éditeur : "
                           "« Aller à la fiche » n'est pas possible.|1|Analyse des résultats"}
            << "1/12 Changée";
    }
    void allerALaFiche()
    {
        QFETCH(QString, banque);
        Analyse e(banque);
        QTEST(e.messages(), "messages");
        e.table()->selectRow(2);
        e.autre.clear();
        e.faire({"TextQuestion=Changée"});
        e.autre = "AnalyseResultats";
        QCOMPARE(e.w("boutAllerFiche")->isEnabled(), banque.isEmpty());
        QTest::mouseClick(e.w("boutAllerFiche"), Qt::LeftButton);
        QTEST(e.ecran(), "ecran");
        QCOMPARE(texte::brut(banque::carte(e.chemin("BASE.QZF"), 1).Question).startsWith("Changée"), banque.isEmpty());
    }

    void export_writesTheTableOrTheReport_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QString>("filtre");
        QTest::addColumn<QString>("attendu");  // the start of the file as text
        QTest::newRow("csv") << "table.csv" << "Rapport PDF (*.pdf)"
                             << "fiche;question;p;r;d;choix_1;choix_2;choix_3;vide;bonne;alertes;p_precedent;r_precedent\r\n"
                                "4;Question de la fiche 4 ?;1,0000;;0,0000;6;0;0;0;1;trop facile;;\r\n"
                                "7;Question de la fiche 7 ?;0,6667;0,2500;1,0000;1;4;1;0;2;;;\r\n";
        QTest::newRow("pdf by the filter") << "rapport" << "Rapport PDF (*.pdf)" << "%PDF";
    }
    void export_writesTheTableOrTheReport()
    {
        QFETCH(QString, nom);
        QFETCH(QString, filtre);
        QFETCH(QString, attendu);
        Analyse e;
        e.pf.reponsesFichier << e.chemin(nom);
        e.pf.filtresChoisis << filtre;
        e.clic("boutExporter");
        const QString fichier = e.chemin(nom.contains('.') ? nom : nom + ".pdf");
        QVERIFY2(QString::fromUtf8(banque::lire(fichier)).startsWith(attendu), qPrintable(fichier));
        QCOMPARE(e.texte("bilanAnalyse"), "Analyse exportée dans " + QFileInfo(fichier).fileName() + ".");
        if (fichier.endsWith(".pdf")) {
            if (const QString dossier = qEnvironmentVariable("ORBELIN_CAPTURES"); !dossier.isEmpty()) {
                QFile::copy(fichier, dossier + "/analyse.pdf");
                dialogueCharge(e.f, "AnalyseResultats")->grab().save(dossier + "/analyse.png");
            }
            const QString texte = pdfEnTexte(fichier);
            for (const char *t : {"Contrôle", "KR-20 0,27", "12 ?", "revoir"})
                QVERIFY2(texte.contains(QString::fromUtf8(t)), t);
        }
    }
};

QTEST_MAIN(TestFenetreAnalyse)
#include "test_fenetre_analyse.moc"
