// Faults of a real disk met by the real qzf and by the main window: a folder or a bank that
// may not be written, a full disk, a folder where the scratch file goes, a bank reached
// through a symbolic link or holding a second name. Each run says what happened, exits with
// the right status and leaves the bank's bytes as they were (or as the run defines them).
#include "support/editeur.h"
#include "store/reecriture.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QZF_PATH
#error "QZF_PATH must name the built qzf"
#endif

namespace {

constexpr uid_t kPersonne = 65534;  // the unprivileged account qzf runs as where a folder's rights must hold

QByteArray cartes(int n)
{
    QByteArray b;
    for (int i = 1; i <= n; ++i)
        b += banque::fiche({QStringLiteral("Question %1").arg(i), (n - i) % 9, 1, 0, {QStringLiteral("oui")}}).octets();
    return b;
}

// The cards in theme order, stable: what a sort gives.
QByteArray triees(const QByteArray &b)
{
    QByteArray t;
    for (int theme = 0; theme <= 255; ++theme)
        for (qsizetype o = 0; o < b.size(); o += FicheQuestion::Taille)
            if (quint8(b.at(o + offsets::NumTheme)) == theme)
                t += b.mid(o, FicheQuestion::Taille);
    return t;
}

struct Sortie {
    int statut = -1;
    QString erreurs;
};

Sortie qzf(const QStringList &arguments, bool sansPrivilege = false)
{
    QProcess p;
    if (sansPrivilege && ::geteuid() == 0)
        p.setChildProcessModifier([] {
            if (::setgid(kPersonne) != 0 || ::setuid(kPersonne) != 0)
                ::_exit(99);
        });
    p.start(QStringLiteral(QZF_PATH), arguments);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return {-2, QStringLiteral("no end within 30 s")};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

bool estUnLien(const QString &chemin)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(chemin).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

class TestDisqueReel : public QObject {
    Q_OBJECT

private slots:
    void qzf_fauteDuDisque_data();
    void qzf_fauteDuDisque();
    void qzf_disquePlein_data();
    void qzf_disquePlein();
    void qzf_secondNom_data();
    void qzf_secondNom();
    void fenetre_fauteDuDisque_data();
    void fenetre_fauteDuDisque();
};

void TestDisqueReel::qzf_fauteDuDisque_data()
{
    QTest::addColumn<QString>("faute");
    QTest::addColumn<QStringList>("arguments");  // BANK and DEST stand for the files
    QTest::addColumn<int>("statut");
    QTest::addColumn<QString>("erreur");  // DIR stands for the folder

    const QString lectureSeule = QStringLiteral("qzf: Le fichier DIR/BASE.QZF est en lecture seule : il n'a pas été modifié.\n");
    QTest::newRow("bank read-only: sort") << "banque" << QStringList{"sort", "BANK"} << 1 << lectureSeule;
    QTest::newRow("bank read-only: delete") << "banque" << QStringList{"delete", "BANK", "2"} << 1 << lectureSeule;
    QTest::newRow("bank read-only: transfer into it")
        << "banque" << QStringList{"transfer", "DEST", "BANK", "--all"} << 1
        << QStringLiteral("qzf: Le fichier destination DIR/BASE.QZF est en lecture seule : il n'a pas été modifié.\n");
    QTest::newRow("folder read-only: sort")
        << "dossier" << QStringList{"sort", "BANK"} << 1
        << QStringLiteral("qzf: Impossible d'écrire le fichier DIR/base.tmp : accès refusé\n");
    QTest::newRow("folder read-only: delete") << "dossier" << QStringList{"delete", "BANK", "2"} << 1 << QString();
    QTest::newRow("base.tmp is a folder: sort")
        << "base.tmp" << QStringList{"sort", "BANK"} << 1
        << QStringLiteral("qzf: Impossible d'écrire le fichier DIR/base.tmp : un autre fichier ou dossier porte déjà ce nom\n");
    QTest::newRow("BASE.TMP is a folder: delete") << "BASE.TMP" << QStringList{"delete", "BANK", "2"} << 1 << QString();
}

void TestDisqueReel::qzf_fauteDuDisque()
{
    QFETCH(QString, faute);
    QFETCH(QStringList, arguments);
    QFETCH(int, statut);
    QFETCH(QString, erreur);

    QTemporaryDir racine;
    QVERIFY(racine.isValid());
    QVERIFY(QFile::setPermissions(racine.path(), QFile::permissions(racine.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup));
    const QString dossier = racine.filePath(QStringLiteral("banques"));
    QVERIFY(QDir().mkdir(dossier));
    const QString bank = dossier + QStringLiteral("/BASE.QZF");
    const QString dest = racine.filePath(QStringLiteral("AUTRE.QZF"));
    const QByteArray avant = cartes(12);
    QVERIFY(banque::ecrire(bank, avant));
    QVERIFY(banque::ecrire(dest, cartes(3)));

    const bool sansPrivilege = faute == QLatin1String("dossier");
    if (faute == QLatin1String("banque")) {
        QVERIFY(::chmod(QFile::encodeName(bank).constData(), 0444) == 0);
    } else if (sansPrivilege) {
        // The administrator writes in any folder: qzf runs under an account the rights hold for.
        for (const QString &c : {dossier, bank})
            if (::geteuid() == 0)
                QVERIFY(::chown(QFile::encodeName(c).constData(), kPersonne, kPersonne) == 0);
        QVERIFY(::chmod(QFile::encodeName(dossier).constData(), 0555) == 0);
    } else {
        QVERIFY(QDir(dossier).mkdir(faute));
    }
    const QStringList listeAvant = QDir(dossier).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

    arguments.replaceInStrings(QStringLiteral("BANK"), bank).replaceInStrings(QStringLiteral("DEST"), dest);
    const Sortie s = qzf(arguments, sansPrivilege);
    ::chmod(QFile::encodeName(dossier).constData(), 0755);

    QCOMPARE(s.statut, statut);
    const QString vue = QString(s.erreurs).replace(dossier, QStringLiteral("DIR"));
    if (erreur.isEmpty())
        QVERIFY2(vue.startsWith(QLatin1String("qzf: ")) && vue.contains(QLatin1String("DIR/")) && vue.count(u'\n') == 1,
                 qPrintable(vue));
    else
        QCOMPARE(vue, erreur);
    QCOMPARE(banque::lire(bank), avant);
    QCOMPARE(QDir(dossier).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), listeAvant);
}

void TestDisqueReel::qzf_disquePlein_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("erreur");
    QTest::newRow("sort") << QStringList{"sort", "BANK"}
                          << QStringLiteral("qzf: Impossible d'écrire le fichier DIR/base.tmp : le disque est plein\n");
    QTest::newRow("transfer into the bank")
        << QStringList{"transfer", "SRC", "BANK", "--all"}
        << QStringLiteral("qzf: Impossible d'écrire dans le fichier destination DIR/BASE.QZF : le disque est plein. "
                          "Le fichier destination n'a pas été modifié.\n");
}

void TestDisqueReel::qzf_disquePlein()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, erreur);
    QTemporaryDir racine;
    QVERIFY(racine.isValid());
    const QString dossier = racine.filePath(QStringLiteral("petit"));
    QVERIFY(QDir().mkdir(dossier));
    // A one-megabyte disk: the bank fills more than half of it.
    if (::geteuid() != 0 || ::mount("orbelin-plein", QFile::encodeName(dossier).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0)
        QSKIP("no small file system can be mounted here (the injected 'disk full' covers this case)");
    struct Demonter {
        QByteArray d;
        ~Demonter() { ::umount2(d.constData(), MNT_DETACH); }
    } demonter{QFile::encodeName(dossier)};

    const QString bank = dossier + QStringLiteral("/BASE.QZF");
    const QString src = racine.filePath(QStringLiteral("SOURCE.QZF"));
    const QByteArray avant = cartes(700);
    QVERIFY(banque::ecrire(bank, avant));
    QVERIFY(banque::ecrire(src, cartes(700)));

    arguments.replaceInStrings(QStringLiteral("BANK"), bank).replaceInStrings(QStringLiteral("SRC"), src);
    const Sortie s = qzf(arguments);
    QCOMPARE(s.statut, 1);
    QCOMPARE(QString(s.erreurs).replace(dossier, QStringLiteral("DIR")), erreur);
    QCOMPARE(banque::lire(bank), avant);
    // Nothing but the bank is left to fill the disk.
    QCOMPARE(QDir(dossier).entryList(QDir::Files | QDir::Hidden), QStringList{"BASE.QZF"});
}

