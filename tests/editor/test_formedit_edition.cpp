// Editing in the main window, driven through the real widgets: theme editor, navigation,
// new and deleted cards, marking, initials, good-answer highlight and the help line.
#include "support/editeur.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

using L = QStringList;
const QString kBonne = QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie");
constexpr int T = 803;

// The theme file is laid out here by hand rather than through the store under test.
QByteArray pad(const QString &t, int n) { return t.toLatin1().leftJustified(n, ' ', true); }
// Nine 27-byte names, then slots 9 and 10 and the reserved fields as another program left them.
QByteArray themes(const QStringList &noms)
{
    QByteArray b;
    for (int i = 0; i < 9; ++i)
        b += pad(noms.value(i), 27);
    return b + QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(4).left(96);
}
QByteArray simples(int n, int sans = 0)  // Q1..Qn, first answer good except on card `sans`
{
    QByteArray b;
    for (int i = 1; i <= n; ++i)
        b += banque::fiche({QStringLiteral("Q%1").arg(i), 0, i == sans ? 0 : 1}).octets();
    return b;
}

struct Edition : Editeur {
    explicit Edition(const QByteArray &cartes, const QStringList &noms = {"Histoire", "Sciences"})
        : Editeur(cartes, themes(noms))
    {
    }
};

} // namespace

class TestFormEditEdition : public QObject {
    Q_OBJECT
private slots:
    void themeEditor_data()
    {
        QTest::addColumn<L>("noms");
        QTest::addColumn<L>("actions");        // in the editor, before OK; "3=Sport" types in box 3
        QTest::addColumn<QString>("actives");  // ThemeEdit boxes enabled before OK
        QTest::addColumn<L>("vu");             // through OK, then Nouveau
        QTest::addColumn<L>("stockes");
        const L trois = {"Histoire", "Géographie", "Arts"}, neuf = QString("A B C D E F G H I").split(' ');
        const L neuve = {"2/2 "}, vide = {"Ne laissez jamais un champ vide entre deux thèmes! ", "2/2 "};
        const L refus = {"Veuillez d'abord créer un thème au minimum pour les questions...", "1/1 Q1"};
        const QString trente = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
        QTest::newRow("box 3 typed") << trois << L{"3=Sport"} << "111110000" << neuve << trois + L{"Sport"};
        QTest::newRow("box 3 erased") << trois << L{"3=Sport", "3="} << "111100000" << neuve << trois;
        QTest::newRow("emptied between") << trois << L{"1="} << "111100000" << vide << L{"Histoire", "***", "Arts"};
        QTest::newRow("box 8 emptied") << neuf << L{"8="} << "111111111" << neuve << neuf.first(8);
        QTest::newRow("leading spaces") << trois << L{"3=  Sport"} << "111110000" << neuve << trois + L{"  Sport"};
        QTest::newRow("30 letters") << trois << L{"3=" + trente} << "111110000" << neuve << trois + L{trente.left(27)};
        QTest::newRow("cancel, reopen") << trois << L{"3=Sport", "Command6", "Command4"} << "111110000" << neuve
                                        << trois + L{"Sport"};
        QTest::newRow("all emptied") << trois << L{"2=", "1=", "0="} << "100000000" << refus << L{};
    }
    void themeEditor()
    {
        QFETCH(L, noms);
        QFETCH(L, actions);
        QFETCH(L, stockes);
        Edition e(simples(1), noms);
        for (QString &a : actions)
            a.prepend(a[0].isDigit() ? "ThemeEdit_" : "");
        e.faire(L{"Command4"} + actions);
        QString actives;
        for (int i = 0; i < 9; ++i)
            actives += e.lire(QStringLiteral("ThemeEdit_%1").arg(i), "enabled").toBool() ? '1' : '0';
        QTEST(actives, "actives");
        QCOMPARE(banque::lire(e.dir.filePath("BASE.prm")), themes(noms));
        e.faire({"Command5", "Nouveau"});
        QCOMPARE(banque::lire(e.dir.filePath("BASE.prm")), themes(stockes));
        for (int i = 0; i < 9; ++i) {
            const QString nom = stockes.value(i), n = QString::number(i);
            QCOMPARE(e.texte("Theme_" + n), nom.leftJustified(27));
            QCOMPARE(e.lire("Theme_" + n, "visible").toBool(), !nom.trimmed().isEmpty());
            QCOMPARE(e.texte("ThemeEdit_" + n), nom.trimmed());
        }
        QTEST(e.vu(), "vu");
    }

