// The two file choosers driven through the real widgets: the main window's bank chooser and
// the transfer's destination chooser, with the messages, the editor state and the disk after.
#include "support/editeur.h"
#include "files/form_choixtransfert.h"
#include "files/form_fichier.h"
#include "verrou.h"

#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using L = QStringList;

namespace {

const QString kEnTete = "Orbelin - Editeur de questions   -- > Fichier ouvert : ";
const QString kBonne = "vous devez cocher une bonne réponse à votre question pour valider la saisie|0|";
const QString kRappel = "Pensez à saisir, une bonne fois pour toutes, vos initiales dans l'emplacement violet afin que "
                        "les questions que vous aurez créées portent fièrement votre trace.|0|Saisie des initiales de "
                        "l'auteur des questions";
const QString kSelection = "Vous devez sélectionnez un fichier|0|Erreur";
const QString kTropLong = "le nom du fichier est trop long!|2|Erreur";
const QString kExiste = "Le fichier existe deja! Donnez un autre nom.|2|Erreur";
const QString kInvalide =
    "Le nom du fichier ne peut contenir ni dossier ni les caractères \\ / : * ? \" < > ||2|Erreur";
const QString kActif = "Vous ne pouvez choisir le fichier actif!|1|Erreur";
const QString kImpossible = "Impossible de charger le fichier sélectionné!|1|Erreur";

QByteArray cartes(const QString &prefixe, int n, int bonne = 1)
{
    QByteArray b;
    for (int i = 1; i <= n; ++i)
        b += banque::fiche({prefixe + QString::number(i), 0, bonne}).octets();
    return b;
}

// Every entry under a folder: "name:size" for a file, "name/" for a folder.
L disque(const QString &dossier)
{
    L vu;
    QDirIterator it(dossier, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString nom = QDir(dossier).relativeFilePath(it.filePath());
        if (nom.endsWith(".verrou"))  // the open bank's lock: its own tests look at it
            continue;
        vu << (it.fileInfo().isDir() ? nom + '/' : nom + ':' + QString::number(it.fileInfo().size()));
    }
    vu.sort();
    return vu;
}

// The main window on a bank of two cards, the entries laid beside it, and a transfer dialog
// standing for the destination chooser's opener.
struct Banc : Editeur {
    QWidget ouvreur;
    QLabel *textedest = new QLabel("avant.qzf", &ouvreur);

    explicit Banc(const L &entrees = {}, const QByteArray &base = cartes("B", 2))
        : Editeur(base, QStringList{"Histoire", "Sciences"})
    {
        QVERIFY(banque::poser(dir.path(), entrees));
        textedest->setObjectName("textedest");
        ouvreur.setObjectName("Form_export");
        f.session().etat().FichierDest = "avant.qzf";
    }

    ChoixFichier *choix(bool transfert)
    {
        return qobject_cast<ChoixFichier *>(dialogueCharge(f, transfert ? "Form_choixtransfert" : "form_fichier"));
    }
    ChoixFichier *ouvrir(bool transfert)
    {
        if (transfert)
            Form_choixtransfert::ouvrir(f.session(), &ouvreur, [this](const QString &nom) { textedest->setText(nom); });
        else
            clic("Fichier");
        ChoixFichier *c = choix(transfert);
        if (c)
            c->listes()->attendreChargement();
        return c;
    }
    // The opener enabled or not, the bank the editor is on (its name, both labels, its open file
    // in the folder), then the destination as recorded and as shown.
    QString etat(bool transfert)
    {
        const Module1 &e = f.session().etat();
        return L{(transfert ? ouvreur.isEnabled() : f.isEnabled()) ? "enabled" : "disabled", e.NomFichier,
                 texte("LabelFichier").remove(kEnTete), texte("LabelFichierActif"),
                 e.fichier() ? QDir(dir.path()).relativeFilePath(e.fichier()->chemin()) : "none", e.FichierDest,
                 textedest->text()}
            .join(" | ");
    }
    static QString attendu(bool actif, const QString &banque, const QString &dest)
    {
        return L{actif ? "enabled" : "disabled", banque, banque, banque, banque.trimmed(), dest, dest}.join(" | ");
    }
    // Lets a chooser that unloaded itself go.
    void laisserPartir() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // "clic:x" or "double:x" on a name of File1, "texte:x" typed into Text1, "entree" the Enter key
    // in Text1, or a control's name clicked.
    void faire(ChoixFichier *c, const L &actions)
    {
        for (const QString &a : actions) {
            const QString quoi = a.section(':', 0, 0), valeur = a.section(':', 1);
            if (quoi == "clic")
                QVERIFY2(cliquerFichier(*c->listes(), valeur), qPrintable(a));
            else if (quoi == "double")
                QVERIFY2(cliquerFichier(*c->listes(), valeur, true), qPrintable(a));
            else if (quoi == "texte")
                QTest::keyClicks(c->Text1, valeur);
            else if (quoi == "entree")
                QTest::keyClick(c->Text1, Qt::Key_Return);
            else
                QTest::mouseClick(c->findChild<QPushButton *>(a), Qt::LeftButton);
        }
    }
};

} // namespace

