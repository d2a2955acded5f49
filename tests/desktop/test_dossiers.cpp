// Where the banks live: the folder chosen for a run, the first start with the sample bank, a bank
// named on the command line.
#include "platform/dossierprogramme.h"
#include "support/banque.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool administrateur() { return ::geteuid() == 0; }

// Every file under a folder with its bytes, as "path=bytes", in order.
QStringList contenu(const QString &dossier)
{
    QStringList l;
    QDirIterator it(dossier, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        QFile lu(f);
        lu.open(QIODevice::ReadOnly);
        l << QDir(dossier).relativeFilePath(f) + u'=' + QString::fromUtf8(lu.readAll());
    }
    l.sort();
    return l;
}

} // namespace

class TestDossiers : public QObject {
    Q_OBJECT

private slots:
    void dossierDesBanques_data()
    {
        QTest::addColumn<QStringList>("arbre");
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("donnees");
        QTest::addColumn<bool>("lectureSeule");

        QTest::newRow("copy in a writable folder") << QStringList{u"copie/"_s} << u"copie"_s << false << false;
        QTest::newRow("installed beside share/orbelin")
            << QStringList{u"usr/bin/"_s, u"usr/share/orbelin/exemple/"_s} << u"usr/bin"_s << true << false;
        QTest::newRow("share/orbelin that is a file is no install")
            << QStringList{u"bin/"_s, u"share/orbelin"_s} << u"bin"_s << false << false;
        QTest::newRow("folder that does not exist") << QStringList{} << u"absent/bin"_s << true << false;
        QTest::newRow("read-only folder") << QStringList{u"lecture/"_s} << u"lecture"_s << true << true;
    }
    void dossierDesBanques()
    {
        QFETCH(QStringList, arbre);
        QFETCH(QString, executable);
        QFETCH(bool, donnees);
        QFETCH(bool, lectureSeule);
        if (lectureSeule && administrateur())
            QSKIP("root writes into read-only folders");
        QTemporaryDir tmp;
        QVERIFY(banque::poser(tmp.path(), arbre));
        const QString exe = tmp.filePath(executable);
        if (lectureSeule)
            QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::ExeOwner));
        const QString choisi = dossiers::dossierDesBanques(exe, u"/donnees/Orbelin"_s);
        if (lectureSeule)
            QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(choisi, donnees ? u"/donnees/Orbelin"_s : exe);
    }

    void sourceExemple_data()
    {
        QTest::addColumn<QStringList>("arbre");
        QTest::addColumn<QString>("attendu");

        QTest::newRow("installed") << QStringList{u"share/orbelin/exemple/DEMO.qzf"_s} << u"share/orbelin/exemple"_s;
        QTest::newRow("build tree") << QStringList{u"exemple/DEMO.qzf"_s} << u"exemple"_s;
        QTest::newRow("installed before the build tree")
            << QStringList{u"exemple/DEMO.qzf"_s, u"share/orbelin/exemple/DEMO.qzf"_s} << u"share/orbelin/exemple"_s;
        QTest::newRow("a folder without DEMO.qzf is none") << QStringList{u"exemple/DEMO.prm"_s} << QString();
        QTest::newRow("DEMO.qzf that is a folder is none") << QStringList{u"exemple/DEMO.qzf/"_s} << QString();
    }
    void sourceExemple()
    {
        QFETCH(QStringList, arbre);
        QFETCH(QString, attendu);
        QTemporaryDir tmp;
        QVERIFY(banque::poser(tmp.path(), arbre << u"bin/"_s));
        QCOMPARE(dossiers::sourceExemple(tmp.filePath(u"bin"_s)), attendu.isEmpty() ? QString() : tmp.filePath(attendu));
    }

    void preparer_data()
    {
        QTest::addColumn<QStringList>("avant");      // the folder's files before the start
        QTest::addColumn<bool>("avecSource");
        QTest::addColumn<QStringList>("apres");      // the folder's files after, "path=bytes"

        const QStringList exemple{u"DEMO.prm=source DEMO.prm"_s, u"DEMO.qzf=source DEMO.qzf"_s,
                                  u"DEMO/photo.jpg=source DEMO/photo.jpg"_s};
        QTest::newRow("first start copies the whole sample") << QStringList{} << true << exemple;
        QTest::newRow("a later start copies nothing")
            << QStringList{u"BASE.QZF"_s} << true << QStringList{u"BASE.QZF=BASE.QZF"_s};
        QTest::newRow("an existing sample file is kept, the missing ones come")
            << QStringList{u"DEMO.qzf"_s}
            << true
            << QStringList{u"DEMO.prm=source DEMO.prm"_s, u"DEMO.qzf=DEMO.qzf"_s, u"DEMO/photo.jpg=source DEMO/photo.jpg"_s};
        QTest::newRow("no sample to copy") << QStringList{} << false << QStringList{};
    }
    void preparer()
    {
        QFETCH(QStringList, avant);
        QFETCH(bool, avecSource);
        QFETCH(QStringList, apres);
        QTemporaryDir tmp;
        // The installed sample is read-only; the copy must be the user's to edit.
        const QString source = tmp.filePath(u"source"_s);
        QVERIFY(banque::poser(tmp.path(), {u"source/DEMO.qzf"_s, u"source/DEMO.prm"_s, u"source/DEMO/photo.jpg"_s}));
        QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY(QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // A first start makes the folder and the folders above it.
        const QString dossier = tmp.filePath(u"donnees/Orbelin"_s);
        QVERIFY(banque::poser(dossier, avant));

        const Resultat r = dossiers::preparer(dossier, avecSource ? source : QString());
        QVERIFY2(r.ok, qPrintable(r.erreur));
        QVERIFY(QFileInfo(dossier).isDir());
        QStringList vu = contenu(dossier);
        QCOMPARE(vu.replaceInStrings(u"=source/"_s, u"=source "_s), apres);
        for (const QString &f : apres)
            QVERIFY2(QFileInfo(dossier + u'/' + f.section(u'=', 0, 0)).isWritable(), qPrintable(f));
    }

    void preparer_folderThatCannotBeMade_saysWhichInFrench()
    {
        QTemporaryDir tmp;
        QVERIFY(banque::poser(tmp.path(), {u"fichier"_s}));
        const QString dossier = tmp.filePath(u"fichier/Orbelin"_s);
        const Resultat r = dossiers::preparer(dossier, QString());
        QCOMPARE(r.erreur, u"Le dossier des banques « "_s + dossier + u" » n'a pas pu être créé."_s);
    }

    void banqueDemandee_data()
    {
        QTest::addColumn<QString>("argument");  // "@" stands for the folder of the banks
        QTest::addColumn<QString>("nom");       // empty when refused
        QTest::addColumn<QString>("raison");
        QTest::addColumn<int>("mode");          // permissions to set on the file, 0 to leave them

        const QString ok;
        QTest::newRow("bank") << u"@/COURS.qzf"_s << u"COURS.qzf"_s << ok << 0;
        QTest::newRow("upper-case extension") << u"@/MAJ.QZF"_s << u"MAJ.QZF"_s << ok << 0;
        QTest::newRow("file URL") << u"file://@/COURS.qzf"_s << u"COURS.qzf"_s << ok << 0;
        QTest::newRow("relative to the working folder") << u"Mes banques %1/COURS.qzf"_s << u"COURS.qzf"_s << ok << 0;
        QTest::newRow("missing") << u"@/ABSENT.qzf"_s << QString() << u"ce fichier n'existe pas."_s << 0;
        QTest::newRow("empty argument") << QString() << QString() << u"ce fichier n'existe pas."_s << 0;
        QTest::newRow("folder") << u"@/DOSSIER.qzf"_s << QString() << u"ce n'est pas un fichier."_s << 0;
        QTest::newRow("not a bank") << u"@/notes.txt"_s << QString()
                                    << u"ce n'est pas une banque de questions (fichier .qzf)."_s << 0;
        QTest::newRow("leading space") << u"@/ COURS.qzf"_s << QString() << u"son nom commence par une espace."_s << 0;
        QTest::newRow("unreadable") << u"@/COURS.qzf"_s << QString() << u"ce fichier ne peut pas être lu."_s
                                    << int(QFile::WriteOwner);
        QTest::newRow("read-only") << u"@/COURS.qzf"_s << QString() << u"ce fichier ne peut pas être modifié."_s
                                   << int(QFile::ReadOwner);
    }
    void banqueDemandee()
    {
        QFETCH(QString, argument);
        QFETCH(QString, nom);
        QFETCH(QString, raison);
        QFETCH(int, mode);
        if (mode && administrateur())
            QSKIP("root reads and writes whatever the permissions");
        QTemporaryDir tmp;
        // A folder name with a space and a "%1", which a message built with arg() would eat.
        const QString banques = tmp.filePath(u"Mes banques %1"_s);
        QVERIFY(banque::poser(banques, {u"COURS.qzf"_s, u"MAJ.QZF"_s, u"notes.txt"_s, u" COURS.qzf"_s, u"DOSSIER.qzf/"_s}));
        if (mode)
            QVERIFY(QFile::setPermissions(banques + u"/COURS.qzf"_s, QFile::Permissions(mode)));
        const QString avant = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        const dossiers::BanqueDemandee b = dossiers::banqueDemandee(QString(argument).replace(u'@', banques));
        QDir::setCurrent(avant);
        QFile::setPermissions(banques + u"/COURS.qzf"_s, QFile::ReadOwner | QFile::WriteOwner);

        if (nom.isEmpty()) {
            const QString chemin = QString(argument).replace(u'@', banques);
            QCOMPARE(b.resultat.erreur, u"La banque « "_s + chemin + u" » ne peut pas être ouverte : "_s + raison
                                            + u"\nL'éditeur s'ouvre sur BASE.QZF."_s);
            QVERIFY(!b.resultat.ok && b.nom.isEmpty() && b.dossier.isEmpty());
        } else {
            QVERIFY2(b.resultat.ok, qPrintable(b.resultat.erreur));
            QCOMPARE(b.dossier, banques);
            QCOMPARE(b.nom, nom);
        }
    }

    void banqueExemple_data()
    {
        QTest::addColumn<QStringList>("arbre");
        QTest::addColumn<bool>("ouverte");
        QTest::newRow("there") << QStringList{u"DEMO.qzf"_s} << true;
        QTest::newRow("removed by the user") << QStringList{u"BASE.QZF"_s} << false;
        QTest::newRow("a folder of that name") << QStringList{u"DEMO.qzf/"_s} << false;
    }
    void banqueExemple()
    {
        QFETCH(QStringList, arbre);
        QFETCH(bool, ouverte);
        QTemporaryDir tmp;
        QVERIFY(banque::poser(tmp.path(), arbre));
        const dossiers::BanqueDemandee b = dossiers::banqueExemple(tmp.path());
        QCOMPARE(b.resultat.erreur, ouverte ? QString()
                                            : u"La banque d'exemple « DEMO.qzf » n'est pas dans « "_s + tmp.path()
                                                  + u" ».\nL'éditeur s'ouvre sur BASE.QZF."_s);
        QCOMPARE(b.nom, ouverte ? u"DEMO.qzf"_s : QString());
        QCOMPARE(b.dossier, ouverte ? tmp.path() : QString());
    }
};

QTEST_MAIN(TestDossiers)
#include "test_dossiers.moc"
