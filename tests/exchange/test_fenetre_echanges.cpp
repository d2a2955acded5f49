// The main window's "Échanges" button driven through the real widgets: the card on screen
// stored first, the file dialogs answered by the fake desktop, the bank shown again, the report.
#include "support/editeur.h"
#include "exchange/fenetre_echanges.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using L = QStringList;
const QString kBonne = QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie");
const QString kRappel = QStringLiteral("Pensez à saisir, une bonne fois pour toutes, vos initiales dans l'emplacement "
                                       "violet afin que les questions que vous aurez créées portent fièrement votre trace.");

struct Echanges : Editeur {
    explicit Echanges(const QByteArray &cartes, const QStringList &themes = {"Histoire"}) : Editeur(cartes, themes) {}
    QString rapport()
    {
        QWidget *d = dialogueCharge(f, "RapportEchanges");
        return d ? d->windowTitle() + '\n' + d->findChild<QPlainTextEdit *>("TextRapport")->toPlainText() : QString();
    }
};

QByteArray deuxCartes()
{
    return banque::octets({{"Capitale de la France ?", 0, 1, 0, {"Paris", "Lyon", "Nice"}},
                           {"Deux et deux ?", 0, 2, 0, {"3", "4", "5"}, "Facile"}});
}

} // namespace

class TestFenetreEchanges : public QObject {
    Q_OBJECT
private slots:
    void button_opensItsMenu()
    {
        Echanges e(deuxCartes());
        e.clic("Echanges");
        QTRY_VERIFY(e.menu()->isVisible());
        e.menu()->close();
    }

    void export_needsAGoodAnswerOnScreen()
    {
        Echanges e(banque::octets({{"Sans bonne réponse", 0, 0, 0, {"a", "b", "c"}}}));
        const QByteArray avant = e.octets();
        e.menu("actionExporter");
        QCOMPARE(e.pf.textes(), L{kBonne});
        QVERIFY(e.pf.dialoguesFichier.isEmpty());
        QCOMPARE(e.octets(), avant);
    }

