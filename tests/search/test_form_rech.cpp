// The search window driven through its real controls, with the main window beside it.
#include "support/editeur.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <cerrno>
#include <cstring>

namespace {

using L = QStringList;
constexpr int T = 803;

// Six cards, the first answer good on each; card k reads Qk unless given.
QByteArray cartes(std::initializer_list<banque::Carte> particulieres = {})
{
    QByteArray b;
    for (int k = 1; k <= 6; ++k)
        b += banque::fiche({QStringLiteral("Q%1").arg(k)}).octets();
    int k = 0;
    for (const banque::Carte &c : particulieres)
        b.replace(T * k++, T, banque::fiche(c).octets());
    return b;
}
QByteArray marquees(const QList<int> &marques)
{
    QByteArray b = cartes();
    for (int k : marques)
        b[T * (k - 1) + 782] = 1;
    return b;
}

struct Recherche : Editeur {
    explicit Recherche(const QByteArray &octets) : Editeur(octets, QStringList{"Histoire"}) { autre = "form_rech"; }
    QWidget *rech() { return dialogueCharge(f, "form_rech"); }
    QString etats() { return QStringLiteral("main %1, search %2").arg(f.isEnabled() ? "enabled" : "disabled",
                                                                        rech() && rech()->isVisible() ? "shown" : "hidden"); }
    // A box is clicked into before it is typed into: getting into a field chooses its search.
    void faire(const L &actions)
    {
        for (const QString &a : actions) {
            if (a.contains('='))
                Editeur::faire({a.section('=', 0, 0)});
            Editeur::faire({a});
        }
    }
    // The messages, then the card on screen and the windows' states.
    L vu() { return messages() << ecran() << etats(); }
};

} // namespace

