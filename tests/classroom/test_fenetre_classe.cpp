// The two classroom entries of the main window's exchange menu, driven through the real
// widgets: the dialog's choices, the file asked of the fake desktop, the file written and
// handed to the desktop's application, and every message on the way.
#include "classroom/corrige.h"
#include "classroom/fenetre_classe.h"
#include "support/editeur.h"
#include "exchange/fenetre_echanges.h"
#include "support/lancer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

namespace {

using L = QStringList;
const QString kBonne = QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie");

struct Classe : Editeur {
    explicit Classe(std::initializer_list<banque::Carte> cartes, const QStringList &themes = {"Histoire", "Géo & co"})
        : Editeur(banque::octets(cartes), themes)
    {
    }
    FormClasse *ouvrir(const QString &action)
    {
        menu(qPrintable(action));
        return qobject_cast<FormClasse *>(dialogueCharge(f, "FormClasse"));
    }
    QString chemin(const QString &nom) const { return dir.filePath(nom); }
};

// Three cards: the second marked, themes 0, 1, 1.
Classe *trois()
{
    return new Classe({{"Q1", 0, 1, 0, {"a", "b", "c"}}, {"Q2", 1, 2, 1, {"a", "b", "c"}}, {"Q3", 1, 3, 0, {"a", "b", "c"}}});
}

} // namespace

