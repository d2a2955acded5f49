// What other tools make of our exports: an independent GIFT parser (the npm package
// gift-pegjs, run by gift_lire.js), xmllint on every XML file, and the IMS Content
// Packaging 1.1 schema on QTI manifests. The tools are installed by tools/test.sh into
// the build tree; without them these tests are skipped and say so.
#include "commun.h"
#include "exchange/xml.h"
#include "exchange/zip.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace echanges;
using essai::Banque;

namespace {

const QString kNpm = QStringLiteral(ORBELIN_NPM);

struct Lance {
    int code = -1;
    QByteArray sortie, erreurs;
};

Lance lancer(const QString &programme, const QStringList &arguments, const QString &nodePath = {})
{
    QProcess p;
    if (!nodePath.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NODE_PATH", nodePath);
        p.setProcessEnvironment(env);
    }
    p.start(programme, arguments);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

QString exporterVers(const Banque &b, Format f, const QString &nom)
{
    OptionsExport o;
    o.format = f;
    Rapport r;
    const QString fichier = b.chemin(nom);
    return echanges::exporter(b.chemins(), fichier, o, r) ? fichier : QString();
}

QString crlf(QString t) { return t.replace(QLatin1String("\r\n"), QLatin1String("\n")); }

} // namespace

class TestEchangesExternes : public QObject {
    Q_OBJECT
    QString m_node, m_xmllint;

private slots:
    void initTestCase()
    {
        m_node = QStandardPaths::findExecutable("node");
        m_xmllint = QStandardPaths::findExecutable("xmllint");
    }

    void gift_independentParserFindsWhatTheBankHolds_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<QStringList>("reponses");
        QTest::addColumn<int>("bonne");
        QTest::addColumn<QString>("commentaire");
        QTest::addColumn<QString>("theme");
        QTest::newRow("every escaped character and a line break")
            << "Combien font {2}=~#:\\ ?\r\nDeux lignes" << QStringList{"= au début", "~ tilde", "# dièse : deux-points"} << 3
            << "\\ antislash {fin} #### non" << "Sciences/Techniques";
        QTest::newRow("accents and typographic signs")
            << "Où est l'Élysée ? « guillemets » — tiret… 5 €" << QStringList{"À Paris", "Œuvre", "Ça"} << 1
            << "Évident" << "Géographie";
        QTest::newRow("text that looks like markup or an answer")
            << "<b>gras</b> & &amp; {=faux ~piège}" << QStringList{"1 < 2", "a -> b", "%50%moitié"} << 2 << QString()
            << "Divers : mots";
        QTest::newRow("texts that start like a format marker")
            << "[html]<b>x</b>" << QStringList{"[plain]a", "[b]", "c"} << 1 << "[moodle] vu" << "Marqueurs";
        QTest::newRow("line breaks in answers and comment, a backslash before n")
            << "Ligne \\n littérale" << QStringList{"a\r\nb", "c", "d\r\n\r\ne"} << 1 << "un\r\ndeux" << "$top";
    }
    void gift_independentParserFindsWhatTheBankHolds()
    {
        if (m_node.isEmpty() || !QFile::exists(kNpm + "/node_modules/gift-pegjs/package.json"))
            QSKIP("node or gift-pegjs missing: tools/test.sh installs gift-pegjs into the build tree");
        QFETCH(QString, question);
        QFETCH(QStringList, reponses);
        QFETCH(int, bonne);
        QFETCH(QString, commentaire);
        QFETCH(QString, theme);
        Banque b;
        b.poser({{question, 1, bonne, 0, reponses, commentaire}, {"Deuxième ?", 0, 1, 0, {"x", "y", "z"}}},
                {"Premier", theme});
        const QString fichier = exporterVers(b, Format::Gift, "e.gift");
        QVERIFY(!fichier.isEmpty());
        const Lance l = lancer(m_node, {QStringLiteral(GIFT_SCRIPT), fichier}, kNpm + "/node_modules");
        QVERIFY2(l.code == 0, l.sortie + l.erreurs);

        QJsonArray attendu;
        auto carte = [](const QString &titre, const QString &q, const QStringList &r, int juste, const QString &c) {
            QJsonArray textes, justes;
            for (int k = 0; k < 3; ++k) {
                textes << crlf(r[k]);
                justes << (k + 1 == juste);
            }
            return QJsonObject{{"type", "MC"}, {"titre", titre}, {"question", crlf(q)}, {"reponses", textes},
                               {"justes", justes}, {"commentaire", c.isEmpty() ? QJsonValue() : QJsonValue(crlf(c))}};
        };
        attendu << QJsonObject{{"categorie", "Premier"}} << carte("Q0002", "Deuxième ?", {"x", "y", "z"}, 1, {})
                << QJsonObject{{"categorie", categorieDeTheme(theme)}} << carte("Q0001", question, reponses, bonne, commentaire);
        QCOMPARE(QJsonDocument::fromJson(l.sortie).array(), attendu);
    }

