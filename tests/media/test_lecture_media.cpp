// The card's play button on each kind of media, and the desktop's sound player on failures.
#include "banc_media.h"
#include "media/visionneuse.h"
#include "platform/qtplatform.h"

#include <QAudioDevice>
#include <QMediaDevices>

using namespace Qt::StringLiterals;
using media_test::Banc;

namespace {

struct Lecture {
    banque::Carte carte;
    QString sons = {}, ouverts = {}, vue = {}, message = {};  // paths with the program folder shown as "…"
    bool ouvertureReussie = true;
};

// The real desktop's player, with the message box recorded instead of shown and the audio
// output said present or absent as the test asks (or as the desktop says, when not asked).
class PlateformeEssai : public QtPlateforme {
public:
    std::optional<bool> sortie;
    QStringList messages;

    Reponse message(const QString &texte, Boutons, Icone icone, Reponse, const QString &titre) override
    {
        messages << u"%1 | %2 | %3"_s.arg(titre, texte).arg(int(icone));
        return Reponse::Ok;
    }

protected:
    bool sortieAudio() const override { return sortie ? *sortie : QtPlateforme::sortieAudio(); }
};

} // namespace

class TestLectureMedia : public QObject {
    Q_OBJECT

private slots:
    void command3_actsOnTheCardsMedia_data()
    {
        QTest::addColumn<Lecture>("l");
        const QString introuvable = u" | Impossible de trouver le fichier : …/BASE/%1 Le fichier a été déplacé ou effacé | 0 | 0"_s;
        QTest::newRow("wav: played") << Lecture{{.question = "Q", .media = "son.wav", .code = 2}, "…/BASE/son.wav"};
        QTest::newRow("mp3: played") << Lecture{{.question = "Q", .media = "chant.mp3", .code = 3}, "…/BASE/chant.mp3"};
        QTest::newRow("missing sound: handed to the player") << Lecture{{.question = "Q", .media = "x.mid", .code = 1}, "…/BASE/x.mid"};
        QTest::newRow("picture: viewer at its own size")
            << Lecture{{.question = "Q", .media = "photo.jpg", .code = 12}, "", "", "photo.jpg 40x30"};
        QTest::newRow("picture that cannot be read")
            << Lecture{{.question = "Q", .media = "casse.jpg", .code = 10}, "", "", "",
                       u"Erreur | Le fichier …/BASE/casse.jpg n'est pas une image lisible (JPEG ou BMP). | 0 | 2"_s};
        QTest::newRow("video: the desktop's player") << Lecture{{.question = "Q", .media = "film.avi", .code = 4}, "", "…/BASE/film.avi"};
        QTest::newRow("video no application opens")
            << Lecture{{.question = "Q", .media = "film.avi", .code = 4}, "", "…/BASE/film.avi", "",
                       u"Erreur | Aucune application du bureau ne peut ouvrir le fichier : …/BASE/film.avi | 0 | 2"_s, false};
        QTest::newRow("video missing") << Lecture{{.question = "Q", .media = "absent.avi", .code = 4}, "", "", "",
                                                  introuvable.arg(u"absent.avi"_s)};
    }
    void command3_actsOnTheCardsMedia()
    {
        QFETCH(Lecture, l);
        Banc b;
        QVERIFY(b.poserMedias() && b.poser(u"BASE/film.avi"_s, "RIFF"_ba));
        b.ouvrir(banque::octets({l.carte}));
        b.pf.ouvertureReussie = l.ouvertureReussie;
        QVERIFY(!controle(&b.f, "Command3")->isHidden());
        b.clic(controle(&b.f, "Command3"));
        QCOMPARE(b.pf.sons.replaceInStrings(b.pf.programme, u"…"_s).join(u','), l.sons);
        QCOMPARE(b.pf.ouverts.replaceInStrings(b.pf.programme, u"…"_s).join(u','), l.ouverts);
        QCOMPARE(b.boites().join(u'\n'), l.message);
        auto *vue = qobject_cast<VisionneuseImage *>(dialogueCharge(b.f, u"VisionneuseImage"_s));
        const QString vu = vue ? u"%1 %2x%3"_s.arg(vue->windowTitle()).arg(vue->vue()->pixmap().width())
                                     .arg(vue->vue()->pixmap().height())
                               : QString();
        QCOMPARE(vu, l.vue);
        if (!vue)
            return;
        // One viewer: a second click brings the same one to the front.
        QVERIFY(vue->isVisible() && !vue->parentWidget());
        b.clic(controle(&b.f, "Command3"));
        int vues = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            vues += qobject_cast<VisionneuseImage *>(w) != nullptr;
        QCOMPARE(vues, 1);
        QCOMPARE(dialogueCharge(b.f, u"VisionneuseImage"_s), vue);
    }

    // No audio device under the test desktop: every call returns at once, each kind of failure told once.
    void jouerSon_failures_returnAtOnceToldOncePerKind_data()
    {
        QTest::addColumn<QStringList>("fichiers");  // played in this order
        QTest::addColumn<QStringList>("attendus");
        const QString sansSortie = u"Erreur | Aucune sortie audio n'est disponible : le son ne peut pas être joué. | 1"_s;
        QTest::newRow("no audio output, twice") << QStringList{"son.wav", "chant.mp3"} << QStringList{sansSortie};
        QTest::newRow("missing file, twice")
            << QStringList{"absent.wav", "absent.mp3"}
            << QStringList{u"Erreur | Le fichier son est introuvable : …/absent.wav | 2"_s};
        QTest::newRow("unknown format, twice")
            << QStringList{"photo.jpg", "chant.ogg"}
            << QStringList{u"Erreur | Ce format de son ne peut pas être joué : …/photo.jpg | 2"_s};
        QTest::newRow("each kind once")
            << QStringList{"absent.wav", "son.wav", "photo.jpg", "absent.mid", "son.wav", "chant.ogg"}
            << QStringList{u"Erreur | Le fichier son est introuvable : …/absent.wav | 2"_s, sansSortie,
                           u"Erreur | Ce format de son ne peut pas être joué : …/photo.jpg | 2"_s};
    }
    void jouerSon_failures_returnAtOnceToldOncePerKind()
    {
        QFETCH(QStringList, fichiers);
        QFETCH(QStringList, attendus);
        Banc b;
        QVERIFY(b.poserMedias(u"."_s));
        PlateformeEssai pf;
        pf.sortie = false;
        for (const QString &f : fichiers) {
            pf.jouerSon(b.chemin(f));
            QCOMPARE(pf.sonEnCours(), QString());
        }
        QCOMPARE(pf.messages.replaceInStrings(b.dir.path(), u"…"_s), attendus);
    }

    // The desktop's own answer, as the tests run it: without an audio device nothing is created
    // that could crash, and the call returns.
    void jouerSon_onThisDesktop_withoutAudioDevice_returns()
    {
        if (!QMediaDevices::audioOutputs().isEmpty())
            QSKIP("this desktop has an audio output");
        Banc b;
        QVERIFY(b.poserMedias(u"."_s));
        PlateformeEssai pf;
        pf.jouerSon(b.chemin(u"chant.mp3"_s));
        pf.jouerSon(b.chemin(u"son.wav"_s));
        QCOMPARE(pf.messages, QStringList{u"Erreur | Aucune sortie audio n'est disponible : le son ne peut pas être joué. | 1"_s});
        QCOMPARE(pf.sonEnCours(), QString());
    }
};

QTEST_MAIN(TestLectureMedia)
#include "test_lecture_media.moc"