void TestDisqueReel::qzf_secondNom_data()
{
    QTest::addColumn<QString>("sorte");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("ote");  // the card a delete takes away, 0 for a sort
    QTest::newRow("symbolic link: sort") << "lien" << QStringList{"sort", "BANK"} << 0;
    QTest::newRow("symbolic link: delete") << "lien" << QStringList{"delete", "BANK", "2"} << 2;
    QTest::newRow("hard link: sort") << "dur" << QStringList{"sort", "BANK"} << 0;
    QTest::newRow("hard link: delete") << "dur" << QStringList{"delete", "BANK", "2"} << 2;
}

void TestDisqueReel::qzf_secondNom()
{
    QFETCH(QString, sorte);
    QFETCH(QStringList, arguments);
    QFETCH(int, ote);
    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    QVERIFY(QDir(dossier.path()).mkdir(QStringLiteral("vrai")));
    const QString reel = dossier.filePath(QStringLiteral("vrai/REEL.QZF"));
    const QString bank = dossier.filePath(QStringLiteral("BASE.QZF"));
    const QByteArray avant = cartes(12);
    QVERIFY(banque::ecrire(reel, avant));
    QVERIFY(::chmod(QFile::encodeName(reel).constData(), 0640) == 0);
    if (sorte == QLatin1String("lien"))
        QVERIFY(QFile::link(QStringLiteral("vrai/REEL.QZF"), bank));
    else
        QVERIFY(::link(QFile::encodeName(reel).constData(), QFile::encodeName(bank).constData()) == 0);

    const Sortie s = qzf(arguments.replaceInStrings(QStringLiteral("BANK"), bank));
    QCOMPARE(s.statut, 0);
    QByteArray apres = avant;
    if (ote > 0)
        apres.remove(qsizetype(ote - 1) * FicheQuestion::Taille, FicheQuestion::Taille);
    else
        apres = triees(avant);
    QCOMPARE(banque::lire(bank), apres);
    QCOMPARE(QFile::permissions(bank), QFile::permissions(reel));
    QCOMPARE(QFileInfo(bank).permissions() & QFileDevice::ReadOther, QFileDevice::Permissions());
    if (sorte == QLatin1String("lien")) {
        // The link stays a link, and the file it leads to holds the result.
        QVERIFY(estUnLien(bank));
        QCOMPARE(banque::lire(reel), apres);
    } else {
        // The second name keeps the cards as they were, whole.
        QVERIFY(!estUnLien(bank));
        QCOMPARE(banque::lire(reel), avant);
    }
    const QStringList restes = QDir(dossier.path()).entryList({"*.nouveau", "*.jnl", "*.import"}, QDir::Files)
                               + QDir(dossier.filePath("vrai")).entryList({"*.nouveau", "*.jnl", "*.import"}, QDir::Files);
    QCOMPARE(restes, QStringList());
}

