// What other tools make of our exports: an independent GIFT parser reads the GIFT back, and
// xmllint checks QTI manifests against the IMS Content Packaging 1.1 schema and every QTI item
// against the IMS QTI 2.1 schema. tools/test.sh fetches the parser and the packaging schema into
// the build tree; the QTI schema lies in the shared folder beside the project. Without one of
// them the check is skipped and says so.
#include "commun.h"
#include "exchange/zip.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

using namespace echanges;

class TestEchangesExternes : public QObject {
    Q_OBJECT

private slots:
    void qti_manifestValidAgainstTheContentPackagingSchema()
    {
        const QString schema = QStringLiteral(ORBELIN_NPM "/imscp/imscp_v1p1.xsd");
        const QString xmllint = QStandardPaths::findExecutable("xmllint");
        if (xmllint.isEmpty() || !QFile::exists(schema))
            QSKIP("xmllint or the IMS CP 1.1 schema missing: tools/test.sh fetches the schema into the build tree");
        essai::Banque b;
        b.poser({{"Avec image", 0, 1, 0, {"a", "b", "c"}, "Commentaire", {}, "carte.bmp", 10},
                 {"Avec son", 0, 2, 0, {"a", "b", "c"}, {}, {}, "cri été.wav", 2},
                 {"Sans bonne & <rien>", 0, 0, 0, {"a", "b", "c"}}},
                {"Histoire"});
        b.media("carte.bmp", "BM");
        b.media("cri été.wav", "RIFF");
        ArchiveLue zip;
        Resultat r;
        QByteArray octets;
        QVERIFY(zip.ouvrir(essai::exporter(b, {Format::Qti}), "p.zip", r) && zip.lire("imsmanifest.xml", octets, r));
        const QString qti = QStringLiteral(ORBELIN_XSD "/qtiv2p1/imsqti_v2p1.xsd");
        for (const QString &nom : zip.noms()) {
            if (!nom.endsWith(".xml") || (nom != "imsmanifest.xml" && !QFile::exists(qti)))
                continue;
            QByteArray x;
            QVERIFY(zip.lire(nom, x, r));
            QProcess p;
            p.start(xmllint, {"--noout", "--nonet", "--schema", nom == "imsmanifest.xml" ? schema : qti,
                              b.fichier(QString(nom).replace('/', '_'), x)});
            QVERIFY(p.waitForFinished(60000));
            QVERIFY2(p.exitCode() == 0, qPrintable(nom + ": " + p.readAllStandardError()));
        }
        QVERIFY(zip.lire("imsmanifest.xml", octets, r));
        // Every file the manifest lists is in the package, under the name the item uses.
        QStringList fichiers;
        for (QXmlStreamReader x(octets); !x.atEnd();)
            if (x.readNext() == QXmlStreamReader::StartElement && x.name() == u"file")
                fichiers << QUrl::fromPercentEncoding(x.attributes().value("href").toUtf8());
        QCOMPARE(fichiers.size(), 5);
        for (const QString &f : fichiers)
            QVERIFY2(zip.noms().contains(f), qPrintable(f));
        QVERIFY(zip.lire("media/cri été.wav", octets, r) && octets == "RIFF");
    }

    // The GIFT export as another reader sees it: each card's question, answers and good answer.
    void gift_exportReadBackByAnIndependentParser()
    {
        const QString node = QStandardPaths::findExecutable("node");
        if (node.isEmpty() || !QFile::exists(ORBELIN_NPM "/node_modules/gift-pegjs/package.json"))
            QSKIP("node or gift-pegjs missing: tools/test.sh installs the parser into the build tree");
        essai::Banque b;
        b.poser({{"Combien font 2 + 2 = ? {tout}", 0, 2, 0, {"3 ~ moins", "4 # juste", "5 -> plus"}, "a: b \\ c"},
                 {"[html] <b>pas</b> du HTML", 1, 3, 0, {"[plain]x", "y\nz", "é € ’"}}},
                {"Maths", "Texte: brut"});
        QProcess p;
        p.setProcessEnvironment([] {
            QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
            e.insert("NODE_PATH", ORBELIN_NPM "/node_modules");
            return e;
        }());
        p.start(node, {GIFT_SCRIPT, b.fichier("export.gift", essai::exporter(b, {Format::Gift}))});
        QVERIFY(p.waitForFinished(60000));
        const QByteArray sortie = p.readAllStandardOutput();
        QVERIFY2(p.exitCode() == 0, sortie.constData());
        QStringList lu;
        for (const QJsonValue q : QJsonDocument::fromJson(sortie).array()) {
            const QJsonObject o = q.toObject();
            if (o.contains("categorie"))
                continue;
            QStringList reponses;
            for (int k = 0; k < 3; ++k)
                reponses << (o["justes"][k].toBool() ? "=" : "~") + o["reponses"][k].toString();
            lu << o["question"].toString() + " | " + reponses.join(' ');
        }
        QCOMPARE(lu, QStringList({"Combien font 2 + 2 = ? {tout} | ~3 ~ moins =4 # juste ~5 -> plus",
                                  "[html] <b>pas</b> du HTML | ~[plain]x ~y\nz =é € ’"}));
    }
};

QTEST_GUILESS_MAIN(TestEchangesExternes)
#include "test_echanges_externes.moc"
