// Faults of a real disk met by the real qzf and by the main window: a folder or a bank that may not
// be written, a full disk, a folder where the scratch file goes, a bank with a second name. Each run
// says what happened, exits with the right status and leaves the bank's bytes as they were.
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

} // namespace

class TestDisqueReel : public QObject {
    Q_OBJECT

private slots:
    void qzf_fauteDuDisque_data()
    {
        QTest::addColumn<QString>("faute");
        QTest::addColumn<QStringList>("arguments");  // BANK and DEST stand for the files
        QTest::addColumn<QString>("erreur");         // DIR stands for the folder; none: one line naming a file there
        const QString lectureSeule = "qzf: Le fichier DIR/BASE.QZF est en lecture seule : il n'a pas été modifié.\n";
        QTest::newRow("bank read-only: sort") << "banque" << QStringList{"sort", "BANK"} << lectureSeule;
        QTest::newRow("bank read-only: transfer into it") << "banque" << QStringList{"transfer", "DEST", "BANK", "--all"}
            << "qzf: Le fichier destination DIR/BASE.QZF est en lecture seule : il n'a pas été modifié.\n";
        QTest::newRow("folder read-only: sort") << "dossier" << QStringList{"sort", "BANK"}
                                                << "qzf: Impossible d'écrire le fichier DIR/base.tmp : accès refusé\n";
        QTest::newRow("folder read-only: delete") << "dossier" << QStringList{"delete", "BANK", "2"} << QString();
        QTest::newRow("base.tmp is a folder: sort") << "base.tmp" << QStringList{"sort", "BANK"}
            << "qzf: Impossible d'écrire le fichier DIR/base.tmp : un autre fichier ou dossier porte déjà ce nom\n";
        QTest::newRow("BASE.TMP is a folder: delete") << "BASE.TMP" << QStringList{"delete", "BANK", "2"} << QString();
    }
    void qzf_fauteDuDisque()
    {
        QFETCH(QString, faute);
        QFETCH(QStringList, arguments);
        QFETCH(QString, erreur);
        QTemporaryDir racine;
        QVERIFY(QFile::setPermissions(racine.path(), QFile::permissions(racine.path()) | QFileDevice::ExeOther | QFileDevice::ExeGroup));
        const QString dossier = racine.filePath("banques"), bank = dossier + "/BASE.QZF", dest = racine.filePath("AUTRE.QZF");
        const QByteArray avant = cartes(12);
        QVERIFY(QDir().mkdir(dossier) && banque::ecrire(bank, avant) && banque::ecrire(dest, cartes(3)));
        const bool sansPrivilege = faute == "dossier";
        if (faute == "banque") {
            QVERIFY(::chmod(QFile::encodeName(bank).constData(), 0444) == 0);
        } else if (sansPrivilege) {
            // The administrator writes in any folder: qzf runs under an account the rights hold for.
            for (const QString &c : {dossier, bank})
                QVERIFY(::geteuid() != 0 || ::chown(QFile::encodeName(c).constData(), kPersonne, kPersonne) == 0);
            QVERIFY(::chmod(QFile::encodeName(dossier).constData(), 0555) == 0);
        } else {
            QVERIFY(QDir(dossier).mkdir(faute));
        }
        const QStringList listeAvant = QDir(dossier).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        const Sortie s = qzf(arguments.replaceInStrings("BANK", bank).replaceInStrings("DEST", dest), sansPrivilege);
        ::chmod(QFile::encodeName(dossier).constData(), 0755);
        QCOMPARE(s.statut, 1);
        const QString vue = QString(s.erreurs).replace(dossier, "DIR");
        if (erreur.isEmpty())
            QVERIFY2(vue.startsWith("qzf: ") && vue.contains("DIR/") && vue.count(u'\n') == 1, qPrintable(vue));
        else
            QCOMPARE(vue, erreur);
        QCOMPARE(banque::lire(bank), avant);
        QCOMPARE(QDir(dossier).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), listeAvant);
    }

    void qzf_disquePlein_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("erreur");
        QTest::newRow("sort") << QStringList{"sort", "BANK"} << "qzf: Impossible d'écrire le fichier DIR/base.tmp : le disque est plein\n";
        QTest::newRow("transfer into the bank") << QStringList{"transfer", "SRC", "BANK", "--all"}
            << "qzf: Impossible d'écrire dans le fichier destination DIR/BASE.QZF : le disque est plein. "
               "Le fichier destination n'a pas été modifié.\n";
    }
    void qzf_disquePlein()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir racine;
        const QString dossier = racine.filePath("petit"), bank = dossier + "/BASE.QZF", src = racine.filePath("SOURCE.QZF");
        QVERIFY(QDir().mkdir(dossier));
        // A one-megabyte disk: the bank fills more than half of it.
        if (::geteuid() != 0 || ::mount("orbelin-plein", QFile::encodeName(dossier).constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0)
            QSKIP("no small file system can be mounted here (the injected 'disk full' covers this case)");
        struct Demonter {
            QByteArray d;
            ~Demonter() { ::umount2(d.constData(), MNT_DETACH); }
        } demonter{QFile::encodeName(dossier)};
        const QByteArray avant = cartes(700);
        QVERIFY(banque::ecrire(bank, avant) && banque::ecrire(src, cartes(700)));
        const Sortie s = qzf(arguments.replaceInStrings("BANK", bank).replaceInStrings("SRC", src));
        QCOMPARE(s.statut, 1);
        QTEST(QString(s.erreurs).replace(dossier, "DIR"), "erreur");
        QCOMPARE(banque::lire(bank), avant);
        // Nothing but the bank is left to fill the disk.
        QCOMPARE(QDir(dossier).entryList(QDir::Files | QDir::Hidden), QStringList{"BASE.QZF"});
    }

    void qzf_secondNom_data()
    {
        QTest::addColumn<bool>("symbolique");
        QTest::addColumn<QStringList>("arguments");
        for (const bool symbolique : {true, false})
            for (const QStringList &a : {QStringList{"sort", "BANK"}, QStringList{"delete", "BANK", "2"}})
                QTest::addRow("%s link: %s", symbolique ? "symbolic" : "hard", qPrintable(a[0])) << symbolique << a;
    }
    void qzf_secondNom()
    {
        QFETCH(bool, symbolique);
        QFETCH(QStringList, arguments);
        QTemporaryDir dossier;
        QVERIFY(QDir(dossier.path()).mkdir("vrai"));
        const QString reel = dossier.filePath("vrai/REEL.QZF"), bank = dossier.filePath("BASE.QZF");
        const QByteArray avant = cartes(12);
        QVERIFY(banque::ecrire(reel, avant) && ::chmod(QFile::encodeName(reel).constData(), 0640) == 0);
        QVERIFY(symbolique ? QFile::link("vrai/REEL.QZF", bank) : ::link(QFile::encodeName(reel).constData(), QFile::encodeName(bank).constData()) == 0);
        QCOMPARE(qzf(arguments.replaceInStrings("BANK", bank)).statut, 0);
        const QByteArray apres = arguments[0] == "sort" ? triees(avant) : QByteArray(avant).remove(FicheQuestion::Taille, FicheQuestion::Taille);
        QCOMPARE(banque::lire(bank), apres);
        QCOMPARE(QFile::permissions(bank), QFile::permissions(reel));
        // A symbolic link stays one and the file it leads to holds the result; a second name keeps the cards as they were.
        QCOMPARE(QFileInfo(bank).isSymLink(), symbolique);
        QCOMPARE(banque::lire(reel), symbolique ? apres : avant);
        for (const QString &d : {dossier.path(), dossier.filePath("vrai")})
            QCOMPARE(QDir(d).entryList({"*.nouveau", "*.jnl", "*.import"}, QDir::Files), QStringList());
    }

    void fenetre_fauteDuDisque_data()
    {
        QTest::addColumn<QString>("faute");
        QTest::addColumn<QStringList>("clics");  // as Editeur::faire takes them
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
                                                               "modifié. Le fichier DIR/BASE.QZF n'a pas été modifié."};
        QTest::newRow("base.tmp is a folder: quit")
            << "base.tmp" << QStringList{"Quitter"}
            << QStringList{classe.arg("Impossible d'écrire le fichier DIR/base.tmp : un autre fichier ou dossier porte déjà ce nom")};
        QTest::newRow("BASE.TMP is a folder: delete") << "BASE.TMP" << QStringList{"Supprimer"} << QStringList{};
    }

    void fenetre_fauteDuDisque()
    {
        QFETCH(QString, faute);
        QFETCH(QStringList, clics);
        QFETCH(QStringList, messages);
        if (faute == QLatin1String("banque") && ::geteuid() != 0)
            QSKIP("a user who may not write the bank is already refused when it opens: these texts are the administrator's");

        Editeur e{Editeur::PlusTard{}};
        const QString bank = e.chemin(QStringLiteral("BASE.QZF"));
        const QByteArray avant = cartes(4);
        QVERIFY(banque::ecrire(bank, avant));
        if (faute == QLatin1String("banque"))
            QVERIFY(::chmod(QFile::encodeName(bank).constData(), 0444) == 0);
        else
            QVERIFY(QDir(e.dir.path()).mkdir(faute));
        e.ouvrir(avant);
        e.faire(clics);
        if (clics.isEmpty() || clics.last() != QLatin1String("Quitter"))
            e.f.close();

        const QStringList vus = e.pf.textes().replaceInStrings(e.dir.path(), QStringLiteral("DIR"));
        if (messages.isEmpty()) {
            // The scratch name taken by a folder: one message naming it, then the sort at the end.
            QCOMPARE(vus.size(), 1);
            QVERIFY2(vus.first().contains(QLatin1String("DIR/BASE.TMP")) && vus.first().contains(QStringLiteral("n'a pas été modifié")),
                     qPrintable(vus.first()));
        } else {
            QCOMPARE(vus.mid(0, messages.size()), messages);
        }
        QCOMPARE(banque::lire(bank), faute == QLatin1String("BASE.TMP") ? triees(avant) : avant);  // nothing deleted, sorted at the end
        QVERIFY(QFileInfo(e.chemin(faute)).isDir() || faute == QLatin1String("banque"));
    }
};

QTEST_MAIN(TestDisqueReel)
#include "test_disque_reel.moc"