void TestDisqueReel::fenetre_fauteDuDisque_data()
{
    QTest::addColumn<QString>("faute");
    QTest::addColumn<QStringList>("clics");  // "Name" clicks a button, "Name=text" types into a box
    QTest::addColumn<QStringList>("messages");

    const QString classe = QStringLiteral(
        "Le fichier DIR/BASE.QZF n'a pas pu être classé par thème (%1). Il reste tel qu'il était ; aucune copie "
        "classée n'a été faite dans DIR/base.tmp.");
    const QString ficheRefusee = QStringLiteral("Le fichier DIR/BASE.QZF est en lecture seule : la fiche 1 n'a pas été enregistrée.");
    QTest::newRow("bank read-only: a card typed, next card, quit")
        << "banque" << QStringList{"TextQuestion=Nouvelle", "Suivant", "Quitter"}
        << QStringList{ficheRefusee, ficheRefusee,
                       classe.arg("Le fichier DIR/BASE.QZF est en lecture seule : il n'a pas été modifié.")};
    QTest::newRow("bank read-only: delete") << "banque" << QStringList{"Supprimer"}
                                            << QStringList{"Le fichier DIR/BASE.QZF est en lecture seule : il n'a pas été "
                                                           "modifié.. Le fichier DIR/BASE.QZF n'a pas été modifié."};
    QTest::newRow("base.tmp is a folder: quit")
        << "base.tmp" << QStringList{"Quitter"}
        << QStringList{classe.arg("Impossible d'écrire le fichier DIR/base.tmp : un autre fichier ou dossier porte déjà ce nom")};
    QTest::newRow("BASE.TMP is a folder: delete") << "BASE.TMP" << QStringList{"Supprimer"} << QStringList{};
}

