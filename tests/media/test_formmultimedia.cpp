// The media dialog driven through its real widgets, with the main window it changes.
#include "banc_media.h"

#include <QLineEdit>
#include <QListView>
#include <QTreeView>

using namespace Qt::StringLiterals;
using media_test::Banc;
using Carte = banque::Carte;

namespace {

const QString kSans = u"-U | -- | -+- | none | [            ] 0 | x... | 0"_s;          // a card without media
const QString kImage11 = u"+µ | ++ photo.jpg | ++- | 40x30 in 60x45 | [photo.jpg   ] 11 | .x.. | 0"_s;
const QString kSon = u"+U | ++ son.wav | -+- | none | [son.wav     ] 2 | x... | 0"_s;
const QString kTropLong = u" | Le fichier ne peut comporter plus de 8 caractères | 0 | 0"_s;
const QString kIllisible = u"Erreur | Impossible de charger le fichier sélectionné! | 0 | 1"_s;

struct Chargement { QString courant, sousDossierMedia, attendu; };  // folders under the program folder
struct Clic { QString nom, apercu, message; };  // after photo.jpg was clicked first
// `nom` is clicked in the list, or typed into textfilename after a '>'.
struct Attache { Carte carte; int genre; QString nom, attendu, message = {}; };
struct Sortie { QString action; Carte avant, apres; QString attendu; };
struct Copie { QByteArray dansBase; QString depuis; Plateforme::Reponse reponse; QString messages; bool attache; };

} // namespace

class TestFormMultimedia : public QObject {
    Q_OBJECT
    std::unique_ptr<Banc> b;

private slots:
    void init() { b = std::make_unique<Banc>(); }
    void cleanup() { b.reset(); }

