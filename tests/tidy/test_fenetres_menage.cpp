// The recycle, duplicates and theme-change windows, driven through the real widgets from the
// main window's exchanges menu, with the bytes on disk checked after each step.
#include "editor/controles.h"
#include "support/editeur.h"
#include "files/choixfichier.h"
#include "files/form_choixtransfert.h"
#include "files/listesfichiers.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

namespace {

using L = QStringList;
constexpr int T = 803;
using M = Plateforme;

banque::Carte carte(const QString &q, int theme = 0, int marque = 0, const L &r = {"Paris", "Lyon", "Nice"})
{
    return {q, theme, 1, marque, r, "Vu en classe", "AB"};
}

struct Menage : Editeur {
    explicit Menage(std::initializer_list<banque::Carte> cartes) : Editeur(banque::octets(cartes)) {}
    void capturer(const QString &fenetre)
    {
        if (!qEnvironmentVariableIsEmpty("ORBELIN_CAPTURES"))
            dialogueCharge(f, fenetre)->grab().save(qEnvironmentVariable("ORBELIN_CAPTURES") + '/' + fenetre + ".png");
    }
};

} // namespace

class TestFenetresMenage : public QObject {
    Q_OBJECT
private slots:
    void deleteThenRestore_fromTheWindow_givesTheCardBackAtTheEnd()
    {
        Menage e({carte("Q1"), carte("Q2", 1), carte("Q3", 2), carte("Q4")});
        const QByteArray depart = e.octets();
        e.clic("Suivant");
        e.clic("Supprimer");
        QCOMPARE(e.ecran(), "2/3 Q3");
        QCOMPARE(e.octets(), QByteArray(depart).remove(T, T));

        e.menu("actionCorbeille");
        e.autre = "FormCorbeille";
        auto *liste = e.w<QTreeWidget>("ListeCorbeille");
        QVERIFY(liste);
        QVERIFY(!e.f.isEnabled());
        QCOMPARE(e.w<QLabel>("LabelCorbeille")->text(), "1 fiche supprimée peut être restaurée.");
        QCOMPARE(liste->topLevelItemCount(), 1);
        QTreeWidgetItem *l = liste->topLevelItem(0);
        QCOMPARE(l->text(0) + '|' + l->text(1), "Q2|Sciences");
        const QDateTime quand = QDateTime::fromString(l->text(2), "dd/MM/yyyy HH:mm");
        QVERIFY(qAbs(quand.secsTo(QDateTime::currentDateTime())) < 120);
        const QString apercu = e.w<QTextBrowser>("ApercuCorbeille")->toPlainText();
        QVERIFY2(apercu.contains("Paris  (bonne réponse)") && apercu.contains("Lyon") && apercu.contains("Vu en classe"),
                 qPrintable(apercu));
        auto *restaurer = e.w<QPushButton>("BoutRestaurer");
        QVERIFY(!restaurer->isEnabled());
        e.capturer("FormCorbeille");

        QTest::mouseClick(liste->viewport(), Qt::LeftButton, {}, liste->visualItemRect(l).center());
        e.clic(restaurer);
        QCOMPARE(e.octets(), QByteArray(depart).remove(T, T) + banque::enregistrement(depart, 2));
        QCOMPARE(e.ecran(), "4/4 Q2");
        QCOMPARE(e.comptes(), "2 1 1 0 0 0 0 0 0 4");
        QCOMPARE(liste->topLevelItemCount(), 0);
        QCOMPARE(e.w<QLabel>("LabelCorbeille")->text(), "La corbeille est vide.");
        e.clic("BoutFermer");
        QVERIFY(e.f.isEnabled());
        QCOMPARE(e.messages(), L{});
    }