    void export_storesTheCardThenWritesTheChosenFormat_data()
    {
        QTest::addColumn<QString>("filtre");
        QTest::addColumn<QString>("reponse");    // the name typed, "" for the dialog cancelled
        QTest::addColumn<QString>("fichier");    // the file written
        QTest::addColumn<QByteArray>("debut");   // its first bytes
        QTest::newRow("GIFT") << "GIFT (*.gift *.txt)" << "sortie.gift" << "sortie.gift"
                              << QByteArray("$CATEGORY: Histoire\n\n::Q0001::[plain]Capitale de la France, vraiment ?{");
        QTest::newRow("CSV with commas, no extension typed")
            << "CSV, séparateur virgule (*.csv)" << "tableur" << "tableur.csv"
            << QByteArray("\xEF\xBB\xBFNuméro,Question,Réponse 1,Réponse 2,Réponse 3,Bonne réponse,Commentaire,N° de thème,"
                          "Thème,Marque,Initiales,Média,Code média\r\n1,\"Capitale de la France, vraiment ?\",Paris");
        QTest::newRow("Moodle XML") << "Moodle XML (*.xml)" << "m.xml" << "m.xml"
                                    << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n");
        QTest::newRow("QTI") << "Paquet IMS QTI 2.1 (*.zip)" << "p.zip" << "p.zip" << QByteArray("PK\x03\x04");
        QTest::newRow("cancelled") << "GIFT (*.gift *.txt)" << "" << "" << QByteArray();
    }
    void export_storesTheCardThenWritesTheChosenFormat()
    {
        QFETCH(QString, filtre);
        QFETCH(QString, reponse);
        QFETCH(QString, fichier);
        QFETCH(QByteArray, debut);
        Echanges e(deuxCartes());
        auto *question = e.w<QPlainTextEdit>("TextQuestion");
        question->setFocus();
        QTest::keyClick(question, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(question, Qt::Key_Backspace);
        QTest::keyClick(question, Qt::Key_Backspace);
        QTest::keyClicks(question, ", vraiment ?");
        e.pf.reponsesFichier << (reponse.isEmpty() ? reponse : e.dir.filePath(reponse));
        e.pf.filtresChoisis << filtre;
        e.menu("actionExporter");

        QVERIFY(e.pf.textes().isEmpty());
        QCOMPARE(e.pf.dialoguesFichier.size(), 1);
        const FakePlateforme::DialogueFichier d = e.pf.dialoguesFichier.first();
        QCOMPARE(d.titre, "Exporter la banque");
        QCOMPARE(d.chemin, e.dir.filePath("BASE.gift"));
        QCOMPARE(d.filtre, "GIFT (*.gift *.txt)");
        QCOMPARE(d.filtres, "GIFT (*.gift *.txt);;Moodle XML (*.xml);;Paquet IMS QTI 2.1 (*.zip);;"
                            "CSV, séparateur point-virgule (*.csv);;CSV, séparateur virgule (*.csv)");
        // The card on screen went to the bank before the export read it.
        QCOMPARE(texte::affiche(banque::carte(e.dir.filePath("BASE.QZF"), 1).Question), "Capitale de la France, vraiment ?");
        if (fichier.isEmpty()) {
            QVERIFY(!dialogueCharge(e.f, "RapportEchanges"));
            QCOMPARE(QDir(e.dir.path()).entryList(QDir::Files), L({"BASE.prm", "BASE.QZF", "BASE.QZF.verrou"}));
            return;
        }
        QVERIFY(banque::lire(e.dir.filePath(fichier)).startsWith(debut));
        QVERIFY(e.rapport().startsWith("Rapport d'exportation\nExportation de la banque BASE.QZF au format "));
        QVERIFY(e.rapport().contains("\n2 fiche(s) exportée(s).\n"));
    }

    void import_appendsThenShowsTheBankAgain()
    {
        Echanges e(deuxCartes(), {"Histoire"});
        banque::ecrire(e.dir.filePath("q.gift"), "$CATEGORY: Sciences\n\nEau ? {=H2O ~CO2 ~O2}\n\nAir ? {~H2O ~CO2 =N2}\n\n"
                                                 "Vrai ? {T}\n");
        e.pf.reponsesFichier << e.dir.filePath("q.gift");
        e.menu("actionImporter");

        const FakePlateforme::DialogueFichier d = e.pf.dialoguesFichier.value(0);
        QCOMPARE(d.titre, "Importer dans la banque");
        QCOMPARE(d.chemin, e.dir.path());
        QCOMPARE(d.filtre, "Fichiers d'échange (*.gift *.txt *.xml *.zip *.csv)");
        QCOMPARE(e.pf.textes(), L{kRappel});  // Initialisation ran again
        QCOMPARE(e.w<QLineEdit>("TextNbFiche")->text(), "4");
        QCOMPARE(e.comptes(), "2 2 0 0 0 0 0 0 0 4");
        QCOMPARE(e.w<QRadioButton>("Theme_1")->text().trimmed(), "Sciences");
        QVERIFY(e.w<QRadioButton>("Theme_1")->isVisible());
        QCOMPARE(e.rapport(), "Rapport d'importation\n"
                              "Importation de q.gift (GIFT) dans la banque BASE.QZF\n"
                              "2 questions importées : fiches 3 à 4.\n"
                              "1 question(s) non importée(s) : voir ci-dessous.\n\n"
                              "Questions non importées (1) :\n  ligne 7 : question vrai/faux\n\n"
                              "Thèmes (1) :\n  « Sciences » : nouveau thème 2\n");
        QTest::mouseClick(dialogueCharge(e.f, "RapportEchanges")->findChild<QPushButton *>("bout_OK"), Qt::LeftButton);
        QTRY_VERIFY(!dialogueCharge(e.f, "RapportEchanges"));
    }

    // Questions of four answers or more: the window shows them, the two wrong answers each keeps
    // ticked (the first two), for the teacher to change, keep reduced or leave out.
    void import_longQuestionsReviewed_data()
    {
        QTest::addColumn<L>("actions");   // "n.k" toggles answer k of question n; then a button's name
        QTest::addColumn<int>("fiches");  // cards in the bank after
        QTest::addColumn<QString>("rapport");
        QTest::addColumn<QString>("feu");  // the answers of the card from "Feu ?"
        QTest::newRow("kept as ticked first") << L{"boutGarder"} << 5
            << "ligne 1 : réduite : réponse 4 laissée|ligne 5 : réduite : réponses 4 et 5 laissées" << "a b c";
        QTest::newRow("the teacher's two") << L{"1.0", "1.4", "boutGarder"} << 5
            << "ligne 1 : réduite : réponse 4 laissée|ligne 5 : réduite : réponses 1 et 4 laissées" << "b c e";
        QTest::newRow("three ticked: asked again") << L{"1.4", "boutGarder", "1.0", "boutGarder"} << 5
            << "ligne 1 : réduite : réponse 4 laissée|ligne 5 : réduite : réponses 1 et 4 laissées" << "b c e";
        QTest::newRow("left out") << L{"boutLaisser"} << 3
            << "ligne 1 : 4 réponses au lieu de 3|ligne 5 : 5 réponses au lieu de 3" << "";
        QTest::newRow("cancelled: nothing imported") << L{"boutAnnuler"} << 2 << "" << "";
    }
    void import_longQuestionsReviewed()
    {
        QFETCH(L, actions);
        Echanges e(deuxCartes());
        banque::ecrire(e.dir.filePath("q.gift"), "Eau ? {=H2O ~CO2 ~O2 ~He}\n\nAir ? {~H2O ~CO2 =N2}\n\n"
                                                 "Feu ? {~a ~b =c ~d ~e}\n");
        e.pf.reponsesFichier << e.dir.filePath("q.gift");
        QStringList vu;
        QTimer::singleShot(0, [&] {
            QWidget *d = QApplication::activeModalWidget();
            QVERIFY(d && d->objectName() == "FormReponsesGardees");
            auto *liste = d->findChild<QTreeWidget *>("ListeLongues");
            for (int i = 0; i < liste->topLevelItemCount(); ++i) {
                QString q = liste->topLevelItem(i)->text(0) + ":";
                for (int k = 0; k < liste->topLevelItem(i)->childCount(); ++k) {
                    const QTreeWidgetItem *r = liste->topLevelItem(i)->child(k);
                    q += ' ' + r->text(0) + (r->data(0, Qt::CheckStateRole).isValid() ? (r->checkState(0) ? "[x]" : "[ ]") : "");
                }
                vu << q;
            }
            for (const QString &a : actions) {
                if (a.contains('.')) {
                    QTreeWidgetItem *r = liste->topLevelItem(a.section('.', 0, 0).toInt())->child(a.section('.', 1).toInt());
                    r->setCheckState(0, r->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
                } else {
                    QTest::mouseClick(d->findChild<QPushButton *>(a), Qt::LeftButton);
                }
            }
        });
        e.menu("actionImporter");
        QCOMPARE(vu, L({"ligne 1 : Eau ?: ✔ H2O CO2[x] O2[x] He[ ]", "ligne 5 : Feu ?: a[x] b[x] ✔ c d[ ] e[ ]"}));
        QTEST(int(e.octets().size() / 803), "fiches");
        QStringList lignes;
        for (const QString &l : e.rapport().split('\n'))
            if (l.startsWith("  ligne"))
                lignes << l.trimmed();
        QTEST(lignes.join('|'), "rapport");
        QFETCH(QString, feu);
        if (!feu.isEmpty()) {
            const FicheQuestion c = banque::carte(e.dir.filePath("BASE.QZF"), 5);
            QCOMPARE(QString("%1 %2 %3").arg(texte::affiche(c.Reponse[0]), texte::affiche(c.Reponse[1]), texte::affiche(c.Reponse[2])), feu);
        }
        QCOMPARE(e.pf.textes().filter("Cochez").size(), QTest::currentDataTag() == QString("three ticked: asked again") ? 1 : 0);
    }

    void import_badFileSaysWhyAndLeavesTheBank_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid zip") << "p.zip" << QByteArray("PK\x03\x04 coupé")
                                     << "Le fichier p.zip n'est pas un paquet zip lisible : il est incomplet ou ce n'est "
                                        "pas une archive zip.";
        QTest::newRow("XML cut") << "q.xml" << QByteArray("<?xml version=\"1.0\"?>\n<quiz>\n<question type=\"multi")
                                 << "Le fichier q.xml est incomplet : son XML s'arrête ligne 3, colonne 21, avant la fin "
                                    "du document.";
        QTest::newRow("unknown") << "notes.doc" << QByteArray("du texte")
                                 << "Le format du fichier notes.doc n'est pas reconnu : un fichier GIFT, Moodle XML, CSV "
                                    "ou un paquet IMS QTI 2.1 (zip) est attendu.";
    }
    void import_badFileSaysWhyAndLeavesTheBank()
    {
        QFETCH(QString, nom);
        QFETCH(QByteArray, contenu);
        QFETCH(QString, message);
        Echanges e(deuxCartes());
        const QByteArray avant = e.octets();
        banque::ecrire(e.dir.filePath(nom), contenu);
        e.pf.reponsesFichier << e.dir.filePath(nom);
        e.menu("actionImporter");
        QCOMPARE(e.pf.textes(), L{message});
        QCOMPARE(e.pf.messages.first().icone, Plateforme::Icone::Critique);
        QCOMPARE(e.pf.messages.first().titre, "Erreur");
        QCOMPARE(e.octets(), avant);
        QVERIFY(!dialogueCharge(e.f, "RapportEchanges"));
    }

    void import_intoAnEmptyBankAsksNoGoodAnswer()
    {
        Echanges e({}, {});
        banque::ecrire(e.dir.filePath("q.csv"), "Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\nQ;a;b;c;2\n");
        e.pf.reponsesFichier << e.dir.filePath("q.csv");
        e.pf.filtresChoisis << "CSV (*.csv)";
        e.menu("actionImporter");
        QCOMPARE(e.pf.textes(), L{kRappel});
        QCOMPARE(e.w<QLineEdit>("TextNbFiche")->text(), "1");
        QVERIFY(e.w("TextQuestion")->isVisible());
        QCOMPARE(e.w<QPlainTextEdit>("TextQuestion")->toPlainText(), "Q");
        QVERIFY(e.w<QRadioButton>("OptionBonneReponse_1")->isChecked());
    }

    void report_isReadOnlyAndReplacedByTheNext()
    {
        Echanges e(deuxCartes());
        for (int i = 0; i < 2; ++i) {
            e.pf.reponsesFichier << e.dir.filePath(QStringLiteral("s%1.gift").arg(i));
            e.menu("actionExporter");
        }
        QList<QWidget *> rapports;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "RapportEchanges" && w->isVisible())
                rapports << w;
        QCOMPARE(rapports.size(), 1);
        auto *boite = rapports.first()->findChild<QPlainTextEdit *>("TextRapport");
        QVERIFY(boite->isReadOnly());
        QVERIFY(boite->toPlainText().contains("s1.gift"));
    }
};

QTEST_MAIN(TestFenetreEchanges)
#include "test_fenetre_echanges.moc"