    void open_showsThePicturesOfTheMediaFolder_mainWindowDisabled()
    {
        QVERIFY(b->poserMedias());
        b->ouvrir(banque::octets({{"Q1"}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), u"Chargement d'un fichier multimédia :*.JPG , *.WAV ou *.BMP"_s);
        QVERIFY(!d->parentWidget());
        QCOMPARE(d->etiqrep->text(), QDir::toNativeSeparators(b->chemin(u"BASE"_s)));
        QVERIFY(d->BoutSON->isHidden() && !d->Image2->isHidden());
        QVERIFY(d->OptionMedia[0]->isChecked() && !b->f.isEnabled() && d->isEnabled() && d->isVisible());
        QCOMPARE(b->noms(), (QStringList{"PHOTO2.JPG", "abcdefgh.jpg", "abcdefghi.jpg", "avant.jpg", "casse.jpg",
                                         "photo.jpg"}));
        QCOMPARE(b->media(), kSans);  // opening changes nothing of the card
    }

    void formLoad_opensOnTheBanksMediaFolder_data()
    {
        QTest::addColumn<Chargement>("c");
        QTest::newRow("current folder = program folder") << Chargement{"", "BASE", "BASE"};
        // As the program always did: a folder of the bank's name under the current folder.
        QTest::newRow("current folder elsewhere, with a BASE") << Chargement{"ailleurs", "ailleurs/BASE", "ailleurs/BASE"};
        QTest::newRow("current folder elsewhere, without: the bank's") << Chargement{"ailleurs", "BASE", "BASE"};
        QTest::newRow("no media folder: the program folder") << Chargement{"", "", ""};
    }
    void formLoad_opensOnTheBanksMediaFolder()
    {
        QFETCH(Chargement, c);
        QVERIFY(QDir(b->dir.path()).mkpath(u"ailleurs"_s));
        if (!c.sousDossierMedia.isEmpty())
            QVERIFY(b->poser(c.sousDossierMedia + u"/vue.bmp"_s, media_test::jpeg(4, 4, Qt::blue)));
        b->ouvrir(banque::octets({{"Q1"}}), c.courant.isEmpty() ? QString() : b->chemin(c.courant));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        const QString attendu = c.attendu.isEmpty() ? b->dir.path() : b->chemin(c.attendu);
        QCOMPARE(d->listes()->dossier(), attendu);
        QCOMPARE(d->etiqrep->text(), QDir::toNativeSeparators(attendu));
        QCOMPARE(d->listes()->nomsAffiches(), c.attendu.isEmpty() ? QStringList() : QStringList{u"vue.bmp"_s});
    }

    void optionMedia_switchesPatternPreviewAndPlayButton()
    {
        QVERIFY(b->poserMedias());
        b->ouvrir(banque::octets({{"Q1"}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d && b->cliquer(u"photo.jpg"_s) && !d->Image2->pixmap().isNull());
        b->clic(d->OptionMedia[1]);
        QTRY_COMPARE(b->noms(), (QStringList{"abcdefghi.wav", "autre.wav", "son.wav"}));
        QVERIFY(d->textfilename->text().isEmpty() && d->Image2->isHidden() && !d->BoutSON->isHidden());
        QVERIFY(b->cliquer(u"son.wav"_s));
        b->clic(d->OptionMedia[0]);
        QTRY_COMPARE(b->noms().size(), 6);
        // The thumbnail went with the name it was made for.
        QVERIFY(d->textfilename->text().isEmpty() && !d->Image2->isHidden() && d->BoutSON->isHidden()
                && d->Image2->pixmap().isNull());
        QCOMPARE(b->media(), kSans);
    }

    void listefileClick_previewsOnlyWhatItMay_data()
    {
        QTest::addColumn<Clic>("c");
        QTest::newRow("12 characters: preview") << Clic{"abcdefgh.jpg", "new", {}};
        QTest::newRow("13 characters: message, nothing else") << Clic{"abcdefghi.jpg", "kept", kTropLong};
        QTest::newRow("upper-case JPG: no preview") << Clic{"PHOTO2.JPG", "none", {}};
        QTest::newRow("not a picture: empty preview") << Clic{"casse.jpg", "none", {}};
    }
    void listefileClick_previewsOnlyWhatItMay()
    {
        QFETCH(Clic, c);
        QVERIFY(b->poserMedias() && b->poser(u"BASE/abcdefgh.jpg"_s, media_test::jpeg(30, 60, Qt::yellow)));
        b->ouvrir(banque::octets({{.question = "Q1", .media = "son.wav", .code = 2}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        QVERIFY(b->cliquer(u"photo.jpg"_s));
        const QImage avant = d->Image2->pixmap().toImage();
        // Scaled to the box, the proportions kept.
        const QSize boite = d->Image2->contentsRect().size();
        QVERIFY(avant.width() == boite.width() || avant.height() == boite.height());
        QCOMPARE(avant.width() * 3, avant.height() * 4);
        QVERIFY(b->cliquer(c.nom));
        QCOMPARE(d->textfilename->text(), c.nom);
        const QImage apres = d->Image2->pixmap().toImage();
        QCOMPARE(apres.isNull() ? u"none"_s : apres == avant ? u"kept"_s : u"new"_s, c.apercu);
        if (c.apercu == u"new")
            QCOMPARE(apres.width() * 2, apres.height());
        QCOMPARE(b->boites(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        // The card keeps its own media until "&OK".
        QCOMPARE(b->media(), kSon);
    }

    void boutOK_attachesOrRefuses_data()
    {
        QTest::addColumn<Attache>("a");
        const Carte sans{"Q1"}, image11{.question = "Q1", .media = "photo.jpg", .code = 11},
            taille2{.question = "Q1", .media = "avant.jpg", .code = 12};
        // Only captions and pictures change: the play button and the labels stay hidden.
        QTest::newRow("picture on a card without media")
            << Attache{sans, 0, "photo.jpg", "-µ | -- photo.jpg | +-- | 40x30 in 40x30 | [photo.jpg   ] 10 | x... | 0"};
        QTest::newRow("12 characters")
            << Attache{sans, 0, "abcdefgh.jpg", "-µ | -- abcdefgh.jpg | +-- | 40x30 in 40x30 | [abcdefgh.jpg] 10 | x... | 0"};
        QTest::newRow("upper-case JPG, no preview but attached")
            << Attache{sans, 0, "PHOTO2.JPG", "-µ | -- PHOTO2.JPG | +-- | 40x30 in 40x30 | [PHOTO2.JPG  ] 10 | x... | 0"};
        // "Origine" chosen again runs the own-size step with its beep.
        QTest::newRow("picture on a card shown at Taille 2")
            << Attache{taille2, 0, "photo.jpg", "+µ | ++ photo.jpg | +-- | 40x30 in 40x30 | [photo.jpg   ] 10 | x... | 1"};
        QTest::newRow("wav on a picture card")
            << Attache{image11, 1, "son.wav", "+U | ++ son.wav | -++ | none | [son.wav     ] 2 | .x.. | 0"};
        QTest::newRow("typed mp3")
            << Attache{image11, 1, ">chant.mp3", "+U | ++ chant.mp3 | -++ | none | [chant.mp3   ] 3 | .x.. | 0"};
        QTest::newRow("typed unknown extension: code kept")
            << Attache{image11, 1, ">chant.ogg", "+U | ++ chant.ogg | -++ | none | [chant.ogg   ] 11 | .x.. | 0"};
        QTest::newRow("no name") << Attache{image11, 0, "", kImage11,
                                            " | Vous devez sélectionnez un fichier à ouvrir ou ANNULER | 0 | 0"};
        QTest::newRow("13 characters") << Attache{image11, 0, "abcdefghi.jpg", kImage11, kTropLong + u'\n' + kTropLong};
        QTest::newRow("13 characters, sound") << Attache{image11, 1, "abcdefghi.wav", kImage11, kTropLong + u'\n' + kTropLong};
        QTest::newRow("picture that cannot be read") << Attache{image11, 0, "casse.jpg", kImage11, kIllisible};
        QTest::newRow("typed sound that is not there") << Attache{image11, 1, ">absent.wav", kImage11, kIllisible};
        QTest::newRow("typed name with a folder")
            << Attache{image11, 1, ">../son.wav", kImage11,
                       u"Erreur | Le nom du fichier ne peut contenir ni dossier ni les caractères \\ / : * ? \" < > | | 0 | 2"_s};
    }
    void boutOK_attachesOrRefuses()
    {
        QFETCH(Attache, a);
        QVERIFY(b->poserMedias());
        b->ouvrir(banque::octets({a.carte, {"Q2"}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        b->pf.bips = 0;
        if (a.genre == 1)
            b->clic(d->OptionMedia[1]);
        if (a.nom.startsWith(u'>'))
            QTest::keyClicks(d->textfilename, a.nom.mid(1));
        else if (!a.nom.isEmpty())
            QVERIFY(b->cliquer(a.nom));
        b->clic(d->boutOK);
        QCOMPARE(b->media(), a.attendu);
        QCOMPARE(b->boites().join(u'\n'), a.message);
        const bool attache = a.message.isEmpty();
        QCOMPARE(b->dialogue() == d, !attache);
        QCOMPARE(b->f.isEnabled(), attache);
        if (!attache)
            return;
        // Shown again, the card shows what it was given.
        b->clic(controle(&b->f, "Suivant"));
        b->clic(controle(&b->f, "Précédent"));
        QVERIFY(!controle(&b->f, "Command3")->isHidden() && !controle(&b->f, "LabelFileMedia")->isHidden());
        const FicheQuestion stockee = banque::carte(b->chemin(u"BASE.QZF"_s), 1);
        QCOMPARE(texte::brut(stockee.FichierMedia), b->f.session().etat().NomMedia);
    }

    void waysOut_enableTheMainWindow_cardAsEachLeavesIt_data()
    {
        QTest::addColumn<Sortie>("s");
        const Carte son{.question = "Q1", .media = "son.wav", .code = 2};
        QTest::newRow("&OK") << Sortie{"boutOK", son, {.question = "Q1", .media = "photo.jpg", .code = 10}, "loaded: no"};
        QTest::newRow("&Annuler after a preview") << Sortie{"boutcancel", son, son, "loaded: no"};
        QTest::newRow("title bar after a preview") << Sortie{"close", son, son, "loaded: no"};
        QTest::newRow("Escape after a preview") << Sortie{"Escape", son, son, "loaded: no"};
        QTest::newRow("Aucun &Fichier: code 0, 12 spaces") << Sortie{"Command1", son, {"Q1"}, "loaded: shown"};
    }
    void waysOut_enableTheMainWindow_cardAsEachLeavesIt()
    {
        QFETCH(Sortie, s);
        QVERIFY(b->poserMedias());
        b->ouvrir(banque::octets({s.avant, {"Q2"}}));
        const QString avant = b->media();
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        QVERIFY(b->cliquer(u"photo.jpg"_s));
        QVERIFY(!d->Image2->pixmap().isNull());
        QVERIFY(!b->f.isEnabled() && d->isEnabled());
        if (s.action == u"close")
            d->close();
        else if (s.action == u"Escape")
            QTest::keyClick(d->listefile, Qt::Key_Escape);
        else
            b->clic(d->findChild<QPushButton *>(s.action));
        QVERIFY(b->f.isEnabled());
        QVERIFY(QTest::qWaitForWindowActive(&b->f));
        QCOMPARE(u"loaded: "_s + (!b->dialogue() ? u"no"_s : d->isVisible() ? u"shown"_s : u"hidden"_s), s.attendu);
        if (s.avant.code == s.apres.code)
            QCOMPARE(b->media(), avant);
        // The next move stores the card on screen: exactly the bytes of the card expected.
        b->clic(controle(&b->f, "Suivant"));
        QCOMPARE(banque::enregistrement(b->octets(), 1).toHex(' '), banque::fiche(s.apres).octets().toHex(' '));
    }

    void aucunFichier_leavesTheDialogOpen_reopenedAsItWas()
    {
        QVERIFY(b->poserMedias() && b->poser(u"autres/vue.bmp"_s, media_test::jpeg(8, 8, Qt::green)));
        b->ouvrir(banque::octets({{.question = "Q1", .media = "photo.jpg", .code = 11}, {"Q2"}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        QVERIFY(d->listes()->fixerDossier(b->chemin(u"autres"_s)) && d->listes()->attendreChargement());
        QVERIFY(b->cliquer(u"vue.bmp"_s));
        b->clic(d->Command1);
        QCOMPARE(b->media(), u"-µ | -- photo.jpg | -+- | none | [            ] 0 | .x.. | 0"_s);
        QVERIFY(b->f.isEnabled() && d->isVisible());
        // The main window is usable meanwhile; the next opening shows the same dialog as it was.
        QTest::mouseClick(controle(&b->f, "BoutMultimedia"), Qt::LeftButton);
        QCOMPARE(b->dialogue(), d);
        QVERIFY(!b->f.isEnabled() && d->isVisible());
        QCOMPARE(d->textfilename->text(), u"vue.bmp"_s);
        QCOMPARE(d->etiqrep->text(), QDir::toNativeSeparators(b->chemin(u"autres"_s)));
        QVERIFY(!d->Image2->pixmap().isNull());
        QCOMPARE(b->boites(), QStringList());
    }

    void boutSON_playsTheSelectedSound_aNewOneCutsTheLast()
    {
        QVERIFY(b->poserMedias());
        b->ouvrir(banque::octets({{"Q1"}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        b->clic(d->OptionMedia[1]);
        b->clic(d->BoutSON);  // nothing chosen yet
        QCOMPARE(std::exchange(b->pf.bips, 0), 1);
        QVERIFY(b->cliquer(u"son.wav"_s));
        b->clic(d->BoutSON);
        QVERIFY(b->cliquer(u"autre.wav"_s));
        b->clic(d->BoutSON);
        const QString son = b->chemin(u"BASE/son.wav"_s), autre = b->chemin(u"BASE/autre.wav"_s);
        QCOMPARE(b->pf.sons, (QStringList{son, autre}));
        QCOMPARE(b->pf.sonsCoupes, QStringList{son});
        QCOMPARE(b->pf.sonEnCours, autre);
        QCOMPARE(d->dossierMedia(), b->chemin(u"BASE/"_s));
        QVERIFY(b->cliquer(u"abcdefghi.wav"_s));
        b->clic(d->BoutSON);
        QCOMPARE(b->boites(), (QStringList{kTropLong, kTropLong}));
        QCOMPARE(b->pf.sons.size(), 2);
        QCOMPARE(b->media(), kSans);
    }

    void boutOK_fromAnotherFolder_copiesIntoTheMediaFolderAfterAsking_data()
    {
        QTest::addColumn<Copie>("c");
        const QString question = u" | Le fichier photo.jpg n'est pas dans le dossier des médias de la banque (…/BASE).\n"
                                 "Le copier dans ce dossier pour l'attacher à la fiche ? | 2 | 0"_s;
        using R = Plateforme::Reponse;
        QTest::newRow("no media folder: made, copied") << Copie{"-", "", R::Oui, question, true};
        QTest::newRow("declined: nothing copied") << Copie{"-", "", R::Non, question, false};
        QTest::newRow("another file of that name: kept, refused")
            << Copie{"autre", "autres", R::Oui,
                     question + u"\nErreur | Le dossier …/BASE contient déjà un autre fichier nommé photo.jpg : il n'est "
                                "pas remplacé. Renommez l'un des deux fichiers. | 0 | 2"_s,
                     false};
        QTest::newRow("the same file already there: attached") << Copie{"meme", "autres", R::Oui, question, true};
        QTest::newRow("from the media folder: no question") << Copie{"meme", "BASE", R::Non, "", true};
    }
    void boutOK_fromAnotherFolder_copiesIntoTheMediaFolderAfterAsking()
    {
        QFETCH(Copie, c);
        const QByteArray photo = media_test::jpeg(40, 30, Qt::darkCyan), autre = media_test::jpeg(20, 10, Qt::red);
        QVERIFY(b->poser(u"photo.jpg"_s, photo) && b->poser(u"autres/photo.jpg"_s, photo));
        if (c.dansBase != "-")
            QVERIFY(b->poser(u"BASE/photo.jpg"_s, c.dansBase == "autre" ? autre : photo));
        b->ouvrir(banque::octets({{"Q1"}}));
        FormMultimedia *d = b->ouvrirDialogue();
        QVERIFY(d);
        QCOMPARE(d->listes()->dossier(), c.dansBase == "-" ? b->dir.path() : b->chemin(u"BASE"_s));
        if (!c.depuis.isEmpty())
            QVERIFY(d->listes()->fixerDossier(b->chemin(c.depuis)) && d->listes()->attendreChargement());
        QVERIFY(b->cliquer(u"photo.jpg"_s));
        b->pf.reponses.enqueue(c.reponse);
        b->clic(d->boutOK);
        QCOMPARE(b->boites().join(u'\n'), c.messages);
        const QString cible = b->chemin(u"BASE/photo.jpg"_s);
        QCOMPARE(banque::lire(cible), c.dansBase == "autre" ? autre : c.attache ? photo : QByteArray());
        QCOMPARE(QFileInfo::exists(b->chemin(u"BASE"_s)), c.dansBase != "-" || c.attache);
        QCOMPARE(b->dialogue() == d, !c.attache);
        QCOMPARE(b->f.isEnabled(), c.attache);
        QCOMPARE(b->media(), c.attache ? u"-µ | -- photo.jpg | +-- | 40x30 in 40x30 | [photo.jpg   ] 10 | x... | 0"_s : kSans);
    }
};

QTEST_MAIN(TestFormMultimedia)
#include "test_formmultimedia.moc"