void TestDisqueReel::fenetre_fauteDuDisque()
{
    QFETCH(QString, faute);
    QFETCH(QStringList, clics);
    QFETCH(QStringList, messages);
    if (faute == QLatin1String("banque") && ::geteuid() != 0)
        QSKIP("a user who may not write the bank is already refused when it opens: these texts are the administrator's");

    QTemporaryDir dossier;
    QVERIFY(dossier.isValid());
    const QString bank = dossier.filePath(QStringLiteral("BASE.QZF"));
    const QByteArray avant = cartes(4);
    QVERIFY(banque::ecrire(bank, avant));
    if (faute == QLatin1String("banque"))
        QVERIFY(::chmod(QFile::encodeName(bank).constData(), 0444) == 0);
    else
        QVERIFY(QDir(dossier.path()).mkdir(faute));

    FakePlateforme pf{dossier.path()};
    {
        FormEdit f{pf};
        f.charger();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        pf.oublier();
        for (const QString &clic : clics) {
            QWidget *w = f.findChild<QWidget *>(clic.section(u'=', 0, 0));
            QVERIFY2(w, qPrintable(clic));
            if (clic.contains(u'=')) {
                QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(w, u'\b' + clic.section(u'=', 1));
            } else {
                QTest::mouseClick(w, Qt::LeftButton);
            }
        }
        if (clics.isEmpty() || clics.last() != QLatin1String("Quitter"))
            f.close();
    }

    QStringList vus = pf.textes().replaceInStrings(dossier.path(), QStringLiteral("DIR"));
    if (messages.isEmpty()) {
        // The scratch name taken by a folder: one message naming it, then the sort at the end.
        QCOMPARE(vus.size(), 1);
        QVERIFY2(vus.first().contains(QLatin1String("DIR/BASE.TMP")) && vus.first().contains(QStringLiteral("n'a pas été modifié")),
                 qPrintable(vus.first()));
    } else {
        QCOMPARE(vus.mid(0, messages.size()), messages);
    }
    for (const FakePlateforme::Message &m : pf.messages) {
        QCOMPARE(m.boutons, Plateforme::Boutons::Ok);
        QCOMPARE(m.icone, Plateforme::Icone::Critique);
        QCOMPARE(m.titre, QStringLiteral("Erreur"));
    }
    if (faute != QLatin1String("BASE.TMP"))
        QCOMPARE(banque::lire(bank), avant);
    else
        QCOMPARE(banque::lire(bank), triees(avant));  // nothing deleted, sorted at the end
    QVERIFY(QFileInfo(dossier.filePath(faute)).isDir() || faute == QLatin1String("banque"));
}

QTEST_MAIN(TestDisqueReel)
#include "test_disque_reel.moc"