class TestChoixFichier : public QObject {
    Q_OBJECT
private slots:
    void controls_data()
    {
        QTest::addColumn<bool>("transfert");
        QTest::addColumn<QString>("titre");
        QTest::newRow("bank") << false << "Ouverture d'un fichier";
        QTest::newRow("destination") << true << "Choix du fichier destination";
    }
    void controls()
    {
        QFETCH(bool, transfert);
        Banc b({"a.qzf:1", "b.txt"});
        ChoixFichier *c = b.ouvrir(transfert);
        QTEST(c->windowTitle(), "titre");
        QVERIFY(!c->parentWidget() && QTest::qWaitForWindowActive(c) && c->isEnabled());
        QVERIFY(!(transfert ? b.ouvreur.isEnabled() : b.f.isEnabled()));
        QCOMPARE(c->bout_open->text() + c->Command1->text() + c->Command2->text(), "&Ouvrir&Annuler&Nouveau");
        QCOMPARE(c->listes()->nomsAffiches(), (L{"a.qzf", "BASE.QZF"}));
        // A click on a name gives the bare name, whatever Text1 held.
        QTest::keyClicks(c->Text1, "xyz");
        QVERIFY(cliquerFichier(*c->listes(), "a.qzf"));
        QCOMPARE(c->Text1->text(), "a.qzf");
    }

    // Each row runs in both choosers: the bank chooser makes the bank and its folder and
    // opens it, the destination chooser only records the name.
    void newName_data()
    {
        QTest::addColumn<bool>("transfert");
        QTest::addColumn<L>("entrees");
        QTest::addColumn<QString>("saisie");
        QTest::addColumn<L>("messages");
        QTest::addColumn<QString>("base");  // the name kept, "" when nothing happens
        const auto ligne = [](const char *nom, const L &entrees, const QString &saisie, const L &messages,
                              const QString &base) {
            for (const bool transfert : {false, true})
                QTest::addRow("%s: %s", transfert ? "destination" : "bank", nom)
                    << transfert << entrees << saisie << messages << base;
        };
        ligne("8 characters", {}, "abcdefgh", {}, "abcdefgh");
        ligne("9 characters", {}, "abcdefghi", {kTropLong}, "");
        ligne("spaces around", {}, "  abc  ", {}, "abc");
        ligne("typed extension", {}, "abc.qzf", {}, "abc.qzf");
        ligne("listed in capitals", {"ABC.QZF:1"}, "abc", {}, "abc");
        ligne("listed", {"abc.qzf:1"}, "abc", {kExiste}, "");
        ligne("listed, typed in capitals", {"abc.qzf:1"}, "ABC", {}, "ABC");
        ligne("cancelled", {}, "", {}, "");
        ligne("slash", {}, "a/b", {kInvalide}, "");
        ligne("parent", {}, "..", {kInvalide}, "");
        ligne("backslash", {}, "a\\b", {kInvalide}, "");
        ligne("media folder there", {"abc/photo.jpg:1"}, "abc", {}, "abc");
    }
    void newName()
    {
        QFETCH(bool, transfert);
        QFETCH(L, entrees);
        QFETCH(QString, saisie);
        QFETCH(L, messages);
        QFETCH(QString, base);
        Banc b(entrees);
        ChoixFichier *c = b.ouvrir(transfert);
        QVERIFY(c);
        const L avant = disque(b.dir.path());
        const QByteArray banqueAvant = banque::lire(b.chemin("BASE.QZF"));
        b.pf.reponsesSaisie.enqueue(saisie);
        b.faire(c, {"Command2"});
        b.laisserPartir();
        QCOMPARE(b.pf.saisies, (QList<QPair<QString, QString>>{{"Tapez le nom d'un fichier (8 caractères maxi.)", ""}}));

        const QString nom = base + ".qzf";
        const bool cree = !base.isEmpty() && !transfert;  // a new bank made and opened
        QCOMPARE(banque::lire(b.chemin("BASE.QZF")), banqueAvant);
        QCOMPARE(b.messages(), cree ? messages + L{kRappel} : messages);
        QCOMPARE(b.choix(transfert), base.isEmpty() ? c : nullptr);
        QCOMPARE(b.etat(transfert), Banc::attendu(!base.isEmpty(), cree ? nom : "BASE.QZF",
                                                  transfert && !base.isEmpty() ? nom : "avant.qzf"));
        L apres = avant;
        if (cree) {
            QCOMPARE(b.texte("LabelTotal"), "0");
            // The new bank and its theme file, empty, and the media folder, kept if it was there.
            apres << nom + ":0" << base + ".prm:0";
            if (!avant.contains(base + '/'))
                apres << base + '/';
            apres.sort();
        }
        QCOMPARE(disque(b.dir.path()), apres);
    }

