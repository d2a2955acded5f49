// The drive, folder and file lists driven through the real widgets.
#include "support/editeur.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using L = QStringList;

namespace {

// The list's order between names that differ only by case is not fixed.
L trie(L noms)
{
    std::sort(noms.begin(), noms.end());
    return noms;
}

struct Banc {
    QTemporaryDir dir;
    FakePlateforme pf{dir.path()};
    QWidget hote;
    std::unique_ptr<ListesFichiers> listes;

    explicit Banc(const L &noms = {}, const QString &motifs = "*.qzf",
                  const ListesFichiers::Noms &objets = {}, const ListesFichiers::ErreurLecteur &erreur = {})
    {
        QVERIFY(banque::poser(dir.path(), noms));
        QDir::setCurrent(dir.path());
        listes = std::make_unique<ListesFichiers>(pf, &hote, objets, motifs, erreur);
        hote.resize(520, 300);
        listes->vueFichiers()->setGeometry(10, 10, 200, 280);
        listes->vueDossiers()->setGeometry(220, 10, 200, 240);
        listes->vueLecteurs()->setGeometry(220, 260, 200, 26);
        hote.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hote));
    }
    ~Banc() { QDir::setCurrent(QDir::tempPath()); }
    QString chemin(const QString &nom = {}) const { return nom.isEmpty() ? dir.path() : dir.filePath(nom); }
};

} // namespace

class TestListesFichiers : public QObject {
    Q_OBJECT
private slots:
    void patterns_data()
    {
        QTest::addColumn<L>("fichiers");
        QTest::addColumn<QString>("motifs");
        QTest::addColumn<L>("montres");
        const L melange = {"a.qzf", "B.QZF", "c.Qzf", "d.txt", "e.qzf.bak", "f.qzf/", ".cache.qzf", "g.qzf "};
        const L medias = {"x.jpg", "y.BMP", "z.png", "w.wav", "v.JPG", "dossier.jpg/"};
        QTest::newRow("banks, any case") << melange << "*.qzf" << L{"a.qzf", "B.QZF", "c.Qzf"};
        QTest::newRow("pictures") << medias << "*.jpg;*.bmp" << L{"v.JPG", "x.jpg", "y.BMP"};
        QTest::newRow("sounds") << medias << "*.wav" << L{"w.wav"};
        QTest::newRow("loose patterns") << medias << " *.jpg ; ;*.bmp;" << L{"v.JPG", "x.jpg", "y.BMP"};
        QTest::newRow("empty folder") << L{} << "*.qzf" << L{};
    }
    void patterns()
    {
        QFETCH(L, fichiers);
        QFETCH(QString, motifs);
        QFETCH(L, montres);
        Banc b({"sous/"}, motifs);
        QVERIFY(banque::poser(b.chemin("sous"), fichiers));
        QSignalSpy change(b.listes.get(), &ListesFichiers::dossierChange);
        QVERIFY(!b.listes->fixerDossier(b.chemin("absent")));
        QVERIFY(b.listes->fixerDossier(b.chemin("sous/../sous/")));
        QCOMPARE(change.size(), 1);
        QCOMPARE(change[0][0].toString(), b.chemin("sous"));
        // What is about to be shown, then what is shown, are the same names.
        QCOMPARE(trie(b.listes->nomsAffiches()), trie(montres));
        QVERIFY(b.listes->attendreChargement());
        QCOMPARE(trie(b.listes->nomsAffiches()), trie(montres));
    }

    // A hidden folder is shown when it is the folder of the lists, and only then.
    void hiddenFolder_shownWhenChosen()
    {
        Banc b({".cachee/a.qzf", ".cachee/.b.qzf", "visible/"});
        QVERIFY(b.listes->fixerDossier(b.chemin(".cachee")));
        QVERIFY(b.listes->attendreChargement());
        QCOMPARE(b.listes->nomsAffiches(), L{"a.qzf"});
        QTreeView *arbre = b.listes->vueDossiers();
        QCOMPARE(arbre->currentIndex().data(QFileSystemModel::FilePathRole).toString(), b.chemin(".cachee"));
        // The tree lists the test folder's children: both while the hidden one is shown.
        const auto enfants = [&] {
            L noms;
            const QModelIndex parent = arbre->currentIndex().parent();
            for (int i = 0; i < arbre->model()->rowCount(parent); ++i)
                noms << arbre->model()->index(i, 0, parent).data().toString();
            return trie(noms);
        };
        QTRY_COMPARE(enfants(), (L{".cachee", "visible"}));
        QVERIFY(b.listes->fixerDossier(b.chemin("visible")));
        QTRY_COMPARE(enfants(), L{"visible"});
    }