class TestFormRech : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The headless platform cannot raise a window and says so at each search.
        static const QtMessageHandler suivant = qInstallMessageHandler(nullptr);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &contexte, const QString &texte) {
            if (!texte.contains(QLatin1String("does not support raise()")))
                suivant(type, contexte, texte);
        });
    }

    void opening_leavesMainEnabled()
    {
        Recherche e(cartes());
        e.faire({"BoutFind"});
        QCOMPARE(e.rech()->windowTitle(), QStringLiteral("Recherche de questions"));
        QVERIFY(!e.rech()->parentWidget());
        QCOMPARE(e.etats(), QStringLiteral("main enabled, search shown"));
        QVERIFY(e.w("optrech_0")->property("checked").toBool());
        QVERIFY(e.pf.messages.isEmpty());
    }

    void ending_hidesKeepsContentsAndEnablesMain_data()
    {
        QTest::addColumn<QString>("fin");
        QTest::newRow("Fin de recherche") << "BOUTCANCEL";
        QTest::newRow("title bar") << "close";
        QTest::newRow("escape") << "escape";
    }
    void ending_hidesKeepsContentsAndEnablesMain()
    {
        QFETCH(QString, fin);
        Recherche e(cartes());
        e.faire({"BoutFind", "textrech_0=3", "boutOK"});
        QCOMPARE(e.vu(), (L{"3/6 Q3", "main disabled, search shown"}));
        QCOMPARE(QApplication::activeWindow(), e.rech());
        e.faire({"optrech_2"});
        qobject_cast<QLineEdit *>(e.w("textrech_1"))->setText("abc");
        QWidget *avant = e.rech();
        e.faire({fin});
        QCOMPARE(e.etats(), QStringLiteral("main enabled, search hidden"));
        QVERIFY(QTest::qWaitForWindowActive(&e.f));
        QCOMPARE(QApplication::activeWindow(), &e.f);
        // Opened again: the same window, as it was left.
        e.faire({"BoutFind"});
        QCOMPARE(e.rech(), avant);
        QCOMPARE(e.etats(), QStringLiteral("main enabled, search shown"));
        QVERIFY(e.w("optrech_2")->property("checked").toBool());
        QCOMPARE(e.texte("textrech_0"), QStringLiteral("3"));
        QCOMPARE(e.texte("textrech_1"), QStringLiteral("abc"));
        QCOMPARE(e.ecran(), QStringLiteral("3/6 Q3"));
    }

    void searches_data()
    {
        QTest::addColumn<QByteArray>("banque");
        QTest::addColumn<L>("actions");  // after BoutFind
        QTest::addColumn<L>("vu");
        const QString apres = "main disabled, search shown";
        const QString aucune = "Pas d'occurrence trouvée!|1|";
        const QByteArray six = cartes();
        QTest::newRow("number") << six << L{"textrech_0=5", "boutOK"} << L{"5/6 Q5", apres};
        QTest::newRow("number, Enter") << six << L{"textrech_0=5", "enter"} << L{"5/6 Q5", apres};
        QTest::newRow("number refused as typed") << six << L{"textrech_0= 6.4 ", "boutOK"}
                                                 << L{"La fiche numéro  6.4  n'existe pas!|1|", "1/6 Q1", apres};
        const QByteArray villes = cartes({{"Q1"}, {"Paris?"}, {"Aller à Paris"}, {"Un été à Rome"}});
        QTest::newRow("empty text from the last") << six << L{"textrech_0=6", "boutOK", "optrech_1", "boutOK"}
                                                  << L{"1/6 Q1", apres};
        QTest::newRow("mark on 1, only 1 marked") << marquees({1}) << L{"optrech_2", "boutOK"} << L{aucune, "1/6 Q1", apres};
        banque::Carte image{"Q4"};
        image.media = "son.wav";
        image.code = 2;
        QTest::newRow("media") << cartes({{"Q1"}, {"Q2"}, {"Q3"}, image}) << L{"optrech_3", "boutOK"} << L{"4/6 Q4", apres};
        // Getting into a field chooses its search; a label chooses its option too.
        QTest::newRow("click into the text") << villes << L{"optrech_3", "textrech_1=paris", "boutOK"} << L{"2/6 Paris?", apres};
        QTest::newRow("tab into the text") << villes << L{"optrech_2", "textrech_0=4", "tab", "boutOK"} << L{"2/6 Paris?", apres};
        QTest::newRow("click on the label") << six << L{"optrech_3", "etiqrech_1", "boutOK"} << L{"2/6 Q2", apres};
        QTest::newRow("click on a later option") << villes << L{"textrech_1=paris", "optrech_2", "boutOK"}
                                                 << L{aucune, "1/6 Q1", apres};
        // Once the window is open, a card edited in the main window is not stored by the search.
        QTest::newRow("edited after opening") << six << L{"TextQuestion=Perdue", "textrech_0=9", "boutOK"}
                                              << L{"La fiche numéro 9 n'existe pas!|1|", "1/6 Q1", apres};
    }
    void searches()
    {
        QFETCH(QByteArray, banque);
        QFETCH(L, actions);
        Recherche e(banque);
        e.faire(L{"BoutFind"} + actions);
        QTEST(e.vu(), "vu");
        QCOMPARE(e.octets(), banque);
    }

    // The search button stores the card as it is on screen, with or without a good answer.
    void findButton_storesCardOnScreen()
    {
        const QByteArray trois = cartes().left(3 * T);
        Recherche e(cartes({{"Q1"}, {"Q2", 0, 0}}).left(3 * T));
        e.f.session().etat().NumFiche = 2;
        e.f.session().Lit();
        e.faire({"TextQuestion=Capitale ?", "CheckMarquage", "TextAuteur=XY", "BoutFind"});
        QCOMPARE(e.vu(), (L{"2/3 Capitale ?", "main enabled, search shown"}));
        banque::Carte attendue{"Capitale ?", 0, 0, 1};
        attendue.auteur = "XY";
        QCOMPARE(e.octets(), trois.left(T) + banque::fiche(attendue).octets() + trois.mid(2 * T));
    }

    void emptyBank_searchesKeepEmptyScreen()
    {
        Recherche e(QByteArray{});
        e.faire({"BoutFind", "boutOK", "optrech_2", "boutOK", "textrech_1=", "boutOK", "textrech_0=1", "boutOK"});
        QCOMPARE(e.vu(), (L{"La fiche numéro  n'existe pas!|1|", "Pas d'occurrence trouvée!|1|",
                            "Pas d'occurrence trouvée!|1|", "La fiche numéro 1 n'existe pas!|1|", "1/0 ",
                            "main disabled, search shown"}));
        QCOMPARE(e.octets(), QByteArray());
        for (const char *nom : {"TextQuestion", "TextReponse_0", "OptionBonneReponse_2", "TextExplic"})
            QVERIFY2(e.w(nom)->isHidden(), nom);
        for (const char *nom : {"Premier", "Précédent", "Suivant", "Dernier", "Supprimer"})
            QVERIFY2(!e.w(nom)->isEnabled(), nom);
        e.faire({"BOUTCANCEL"});
        QCOMPARE(e.etats(), QStringLiteral("main enabled, search hidden"));
    }

    // The bank's name now leads to a folder: the open card stays, the search says why it failed.
    void unreadableBank_saysWhy()
    {
        Recherche e(cartes());
        e.faire({"BoutFind"});
        QVERIFY(QFile::remove(e.dir.filePath("BASE.QZF")) && QDir(e.dir.path()).mkdir("BASE.QZF"));
        e.faire({"optrech_2", "boutOK"});
        const QString pourquoi = QString::fromLocal8Bit(std::strerror(EISDIR));
        QCOMPARE(e.vu(),
                 (L{"Impossible de lire le fichier DIR/BASE.QZF : " + pourquoi + "|2|Erreur", "1/6 Q1",
                    "main disabled, search shown"}));
    }
};

QTEST_MAIN(TestFormRech)
#include "test_form_rech.moc"
