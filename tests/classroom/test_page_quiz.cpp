// The quiz page as bytes: what the browser gets (texts, media inside, nothing from outside),
// and qzf quiz's statuses and files.
#include "classroom/page_quiz.h"
#include "exchange/commun.h"
#include "store/json.h"
#include "support/lancer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using namespace classe;
using essai::Banque;

namespace {

const QByteArray kJpeg = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray("une image", 9);
const QByteArray kWav = QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16);
const QByteArray kMidi = QByteArray("MThd\x00\x00\x00\x06", 8);

// The data block the page's script reads.
QJsonObject donnees(const QByteArray &page)
{
    const QByteArray debut = "<script type=\"application/json\" id=\"donnees\">";
    const qsizetype i = page.indexOf(debut);
    const qsizetype fin = page.indexOf("</script>", i);
    if (i < 0 || fin < 0)
        return {};
    return QJsonDocument::fromJson(page.mid(i + debut.size(), fin - i - debut.size())).object();
}

QByteArray page(Banque &b, QStringList *remarques = nullptr)
{
    return pageQuiz(tirer(b.chemins(), {}).questions, b.chemins().medias, QStringLiteral("Titre"), false, 0, remarques);
}

} // namespace

class TestPageQuiz : public QObject {
    Q_OBJECT
private slots:
    void chaineJson_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::addColumn<QString>("seul");
        QTest::addColumn<QString>("script");
        QTest::newRow("plain") << "Un été" << "\"Un été\"" << "\"Un été\"";
        QTest::newRow("end of script") << "</script><!-- x -->" << "\"</script><!-- x -->\""
                                       << "\"\\u003c/script\\u003e\\u003c!-- x --\\u003e\"";
        QTest::newRow("quotes, backslash, line break") << "a\"b\\c\nd\r" << "\"a\\\"b\\\\c\\nd\\r\""
                                                       << "\"a\\\"b\\\\c\\nd\\r\"";
        QTest::newRow("ampersand and controls") << QString("R&D") + QChar(1) + QChar(0x7F) + QChar(0x85)
                                                << "\"R&D\\u0001\\u007f\\u0085\""
                                                << "\"R\\u0026D\\u0001\\u007f\\u0085\"";
        QTest::newRow("line separators") << QString(QChar(0x2028)) + QChar(0x2029) << QString("\"") + QChar(0x2028) + QChar(0x2029) + "\""
                                         << "\"\\u2028\\u2029\"";
    }
    void chaineJson()
    {
        QFETCH(QString, texte);
        QFETCH(QString, seul);
        QFETCH(QString, script);
        QCOMPARE(::chaineJson(texte), seul);
        QCOMPARE(::chaineJson(texte, LieuJson::Script), script);
        // And JSON reads back the very text.
        for (const QString &json : {seul, script})
            QCOMPARE(QJsonDocument::fromJson(("[" + json + "]").toUtf8()).array().at(0).toString(), texte);
    }

    void echapperHtml() { QCOMPARE(classe::echapperHtml("<b>\"R&D\"</b> l'été"), "&lt;b&gt;&quot;R&amp;D&quot;&lt;/b&gt; l&#39;été"); }

    // Card texts and the title are data, never markup; nothing in the page loads from elsewhere.
    void page_textsAreDataAndNothingLoadsFromOutside()
    {
        Banque b;
        const QString piege = "</script><script>window.pirate=1</script><img src=x onerror=\"window.pirate=2\">";
        b.poser({{piege, 0, 2, 0, {"<b>gras</b>", "R&D", "a\r\nb"}, "<!-- commentaire -->"},
                 {"Image", 0, 1, 0, {"a", "b"}, "", "", "photo.jpg", 10}, {"Son", 0, 1, 0, {"a", "b"}, "", "", "la.wav", 2}},
                {"Thème <i>"});
        b.media("photo.jpg", kJpeg);
        b.media("la.wav", kWav);
        const QByteArray p = pageQuiz(tirer(b.chemins(), {}).questions, b.chemins().medias, "Révisions <CM2> & \"bis\"", false, 1);
        QVERIFY(p.startsWith("<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">"));
        for (const char *t : {"<title>Révisions &lt;CM2&gt; &amp; &quot;bis&quot;</title>",
                              "<h1 id=\"titre\">Révisions &lt;CM2&gt; &amp; &quot;bis&quot;</h1>",
                              "Content-Security-Policy\" content=\"default-src 'none'; img-src data:; media-src data:;"})
            QVERIFY2(p.contains(t), t);
        // Only the page's own two scripts; the texts hold none of the signs that end them.
        QCOMPARE(p.count("<script"), 2);
        QCOMPARE(p.count("</script>"), 2);
        for (const char *t : {"<img", "<b>", "http:", "https:", "@import", "url("})
            QVERIFY2(!p.contains(t), t);
        // No attribute in the page's markup (the data block aside) names a place to load from.
        const QString balisage = QString::fromUtf8(p).remove(
            QRegularExpression("<script type=\"application/json\".*</script>", QRegularExpression::DotMatchesEverythingOption |
                                                                                   QRegularExpression::InvertedGreedinessOption));
        QVERIFY(!balisage.contains("window.pirate") && !QRegularExpression("\\s(src|href)\\s*=").match(balisage).hasMatch());
        const QJsonObject q = donnees(p)["questions"].toArray().at(0).toObject();
        QCOMPARE(q["q"].toString(), piege);
        QCOMPARE(q["r"].toArray().toVariantList(), (QVariantList{"<b>gras</b>", "R&D", "a\nb"}));
        QCOMPARE(q["b"].toInt(), 1);
        QCOMPARE(q["c"].toString(), "<!-- commentaire -->");
        QCOMPARE(q["t"].toString(), "Thème <i>");
        QCOMPARE(q["f"].toInt(), 1);
    }

    void page_mediaInsideThePage_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("octets");  // empty: no such file
        QTest::addColumn<QString>("media");      // the card's "m" as JSON
        QTest::addColumn<QString>("uri");        // the one entry of "medias", or ""
        QTest::addColumn<QString>("remarque");
        const QString jpeg = "data:image/jpeg;base64," + QString::fromLatin1(kJpeg.toBase64());
        QTest::newRow("picture at its own size") << "photo.jpg" << 10 << kJpeg << "{\"i\":0,\"k\":\"image\",\"x\":1}" << jpeg << "";
        QTest::newRow("picture x1.5") << "photo.jpg" << 11 << kJpeg << "{\"i\":0,\"k\":\"image\",\"x\":1.5}" << jpeg << "";
        QTest::newRow("picture code beyond the sizes") << "photo.jpg" << 17 << kJpeg << "{\"i\":0,\"k\":\"image\",\"x\":1}"
                                                       << jpeg << "";
        QTest::newRow("BMP known by its bytes, not its name") << "IMAGE.BIN" << 10 << QByteArray("BM\x10\x00", 4)
            << "{\"i\":0,\"k\":\"image\",\"x\":1}" << "data:image/bmp;base64,Qk0QAA==" << "";
        QTest::newRow("wave sound") << "la.wav" << 2 << kWav << "{\"i\":0,\"k\":\"son\"}"
                                    << "data:audio/wav;base64," + QString::fromLatin1(kWav.toBase64()) << "";
        QTest::newRow("mp3 sound") << "la.mp3" << 3 << QByteArray("ID3\x03\x00", 5) << "{\"i\":0,\"k\":\"son\"}"
                                   << "data:audio/mpeg;base64,SUQzAwA=" << "";
        QTest::newRow("missing picture") << "absente.jpg" << 12 << QByteArray()
            << "{\"k\":\"note\",\"texte\":\"Image introuvable : absente.jpg\"}" << ""
            << "fiche 1 : Image introuvable : absente.jpg";
        QTest::newRow("MIDI") << "air.mid" << 1 << kMidi
            << "{\"k\":\"note\",\"texte\":\"Le son « air.mid » est un fichier MIDI, que les navigateurs ne lisent pas.\"}"
            << "" << "fiche 1 : Le son « air.mid » est un fichier MIDI, que les navigateurs ne lisent pas.";
        QTest::newRow("picture code on a sound file") << "la.wav" << 10 << kWav
            << "{\"k\":\"note\",\"texte\":\"Le fichier « la.wav » n'est pas une image lisible.\"}" << ""
            << "fiche 1 : Le fichier « la.wav » n'est pas une image lisible.";
        QTest::newRow("video") << "film.avi" << 4 << QByteArray("RIFF\x00\x00\x00\x00""AVI ", 12)
            << "{\"k\":\"note\",\"texte\":\"La vidéo « film.avi » n'est pas incluse dans la page.\"}" << ""
            << "fiche 1 : La vidéo « film.avi » n'est pas incluse dans la page.";
        QTest::newRow("name without code") << "photo.jpg" << 0 << kJpeg << "null" << "" << "";
    }
    void page_mediaInsideThePage()
    {
        QFETCH(QString, nom);
        QFETCH(int, code);
        QFETCH(QByteArray, octets);
        QFETCH(QString, remarque);
        Banque b;
        b.poser({{"Q", 0, 1, 0, {"a", "b"}, "", "", nom, code}});
        if (!octets.isEmpty())
            b.media(nom, octets);
        QStringList remarques;
        const QJsonObject d = donnees(page(b, &remarques));
        const QJsonValue m = d["questions"].toArray().at(0).toObject()["m"];
        QTEST(m.isNull() ? QString("null") : QString::fromUtf8(QJsonDocument(m.toObject()).toJson(QJsonDocument::Compact)),
              "media");
        QTEST(d["medias"].toArray().at(0).toString(), "uri");
        QCOMPARE(remarques, remarque.isEmpty() ? QStringList() : QStringList{remarque});
    }

    void page_oneFileOnceForAllItsCards()
    {
        Banque b;
        b.poser({{"Q1", 0, 1, 0, {"a"}, "", "", "photo.jpg", 10},
                 {"Q2", 0, 1, 0, {"a"}, "", "", "photo.jpg", 12},
                 {"Q3", 0, 1, 0, {"a"}, "", "", "la.wav", 2}});
        b.media("photo.jpg", kJpeg);
        b.media("la.wav", kWav);
        const QByteArray p = page(b);
        QCOMPARE(p.count(kJpeg.toBase64()), 1);
        const QJsonArray qs = donnees(p)["questions"].toArray();
        QCOMPARE(qs.at(1).toObject()["m"].toObject()["i"].toInt(), 0);
        QCOMPARE(qs.at(2).toObject()["m"].toObject()["i"].toInt(), 1);
    }

    void qzfQuiz_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("sortie");
        QTest::addColumn<QString>("erreurs");
        QTest::addColumn<QStringList>("questions");  // in the page written, none: no page
        QTest::addColumn<bool>("ancienne");           // an older page stands at the file's name
        // An older page is replaced whole, or left as it was when nothing is written.
        QTest::newRow("all, default file beside the bank, over an older page")
            << "quiz BASE.QZF --seed 3" << 0 << "{\"questions\":3,\"seed\":3}\n"
            << "qzf quiz: fiche 4 : aucune bonne réponse n'est cochée, fiche laissée de côté\n"
            << QStringList{"Q1", "Q2", "Q3"} << true;
        QTest::newRow("marked, into a named file") << "quiz BASE.QZF --marked -o sortie.html --seed 3" << 0
                                                   << "{\"questions\":1,\"seed\":3}\n" << "" << QStringList{"Q2"} << false;
        QTest::newRow("a theme by name, another by index") << "quiz BASE.QZF --theme géographie --theme 2 --seed 3" << 0
            << "{\"questions\":2,\"seed\":3}\n" << "" << QStringList{"Q1", "Q3"} << false;
        // The seed alone makes the order of a shuffled page.
        QTest::newRow("shuffled") << "quiz BASE.QZF --shuffle --seed 3" << 0 << "{\"questions\":3,\"seed\":3}\n"
            << "qzf quiz: fiche 4 : aucune bonne réponse n'est cochée, fiche laissée de côté\n" << QStringList{"Q2", "Q3", "Q1"} << false;
        QTest::newRow("no card, an older page") << "quiz BASE.QZF --theme 5" << 1 << ""
            << "qzf quiz: Aucune fiche ne correspond à la sélection : aucun fichier n'a été écrit.\n" << QStringList{} << true;
        QTest::newRow("into a missing folder") << "quiz BASE.QZF -o NUL/q.html" << 1 << ""
            << "qzf quiz: fiche 4 : aucune bonne réponse n'est cochée, fiche laissée de côté\n"
               "qzf quiz: Impossible d'écrire le fichier NUL/q.html : le dossier n'existe pas.\n" << QStringList{} << false;
        QTest::newRow("unknown theme") << "quiz BASE.QZF --theme Musique" << 1 << ""
                                       << "qzf quiz: BASE.QZF: no theme Musique\n" << QStringList{} << false;
        QTest::newRow("two selections") << "quiz BASE.QZF --all --marked" << 2 << ""
            << "qzf quiz: choose one of --all, --marked, --between-marks (see qzf quiz --help)\n" << QStringList{} << false;
        QTest::newRow("count zero") << "quiz BASE.QZF --count 0" << 2 << ""
            << "qzf quiz: --count takes a whole number from 1 (not 0) (see qzf quiz --help)\n" << QStringList{} << false;
        QTest::newRow("seed not a number") << "quiz BASE.QZF --seed -4" << 2 << ""
            << "qzf quiz: --seed takes a whole number from 0 (not -4) (see qzf quiz --help)\n" << QStringList{} << false;
        QTest::newRow("missing bank") << "quiz ABSENT.QZF" << 1 << "" << "qzf: ABSENT.QZF: no such file\n" << QStringList{} << false;
    }
    void qzfQuiz()
    {
        QFETCH(QString, arguments);
        QFETCH(int, statut);
        QFETCH(QStringList, questions);
        QFETCH(bool, ancienne);
        const QStringList a = arguments.split(u' ');
        const QString fichier = a.contains("-o") ? a[a.indexOf("-o") + 1] : "BASE-quiz.html";
        Banque b;
        b.poser({{"Q1", 1, 1, 0, {"a", "b"}}, {"Q2", 0, 2, 1, {"a", "b"}}, {"Q3", 2, 3, 0, {"a", "b", "c"}},
                 {"Q4", 0, 0, 0, {"a", "b"}}},
                {"Histoire", "Géographie", "Sciences"});
        QVERIFY(QDir::setCurrent(b.dir.path()) && (!ancienne || banque::ecrire(fichier, QByteArray(200000, 'x'))));
        QString out, err;
        QCOMPARE(lancer(a, out, err), statut);
        QTEST(out, "sortie");
        QTEST(err, "erreurs");
        const QByteArray p = banque::lire(fichier);
        QCOMPARE(QFile::exists(fichier), !questions.isEmpty() || ancienne);
        if (questions.isEmpty() && ancienne)
            QCOMPARE(p, QByteArray(200000, 'x'));
        if (!questions.isEmpty()) {
            QVERIFY(p.startsWith("<!DOCTYPE html>") && p.endsWith("</html>\n") && !p.contains("xxx"));
            QVERIFY(p.contains("<title>BASE</title>"));  // no title given: the bank's name
        }
        QStringList ecrites;
        for (const QJsonValue &q : donnees(p)["questions"].toArray())
            ecrites << q.toObject()["q"].toString();
        QCOMPARE(ecrites, questions);
    }
};

QTEST_GUILESS_MAIN(TestPageQuiz)
#include "test_page_quiz.moc"