    // What stands in the way of a new bank is not listed: a folder named as the bank, a file
    // named as its media folder. The bank chooser says so and changes nothing.
    void newBank_blockedByUnlistedEntry_data()
    {
        QTest::addColumn<L>("entrees");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder named as the bank") << L{"abc.qzf/"} << "Impossible de créer le fichier abc.qzf!";
        QTest::newRow("file named as the folder") << L{"abc:1"} << "Impossible de créer le dossier abc!";
    }
    void newBank_blockedByUnlistedEntry()
    {
        QFETCH(L, entrees);
        QFETCH(QString, message);
        Banc b(entrees);
        ChoixFichier *c = b.ouvrir(false);
        const L avant = disque(b.dir.path());
        b.pf.reponsesSaisie.enqueue("abc");
        b.faire(c, {"Command2"});
        b.laisserPartir();
        QCOMPARE(b.messages(), L{message + "|1|Erreur"});
        QCOMPARE(b.choix(false), c);
        QCOMPARE(b.etat(false), Banc::attendu(false, "BASE.QZF", "avant.qzf"));
        QCOMPARE(disque(b.dir.path()), avant);
    }

    void openBank_data()
    {
        QTest::addColumn<L>("entrees");
        QTest::addColumn<L>("actions");
        QTest::addColumn<L>("messages");
        QTest::addColumn<QString>("nom");  // NomFichier after, "" when the bank stays
        QTest::addColumn<QString>("ecran");
        const L autre = {"other.qzf:3"};
        const QString garde = "1/2 B1 bis";
        QTest::newRow("listed bank clicked") << autre << L{"clic:other.qzf", "bout_open"} << L{kRappel} << "other.qzf"
                                             << "1/3 O1";
        QTest::newRow("double click") << autre << L{"double:other.qzf"} << L{kRappel} << "other.qzf" << "1/3 O1";
        QTest::newRow("typed with spaces") << autre << L{"texte:  other.qzf ", "bout_open"} << L{kRappel}
                                           << "  other.qzf " << "1/3 O1";
        QTest::newRow("open bank again") << autre << L{"clic:BASE.QZF", "bout_open"} << L{kRappel} << "BASE.QZF"
                                         << garde;
        QTest::newRow("name not there") << autre << L{"texte:neuf.qzf", "bout_open"} << L{kRappel} << "neuf.qzf"
                                        << "1/0 ";
        QTest::newRow("nothing chosen") << autre << L{"bout_open"} << L{kSelection} << "" << garde;
        QTest::newRow("folder named as a bank") << L{"x.qzf/"} << L{"texte:x.qzf", "bout_open"} << L{kImpossible}
                                                << "" << garde;
        QTest::newRow("themes cannot be read") << L{"y.qzf:1", "y.prm/"} << L{"clic:y.qzf", "bout_open"}
                                               << L{kImpossible} << "" << garde;
        QTest::newRow("bank cannot be written") << L{"z.qzf:1", "verrou:z.qzf"} << L{"clic:z.qzf", "bout_open"}
                                                << L{kImpossible} << "" << garde;
        QTest::newRow("spaces only") << autre << L{"texte:   ", "bout_open"} << L{kImpossible} << "" << garde;
        QTest::newRow("folder part") << autre << L{"texte:../BASE.QZF", "bout_open"} << L{kInvalide} << "" << garde;
    }
    void openBank()
    {
        QFETCH(L, entrees);
        QFETCH(L, actions);
        QFETCH(QString, nom);
        const L verrous = entrees.filter(QRegularExpression("^verrou:"));
        for (const QString &v : verrous)
            entrees.removeAll(v);
        Banc b(entrees);
        std::unique_ptr<Verrou> verrou;  // lifted before the folder goes
        for (const QString &v : verrous) {
            verrou = std::make_unique<Verrou>(b.dir.filePath(v.section(':', 1)));
            if (!verrou->pose())
                QSKIP("this file system lets this process write whatever it holds");
        }
        QWidget *question = b.w("TextQuestion");
        QTest::keyClick(question, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(question, " bis");
        ChoixFichier *c = b.ouvrir(false);
        QVERIFY(c);
        b.faire(c, actions);
        b.laisserPartir();
        QTEST(b.messages(), "messages");
        QTEST(b.ecran(), "ecran");
        // The card on screen was stored by "&Fichier...", whatever came next.
        const QByteArray base = banque::fiche({"B1 bis", 0, 1}).octets() + cartes("B", 2).mid(803);
        QCOMPARE(banque::lire(b.chemin("BASE.QZF")), base);
        QCOMPARE(b.choix(false), nom.isEmpty() ? c : nullptr);
        QCOMPARE(b.etat(false), Banc::attendu(!nom.isEmpty(), nom.isEmpty() ? "BASE.QZF" : nom, "avant.qzf"));
        if (!nom.isEmpty()) {
            QCOMPARE(b.texte("LabelTotal"), b.ecran().section(' ', 0, 0).section('/', 1));
            return;
        }
        // Refused: the editor is still on its bank and goes on working.
        b.faire(c, {"Command1"});
        b.laisserPartir();
        b.clic("Suivant");
        QCOMPARE(b.ecran(), "2/2 B2");
        QCOMPARE(banque::lire(b.chemin("BASE.QZF")), base);
    }

    void fichierWithoutGoodAnswer_data()
    {
        QTest::addColumn<QByteArray>("base");
        QTest::newRow("card without answer") << cartes("B", 2, 0);
        QTest::newRow("empty bank") << QByteArray();
    }
    void fichierWithoutGoodAnswer()
    {
        QFETCH(QByteArray, base);
        Banc b({}, base);
        QTest::keyClicks(b.w("TextQuestion"), "X");
        b.clic("Fichier");
        QCOMPARE(b.messages(), L{kBonne});
        QVERIFY(!b.choix(false));
        QVERIFY(b.f.isEnabled());
        QCOMPARE(banque::lire(b.chemin("BASE.QZF")), base);
    }

    void close_data()
    {
        QTest::addColumn<bool>("transfert");
        QTest::addColumn<QString>("facon");
        for (const bool transfert : {false, true})
            for (const char *facon : {"Command1", "title bar", "Escape"})
                QTest::addRow("%s: %s", transfert ? "destination" : "bank", facon) << transfert << facon;
    }
    void close()
    {
        QFETCH(bool, transfert);
        QFETCH(QString, facon);
        Banc b({"a.qzf:1"});
        if (transfert) {
            b.ouvreur.show();
            QVERIFY(QTest::qWaitForWindowExposed(&b.ouvreur));
        }
        QWidget *ouvreur = transfert ? &b.ouvreur : static_cast<QWidget *>(&b.f);
        const FichierQuestions *ouvert = b.f.session().etat().fichier();
        ChoixFichier *c = b.ouvrir(transfert);
        QVERIFY(c);
        QVERIFY(!ouvreur->isEnabled());
        b.faire(c, {"clic:a.qzf"});
        if (facon == "title bar")
            QVERIFY(c->close());
        else if (facon == "Escape")
            QTest::keyClick(c, Qt::Key_Escape);
        else
            b.faire(c, {facon});
        b.laisserPartir();
        QVERIFY(!b.choix(transfert));
        QVERIFY(QTest::qWaitForWindowActive(ouvreur));
        QCOMPARE(b.messages(), L{});
        QCOMPARE(b.etat(transfert), Banc::attendu(true, "BASE.QZF", "avant.qzf"));
        QCOMPARE(b.f.session().etat().fichier(), ouvert);
        QCOMPARE(b.ecran(), "1/2 B1");
    }

    void destination_data()
    {
        QTest::addColumn<L>("actions");
        QTest::addColumn<L>("messages");
        QTest::addColumn<QString>("dest");  // FichierDest after, "" when unchanged
        QTest::newRow("listed") << L{"clic:dest.qzf", "bout_open"} << L{} << "dest.qzf";
        QTest::newRow("typed, trimmed") << L{"texte:  dest.qzf  ", "bout_open"} << L{} << "dest.qzf";
        QTest::newRow("not listed") << L{"texte:ailleurs.qzf", "entree"} << L{} << "ailleurs.qzf";
        QTest::newRow("open bank") << L{"clic:BASE.QZF", "bout_open"} << L{kActif} << "";
        QTest::newRow("open bank, spaces") << L{"texte: BASE.QZF ", "bout_open"} << L{kActif} << "";
        QTest::newRow("open bank, other case") << L{"texte:base.qzf", "bout_open"} << L{} << "base.qzf";
        QTest::newRow("nothing chosen") << L{"bout_open"} << L{kSelection} << "";
        QTest::newRow("folder part") << L{"texte:sous/dest.qzf", "bout_open"} << L{kInvalide} << "";
        QTest::newRow("refused, then listed") << L{"clic:BASE.QZF", "bout_open", "clic:dest.qzf", "bout_open"}
                                              << L{kActif} << "dest.qzf";
    }
    void destination()
    {
        QFETCH(L, actions);
        QFETCH(QString, dest);
        Banc b({"dest.qzf:2"});
        b.ouvreur.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.ouvreur));
        const L avant = disque(b.dir.path());
        ChoixFichier *c = b.ouvrir(true);
        QVERIFY(c);
        b.faire(c, actions);
        b.laisserPartir();
        QTEST(b.messages(), "messages");
        QCOMPARE(disque(b.dir.path()), avant);
        QCOMPARE(b.choix(true), dest.isEmpty() ? c : nullptr);
        QCOMPARE(b.etat(true), Banc::attendu(!dest.isEmpty(), "BASE.QZF", dest.isEmpty() ? "avant.qzf" : dest));
        if (!dest.isEmpty())
            QVERIFY(QTest::qWaitForWindowActive(&b.ouvreur));
    }

    // The transfer dialog may go while its chooser is open: the chooser then gives nothing back.
    void destination_openerGone_choiceStillRecorded()
    {
        Banc b({"dest.qzf:2"});
        auto *ouvreur = new QWidget;
        ChoixFichier *c = nullptr;
        Form_choixtransfert::ouvrir(b.f.session(), ouvreur, [](const QString &) { QFAIL("the opener is gone"); });
        c = b.choix(true);
        QVERIFY(c);
        delete ouvreur;
        b.faire(c, {"clic:dest.qzf", "bout_open"});
        b.laisserPartir();
        QVERIFY(!b.choix(true));
        QCOMPARE(b.f.session().etat().FichierDest, "dest.qzf");
    }
};

QTEST_MAIN(TestChoixFichier)
#include "test_choixfichier.moc"