    void sequence_data()
    {
        QTest::addColumn<QByteArray>("cartes");
        QTest::addColumn<L>("actions");
        QTest::addColumn<L>("vu");
        QTest::addColumn<QByteArray>("apres");  // the bank on disk
        const L edite = {"TextQuestion=Capitale ?", "TextReponse_1=Stockholm", "OptionBonneReponse_1", "Theme_1",
                         "CheckMarquage", "TextAuteur=XY"};
        const QByteArray six = simples(6), cinq = simples(5), sans = simples(3, 2);
        const QByteArray sauvee =
            simples(6).replace(T, T, banque::fiche({"Capitale ?", 1, 2, 1, {"", "Stockholm"}, {}, "XY"}).octets());
        const L deux = L{"Suivant"} + edite, dernier = L{"Dernier"} + edite, bis = {"Suivant", "TextQuestion=Q2 bis"};
        QTest::newRow("next") << six << deux + L{"Suivant"} << L{"3/6 Q3"} << sauvee;
        QTest::newRow("previous") << six << deux + L{"Précédent"} << L{"1/6 Q1"} << sauvee;
        QTest::newRow("last") << six << deux + L{"Dernier"} << L{"6/6 Q6"} << sauvee;
        QTest::newRow("first, now theme 1") << six << deux + L{"Premier"} << L{"2/6 Capitale ?"} << sauvee;
        QTest::newRow("next at end") << cinq << dernier + L{"Suivant"} << L{"bip", "5/5 Capitale ?"} << cinq;
        QTest::newRow("last at end") << cinq << dernier + L{"Dernier"} << L{"bip", "5/5 Capitale ?"} << cinq;
        QTest::newRow("previous at start") << cinq << edite + L{"Précédent"} << L{"bip", "1/5 Capitale ?"} << cinq;
        QTest::newRow("first at start") << cinq << edite + L{"Premier"} << L{"bip", "1/5 Capitale ?"} << cinq;
        QTest::newRow("no good answer") << sans << bis + L{"Suivant"} << L{kBonne, "2/3 Q2 bis"} << sans;
        const QByteArray theme1 = banque::fiche({"Q1", 1, 1}).octets() + simples(2).mid(T);
        QTest::newRow("ctrl+s stores, stays") << sans << L{"TextQuestion=Nouvelle", "ctrl+s"} << L{"1/3 Nouvelle"}
                                              << banque::fiche({"Nouvelle", 0, 1}).octets() + sans.mid(T);
        QTest::newRow("ctrl+s, no good answer") << sans << bis + L{"ctrl+s"} << L{kBonne, "2/3 Q2 bis"} << sans;
        QTest::newRow("first theme chosen") << theme1 << L{"Theme_0", "Suivant"} << L{"2/2 Q2"} << simples(2);

        QByteArray images;  // each card names a missing picture, so each card read says so
        for (int i = 1; i <= 6; ++i)
            images += banque::fiche({.question = QStringLiteral("Q%1").arg(i), .theme = (i - 1) / 2,
                                     .media = QStringLiteral("c%1.jpg").arg(i), .code = 11}).octets();
        // Cards "6 5": the messages naming their pictures, in that order, then the card shown at the end.
        const auto lues = [](const QString &cartes, const QString &ecran) {
            return cartes.split(' ').replaceInStrings(QRegularExpression("(.+)"), "Impossible de trouver le fichier : "
                                                      "DIR/BASE/c\\1.jpg Le fichier a été déplacé ou effacé") << ecran;
        };
        // The cards read on the way there, then those read by the walk, which ends on the last one.
        QTest::newRow("first from 6") << images << L{"Dernier", "Premier"} << lues("6 6 5 4 3 2 3", "3/6 Q3") << images;
        QTest::newRow("first from 4") << images << L{"Dernier", "Précédent", "Précédent", "Premier"}
                                      << lues("6 5 4 4 3 2 1 2", "2/6 Q2") << images;
        QTest::newRow("first from 2") << images << L{"Suivant", "Premier"} << lues("2 2 1 2", "2/6 Q2") << images;

        const QString suite = " ; de plus, n'oubliez pas de changer le Thème de la question si nécessaire...";
        QTest::newRow("new on empty bank") << QByteArray() << L{"Nouveau"} << L{"1/1 "} << QByteArray();
        QTest::newRow("new, no good answer") << sans << bis + L{"Nouveau"} << L{kBonne + suite, "2/3 Q2 bis"} << sans;
        const L supprimer = {"TextQuestion=X", "Supprimer"};  // the card's edits are lost with it
        QTest::newRow("delete 2 of 5") << cinq << L{"Suivant"} + supprimer << L{"2/4 Q3"} << simples(5).remove(T, T);
        QTest::newRow("delete 5 of 5") << cinq << L{"Dernier"} + supprimer << L{"4/4 Q4"} << simples(4);
        QTest::newRow("delete only card") << simples(1) << supprimer << L{"bip", "1/1 X"} << simples(1);
        QTest::newRow("delete unsaved new") << simples(3) << L{"Nouveau"} + supprimer << L{"3/3 Q3"} << simples(3);
        // The mark is a 16-bit word at offset 782 of the card.
        QTest::newRow("mark ticked") << simples(2) << L{"CheckMarquage", "Suivant"} << L{"2/2 Q2"}
                                     << simples(2).replace(782, 2, QByteArray("\x01\x00", 2));
    }
    void sequence()
    {
        QFETCH(QByteArray, cartes);
        QFETCH(L, actions);
        Edition e(cartes);
        e.faire(actions);
        QTEST(e.vu(), "vu");
        QTEST(e.octets(), "apres");
        for (const char *b : {"Dernier", "Premier", "Suivant", "Précédent", "Supprimer"})
            QVERIFY2(e.lire(QString::fromUtf8(b), "enabled").toBool(), b);
        QVERIFY(!QDir().exists(e.dir.filePath("BASE.TMP")));
    }

