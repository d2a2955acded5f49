// Media rules without windows: name length, preview, sound codes, players, copy into the media folder.
#include "media/regles_media.h"
#include "support/banque.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestReglesMedia : public QObject {
    Q_OBJECT

private slots:
    void nomNames_lengthPreviewAndSoundCode_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<bool>("tropLong");
        QTest::addColumn<bool>("apercu");
        QTest::addColumn<int>("code");  // from a card of code 12
        QTest::newRow("12 characters") << u"abcdefgh.jpg"_s << false << true << 12;
        QTest::newRow("13 characters") << u"abcdefghi.jpg"_s << true << true << 12;
        QTest::newRow("12 between spaces") << u"  abcdefgh.bmp  "_s << false << true << 12;
        QTest::newRow("upper-case JPG: no preview") << u"PHOTO.JPG"_s << false << false << 12;
        QTest::newRow("mixed case Jpg: no preview") << u"photo.Jpg"_s << false << false << 12;
        QTest::newRow("mid") << u"air.mid"_s << false << false << 1;
        QTest::newRow("WAV upper case") << u"SON.WAV"_s << false << false << 2;
        QTest::newRow("wav, trailing spaces") << u"son.wav   "_s << false << false << 2;
        QTest::newRow("Mp3") << u"chant.Mp3"_s << false << false << 3;
        // Only the last three characters count.
        QTest::newRow("midi: code kept") << u"air.midi"_s << false << false << 12;
        QTest::newRow("ogg: code kept") << u"chant.ogg"_s << false << false << 12;
        QTest::newRow("no extension 'xwav'") << u"xwav"_s << false << false << 2;
    }
    void nomNames_lengthPreviewAndSoundCode()
    {
        QFETCH(QString, nom);
        QFETCH(bool, tropLong);
        QFETCH(bool, apercu);
        QFETCH(int, code);
        QCOMPARE(media::nomTropLong(nom), tropLong);
        QCOMPARE(media::apercuPossible(nom), apercu);
        QCOMPARE(media::codeSon(nom, 12), code);
    }

    void genreSon_choosesThePlayer_data()
    {
        QTest::addColumn<QString>("chemin");
        QTest::addColumn<int>("genre");
        QTest::newRow("wav") << u"/a/son.wav"_s << int(media::GenreSon::Onde);
        QTest::newRow("WAV") << u"/a/SON.WAV"_s << int(media::GenreSon::Onde);
        QTest::newRow("mp3") << u"/a/chant.mp3"_s << int(media::GenreSon::Autre);
        QTest::newRow("mid") << u"/a/air.MID"_s << int(media::GenreSon::Autre);
        QTest::newRow("midi") << u"/a/air.midi"_s << int(media::GenreSon::Autre);
        QTest::newRow("picture") << u"/a/photo.jpg"_s << int(media::GenreSon::Inconnu);
        QTest::newRow("no extension") << u"/a/wav"_s << int(media::GenreSon::Inconnu);
    }
    void genreSon_choosesThePlayer()
    {
        QFETCH(QString, chemin);
        QFETCH(int, genre);
        QCOMPARE(int(media::genreSon(chemin)), genre);
    }

    void copierDansDossier_copiesOnceNeverReplaces_data()
    {
        QTest::addColumn<QByteArray>("present");  // what the media folder holds under that name; "-" none, "/" a folder
        QTest::addColumn<bool>("dossierExiste");
        QTest::addColumn<int>("etat");
        QTest::addColumn<QByteArray>("apres");  // the file in the media folder afterwards
        QTest::newRow("missing folder: made, copied") << "-"_ba << false << int(media::Copie::Etat::Copiee) << "image"_ba;
        QTest::newRow("folder, no such file: copied") << "-"_ba << true << int(media::Copie::Etat::Copiee) << "image"_ba;
        QTest::newRow("same bytes: already there") << "image"_ba << true << int(media::Copie::Etat::DejaLa) << "image"_ba;
        QTest::newRow("other bytes: kept") << "autre"_ba << true << int(media::Copie::Etat::AutreFichier) << "autre"_ba;
        QTest::newRow("same size, other bytes: kept") << "imagf"_ba << true << int(media::Copie::Etat::AutreFichier)
                                                       << "imagf"_ba;
        QTest::newRow("a folder of that name: kept") << "/"_ba << true << int(media::Copie::Etat::AutreFichier) << ""_ba;
    }
    void copierDansDossier_copiesOnceNeverReplaces()
    {
        QFETCH(QByteArray, present);
        QFETCH(bool, dossierExiste);
        QFETCH(int, etat);
        QFETCH(QByteArray, apres);
        QTemporaryDir tmp;
        const QString source = tmp.filePath(u"ailleurs/photo.jpg"_s), dossier = tmp.filePath(u"BASE"_s);
        const QString cible = dossier + u"/photo.jpg"_s;
        QVERIFY(QDir(tmp.path()).mkpath(u"ailleurs"_s) && banque::ecrire(source, "image"_ba));
        if (dossierExiste)
            QVERIFY(QDir(tmp.path()).mkpath(u"BASE"_s));
        if (present == "/")
            QVERIFY(QDir(dossier).mkpath(u"photo.jpg/dedans"_s));
        else if (present != "-")
            QVERIFY(banque::ecrire(cible, present));

        const media::Copie c = media::copierDansDossier(source, dossier);
        QCOMPARE(int(c.etat), etat);
        QCOMPARE(banque::lire(cible), apres);
        QCOMPARE(banque::lire(source), "image"_ba);
        QCOMPARE(c.erreur, etat == int(media::Copie::Etat::AutreFichier)
                               ? u"Le dossier %1 contient déjà un autre fichier nommé photo.jpg : il n'est pas "
                                 "remplacé. Renommez l'un des deux fichiers."_s.arg(dossier)
                               : QString());
    }

    void copierDansDossier_folderThatCannotBeMade_saysSo()
    {
        QTemporaryDir tmp;
        const QString source = tmp.filePath(u"photo.jpg"_s);
        // A file stands where the folder should be made.
        QVERIFY(banque::ecrire(source, "image"_ba) && banque::ecrire(tmp.filePath(u"BASE"_s), "x"_ba));
        const media::Copie c = media::copierDansDossier(source, tmp.filePath(u"BASE"_s));
        QCOMPARE(int(c.etat), int(media::Copie::Etat::Echec));
        QCOMPARE(c.erreur, u"Le dossier %1 ne peut pas être créé."_s.arg(tmp.filePath(u"BASE"_s)));
    }

    void memeDossier_followsLinksAndRefusesMissing()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkpath(u"BASE"_s));
        QVERIFY(QFile::link(tmp.filePath(u"BASE"_s), tmp.filePath(u"lien"_s)));
        QVERIFY(media::memeDossier(tmp.filePath(u"BASE/"_s), tmp.filePath(u"lien"_s)));
        QVERIFY(media::memeDossier(tmp.filePath(u"BASE/../BASE"_s), tmp.filePath(u"BASE"_s)));
        QVERIFY(!media::memeDossier(tmp.filePath(u"BASE"_s), tmp.path()));
        QVERIFY(!media::memeDossier(tmp.filePath(u"absent"_s), tmp.filePath(u"absent"_s)));
    }
};

QTEST_GUILESS_MAIN(TestReglesMedia)
#include "test_regles_media.moc"