    void deletion_isRefused_whenTheCardCannotBeKept()
    {
        Menage e({carte("Q1"), carte("Q2"), carte("Q3")});
        const QByteArray depart = e.octets();
        QVERIFY(banque::ecrire(e.dir.filePath("BASE"), "un fichier à la place du dossier"));
        e.clic("Suivant");
        e.clic("Supprimer");
        QCOMPARE(e.octets(), depart);
        QCOMPARE(e.ecran(), "2/3 Q2");
        QCOMPARE(e.messages(), L{"La fiche 2 n'a pas pu être gardée dans la corbeille, elle n'est donc pas supprimée. "
                                 "Impossible d'écrire dans la corbeille DIR/BASE/corbeille.qzc : "
                                 + QString::fromLocal8Bit(strerror(ENOTDIR)) + ". Le fichier DIR/BASE.QZF n'a pas été modifié.|2|Erreur"});
    }

    void emptyRecycle_asksFirst_data()
    {
        QTest::addColumn<int>("reponse");
        QTest::addColumn<int>("restantes");
        QTest::newRow("yes") << int(M::Reponse::Oui) << 0;
        QTest::newRow("no") << int(M::Reponse::Non) << 2;
    }
    void emptyRecycle_asksFirst()
    {
        QFETCH(int, reponse);
        Menage e({carte("Q1"), carte("Q2"), carte("Q3")});
        e.clic("Supprimer");
        e.clic("Supprimer");
        e.menu("actionCorbeille");
        e.pf.oublier();
        e.pf.reponses.enqueue(M::Reponse(reponse));
        e.autre = "FormCorbeille";
        e.clic("BoutVider");
        QCOMPARE(e.pf.messages.size(), 1);
        const FakePlateforme::Message m = e.pf.messages[0];
        QCOMPARE(m.texte, "Vider la corbeille ? Les 2 fiches qu'elle contient seront perdues définitivement.");
        QCOMPARE(m.boutons, M::Boutons::OuiNon);
        QCOMPARE(m.parDefaut, M::Reponse::Non);
        QCOMPARE(m.titre, "Corbeille");
        QTEST(int(banque::lire(e.dir.filePath("BASE/corbeille.qzc")).size() / T), "restantes");
        QTEST(e.w<QTreeWidget>("ListeCorbeille")->topLevelItemCount(), "restantes");
    }

    void themeOfMarkedCards_movesThemInOneGo()
    {
        Menage e({carte("Q1", 0, 1), carte("Q2"), carte("Q3", 2, 1), carte("Q4")});
        QByteArray attendu = e.octets();
        e.menu("actionChangerTheme");
        e.autre = "FormChoixTheme";
        QCOMPARE(e.w<QLabel>("LabelChoix")->text(), "Les 2 fiches marquées iront dans le thème choisi :");
        auto *themes = e.w<QListWidget>("ListeThemes");
        QCOMPARE(themes->count(), 9);
        QCOMPARE(themes->item(3)->text(), "(thème 4 sans nom)");
        QVERIFY(!(themes->item(3)->flags() & Qt::ItemIsEnabled));
        QVERIFY(!e.f.isEnabled());
        e.capturer("FormChoixTheme");
        QTest::mouseClick(themes->viewport(), Qt::LeftButton, {}, themes->visualItemRect(themes->item(3)).center());
        QTest::mouseClick(themes->viewport(), Qt::LeftButton, {}, themes->visualItemRect(themes->item(1)).center());
        e.clic("bout_OK");
        attendu[781] = 1;
        attendu[2 * T + 781] = 1;
        QCOMPARE(e.octets(), attendu);
        QCOMPARE(e.comptes(), "2 2 0 0 0 0 0 0 0 4");
        QVERIFY(e.f.isEnabled());
        QCOMPARE(e.ecran(), "1/4 Q1");
        QCOMPARE(e.w<QAbstractButton>("Theme_1")->isChecked(), true);
        QCOMPARE(e.messages(), L{});
    }

    void themeOfMarkedCards_withNoneMarked_saysSo()
    {
        Menage e({carte("Q1"), carte("Q2")});
        e.menu("actionChangerTheme");
        QVERIFY(!dialogueCharge(e.f, "FormChoixTheme"));
        QCOMPARE(e.messages(), L{"Aucune fiche n'est marquée.|1|"});
    }