    // The rest of each question is pinned byte for byte in test_echanges.
    void moodle_wellFormedAndMeetsTheImporterRules()
    {
        if (m_xmllint.isEmpty())
            QSKIP("xmllint missing (Debian package libxml2-utils)");
        Banque b;
        b.poser({{"Image & <son> ?", 0, 2, 1, {"a", "b", "c"}, "Vu", "AB", "vue été.jpg", 12},
                 {"Son ?", 1, 1, 0, {"a", "b", "c"}, {}, {}, "chant.mp3", 3},
                 {"Perdu ?", 1, 3, 0, {"a", "b", "c"}, {}, {}, "absent.wav", 2},
                 {"Sans bonne", 1, 0, 0, {"a", "b", "c"}}},
                {"Art & <Histoire>", "Sons/Bruits"});
        b.media("vue été.jpg", "\xFF\xD8\xFF");
        b.media("chant.mp3", "ID3");
        const QString fichier = exporterVers(b, Format::MoodleXml, "m.xml");
        const Lance l = lancer(m_xmllint, {"--noout", fichier});
        QVERIFY2(l.code == 0, l.erreurs);

        NoeudXml quiz;
        Resultat r;
        QVERIFY(LecteurXml::arbre(banque::lire(fichier), "m.xml", quiz, r));
        QStringList categories, fichiers;
        int questions = 0;
        for (const NoeudXml *q : quiz.enfants("question")) {
            if (q->attribut("type") == "category") {
                categories << q->texteDe("category/text");
                continue;
            }
            ++questions;
            QCOMPARE(q->texteDe("shuffleanswers"), "false");  // unless asked
            // Every file the text shows travels inside the question, and every file is shown.
            const NoeudXml *texte = q->enfant("questiontext");
            QStringList cites, presents;
            static const QRegularExpression lien("@@PLUGINFILE@@/([^\"]+)\"");
            for (auto it = lien.globalMatch(texte->texteDe("text")); it.hasNext();)
                cites << QUrl::fromPercentEncoding(it.next().captured(1).toUtf8());
            for (const NoeudXml *f : texte->enfants("file")) {
                presents << f->attribut("name");
                QCOMPARE(f->attribut("path"), "/");
                QCOMPARE(f->attribut("encoding"), "base64");
                fichiers << f->attribut("name") + '=' + QByteArray::fromBase64(f->texte.toLatin1()).toHex();
            }
            QCOMPARE(cites, presents);
        }
        QCOMPARE(questions, 4);
        QCOMPARE(categories, QStringList({"$course$/top/Art & <Histoire>", "$course$/top/Sons//Bruits"}));
        QCOMPARE(fichiers, QStringList({"vue été.jpg=ffd8ff", "chant.mp3=494433"}));
    }

    void qti_manifestValidAgainstTheContentPackagingSchema()
    {
        const QString schema = kNpm + "/imscp/imscp_v1p1.xsd";
        if (m_xmllint.isEmpty() || !QFile::exists(schema))
            QSKIP("xmllint or the IMS CP 1.1 schema missing: tools/test.sh fetches the schema into the build tree");
        Banque b;
        b.poser({{"Avec image", 0, 1, 0, {"a", "b", "c"}, "Commentaire", {}, "carte.bmp", 10},
                 {"Avec son", 0, 2, 0, {"a", "b", "c"}, {}, {}, "cri été.wav", 2},
                 {"Sans bonne & <rien>", 0, 0, 0, {"a", "b", "c"}}},
                {"Histoire"});
        b.media("carte.bmp", "BM");
        b.media("cri été.wav", "RIFF");
        const QString paquet = exporterVers(b, Format::Qti, "p.zip");
        ArchiveLue zip;
        Resultat r;
        QVERIFY(zip.ouvrir(banque::lire(paquet), "p.zip", r));
        QTemporaryDir sortie;
        for (const QString &nom : zip.noms()) {
            QByteArray octets;
            QVERIFY(zip.lire(nom, octets, r));
            QDir().mkpath(QFileInfo(sortie.filePath(nom)).path());
            banque::ecrire(sortie.filePath(nom), octets);
            if (!nom.endsWith(".xml"))
                continue;
            const Lance l = nom == "imsmanifest.xml"
                                ? lancer(m_xmllint, {"--noout", "--nonet", "--schema", schema, sortie.filePath(nom)})
                                : lancer(m_xmllint, {"--noout", "--nonet", sortie.filePath(nom)});
            QVERIFY2(l.code == 0, qPrintable(nom + ": " + l.erreurs));
        }
        // Every file the manifest lists is in the package, under the name the item uses.
        NoeudXml manifeste;
        QVERIFY(LecteurXml::arbre(banque::lire(sortie.filePath("imsmanifest.xml")), "m", manifeste, r));
        for (const NoeudXml *res : manifeste.enfants("resources/resource"))
            for (const NoeudXml *f : res->enfants("file"))
                QVERIFY2(QFile::exists(sortie.filePath(QUrl::fromPercentEncoding(f->attribut("href").toUtf8()))),
                         qPrintable(f->attribut("href")));
        QCOMPARE(banque::lire(sortie.filePath("media/cri été.wav")), "RIFF");
    }
};

QTEST_GUILESS_MAIN(TestEchangesExternes)
#include "test_echanges_externes.moc"
