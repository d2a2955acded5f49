// The output dialog and the main window's print button, driven through the real widgets:
// states of the controls, the messages, the bytes written and the lines sent to the printer.
#include "support/editeur.h"
#include "output/form_export.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTest>

namespace {

using L = QStringList;
using R = Plateforme::Reponse;
using I = Plateforme::Icone;
const QString kSansDest = QStringLiteral("Vous devez choisir un fichier de destination!");

QByteArray cinq()  // marks on cards 2 and 4
{
    return banque::octets({{"A", 0, 1, 0, {"a1"}}, {"B", 1, 2, 1, {"", "b2"}}, {"C"}, {"D", 0, 1, 1}, {"E"}});
}

struct Poste : Editeur {
    explicit Poste(const QByteArray &cartes = cinq()) : Editeur(cartes) { autre = "Form_export"; }
    Form_export *d() { return qobject_cast<Form_export *>(dialogueCharge(f, "Form_export")); }
    void ouvrir() { clic("Command1"); }
    void destination(const QString &nom)
    {
        f.session().etat().FichierDest = nom;
        w<QLabel>("textedest")->setText(nom);
    }
    bool decharge() { return Editeur::decharge("Form_export"); }
};

QColor fond(QWidget *w) { return w->palette().color(QPalette::Window); }

} // namespace

class TestFormExport : public QObject {
    Q_OBJECT
private slots:
    void opening_disablesMainWindow()
    {
        Poste p;
        p.ouvrir();
        QVERIFY(p.d() && p.d()->isVisible() && p.d()->isEnabled());
        QVERIFY(!p.f.isEnabled());
        QVERIFY(p.d()->parentWidget() == nullptr);
        QCOMPARE(p.d()->windowTitle(), "Transfert de fiches ou impression ou génération d'un Q.C.M.");
        QCOMPARE(p.texte("textefichieractif") + '>' + p.texte("textedest"), "BASE.QZF>");
        for (const char *choisie : {"OptionTransfert_0", "choixopt_0"})
            QVERIFY(p.w<QRadioButton>(choisie)->isChecked());
        QVERIFY(!p.w("OptionTransfert_3")->isEnabled());
    }

    void optionTransfertClicks_switchTheDestination_data()
    {
        QTest::addColumn<QList<int>>("clics");
        QTest::addColumn<int>("choisie");
        QTest::addColumn<bool>("actifs");
        QTest::newRow("light print") << QList<int>{1} << 1 << false;
        QTest::newRow("complete print") << QList<int>{2} << 2 << false;
        QTest::newRow("back to a bank") << QList<int>{2, 1, 0} << 0 << true;
        QTest::newRow("the text file cannot be chosen") << QList<int>{1, 3} << 1 << false;
    }
    void optionTransfertClicks_switchTheDestination()
    {
        QFETCH(QList<int>, clics);
        QFETCH(bool, actifs);
        Poste p;
        p.ouvrir();
        p.w("choixopt_2")->setFocus();
        for (int k : clics)
            p.clic(QStringLiteral("OptionTransfert_%1").arg(k));
        QTEST(p.d()->groupeTransfert->checkedId(), "choisie");
        QCOMPARE(p.w("textedest")->isEnabled(), actifs);
        QCOMPARE(p.w("Command3")->isEnabled(), actifs);
        QCOMPARE(fond(p.w("textedest")), actifs ? QColor(255, 255, 192) : QColor(224, 224, 224));
        QCOMPARE(p.d()->groupeChoix->checkedId(), 0);
    }