    // A folder shown again is read again: a file that came meanwhile is listed.
    void folderShownAgain_readAgain()
    {
        Banc b({"a.qzf", "autre/"});
        QVERIFY(b.listes->attendreChargement());
        QVERIFY(b.listes->fixerDossier(b.chemin("autre")));
        QVERIFY(b.listes->attendreChargement());
        QVERIFY(banque::poser(b.chemin(), {"b.qzf"}));
        QVERIFY(b.listes->fixerDossier(b.chemin()));
        QVERIFY(b.listes->attendreChargement(2000));
        QTRY_COMPARE(b.listes->nomsAffiches(), (L{"a.qzf", "b.qzf"}));
    }

    void patternsChanged_listFollows()
    {
        Banc b({"x.jpg", "y.bmp", "s.wav"}, "*.jpg;*.bmp");
        QVERIFY(b.listes->attendreChargement());
        QCOMPARE(trie(b.listes->nomsAffiches()), (L{"x.jpg", "y.bmp"}));
        b.listes->fixerMotifs("*.wav");
        QTRY_COMPARE(b.listes->nomsAffiches(), L{"s.wav"});
        QCOMPARE(b.listes->motifs(), "*.wav");
    }

    // Clicks and arrow keys in the file list say which name is chosen, once each.
    void fileList_clickAndKeys_giveNames()
    {
        Banc b({"a.qzf", "b.qzf", "c.qzf", "sous/"});
        QSignalSpy clic(b.listes.get(), &ListesFichiers::fichierClique);
        QVERIFY(cliquerFichier(*b.listes, "b.qzf"));
        QTest::keyClick(b.listes->vueFichiers(), Qt::Key_Down);
        QTest::keyClick(b.listes->vueFichiers(), Qt::Key_Down);  // already on the last: nothing
        QTest::keyClick(b.listes->vueFichiers(), Qt::Key_Home);
        L noms;
        for (const auto &s : clic)
            noms << s[0].toString();
        QCOMPARE(noms, (L{"b.qzf", "c.qzf", "a.qzf"}));
        QCOMPARE(b.listes->nomChoisi(), "a.qzf");
        QVERIFY(!cliquerFichier(*b.listes, "absent.qzf"));
        QVERIFY(b.listes->fixerDossier(b.chemin("sous")));
        QCOMPARE(b.listes->nomChoisi(), "");
    }

    void folderList_userClick_movesFileList()
    {
        Banc b({"a.qzf", "sous/b.qzf", "sous/c.txt"});
        QSignalSpy change(b.listes.get(), &ListesFichiers::dossierChange);
        QTreeView *arbre = b.listes->vueDossiers();
        auto *filtre = qobject_cast<QSortFilterProxyModel *>(arbre->model());
        auto *modele = qobject_cast<QFileSystemModel *>(filtre->sourceModel());
        // The tree's rows move while it reads: the place is asked for again each time.
        const auto place = [&] {
            return arbre->visualRect(filtre->mapFromSource(modele->index(b.chemin("sous"))))
                .intersected(arbre->viewport()->rect());
        };
        QTRY_VERIFY(place().height() > 4 && place().width() > 4);
        QTest::mouseClick(arbre->viewport(), Qt::LeftButton, {}, place().center());
        QCOMPARE(change.size(), 1);
        QCOMPARE(change[0][0].toString(), b.chemin("sous"));
        QCOMPARE(b.listes->dossier(), b.chemin("sous"));
        QVERIFY(b.listes->attendreChargement());
        QCOMPARE(b.listes->nomsAffiches(), L{"b.qzf"});
    }

