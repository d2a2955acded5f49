// The pictures and sounds named by the cards a transfer copies follow them into the
// destination's media folder, through qzf transfer run in process.
#include "support/banque.h"
#include "support/lancer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using L = QStringList;

namespace {

banque::Carte avec(const char *question, const char *media, int marque = 0)
{
    banque::Carte c{QString::fromUtf8(question)};
    c.media = QString::fromUtf8(media);
    c.code = *media ? 10 : 0;
    c.marque = marque;
    return c;
}

// Marked: the picture, the folder and the refused name.
QByteArray source()
{
    return banque::octets({avec("Q1", "photo.jpg", 1), avec("Q2", "son.wav"), avec("Q3", "absent.bmp"),
                           avec("Q4", "lien.jpg"), avec("Q5", "../x.jpg", 1), avec("Q6", "photo.jpg"),
                           avec("Q7", "sous", 1), avec("Q8", "pareil.mid"), avec("Q9", "")});
}

} // namespace

class TestTransfertMedias : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;

private slots:
    void init() { QVERIFY(QDir::setCurrent(m_dir.emplace().path())); }

    void transfer_copiesTheCardsMedia_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<bool>("dossierDest");  // DEST/ exists before, holding son.wav and pareil.mid
        QTest::addColumn<L>("copies");          // DEST/ afterwards
        QTest::addColumn<L>("erreurs");
        const QString refuse = "qzf: Le fichier ../x.jpg n'a pas été copié : son nom ne désigne pas un fichier du "
                               "dossier des images et des sons.";
        const QString sous = "qzf: Le fichier sous n'a pas été copié : ce n'est pas un fichier ordinaire.";
        QTest::newRow("all") << "--all" << true << L{"pareil.mid", "photo.jpg", "son.wav"}
                             << L{"qzf: Le fichier son.wav n'a pas été copié : le dossier ./DEST contient déjà un "
                                  "autre fichier de ce nom, qui n'a pas été remplacé.",
                                  "qzf: Le fichier absent.bmp n'a pas été copié : il est introuvable dans le dossier ./SRC.",
                                  "qzf: Le fichier lien.jpg n'a pas été copié : ce n'est pas un fichier ordinaire.",
                                  refuse, sous};
        QTest::newRow("marked, folder created") << "--marked" << false << L{"photo.jpg"} << L{refuse, sous};
    }
    void transfer_copiesTheCardsMedia()
    {
        QFETCH(QString, selection);
        QFETCH(bool, dossierDest);
        QVERIFY(banque::ecrire("SRC.QZF", source()));
        const QByteArray dejaLa = banque::octets({{"Déjà là"}});
        QVERIFY(banque::ecrire("DEST.QZF", dejaLa));
        QVERIFY(QDir().mkpath("SRC/sous") && QFile::link("photo.jpg", "SRC/lien.jpg"));
        for (const char *f : {"photo.jpg", "son.wav", "pareil.mid"})
            QVERIFY(banque::ecrire(QStringLiteral("SRC/") + f, QByteArray("octets de ") + f));
        if (dossierDest) {
            QVERIFY(QDir().mkpath("DEST"));
            QVERIFY(banque::ecrire("DEST/son.wav", "un autre son"));
            QVERIFY(banque::ecrire("DEST/pareil.mid", "octets de pareil.mid"));
        }

        QString out, err;
        QCOMPARE(lancer({"transfer", "SRC.QZF", "DEST.QZF", selection}, out, err), 0);
        QTEST(err.split(u'\n', Qt::SkipEmptyParts), "erreurs");
        QFETCH(L, copies);
        QCOMPARE(QDir("DEST").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), copies);
        for (const QString &f : copies)
            QCOMPARE(banque::lire("DEST/" + f), f == "son.wav" ? QByteArray("un autre son") : "octets de " + f.toUtf8());
        QVERIFY(!QFileInfo("DEST/photo.jpg").isSymLink());

        // The cards go exactly as they did without their media: appended, marks cleared.
        QByteArray attendu = dejaLa;
        const QByteArray s = source();
        for (int k = 1; k <= 9; ++k)
            if (selection == "--all" || k == 1 || k == 5 || k == 7)
                attendu += banque::enregistrement(s, k).replace(782, 2, QByteArray(2, '\0'));
        QCOMPARE(out, QString::number((attendu.size() - dejaLa.size()) / 803) + '\n');
        QCOMPARE(banque::lire("DEST.QZF"), attendu);
        QCOMPARE(banque::lire("SRC.QZF"), s);
    }
};

QTEST_GUILESS_MAIN(TestTransfertMedias)
#include "test_transfert_medias.moc"