    void closing_hidesWithContentsAndGivesMainWindowBack_data()
    {
        QTest::addColumn<QString>("maniere");
        QTest::newRow("Annuler") << "Command2";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("title bar") << "close";
    }
    void closing_hidesWithContentsAndGivesMainWindowBack()
    {
        QFETCH(QString, maniere);
        Poste p;
        p.ouvrir();
        Form_export *avant = p.d();
        p.faire({"OptionTransfert_2", "choixopt_1"});
        p.destination("AUTRE.QZF");
        p.faire({maniere});
        QVERIFY(!avant->isVisible());
        QVERIFY(!p.decharge());
        QVERIFY(p.f.isEnabled() && p.f.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&p.f));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus == &p.f || p.f.isAncestorOf(focus));
        p.f.session().etat().NomFichier = "AUTRE2.QZF";
        p.ouvrir();
        QCOMPARE(p.d(), avant);
        QVERIFY(p.d()->isVisible() && !p.f.isEnabled());
        QCOMPARE(p.d()->groupeTransfert->checkedId(), 2);
        QCOMPARE(p.d()->groupeChoix->checkedId(), 1);
        QCOMPARE(p.w<QLabel>("textedest")->text(), "AUTRE.QZF");
        QCOMPARE(p.w<QLabel>("textefichieractif")->text(), "BASE.QZF");
        QVERIFY(!p.w("Command3")->isEnabled());
        QCOMPARE(p.pf.messages.size(), 0);
    }

    void transfer_appendsAndReports_data()
    {
        QTest::addColumn<int>("choix");
        QTest::addColumn<QString>("dest");       // "" = none chosen
        QTest::addColumn<QList<int>>("copiees");  // source cards, in the destination afterwards
        QTest::addColumn<QString>("message");
        QTest::newRow("all") << 0 << "DEST.QZF" << QList<int>{1, 2, 3, 4, 5}
                             << "Transfert de  5 questions effectué vers le fichier DEST.QZF|0|";
        QTest::newRow("marked") << 1 << "DEST.QZF" << QList<int>{2, 4}
                                << "Transfert de  2 questions effectué vers le fichier DEST.QZF|0|";
        QTest::newRow("between marks") << 2 << "DEST.QZF" << QList<int>{2, 3, 4}
                                       << "Transfert de  3 questions effectué vers le fichier DEST.QZF|0|";
        QTest::newRow("no destination") << 0 << "" << QList<int>{} << kSansDest + "|1|Erreur";
        QTest::newRow("a folder") << 0 << "DOSSIER.QZF" << QList<int>{}
            << "Impossible d'ouvrir le fichier destination DIR/DOSSIER.QZF : c'est un dossier.|2|Erreur";
        QTest::newRow("the open bank itself") << 0 << "BASE.QZF" << QList<int>{}
            << "Le fichier destination DIR/BASE.QZF est le fichier d'origine lui-même : choisissez un autre "
               "fichier.|2|Erreur";
    }
    void transfer_appendsAndReports()
    {
        QFETCH(int, choix);
        QFETCH(QString, dest);
        QFETCH(QList<int>, copiees);
        QFETCH(QString, message);
        Poste p;
        QVERIFY(QDir(p.dir.path()).mkdir("DOSSIER.QZF"));
        // The cards go as stored: what is typed on screen meanwhile is not.
        QTest::keyClicks(p.w("TextQuestion"), "pas encore enregistree");
        p.ouvrir();
        p.clic(QStringLiteral("choixopt_%1").arg(choix));
        if (!dest.isEmpty())
            p.destination(dest);
        const int nbFiches = p.f.session().etat().NbFiches;
        p.clic("bout_OK");
        QCOMPARE(p.messages(), L{message});
        QByteArray attendu;
        for (int n : copiees)
            attendu += banque::enregistrement(cinq(), n).replace(782, 2, QByteArray(2, '\0'));
        if (dest == "DEST.QZF")
            QCOMPARE(banque::lire(p.dir.filePath(dest)), attendu);
        QCOMPARE(banque::lire(p.dir.filePath("BASE.QZF")), cinq());
        QVERIFY(p.d()->isVisible() && !p.f.isEnabled());
        QCOMPARE(p.f.session().etat().NbFiches, nbFiches);
        QCOMPARE(p.pf.impression, L{});
    }

    void dialogPrint_sendsListingThenUnloads_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("choix");
        QTest::addColumn<QString>("fichier");  // where the fake desktop without printer puts it
        QTest::addColumn<L>("cartes");         // the lines after the heading, trimmed
        QTest::addColumn<L>("messages");
        const QString envoi = " Fiche(s) envoyées à l'impression|1|Impression des questions";
        QTest::newRow("light") << 1 << 0 << "" << L{"1 )A", "2 )B", "3 )C", "4 )D", "5 )E"} << L{" 5" + envoi};
        QTest::newRow("complete, marked")
            << 2 << 1 << "" << L{"2 )B", "1 Rép=>b2", "", "", "4 )D", "", "", ""} << L{" 2" + envoi};
        QTest::newRow("light, between marks, no printer")
            << 1 << 2 << "DIR/BASE.pdf" << L{"2 )B", "3 )C", "4 )D"}
            << L{" 3" + envoi};
    }
    void dialogPrint_sendsListingThenUnloads()
    {
        QFETCH(int, option);
        QFETCH(int, choix);
        QFETCH(QString, fichier);
        Poste p;
        p.pf.fichierImpression = fichier.replace("DIR", p.dir.path());
        p.f.session().etat().NbFiches = 99;
        p.ouvrir();
        p.clic(QStringLiteral("OptionTransfert_%1").arg(option));
        p.clic(QStringLiteral("choixopt_%1").arg(choix));
        p.clic("bout_OK");
        L lignes = p.pf.impression;
        QCOMPARE(lignes.mid(0, 4),
                 (L{"<debut>", "EDITION ORBELIN - LE FICHIER BASE.QZF CONTIENT : 5 QUESTIONS", "", "<taille 7>"}));
        QCOMPARE(lignes.last(), "<fin>");
        lignes = lignes.mid(4, lignes.size() - 5);
        for (QString &l : lignes)
            l = l.trimmed();
        QTEST(lignes, "cartes");
        QCOMPARE(p.pf.document, "BASE.QZF");
        QCOMPARE(p.pf.bips, 1);
        QTEST(p.messages(), "messages");
        QCOMPARE(p.pf.choix_, fichier.isEmpty() ? L{} : L{"Impression des questions: Aucune imprimante n'est installée : "
                                                           "la liste des questions a été enregistrée dans le fichier "
                                                           + fichier + ". [Ouvrir|Ouvrir le dossier|Fermer]"});
        QCOMPARE(p.f.session().etat().NbFiches, 5);
        QVERIFY(p.decharge());
        QVERIFY(p.f.isEnabled());
        QVERIFY(QTest::qWaitForWindowActive(&p.f));
        p.ouvrir();  // starts afresh
        QCOMPARE(p.d()->groupeTransfert->checkedId(), 0);
        QCOMPARE(p.d()->groupeChoix->checkedId(), 0);
    }

    // A printer that cannot start, or the progress window's cancel button pressed while the
    // cards go out: the job is dropped and the dialog stays.
    void dialogPrint_failure_keepsDialog_data()
    {
        QTest::addColumn<bool>("annulation");
        QTest::addColumn<QString>("fin");  // the last marker printed
        QTest::addColumn<L>("messages");
        QTest::newRow("printer cannot start") << false << "<debut>" << L{"L'imprimante ne répond pas.|2|Erreur"};
        QTest::newRow("cancelled while sending") << true << "<abandon>" << L{};
    }
    void dialogPrint_failure_keepsDialog()
    {
        QFETCH(bool, annulation);
        QByteArray b;
        for (int i = 0; i < 600; ++i)
            b += banque::fiche({QStringLiteral("Q%1").arg(i)}).octets();
        Poste p(b);
        p.pf.imprimanteDisponible = annulation;
        p.ouvrir();
        p.clic("OptionTransfert_2");
        int lignes = 0;
        p.pf.pendantImpression = [&] {
            if (++lignes == 300 && annulation)
                if (auto *progression = p.d()->findChild<QProgressDialog *>())
                    progression->cancel();
        };
        p.clic("bout_OK");
        QCOMPARE(p.pf.impression.first(), "<debut>");
        QTEST(p.pf.impression.last(), "fin");
        QVERIFY(!p.pf.impression.contains("<fin>"));
        QTEST(p.messages(), "messages");
        QCOMPARE(p.pf.bips, 0);
        QVERIFY(!p.decharge() && p.d()->isVisible() && !p.f.isEnabled());
    }

    void boutPrint_asksThenPrintsQuickOrDetailed_data()
    {
        QTest::addColumn<int>("reponse");
        QTest::addColumn<L>("impression");
        const QString tete = "EDITION ORBELIN - LE FICHIER CONTIENT : 2 QUESTIONS";
        const QString q1 = " 1 )" + QString("A").leftJustified(200), q2 = " 2 )" + QString("B").leftJustified(200);
        const QString blanc(200, u' ');
        QTest::newRow("yes: quick") << int(R::Oui) << L{"<debut>", tete, "", "<taille 7>", q1, q2, "<fin>"};
        QTest::newRow("no: detailed")
            << int(R::Non)
            << L{"<debut>", tete, "", "<taille 7>", q1, QString(12, u' ') + " 0 Rép=>" + QString("a1").leftJustified(70),
                 blanc, q2, QString(12, u' ') + " 1 Rép=>" + QString("b2").leftJustified(70), blanc, "<fin>"};
        QTest::newRow("cancel: nothing") << int(R::Annuler) << L{};
    }
    void boutPrint_asksThenPrintsQuickOrDetailed()
    {
        QFETCH(int, reponse);
        Poste p(cinq().left(2 * 803));
        p.pf.reponses.enqueue(R(reponse));
        const int nbFiches = p.f.session().etat().NbFiches = 7;
        p.clic("BoutPrint");
        QTEST(p.pf.impression, "impression");
        QCOMPARE(p.pf.messages.size(), 1);
        const FakePlateforme::Message &m = p.pf.messages[0];
        QCOMPARE(m.texte, "L'impression se fera dans l'ordre de classement actuel des questions; Voulez-vous une "
                          "impression Rapide?");
        QCOMPARE(int(m.boutons), int(Plateforme::Boutons::OuiNonAnnuler));
        QCOMPARE(int(m.icone), int(I::Critique));
        QCOMPARE(int(m.parDefaut), int(R::Non));
        QCOMPARE(m.titre, "Paramètres d'impression");
        QCOMPARE(p.f.session().etat().NbFiches, reponse == int(R::Annuler) ? nbFiches : 2);
        QCOMPARE(p.pf.bips, 0);
        QVERIFY(p.f.isEnabled());
    }

    void choix_opensTheDestinationChooser()
    {
        Poste p;
        p.ouvrir();
        p.clic("Command3");
        QVERIFY(!p.d()->isEnabled());
        QWidget *choix = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "Form_choixtransfert" && w->isVisible())
                choix = w;
        QVERIFY(choix);
        QTest::mouseClick(choix->findChild<QWidget *>("Command1"), Qt::LeftButton);
        QVERIFY(p.d()->isEnabled() && p.d()->isVisible());
        QVERIFY(!p.f.isEnabled());
    }
};

QTEST_MAIN(TestFormExport)
#include "test_form_export.moc"