    // A character the code page lacks, or a text past its field, is told as it is typed; stored, the
    // card shows what the file holds.
    void typing_tellsWhatStoringLoses_data()
    {
        QTest::addColumn<QString>("boite");
        QTest::addColumn<QString>("tape");
        QTest::addColumn<QString>("dit");
        QTest::addColumn<QString>("garde");
        QTest::newRow("pi and less-or-equal") << "TextQuestion" << "π ≤ 3,2 ≤ 4" << "La banque ne peut pas garder ces "
                                              "caractères : π ≤ deviendra « ? » à l'enregistrement." << "? ? 3,2 ? 4";
        QTest::newRow("curly quote is kept") << "TextExplic" << "l’été, 5 €" << "" << "l’été, 5 €";
        QTest::newRow("answer past 125") << "TextReponse_0" << QString(130, 'a') << "Le texte dépasse de 5 caractères "
                                         "les 125 que la fiche garde : la fin sera coupée." << QString(125, 'a');
    }
    void typing_tellsWhatStoringLoses()
    {
        QFETCH(QString, boite);
        QFETCH(QString, tape);
        QFETCH(QString, dit);
        Edition e(simples(2));
        e.faire({boite + '=' + tape});
        QCOMPARE(e.w(boite)->toolTip(), dit);
        QCOMPARE(e.texte("Aide"), dit);
        e.faire({"ctrl+s"});
        QTEST(e.texte(boite), "garde");
        QCOMPARE(e.w(boite)->toolTip(), QString());
        QVERIFY(e.pf.messages.isEmpty());
    }

    // Behind each missing-picture message the screen shows one card whole: the one laid out before.
    void firstWalk_behindEachMessage_showsOneWholeCard()
    {
        QByteArray images;
        for (int i = 1; i <= 6; ++i)
            images += banque::fiche({.question = QStringLiteral("Q%1").arg(i), .theme = (i - 1) / 2, .bonne = 1 + i % 3,
                                     .marque = i % 2, .media = QStringLiteral("c%1.jpg").arg(i), .code = 11}).octets();
        Edition e(images);
        L derriere;
        e.pf.pendantMessage = [&](const FakePlateforme::Message &) {
            QString bonne;
            for (int k = 0; k < 3; ++k)
                bonne += e.lire(QStringLiteral("OptionBonneReponse_%1").arg(k), "checked").toBool() ? 'x' : '.';
            derriere << e.ecran() + ' ' + bonne + (e.lire("CheckMarquage", "checked").toBool() ? " M" : "");
        };
        e.faire({"Dernier", "Premier"});
        QCOMPARE(derriere, (L{"1/6 Q1 .x. M", "6/6 Q6 x..", "6/6 Q6 x..", "5/6 Q5 ..x M", "4/6 Q4 .x.", "3/6 Q3 x.. M",
                              "2/6 Q2 ..x"}));
        QCOMPARE(e.ecran(), "3/6 Q3");
    }

