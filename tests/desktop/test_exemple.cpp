// The sample bank: what its source may hold, the exact bytes built from it, the sound and the
// pictures made for it, and the built bank read back through qzf.
#include "exemple.h"
#include "medias.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QtEndian>
#include <functional>

using namespace Qt::StringLiterals;
using Changement = std::function<void(QJsonObject &racine, QJsonObject &carte)>;
Q_DECLARE_METATYPE(Changement)

namespace {

const QStringList kConnus{u"saturne.jpg"_s, u"diapason.wav"_s, u"SATURNE.JPG"_s, u"son.wave"_s};

// A valid source of one card, changed by the row, then read.
Resultat lireAvec(const Changement &changer, exemple::Banque &b)
{
    QJsonObject racine{{u"banque"_s, u"DEMO"_s}, {u"auteur"_s, u"DEMO"_s}, {u"themes"_s, QJsonArray{u"Géo"_s, u"Art"_s}}};
    QJsonObject carte{{u"theme"_s, 0}, {u"question"_s, u"Où ?"_s}, {u"reponses"_s, QJsonArray{u"Ici"_s, u"Là"_s, u"Ailleurs"_s}},
                      {u"bonne"_s, 2}, {u"commentaire"_s, u"Là."_s}};
    changer(racine, carte);
    QJsonArray fiches = racine.value(u"fiches"_s).toArray();
    if (!racine.contains(u"fiches"_s))
        fiches.append(carte);
    racine[u"fiches"_s] = fiches;
    return exemple::lire(QJsonDocument(racine).toJson(), kConnus, b);
}

Changement champ(const QString &nom, const QJsonValue &v)
{
    return [=](QJsonObject &, QJsonObject &c) { c[nom] = v; };
}
Changement media(const QString &nom, int code)
{
    return [=](QJsonObject &, QJsonObject &c) { c[u"media"_s] = nom, c[u"code"_s] = code; };
}
Changement racine(const QString &nom, const QJsonValue &v)
{
    return [=](QJsonObject &r, QJsonObject &) { r[nom] = v; };
}
Changement reponse(int k, const QString &texte)
{
    return [=](QJsonObject &, QJsonObject &c) {
        QJsonArray r = c.value(u"reponses"_s).toArray();
        r[k] = texte;
        c[u"reponses"_s] = r;
    };
}

QByteArray le16(quint16 v) { QByteArray b(2, 0); qToLittleEndian(v, b.data()); return b; }
QByteArray le32(quint32 v) { QByteArray b(4, 0); qToLittleEndian(v, b.data()); return b; }
QByteArray champTexte(const QByteArray &cp1252, int largeur) { return cp1252.leftJustified(largeur, ' '); }

QStringList qzf(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(QZF_PATH), arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {u"qzf failed: "_s + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestExemple : public QObject {
    Q_OBJECT

private slots:
    void lire_refusesWhatTheEditorWouldNotKeep_data()
    {
        QTest::addColumn<Changement>("changer");
        QTest::addColumn<QString>("erreur");

        QTest::newRow("question of 201") << champ(u"question"_s, QString(201, u'q'))
                                         << u"card 1: question is longer than 200 characters (201)"_s;
        QTest::newRow("third answer over its box's 50") << reponse(2, QString(51, u'r'))
                                                        << u"card 1: answer 3 is longer than 50 characters (51)"_s;
        QTest::newRow("character outside Windows-1252") << champ(u"question"_s, u"Vrai ✓ ?"_s)
                                                        << u"card 1: question holds a character that Windows-1252 cannot store"_s;
        QTest::newRow("empty comment") << champ(u"commentaire"_s, QString()) << u"card 1: commentaire is empty"_s;
        QTest::newRow("comment missing") << Changement([](QJsonObject &, QJsonObject &c) { c.remove(u"commentaire"_s); })
                                         << u"card 1: commentaire must be a text"_s;
        QTest::newRow("space at the end") << reponse(1, u"Là "_s) << u"card 1: answer 2 has spaces at its ends"_s;
        QTest::newRow("line break") << champ(u"commentaire"_s, u"Un\nDeux"_s)
                                    << u"card 1: commentaire holds a control character"_s;
        QTest::newRow("good answer 4") << champ(u"bonne"_s, 4) << u"card 1: bonne must be a whole number from 1 to 3"_s;
        QTest::newRow("two answers") << champ(u"reponses"_s, QJsonArray{u"a"_s, u"b"_s})
                                     << u"card 1: reponses must hold exactly three answers"_s;
        QTest::newRow("theme without a name") << champ(u"theme"_s, 2) << u"card 1: theme must be a whole number from 0 to 1"_s;
        QTest::newRow("misspelt field") << champ(u"commentaires"_s, u"x"_s) << u"card 1: unknown field \"commentaires\""_s;
        QTest::newRow("mark as a number") << champ(u"marque"_s, 1) << u"card 1: marque must be true or false"_s;
        QTest::newRow("media without code") << champ(u"media"_s, u"saturne.jpg"_s) << u"card 1: media and code go together"_s;
        QTest::newRow("media of 13 characters") << media(u"saturne12.jpg"_s, 10) << u"card 1: media is longer than 12 characters (13)"_s;
        QTest::newRow("media not 8.3") << media(u"son.wave"_s, 2) << u"card 1: media \"son.wave\" is not an 8.3 file name"_s;
        QTest::newRow("media not made for the bank") << media(u"lune.jpg"_s, 10) << u"card 1: media \"lune.jpg\" is not one of the files made for the bank"_s;
        QTest::newRow("picture with the WAV code") << media(u"saturne.jpg"_s, 2) << u"card 1: code 2 does not fit media \"saturne.jpg\""_s;
        QTest::newRow("picture code 14") << media(u"saturne.jpg"_s, 14) << u"card 1: code must be a whole number from 1 to 13"_s;
        QTest::newRow("picture named in capitals") << media(u"SATURNE.JPG"_s, 10) << u"card 1: picture \"SATURNE.JPG\" must end in lower-case .jpg or .bmp"_s;
        QTest::newRow("cards out of theme order") << Changement([](QJsonObject &r, QJsonObject &c) {
            QJsonObject avant = c;
            avant[u"theme"_s] = 1;
            r[u"fiches"_s] = QJsonArray{avant, c};
        }) << u"card 2: theme 0 after theme 1: keep the cards in theme order"_s;
        QTest::newRow("second card wrong") << Changement([](QJsonObject &r, QJsonObject &c) {
            QJsonObject apres = c;
            apres[u"bonne"_s] = 7;
            r[u"fiches"_s] = QJsonArray{c, apres};
        }) << u"card 2: bonne must be a whole number from 1 to 3"_s;
        QTest::newRow("no cards") << racine(u"fiches"_s, QJsonArray()) << u"fiches must hold 1 to 32767 cards"_s;
        QTest::newRow("bank name of 9") << racine(u"banque"_s, u"EXEMPLES1"_s) << u"banque must be a name of 1 to 8 letters or digits"_s;
        QTest::newRow("initials of 6") << racine(u"auteur"_s, u"ABCDEF"_s) << u"auteur is longer than 5 characters (6)"_s;
        QTest::newRow("ten themes") << Changement([](QJsonObject &r, QJsonObject &) {
            QJsonArray t;
            for (int i = 0; i < 10; ++i)
                t.append(u"T%1"_s.arg(i));
            r[u"themes"_s] = t;
        }) << u"themes must hold 1 to 9 names"_s;
        QTest::newRow("theme name of 28") << racine(u"themes"_s, QJsonArray{QString(28, u't')}) << u"theme 0 is longer than 27 characters (28)"_s;
        QTest::newRow("blank theme name") << racine(u"themes"_s, QJsonArray{u"Géo"_s, QString()}) << u"theme 1 is empty"_s;
    }
    void lire_refusesWhatTheEditorWouldNotKeep()
    {
        QFETCH(Changement, changer);
        QFETCH(QString, erreur);
        exemple::Banque b;
        const Resultat r = lireAvec(changer, b);
        QCOMPARE(r.erreur, erreur);
        QVERIFY(!r.ok && b.fiches.isEmpty() && b.themes.isEmpty());
    }

    void lire_notJson_saysWhere()
    {
        exemple::Banque b;
        const Resultat r = exemple::lire("{\"banque\": \"DEMO\",", kConnus, b);
        QCOMPARE(r.erreur, u"not valid JSON at byte 18: unterminated object"_s);
    }

    // The widest texts each field takes, a mark, a picture: every byte in its place.
    void lire_widestCard_givesTheRecordByteForByte()
    {
        exemple::Banque b;
        const Resultat r = lireAvec(
            [](QJsonObject &, QJsonObject &c) {
                c[u"theme"_s] = 1;
                c[u"question"_s] = u"É"_s + QString(199, u'q');
                c[u"reponses"_s] = QJsonArray{QString(125, u'a'), u"Là"_s, QString(50, u'c')};
                c[u"bonne"_s] = 3;
                c[u"commentaire"_s] = u"Œuvre"_s;
                c[u"marque"_s] = true;
                c[u"media"_s] = u"saturne.jpg"_s;
                c[u"code"_s] = 12;
            },
            b);
        QVERIFY2(r.ok, qPrintable(r.erreur));
        const QByteArray attendu = champTexte("\xC9" + QByteArray(199, 'q'), 200) + QByteArray(125, 'a')
                                   + champTexte("L\xE0", 125) + champTexte(QByteArray(50, 'c'), 125)
                                   + champTexte("\x8Cuvre", 200) + le16(0) + le16(0) + le16(0xFFFF)
                                   + QByteArray(1, '\1') + le16(1) + "DEMO " + "saturne.jpg " + le16(12);
        QCOMPARE(b.fiches.size(), 803);
        QCOMPARE(b.fiches.toHex(' '), attendu.toHex(' '));
        QCOMPARE(b.medias, QStringList{u"saturne.jpg"_s});
        QCOMPARE(b.nom, u"DEMO"_s);
    }

    // As the theme editor saves them: nine slots of spaces-padded names, the rest zero.
    void lire_themes_giveTheThemeFileOfTheEditor()
    {
        exemple::Banque b;
        QVERIFY(lireAvec([](QJsonObject &, QJsonObject &c) { c.remove(u"marque"_s); }, b).ok);
        const QByteArray attendu = champTexte("G\xE9o", 27) + champTexte("Art", 27) + QByteArray(7 * 27, ' ')
                                   + QByteArray(339 - 243, '\0');
        QCOMPARE(b.themes.toHex(' '), attendu.toHex(' '));
        // A card without media or mark: a blank name, code 0, mark 0.
        QCOMPARE(b.fiches.mid(782).toHex(' '), (le16(0) + "DEMO " + QByteArray(12, ' ') + le16(0)).toHex(' '));
        QCOMPARE(b.medias, QStringList());
    }

    void sonWav_headerAndSamples()
    {
        const QByteArray w = exemple::sonWav(440, 0.01, 8000);  // 80 samples
        const QByteArray tete = "RIFF" + le32(36 + 160) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000)
                                + le32(16000) + le16(2) + le16(16) + "data" + le32(160);
        QCOMPARE(w.left(44).toHex(' '), tete.toHex(' '));
        QCOMPARE(w.size(), 44 + 160);
        // Silent at both ends: no click when it starts or stops.
        QCOMPARE(w.mid(44, 2).toHex(), QByteArray("0000"));
        QCOMPARE(w.right(2).toHex(), QByteArray("0000"));
    }

    // The built bank, read back by the tool: one good answer and a comment on every card, each media file in the media folder at a size the picture area holds.
    void builtBank_readsBackThroughQzfDump()
    {
        const QString dossier = QStringLiteral(EXEMPLE_DIR);
        const QStringList lignes = qzf({u"dump"_s, dossier + u"/DEMO.qzf"_s});
        QVERIFY2(!lignes.isEmpty() && !lignes[0].startsWith(u"qzf failed"_s), qPrintable(lignes.value(0)));
        QSet<QString> medias;
        for (const QString &ligne : lignes) {
            const QJsonObject f = QJsonDocument::fromJson(ligne.toUtf8()).object();
            const QString ou = ligne.left(60);
            const QJsonArray bonnes = f.value(u"BonneReponse").toArray();
            int good = 0;
            for (const QJsonValue &v : bonnes) {
                QVERIFY2(v.toInt() == -1 || v.toInt() == 0, qPrintable(ou));
                good += v.toInt() == -1;
            }
            QVERIFY2(bonnes.size() == 3 && good == 1, qPrintable(ou));
            QVERIFY2(!f.value(u"Commentaire").toString().trimmed().isEmpty(), qPrintable(ou));
            const QString media = f.value(u"FichierMedia").toString().trimmed();
            const int code = f.value(u"TailleImage").toInt();
            if (media.isEmpty()) {
                QVERIFY2(code == 0, qPrintable(ou));
                continue;
            }
            medias << media;
            const QString chemin = dossier + u"/DEMO/"_s + media;
            if (media.endsWith(u".wav"_s)) {
                QVERIFY2(code == 2 && QFileInfo(chemin).size() > 44, qPrintable(ou));
            } else {
                // Shown at its size option (x1, x1.5, x2, x3) in a 265 by 206 area.
                QImage image(chemin);
                const double facteur[] = {1, 1.5, 2, 3};
                QVERIFY2(code >= 10 && code <= 13 && !image.isNull(), qPrintable(ou));
                QVERIFY2(image.width() * facteur[code - 10] <= 265 && image.height() * facteur[code - 10] <= 206,
                         qPrintable(ou));
            }
        }
        // Two pictures and a sound, and nothing else in the media folder.
        QStringList fichiers = QDir(dossier + u"/DEMO"_s).entryList(QDir::Files);
        QStringList vus = medias.values();
        fichiers.sort();
        vus.sort();
        QCOMPARE(vus, fichiers);
        QCOMPARE(fichiers.size(), 3);
    }
};

QTEST_MAIN(TestExemple)
#include "test_exemple.moc"
