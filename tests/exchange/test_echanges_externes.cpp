// What another tool makes of our exports: the IMS Content Packaging 1.1 schema, checked by
// xmllint, on QTI manifests. tools/test.sh fetches the schema into the build tree; without it
// or xmllint the test is skipped and says so. Every export is also read back, by our own
// strict reader, in the round trips of test_echanges.
#include "commun.h"
#include "exchange/xml.h"
#include "exchange/zip.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

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
        QProcess p;
        p.start(xmllint, {"--noout", "--nonet", "--schema", schema, b.fichier("imsmanifest.xml", octets)});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        // Every file the manifest lists is in the package, under the name the item uses.
        NoeudXml manifeste;
        QVERIFY(LecteurXml::arbre(octets, "m", manifeste, r));
        for (const NoeudXml *res : manifeste.enfants("resources/resource"))
            for (const NoeudXml *f : res->enfants("file"))
                QVERIFY2(zip.noms().contains(QUrl::fromPercentEncoding(f->attribut("href").toUtf8())), qPrintable(f->attribut("href")));
        QVERIFY(zip.lire("media/cri été.wav", octets, r) && octets == "RIFF");
    }
};

QTEST_GUILESS_MAIN(TestEchangesExternes)
#include "test_echanges_externes.moc"