    void newCard_keepsThemeMarkInitials_data()
    {
        QTest::addColumn<int>("bonne");  // then chosen: only it is highlighted
        for (int i : {0, 1, 2})
            QTest::addRow("answer %d", i + 1) << i;
    }
    void newCard_keepsThemeMarkInitials()
    {
        QFETCH(int, bonne);
        Edition e(banque::octets({{"Q1"}, {"Q2", 1, 2, 1, {"", "b"}, {}, "AB"}, {"Q3"}}));
        e.faire({"Suivant", "TextQuestion=Q2 revue", "Nouveau"});
        QCOMPARE(e.octets(), banque::octets({{"Q1"}, {"Q2 revue", 1, 2, 1, {"", "b"}, {}, "AB"}, {"Q3"}}));
        QCOMPARE(e.vu() << e.texte("TextAuteur"), (L{"4/4 ", "AB   "}));
        QVERIFY(e.lire("Theme_1", "checked").toBool() && e.lire("CheckMarquage", "checked").toBool());
        e.faire({"TextAuteur", QStringLiteral("OptionBonneReponse_%1").arg(bonne)});
        QCOMPARE(e.texte("TextAuteur"), QString("AB"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(e.w(QStringLiteral("TextReponse_%1").arg(i))->palette().color(QPalette::Base),
                     i == bonne ? QColor(255, 255, 192) : QColor(192, 255, 192));
    }

    void deleteFails_bankUnchanged()
    {
        Edition e(simples(3));
        QVERIFY(QDir(e.dir.path()).mkpath("BASE.TMP/occupe"));  // not even root can put a file there
        e.faire({"Suivant", "Supprimer"});
        const auto m = e.pf.messages.value(0);
        QVERIFY2(e.pf.messages.size() == 1 && m.texte.contains(e.dir.filePath("BASE.QZF"))
                     && m.icone == Plateforme::Icone::Critique && m.titre == "Erreur", qPrintable(m.texte));
        QCOMPARE(e.octets(), simples(3));
        QCOMPARE(e.ecran(), QString("2/3 Q2"));
    }

    void helpLine_data()
    {
        QTest::addColumn<QString>("aide");
        const QString m = " Toute saisie effectuée dans la question active sera mémorisée.";
        QTest::newRow("BoutFind") << "permet d'effectuer une recherche de question par son numéro ou un texte contenu "
                                     "dans la question.";
        QTest::newRow("BoutPrint") << "D'après vous....A quoi sert ce bouton?..hé! hé!";
        QTest::newRow("Command1") << "Permet de transférer des questions du fichier ouvert vers un autre fichier "
                                     "existant de votre choix";
        QTest::newRow("Fichier") << "Ouvre un fichier existant ou permet de créer un nouveau fichier de questions";
        QTest::newRow("Nouveau") << "Permet de créer une nouvelle question. Cliquez ici si vous venez d'ouvrir un "
                                    "nouveau fichier.";
        QTest::newRow("Supprimer") << "Supprime la question affichée";
        QTest::newRow("Premier")
            << "Cliquez ici pour faire un saut jusqu'à la première question du prochain thème." + m;
        QTest::newRow("Précédent") << "Cliquez ici pour passer à la question précédente." + m;
        QTest::newRow("Suivant") << "Cliquez ici pour passer à la question suivante." + m;
        QTest::newRow("Dernier") << "Cliquez ici pour passer à la dernière question." + m;
        QTest::newRow("Quitter") << "Allez! vous avez raison!...Vous avez bien mieux à faire.....";
        // Starting from Suivant's text, the window's own surface empties the line and another control keeps it.
        QTest::newRow("FormEdit") << "";
        QTest::newRow("TextQuestion") << "Cliquez ici pour passer à la question suivante." + m;
    }
    void helpLine()
    {
        Edition e(simples(2));
        // Sent to the control itself: a move through the window system is dropped when the cursor is already there.
        for (const QString nom : {"Suivant", QTest::currentDataTag()}) {
            const QPoint p = nom == "FormEdit" ? QPoint(4, 300) : QPoint(8, 8);  // left of the card frame
            QMouseEvent deplacement(QEvent::MouseMove, p, e.w(nom)->mapToGlobal(p), Qt::NoButton, Qt::NoButton, {});
            QApplication::sendEvent(e.w(nom), &deplacement);
        }
        QTEST(e.lire("Aide", "text").toString(), "aide");
    }
};

QTEST_MAIN(TestFormEditEdition)
#include "test_formedit_edition.moc"