    void searchWindow_movesTheCardsOfTheTextSearch()
    {
        Menage e({carte("Quelle est la CAPITALE ?"), carte("Q2"), carte("capitale du Pérou", 1)});
        QByteArray attendu = e.octets();
        e.clic("BoutFind");
        e.autre = "form_rech";
        QTest::keyClicks(e.w("textrech_1"), "capitale");
        e.clic("boutTheme");
        e.autre = "FormChoixTheme";
        QCOMPARE(e.w<QLabel>("LabelChoix")->text(),
                 "Les 2 fiches dont la question contient « capitale » iront dans le thème choisi :");
        auto *themes = e.w<QListWidget>("ListeThemes");
        QTest::mouseClick(themes->viewport(), Qt::LeftButton, {}, themes->visualItemRect(themes->item(2)).center());
        e.clic("bout_OK");
        attendu[781] = 2;
        attendu[2 * T + 781] = 2;
        QCOMPARE(e.octets(), attendu);
        QCOMPARE(e.comptes(), "1 0 2 0 0 0 0 0 0 3");
    }

    void duplicates_showGroups_jumpAndMark()
    {
        Menage e({carte("Quelle est la capitale de la France ?"), carte("Q2"), carte("Autre"),
                   carte("quelle est la capitale de la france?", 1, 0, {"Nice", "Paris", "Lyon"})});
        QByteArray attendu = e.octets();
        e.menu("actionDoublons");
        e.autre = "FormDoublons";
        auto *groupes = e.w<QListWidget>("ListeGroupes");
        QVERIFY(groupes);
        QVERIFY(e.f.isEnabled());
        L textes;
        for (int i = 0; i < groupes->count(); ++i)
            textes << groupes->item(i)->text();
        QCOMPARE(textes, (L{"Identiques : 1, 4", "Proches (1,00) : 1, 4"}));
        QCOMPARE(e.w<QLabel>("LabelBilan")->text(),
                 "1 groupe(s) de questions identiques, 1 groupe(s) de fiches proches.");
        const QString vue = e.w<QTextBrowser>("VueGroupe")->toHtml();
        QVERIFY2(vue.contains("Fiche 4") && vue.contains("Sciences"), qPrintable(vue));
        e.capturer("FormDoublons");

        auto *choix = e.w<QComboBox>("ChoixFiche");
        QCOMPARE(choix->count(), 2);
        choix->setCurrentIndex(1);
        e.clic("BoutAller");
        QCOMPARE(e.ecran(), "4/4 quelle est la capitale de la france?");

        e.clic("BoutMarquer");
        attendu[782] = 1;
        attendu[3 * T + 782] = 1;
        QCOMPARE(e.octets(), attendu);
        QVERIFY(e.w<QAbstractButton>("CheckMarquage")->isChecked());
        QCOMPARE(e.w<QLabel>("LabelBilan")->text(), "Les 2 fiches du groupe sont marquées.");
        QCOMPARE(e.messages(), L{});
    }

    void recycleFile_isNeverListedByTheBankChoosers()
    {
        Menage e({carte("Q1"), carte("Q2")});
        e.clic("Supprimer");
        QVERIFY(QFile::exists(e.dir.filePath("BASE/corbeille.qzc")));
        QWidget ouvreur;
        for (bool transfert : {false, true}) {
            if (transfert) {
                Form_choixtransfert::ouvrir(e.f.session(), &ouvreur, {});
            } else {
                e.clic("Fichier");
            }
            auto *c = qobject_cast<ChoixFichier *>(dialogueCharge(e.f, transfert ? "Form_choixtransfert" : "form_fichier"));
            QVERIFY(c);
            for (const QString &dossier : {e.dir.path(), e.dir.filePath("BASE")}) {
                QVERIFY(c->listes()->fixerDossier(dossier));
                QVERIFY(c->listes()->attendreChargement());
                const L noms = c->listes()->nomsAffiches();
                QCOMPARE(noms, dossier == e.dir.path() ? L{"BASE.QZF"} : L{});
            }
            c->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

QTEST_MAIN(TestFenetresMenage)
#include "test_fenetres_menage.moc"