class TestFenetreClasse : public QObject {
    Q_OBJECT
private slots:
    void dialog_showsTheChoicesOfItsOutput_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("titre");
        QTest::addColumn<bool>("quiz");
        QTest::newRow("quiz") << "actionQuizClasse" << "Page de quiz pour la classe" << true;
        QTest::newRow("exam") << "actionSujetsExamen" << "Sujets d'examen (PDF)" << false;
    }
    void dialog_showsTheChoicesOfItsOutput()
    {
        QFETCH(QString, action);
        QFETCH(bool, quiz);
        std::unique_ptr<Classe> e(trois());
        FormClasse *d = e->ouvrir(action);
        QVERIFY(d && d->isVisible());
        QTEST(d->windowTitle(), "titre");
        QVERIFY(!e->f.isEnabled());
        QVERIFY(d->isEnabled());
        QVERIFY(d->OptionToutes->isChecked());
        QCOMPARE(d->LabelCompte->text(), "3 fiches retenues");
        QCOMPARE(d->TextTitre->text(), "BASE");
        QCOMPARE(d->SpinNombre->text(), "toutes");
        // A label with a shortcut letter leads to its field; without one the "&" would show.
        for (QLabel *l : d->findChildren<QLabel *>())
            if (l->isVisible() && l->text().contains(u'&'))
                QVERIFY2(l->buddy() && l->buddy()->isVisible(), qPrintable(l->text()));
        // Only the named themes are offered, "&" as a letter; ticked only once chosen.
        QCOMPARE(d->CheckTheme[0]->text(), "Histoire");
        QCOMPARE(d->CheckTheme[1]->text(), "Géo && co");
        QVERIFY(d->CheckTheme[1]->isVisible() && !d->CheckTheme[2]->isVisible());
        QVERIFY(!d->CheckTheme[0]->isEnabled());
        QCOMPARE(d->CheckMelanger->isVisible(), quiz);
        QCOMPARE(d->SpinVersions->isVisible(), !quiz);
        QCOMPARE(d->TextDate->isVisible(), !quiz);
        QCOMPARE(d->findChild<QCheckBox *>("FeuilleReponses")->isVisible(), !quiz);
        QCOMPARE(d->findChild<QSpinBox *>("ChiffresEleve")->isVisible(), !quiz);
        QVERIFY(d->bout_OK->isDefault());
        QCOMPARE(d->bout_OK->text(), "&Créer…");
        if (const QString dossier = qEnvironmentVariable("ORBELIN_CAPTURES"); !dossier.isEmpty())
            d->grab().save(dossier + "/dialogue-" + action + ".png");
        QTest::mouseClick(d->bout_Annuler, Qt::LeftButton);
        QTRY_VERIFY(!dialogueCharge(e->f, "FormClasse"));
        QVERIFY(e->f.isEnabled());
        QVERIFY(e->pf.dialoguesFichier.isEmpty());
    }

    void count_followsEveryChoice()
    {
        std::unique_ptr<Classe> e(trois());
        FormClasse *d = e->ouvrir("actionQuizClasse");
        e->clic(d->OptionMarquees);
        QCOMPARE(d->LabelCompte->text(), "1 fiche retenue");
        e->clic(d->OptionEntreMarques);
        QCOMPARE(d->LabelCompte->text(), "2 fiches retenues");  // an unclosed range runs to the end
        e->clic(d->OptionThemes);
        QVERIFY(d->CheckTheme[1]->isEnabled());
        QCOMPARE(d->LabelCompte->text(), "aucun thème coché");
        e->clic(d->CheckTheme[1]);
        QCOMPARE(d->LabelCompte->text(), "2 fiches retenues");
        d->SpinNombre->setValue(1);
        QCOMPARE(d->LabelCompte->text(), "sur 2 fiches retenues");
        e->clic(d->OptionToutes);
        QVERIFY(!d->CheckTheme[1]->isEnabled());
        QCOMPARE(d->LabelCompte->text(), "sur 3 fiches retenues");
    }

    void quiz_writesTheChosenCardsAndOpensThePage_data()
    {
        QTest::addColumn<QString>("tape");     // the name typed in the file dialog
        QTest::addColumn<QString>("fichier");  // the file written
        QTest::newRow("name with extension") << "classe.html" << "classe.html";
        QTest::newRow("extension added") << "classe" << "classe.html";
    }
    void quiz_writesTheChosenCardsAndOpensThePage()
    {
        QFETCH(QString, tape);
        QFETCH(QString, fichier);
        std::unique_ptr<Classe> e(trois());
        FormClasse *d = e->ouvrir("actionQuizClasse");
        e->clic(d->OptionThemes);
        e->clic(d->CheckTheme[1]);
        d->TextTitre->setText("Révisions");
        e->pf.reponsesFichier << e->chemin(tape);
        e->pf.reponsesChoix << 0;  // "Ouvrir"
        QTest::mouseClick(d->bout_OK, Qt::LeftButton);
        QCOMPARE(e->pf.dialoguesFichier.size(), 1);
        const auto &df = e->pf.dialoguesFichier[0];
        QCOMPARE(df.titre, "Page de quiz pour la classe");
        QCOMPARE(df.chemin, e->chemin("BASE-quiz.html"));
        QCOMPARE(df.filtres, "Page web (*.html *.htm)");
        QCOMPARE(e->pf.textes(), L());
        QCOMPARE(e->pf.ouverts, L{e->chemin(fichier)});
        const QByteArray page = banque::lire(e->chemin(fichier));
        QVERIFY(page.contains("<title>Révisions</title>"));
        QVERIFY(page.contains("\"q\":\"Q2\"") && page.contains("\"q\":\"Q3\"") && !page.contains("\"q\":\"Q1\""));
        QTRY_VERIFY(!dialogueCharge(e->f, "FormClasse"));
        QVERIFY(e->f.isEnabled());
    }

    void create_refusalsKeepTheDialogAndWriteNothing_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("message");  // "": the file dialog is cancelled
        QTest::newRow("no marked card") << "OptionMarquees"
                                        << "Aucune fiche ne correspond à la sélection : aucun fichier n'a été écrit.";
        QTest::newRow("themes chosen, none ticked") << "OptionThemes" << "Cochez au moins un thème.";
        QTest::newRow("file dialog cancelled") << "OptionToutes" << "";
    }
    void create_refusalsKeepTheDialogAndWriteNothing()
    {
        QFETCH(QString, option);
        QFETCH(QString, message);
        Classe e({{"Q1", 0, 1, 0, {"a", "b"}}});
        FormClasse *d = e.ouvrir("actionSujetsExamen");
        e.clic(d->findChild<QRadioButton *>(option));
        if (!message.isEmpty())
            e.pf.reponsesFichier << e.chemin("e.pdf");
        e.clic(d->bout_OK);
        QCOMPARE(e.messages(), message.isEmpty() ? L() : L{message + "|2|Erreur"});
        QCOMPARE(e.pf.dialoguesFichier.size(), int(message.isEmpty()));
        QCOMPARE(QDir(e.dir.path()).entryList(QDir::Files), L({"BASE.prm", "BASE.QZF", "BASE.QZF.verrou"}));
        QVERIFY(dialogueCharge(e.f, "FormClasse") && d->isVisible() && !e.f.isEnabled());
        QVERIFY(e.pf.ouverts.isEmpty());
    }

    void exam_writesTheVersionsAsAsked()
    {
        std::unique_ptr<Classe> e(trois());
        FormClasse *d = e->ouvrir("actionSujetsExamen");
        d->SpinVersions->setValue(2);
        d->TextTitre->setText("Contrôle");
        d->TextDate->setText("jeudi");
        e->pf.reponsesFichier << e->chemin("sujets");
        e->pf.reponsesChoix << 1;  // "Ouvrir le dossier"
        QTest::mouseClick(d->bout_OK, Qt::LeftButton);
        QCOMPARE(e->pf.dialoguesFichier[0].titre, "Sujets d'examen (PDF)");
        QCOMPARE(e->pf.dialoguesFichier[0].chemin, e->chemin("BASE-sujets.pdf"));
        QCOMPARE(e->pf.dialoguesFichier[0].filtres, "Document PDF (*.pdf)");
        QCOMPARE(e->pf.textes(), L());
        QCOMPARE(e->pf.ouverts, L{e->dir.path()});
        QCOMPARE(e->pf.choix_, L{"Sujets d'examen (PDF): Les sujets (3 questions) ont été écrits dans " + e->chemin("sujets.pdf")
                                 + ". [Ouvrir|Ouvrir le dossier|Fermer]"});
        const QString t = pdfEnTexte(e->chemin("sujets.pdf"));
        for (const char *s : {"Contrôle", "Sujet 1", "Sujet 2", "Date : jeudi", "Corrigé — Sujet 2", "Q1", "Q2", "Q3"})
            QVERIFY2(t.contains(QString::fromUtf8(s)), s);
    }

    // The number's digits count only with the sheet ticked, and reach the key written beside the PDF.
    void exam_answerSheetAndStudentNumber_data()
    {
        QTest::addColumn<int>("clics");
        QTest::newRow("sheet with a number of three digits") << 1;
        QTest::newRow("sheet ticked then unticked") << 2;
    }
    void exam_answerSheetAndStudentNumber()
    {
        QFETCH(int, clics);
        std::unique_ptr<Classe> e(trois());
        FormClasse *d = e->ouvrir("actionSujetsExamen");
        auto *feuille = d->findChild<QCheckBox *>("FeuilleReponses");
        auto *chiffres = d->findChild<QSpinBox *>("ChiffresEleve");
        QCOMPARE(feuille->text(), "Feuille de réponses séparée");
        QVERIFY(!feuille->isChecked() && !chiffres->isEnabled() && chiffres->text() == "aucun" && chiffres->maximum() == 10);
        e->clic(feuille);
        QVERIFY(chiffres->isEnabled());
        chiffres->setValue(3);
        for (int i = 1; i < clics; ++i)
            e->clic(feuille);
        QCOMPARE(chiffres->isEnabled(), clics == 1);
        e->pf.reponsesFichier << e->chemin("s.pdf");
        QTest::mouseClick(d->bout_OK, Qt::LeftButton);
        const QString cle = e->chemin("s.corrige.json");
        QCOMPARE(e->pf.choix_, L{"Sujets d'examen (PDF): Les sujets (3 questions) ont été écrits dans " + e->chemin("s.pdf") + "."
                                 + (clics == 1 ? "\nLe corrigé des feuilles de réponses a été écrit dans " + cle + "." : "")
                                 + " [Ouvrir|Ouvrir le dossier|Fermer]"});
        classe::Corrige c;
        QCOMPARE(bool(classe::lireCorrige(cle, c)), clics == 1);
        QCOMPARE(c.pages.value(0).numeroEleve.size(), clics == 1 ? 30 : 0);
        QCOMPARE(pdfEnTexte(e->chemin("s.pdf")).contains("Grille de réponses — Sujet 1"), clics == 2);
    }

    // One message names the file, with what to note, and offers to open it; nothing opens by itself.
    void remarksShownThenFileOpened()
    {
        Classe e({{"Q1", 0, 1, 0, {"a", "b"}}, {"Q2", 0, 1, 0, {"a", "b"}, "", "", "absente.jpg", 10},
                   {"Sans bonne", 0, 0, 0, {"a", "b"}}});
        FormClasse *d = e.ouvrir("actionQuizClasse");
        e.pf.reponsesFichier << e.chemin("q.html") << e.chemin("r.html");
        e.pf.ouvertureReussie = false;
        e.pf.reponsesChoix << 0;
        QTest::mouseClick(d->bout_OK, Qt::LeftButton);
        QCOMPARE(e.pf.choix_, L{"Page de quiz pour la classe: La page de quiz (2 questions) a été écrite dans "
                                + e.chemin("q.html") + ".\n\nÀ noter :\nfiche 3 : aucune bonne réponse n'est cochée, "
                                "fiche laissée de côté\nfiche 2 : Image introuvable : absente.jpg [Ouvrir|Ouvrir le dossier|Fermer]"});
        QCOMPARE(e.pf.textes(), L{"Aucune application du bureau n'a pu ouvrir " + e.chemin("q.html") + "."});
        QCOMPARE(e.pf.messages[0].icone, Plateforme::Icone::Exclamation);
        QCOMPARE(e.pf.ouverts, L{e.chemin("q.html")});
        // Closed without a choice: nothing opens.
        e.pf.oublier();
        e.ouvrir("actionQuizClasse");
        QTest::mouseClick(dialogueCharge<FormClasse>(e.f, "FormClasse")->bout_OK, Qt::LeftButton);
        QCOMPARE(e.pf.choix_.size(), 2);
        QVERIFY(e.pf.ouverts.isEmpty() && e.pf.textes().isEmpty());
    }

    void cardOnScreen_storedBeforeTheDialog()
    {
        std::unique_ptr<Classe> e(trois());
        auto *question = e->f.findChild<QPlainTextEdit *>("TextQuestion");
        question->setPlainText("Q1 revue");
        QVERIFY(e->ouvrir("actionQuizClasse"));
        QCOMPARE(texte::affiche(banque::carte(e->chemin("BASE.QZF"), 1).Question), "Q1 revue");

        Classe sans({{"Sans bonne réponse", 0, 0, 0, {"a", "b"}}});
        QVERIFY(!sans.ouvrir("actionSujetsExamen"));
        QCOMPARE(sans.pf.textes(), L{kBonne});
        QVERIFY(sans.f.isEnabled());
    }

    void secondOpening_bringsTheSameDialogBack()
    {
        std::unique_ptr<Classe> e(trois());
        FormClasse *d = e->ouvrir("actionQuizClasse");
        e->f.setEnabled(true);  // the menu stays reachable through a shortcut
        e->menu("actionSujetsExamen");
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += qobject_cast<FormClasse *>(w) != nullptr;
        QCOMPARE(n, 1);
        QCOMPARE(dialogueCharge(e->f, "FormClasse"), d);
        QCOMPARE(d->windowTitle(), "Page de quiz pour la classe");
    }
};

QTEST_MAIN(TestFenetreClasse)
#include "test_fenetre_classe.moc"