    // Drives offered: "/" and two folders of the test standing for volumes, "usb" readable,
    // "absent" gone (a drive without its medium).
    void drives_data()
    {
        QTest::addColumn<L>("choix");  // drives picked in turn, "dir:x" moves the folder list to x
        QTest::addColumn<L>("messages");
        QTest::addColumn<QString>("dossier");  // the folder shown at the end, "DIR" for the test folder
        QTest::addColumn<QString>("lecteur");
        const QString erreur = "Erreur de lecteur!|1|Erreur";
        QTest::newRow("readable drive") << L{"usb"} << L{} << "DIR/usb" << "DIR/usb";
        QTest::newRow("unreadable drive") << L{"absent"} << L{erreur} << "DIR" << "/";
        QTest::newRow("unreadable from usb") << L{"usb", "absent"} << L{erreur} << "DIR/usb" << "DIR/usb";
        QTest::newRow("back to /, its folder") << L{"usb", "/"} << L{} << "DIR" << "/";
        QTest::newRow("usb keeps its folder") << L{"usb", "dir:usb/photos", "/", "usb"} << L{} << "DIR/usb/photos"
                                              << "DIR/usb";
        QTest::newRow("folder on usb follows") << L{"dir:usb/photos"} << L{} << "DIR/usb/photos" << "DIR/usb";
    }
    void drives()
    {
        QFETCH(L, choix);
        Banc b({"usb/photos/"});
        const QString usb = b.chemin("usb"), absent = b.chemin("absent");
        b.listes->fixerLecteurs({{"/", "/"}, {usb, "usb [CLE]"}, {absent, "absent"}});
        QCOMPARE(b.listes->vueLecteurs()->currentText(), "/");
        for (const QString &c : choix) {
            if (c.startsWith("dir:"))
                QVERIFY(b.listes->fixerDossier(b.chemin(c.mid(4))));
            else
                b.listes->choisirLecteur(c == "/" ? c : b.chemin(c));
        }
        QTEST(b.pf.vus(), "messages");
        QTEST(b.listes->dossier().replace(b.chemin(), "DIR"), "dossier");
        QTEST(b.listes->lecteur().replace(b.chemin(), "DIR"), "lecteur");
    }

    // The user's own pick in the drive list, with the media dialog's wording.
    void driveList_keyboardPick_unreadable_saysSoWithGivenTexts()
    {
        Banc b({}, "*.wav", {"Drive", "listerep", "listefile"}, {"Erreur de lecteur!", "ERREUR"});
        QCOMPARE(b.hote.findChild<QComboBox *>("Drive"), b.listes->vueLecteurs());
        QCOMPARE(b.hote.findChild<QTreeView *>("listerep"), b.listes->vueDossiers());
        QCOMPARE(b.hote.findChild<QListView *>("listefile"), b.listes->vueFichiers());
        b.listes->fixerLecteurs({{"/", "/"}, {b.chemin("absent"), "absent"}});
        QSignalSpy change(b.listes.get(), &ListesFichiers::dossierChange);
        QTest::keyClick(b.listes->vueLecteurs(), Qt::Key_Down);
        QCOMPARE(b.pf.vus(), L{"Erreur de lecteur!|1|ERREUR"});
        QCOMPARE(b.listes->vueLecteurs()->currentText(), "/");
        QCOMPARE(change.size(), 0);
    }

    void mountedVolumes_rootFirst_noSystemFolders()
    {
        const QList<ListesFichiers::Lecteur> lecteurs = ListesFichiers::lecteursMontes();
        QVERIFY(!lecteurs.isEmpty());
        QCOMPARE(lecteurs.first().racine, "/");
        for (const auto &l : lecteurs) {
            for (const char *systeme : {"/proc", "/sys", "/dev", "/snap", "/boot"})
                QVERIFY2(l.racine != systeme && !l.racine.startsWith(QString(systeme) + '/'), qPrintable(l.racine));
            QVERIFY2(!l.racine.startsWith("/run/") || l.racine.startsWith("/run/media/"), qPrintable(l.racine));
            QVERIFY(QFileInfo(l.racine).isDir());
            QVERIFY(l.libelle.startsWith(l.racine));
        }
    }
};

QTEST_MAIN(TestListesFichiers)
#include "test_listesfichiers.moc"
