#include "store/canaux.h"
#include "store/cp1252.h"
#include "store/fichequestion.h"
#include "store/fichierquestions.h"
#include "store/reecriture.h"
#include "store/tablethemes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

QByteArray contenu(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool poser(const QString &chemin, const QByteArray &octets)
{
    QFile f(chemin);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(octets) == octets.size();
}

QByteArray espaces(int n) { return QByteArray(n, ' '); }
QByteArray zeros(int n) { return QByteArray(n, '\0'); }

// A card that can be told apart from every other one by its bytes.
FicheQuestion carte(int i, int theme)
{
    FicheQuestion f;
    texte::stocker(f.Question, QStringLiteral("Question %1").arg(i));
    for (int k = 0; k < 3; ++k)
        texte::stocker(f.Reponse[k], QStringLiteral("Réponse %1.%2").arg(i).arg(k + 1));
    texte::stocker(f.Commentaire, QStringLiteral("Commentaire %1").arg(i));
    f.BonneReponse[i % 3] = -1;
    f.NumTheme = quint8(theme);
    f.Marque = qint16(i % 2);
    texte::stocker(f.Auteur, QStringLiteral("A%1").arg(i));
    texte::stocker(f.FichierMedia, QStringLiteral("m%1.jpg").arg(i));
    f.TailleImage = qint16(10 + i % 4);
    return f;
}

QList<QByteArray> cartes(const QList<int> &themes)
{
    QList<QByteArray> r;
    for (int i = 0; i < themes.size(); ++i)
        r << carte(i, themes[i]).octets();
    return r;
}

QByteArray suite(const QList<QByteArray> &enregistrements, const QList<int> &ordre)
{
    QByteArray r;
    for (int i : ordre)
        r += enregistrements[i];
    return r;
}

QList<int> ordreNaturel(int n)
{
    QList<int> r;
    for (int i = 0; i < n; ++i)
        r << i;
    return r;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString chemin(const QString &nom) const { return m_dir->filePath(nom); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    // --- the card record ---------------------------------------------------------------

    void storedCard_hasFlagThemeMarkAndMediaBytes_data()
    {
        QTest::addColumn<int>("bonne");
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("marque");
        QTest::addColumn<int>("media");
        QTest::addColumn<QByteArray>("attendu");  // bytes 775 to 802
        const QByteArray fin = "41 42 20 20 20  70 2E 6A 70 67 20 20 20 20 20 20 20";  // "AB   ", "p.jpg" padded
        QTest::newRow("second answer good") << 2 << 0 << 0 << 0
                                            << QByteArray::fromHex("0000 FFFF 0000 00 0000" + fin + "0000");
        QTest::newRow("marked card of theme 4") << 1 << 4 << 1 << 0
                                                << QByteArray::fromHex("FFFF 0000 0000 04 0100" + fin + "0000");
        QTest::newRow("third answer, picture at size 1") << 3 << 8 << 0 << 11
                                                         << QByteArray::fromHex("0000 0000 FFFF 08 0000" + fin + "0B00");
    }
    void storedCard_hasFlagThemeMarkAndMediaBytes()
    {
        QFETCH(int, bonne);
        QFETCH(int, theme);
        QFETCH(int, marque);
        QFETCH(int, media);
        QFETCH(QByteArray, attendu);
        FicheQuestion f;
        texte::stocker(f.Question, QStringLiteral("Q"));
        f.BonneReponse[bonne - 1] = -1;
        f.NumTheme = quint8(theme);
        f.Marque = qint16(marque);
        texte::stocker(f.Auteur, QStringLiteral("AB"));
        texte::stocker(f.FichierMedia, QStringLiteral("p.jpg"));
        f.TailleImage = qint16(media);

        FichierQuestions fichier;
        QVERIFY(fichier.ouvrir(chemin("BASE.QZF")).ok);
        QVERIFY(fichier.ecrire(1, f).ok);
        const QByteArray disque = contenu(chemin("BASE.QZF"));
        QCOMPARE(disque.size(), 803);
        QCOMPARE(disque.mid(775), attendu);
        QCOMPARE(disque.left(200), "Q" + espaces(199));
        QCOMPARE(fichier.lire(1), f);
    }

    void storedText_isCutOrPaddedToItsWidth_data()
    {
        QTest::addColumn<int>("largeur");
        QTest::addColumn<QString>("texte");
        QTest::addColumn<QByteArray>("attendu");
        const QString long250 = QString(50, u'a') + QString(150, u'b') + QString(50, u'c');
        QTest::newRow("question of 250 characters") << 200 << long250 << (QByteArray(50, 'a') + QByteArray(150, 'b'));
        QTest::newRow("question of 3 characters") << 200 << "abc" << "abc" + espaces(197);
        QTest::newRow("empty comment") << 200 << "" << espaces(200);
        QTest::newRow("leading spaces are kept") << 125 << "  oui" << "  oui" + espaces(120);
        QTest::newRow("initials") << 5 << "AB" << QByteArray("AB   ");
        QTest::newRow("media name of 13") << 12 << "abcdefgh.jpeg" << QByteArray("abcdefgh.jpe");
        QTest::newRow("accented letters, one byte each") << 5 << "été" << QByteArray("\xE9t\xE9  ");
        QTest::newRow("euro and oe ligature") << 5 << "€œŒ" << QByteArray("\x80\x9C\x8C  ");
        QTest::newRow("omega is not in the code page") << 5 << "Ω=1" << QByteArray("?=1  ");
        QTest::newRow("an emoji is one question mark") << 5 << "a😀b" << QByteArray("a?b  ");
        QTest::newRow("cut after an unrepresentable character") << 3 << "ΩΩΩΩ" << QByteArray("???");
        QTest::newRow("lone high surrogate") << 2 << QString(QChar(0xD83D)) << QByteArray("? ");
        QTest::newRow("U+0080 is not the euro byte") << 2 << QString(QChar(0x80)) << QByteArray("? ");
        QTest::newRow("U+0081 keeps its byte") << 2 << QString(QChar(0x81)) << QByteArray("\x81 ");
        QTest::newRow("latin-1 upper half") << 2 << "ÿ" << QByteArray("\xFF ");
    }
    void storedText_isCutOrPaddedToItsWidth()
    {
        QFETCH(int, largeur);
        QFETCH(QString, texte);
        QFETCH(QByteArray, attendu);
        QByteArray champ(largeur + 1, '\x55');  // one guard byte after the field
        texte::stocker(champ.data(), largeur, texte);
        QCOMPARE(champ.left(largeur), attendu);
        QCOMPARE(champ.at(largeur), '\x55');
    }

    void displayedText_stopsAtZeroAndTrimsOnlySpaces_data()
    {
        QTest::addColumn<QByteArray>("champ");
        QTest::addColumn<QString>("brut");
        QTest::addColumn<QString>("affiche");
        QTest::newRow("padded") << QByteArray("  oui   ") << "  oui   " << "oui";
        QTest::newRow("zero ends the text") << QByteArray("ab \0cd  ", 8) << "ab " << "ab";
        QTest::newRow("never written") << zeros(8) << "" << "";
        QTest::newRow("all spaces") << espaces(8) << "        " << "";
        QTest::newRow("tabs and newlines are text") << QByteArray(" \tab\n   ") << " \tab\n   " << "\tab\n";
        QTest::newRow("full width, no zero") << QByteArray("abcdefgh") << "abcdefgh" << "abcdefgh";
        QTest::newRow("Windows-1252 bytes") << QByteArray(" \xE9\x80\x9C    ") << " é€œ    " << "é€œ";
    }
    void displayedText_stopsAtZeroAndTrimsOnlySpaces()
    {
        QFETCH(QByteArray, champ);
        QFETCH(QString, brut);
        QFETCH(QString, affiche);
        QCOMPARE(texte::brut(champ.constData(), 8), brut);
        QCOMPARE(texte::affiche(champ.constData(), 8), affiche);
    }

    void everyByte_decodesAndEncodesToItself()
    {
        QByteArray tous(256, '\0');
        for (int i = 0; i < 256; ++i)
            tous[i] = char(i);
        const QString texte = cp1252::decode(tous);
        QCOMPARE(texte.size(), 256);
        QCOMPARE(cp1252::encode(texte), tous);
        // The five bytes the code page leaves undefined come back as themselves.
        for (unsigned char o : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
            QCOMPARE(int(texte.at(o).unicode()), int(o));
        QCOMPARE(texte.at(0x80), QChar(0x20AC));
        QCOMPARE(texte.at(0x9F), QChar(0x0178));
    }

    // --- the question file -------------------------------------------------------------

    void emptyFile_hasNoCardsAndWritingOneMakes803Bytes()
    {
        FichierQuestions f;
        QVERIFY(f.ouvrir(chemin("NEUF.QZF")).ok);
        QVERIFY(QFile::exists(chemin("NEUF.QZF")));
        QCOMPARE(f.longueur(), 0);
        QCOMPARE(f.nombre(), 0);
        QCOMPARE(f.lire(1).octets(), zeros(803));
        QVERIFY(f.ecrire(1, carte(1, 3)).ok);
        QCOMPARE(f.nombre(), 1);
        QCOMPARE(contenu(chemin("NEUF.QZF")), carte(1, 3).octets());
    }

    void writeRecord_appendsAfterLastAndReplacesInPlace()
    {
        const QByteArray a = carte(1, 0).octets(), b = carte(2, 1).octets(), c = carte(3, 2).octets();
        QVERIFY(poser(chemin("B.QZF"), a + b));
        FichierQuestions f;
        QVERIFY(f.ouvrir(chemin("B.QZF")).ok);
        QVERIFY(f.ecrire(3, carte(3, 2)).ok);
        QCOMPARE(contenu(chemin("B.QZF")), a + b + c);
        QVERIFY(f.ecrire(2, carte(9, 8)).ok);
        QCOMPARE(contenu(chemin("B.QZF")), a + carte(9, 8).octets() + c);
        QCOMPARE(f.nombre(), 3);
    }

    void writeRecord_numberBelowOne_failsAndWritesNothing()
    {
        FichierQuestions f;
        QVERIFY(!f.ecrire(1, carte(1, 0)).ok);  // not open
        QVERIFY(f.ouvrir(chemin("B.QZF")).ok);
        const Resultat r = f.ecrire(0, carte(1, 0));
        QVERIFY(!r.ok);
        QVERIFY(!r.erreur.isEmpty());
        QCOMPARE(f.longueur(), 0);
    }

    void readPastEnd_givesAllZeroRecord_data()
    {
        QTest::addColumn<int>("fiches");
        QTest::addColumn<int>("numero");
        QTest::newRow("card 1 of an empty file") << 0 << 1;
        QTest::newRow("card 3 of two") << 2 << 3;
        QTest::newRow("far beyond") << 2 << 32767;
        QTest::newRow("card 0") << 2 << 0;
    }
    void readPastEnd_givesAllZeroRecord()
    {
        QFETCH(int, fiches);
        QFETCH(int, numero);
        QByteArray octets;
        for (int i = 0; i < fiches; ++i)
            octets += carte(i, 1).octets();
        QVERIFY(poser(chemin("B.QZF"), octets));
        FichierQuestions f;
        QVERIFY(f.ouvrir(chemin("B.QZF")).ok);
        const FicheQuestion lue = f.lire(numero);
        QCOMPARE(lue.octets(), zeros(803));
        QCOMPARE(texte::affiche(lue.Question), QString());
        QCOMPARE(contenu(chemin("B.QZF")), octets);
    }

    void shortLastRecord_countsAsCardWithZeroTail()
    {
        const QByteArray troisieme = carte(3, 5).octets();
        QVERIFY(poser(chemin("B.QZF"), carte(1, 1).octets() + carte(2, 2).octets() + troisieme.left(100)));
        FichierQuestions f;
        QVERIFY(f.ouvrir(chemin("B.QZF")).ok);
        QCOMPARE(f.longueur(), 803 * 2 + 100);
        QCOMPARE(f.nombre(), 3);
        QCOMPARE(f.lire(3).octets(), troisieme.left(100) + zeros(703));
        QCOMPARE(f.lire(2), carte(2, 2));
        // Its theme byte is missing, so it counts as theme 0.
        const ComptesThemes c = f.compterThemes();
        QCOMPARE(c.parTheme, (std::array<int, 9>{1, 1, 1, 0, 0, 0, 0, 0, 0}));
    }

    void compterThemes_countsEveryCardOnceAndThemesAbove8Apart()
    {
        const QList<int> themes = {0, 8, 4, 9, 4, 255, 0, 0};
        QVERIFY(poser(chemin("B.QZF"), suite(cartes(themes), ordreNaturel(themes.size()))));
        Resultat r = Resultat::echec(QStringLiteral("pas lu"));
        const ComptesThemes c = compterThemes(chemin("B.QZF"), &r);
        QVERIFY(r.ok);
        QCOMPARE(c.parTheme, (std::array<int, 9>{3, 0, 0, 0, 2, 0, 0, 0, 1}));
        QCOMPARE(c.horsThemes, 2);
    }

    void compterThemes_missingBank_failsAndCreatesNothing()
    {
        Resultat r;
        const ComptesThemes c = compterThemes(chemin("ABSENT.QZF"), &r);
        QVERIFY(!r.ok);
        QCOMPARE(c.parTheme, (std::array<int, 9>{}));
        QVERIFY(!QFile::exists(chemin("ABSENT.QZF")));
    }

    void openForReading_missingFileOrFolder_fails()
    {
        FichierQuestions f;
        QVERIFY(!f.ouvrir(chemin("ABSENT.QZF"), FichierQuestions::Mode::Lecture).ok);
        QVERIFY(!QFile::exists(chemin("ABSENT.QZF")));
        QVERIFY(QDir(m_dir->path()).mkdir("DOSSIER.QZF"));
        QVERIFY(!f.ouvrir(chemin("DOSSIER.QZF")).ok);
        QVERIFY(!f.estOuvert());
    }

    void canaux_handOutLowestFreeNumber()
    {
        Canaux c;
        QCOMPARE(c.ouvrir(chemin("A.QZF")), 1);
        QCOMPARE(c.ouvrir(chemin("B.QZF")), 2);
        QCOMPARE(c.ouvrir(chemin("C.QZF")), 3);
        c.fermer(2);
        QVERIFY(!c.fichier(2));
        QCOMPARE(c.ouvrir(chemin("D.QZF")), 2);
        QCOMPARE(c.fichier(2)->chemin(), chemin("D.QZF"));
        c.fermer(1);
        Resultat r;
        QVERIFY(QDir(m_dir->path()).mkdir("DOSSIER"));
        QCOMPARE(c.ouvrir(chemin("DOSSIER"), &r), 0);  // a failed opening takes no number
        QVERIFY(!r.ok);
        QCOMPARE(c.ouvrir(chemin("E.QZF")), 1);
        QCOMPARE(c.ouvrir(chemin("F.QZF")), 4);
        QCOMPARE(c.nombreOuverts(), 4);
        c.fermerTout();
        QCOMPARE(c.nombreOuverts(), 0);
        QCOMPARE(c.ouvrir(chemin("A.QZF")), 1);
    }

    // --- the theme file ----------------------------------------------------------------

    void savedThemes_fileHasExactBytes()
    {
        const QString prm = chemin(nomFichierThemes(QStringLiteral("BASE.QZF")));
        TableThemes t;
        QVERIFY(lireThemes(prm, t).ok);
        const QStringList noms = {QStringLiteral("Histoire"), QStringLiteral("Géographie"), "", "", "", "", "", "", ""};
        for (int i = 0; i < TableThemes::NbThemes; ++i)
            t.fixerNom(i, noms[i]);
        QVERIFY(ecrireThemes(prm, t).ok);

        QCOMPARE(prm, chemin("BASE.prm"));
        const QByteArray attendu = "Histoire" + espaces(19) + "G\xE9ographie" + espaces(17) + espaces(7 * 27) + zeros(96);
        QCOMPARE(attendu.size(), 339);
        QCOMPARE(contenu(prm), attendu);

        TableThemes relue;
        QVERIFY(lireThemes(prm, relue).ok);
        QCOMPARE(relue.nom(1), QStringLiteral("Géographie") + QString(17, u' '));
        QVERIFY(!relue.estBlanc(1));
        QVERIFY(relue.estBlanc(2));
    }

    void missingThemeFile_isCreatedEmptyAndReadsBlank()
    {
        TableThemes t;
        t.fixerNom(0, QStringLiteral("ancien"));
        QVERIFY(lireThemes(chemin("BASE.prm"), t).ok);
        QVERIFY(QFile::exists(chemin("BASE.prm")));
        QCOMPARE(QFileInfo(chemin("BASE.prm")).size(), 0);
        QByteArray octets(339, '\x55');
        t.versOctets(octets.data());
        QCOMPARE(octets, zeros(339));
        for (int i = 0; i < TableThemes::NbSlots; ++i) {
            QVERIFY(t.estBlanc(i));
            QCOMPARE(t.nom(i), QString());
        }
    }

    void missingThemeFile_withoutCreation_staysMissing()
    {
        TableThemes t;
        QVERIFY(lireThemes(chemin("BASE.prm"), t, false).ok);
        QVERIFY(!QFile::exists(chemin("BASE.prm")));
        QVERIFY(t.estBlanc(0));
    }

    void shortThemeFile_readsMissingBytesAsZero()
    {
        QVERIFY(poser(chemin("BASE.prm"), "Histoire" + espaces(19) + "Art"));
        TableThemes t;
        QVERIFY(lireThemes(chemin("BASE.prm"), t).ok);
        QCOMPARE(t.nom(0), QStringLiteral("Histoire") + QString(19, u' '));
        QCOMPARE(t.nom(1), QStringLiteral("Art"));
        QVERIFY(t.estBlanc(2));
        QByteArray octets(339, '\x55');
        t.versOctets(octets.data());
        QCOMPARE(octets, "Histoire" + espaces(19) + "Art" + zeros(339 - 30));
        QCOMPARE(contenu(chemin("BASE.prm")).size(), 30);  // reading leaves the file alone
    }

    void longThemeFile_keepsItsTailThroughSave()
    {
        const QByteArray tete = "Ancien" + espaces(21) + zeros(339 - 27);
        const QByteArray queue("donnees d'un autre programme\0\xFF\x01", 31);
        QVERIFY(poser(chemin("BASE.prm"), tete + queue));
        TableThemes t;
        QVERIFY(lireThemes(chemin("BASE.prm"), t).ok);
        t.fixerNom(0, QStringLiteral("Nouveau"));
        QVERIFY(ecrireThemes(chemin("BASE.prm"), t).ok);
        QCOMPARE(contenu(chemin("BASE.prm")), "Nouveau" + espaces(20) + zeros(339 - 27) + queue);
    }

    void unreadableThemeFile_saveFailsAndKeepsIt()
    {
        if (::geteuid() == 0)
            QSKIP("root reads a file whatever its mode");
        const QByteArray avant = zeros(339) + "queue";
        QVERIFY(poser(chemin("BASE.prm"), avant));
        QVERIFY(QFile::setPermissions(chemin("BASE.prm"), QFileDevice::WriteOwner));
        TableThemes t;
        t.fixerNom(0, QStringLiteral("Histoire"));
        const Resultat r = ecrireThemes(chemin("BASE.prm"), t);
        QVERIFY(QFile::setPermissions(chemin("BASE.prm"), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(!r.ok);
        QCOMPARE(contenu(chemin("BASE.prm")), avant);
    }

    void foreignReservedBytes_surviveEverySave()
    {
        QByteArray etranger(339 - 243, '\0');
        for (int i = 0; i < etranger.size(); ++i)
            etranger[i] = char((i * 37 + 11) & 0xFF);
        QVERIFY(poser(chemin("BASE.prm"), zeros(243) + etranger));
        for (int tour = 0; tour < 3; ++tour) {
            TableThemes t;
            QVERIFY(lireThemes(chemin("BASE.prm"), t).ok);
            for (int i = 0; i < TableThemes::NbThemes; ++i)
                t.fixerNom(i, i <= tour ? QStringLiteral("Tour %1").arg(tour) : QString());
            QVERIFY(ecrireThemes(chemin("BASE.prm"), t).ok);
            const QByteArray disque = contenu(chemin("BASE.prm"));
            QCOMPARE(disque.size(), 339);
            QCOMPARE(disque.mid(243), etranger);
            QCOMPARE(disque.left(27), "Tour " + QByteArray::number(tour) + espaces(21));
        }
    }

    void themeName_isCutOrPaddedTo27_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QByteArray>("attendu");
        QTest::newRow("30 characters keep 27") << "abcdefghijklmnopqrstuvwxyz0123" << QByteArray("abcdefghijklmnopqrstuvwxyz0");
        QTest::newRow("empty is 27 spaces") << "" << espaces(27);
        QTest::newRow("accented") << "Géo" << "G\xE9o" + espaces(24);
    }
    void themeName_isCutOrPaddedTo27()
    {
        QFETCH(QString, nom);
        QFETCH(QByteArray, attendu);
        TableThemes t;
        t.fixerNom(3, nom);
        QByteArray octets(339, '\x55');
        t.versOctets(octets.data());
        QCOMPARE(octets.mid(81, 27), attendu);
        QCOMPARE(octets.left(81) + octets.mid(108), zeros(339 - 27));
        t.fixerNom(11, nom);  // no slot 11: nothing moves
        t.versOctets(octets.data());
        QCOMPARE(octets.mid(81, 27), attendu);
        QCOMPARE(octets.mid(108), zeros(339 - 108));
    }

    void themeSlot_isBlankOnlyWhenNothingButSpaces_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<bool>("blanc");
        QTest::newRow("zeros") << zeros(27) << true;
        QTest::newRow("spaces") << espaces(27) << true;
        QTest::newRow("spaces then zero then text") << espaces(3) + '\0' + "cache" + zeros(18) << true;
        QTest::newRow("a tab") << "\t" + espaces(26) << false;
        QTest::newRow("last character") << espaces(26) + "x" << false;
    }
    void themeSlot_isBlankOnlyWhenNothingButSpaces()
    {
        QFETCH(QByteArray, slot);
        QFETCH(bool, blanc);
        const TableThemes t = TableThemes::depuisOctets((zeros(27) + slot).constData(), 54);
        QCOMPARE(t.estBlanc(1), blanc);
        QVERIFY(t.estBlanc(0));
    }

    void themeFileName_isNameLessFourCharactersPlusPrm_data()
    {
        QTest::addColumn<QString>("nomFichier");
        QTest::addColumn<QString>("attendu");
        QTest::newRow("default bank") << "BASE.QZF" << "BASE.prm";
        QTest::newRow("lower case") << "abc.qzf" << "abc.prm";
        QTest::newRow("eight characters") << "TEST1234.QZF" << "TEST1234.prm";
        QTest::newRow("trailing spaces") << "BASE.QZF   " << "BASE.prm";
        // n is the trimmed length, but the characters are taken from the untrimmed name.
        QTest::newRow("leading space") << " BASE.QZF" << " BAS.prm";
        QTest::newRow("other extension") << "quiz.txt" << "quiz.prm";
    }
    void themeFileName_isNameLessFourCharactersPlusPrm()
    {
        QFETCH(QString, nomFichier);
        QFETCH(QString, attendu);
        QCOMPARE(nomFichierThemes(nomFichier), attendu);
    }

    // --- the sort by theme -------------------------------------------------------------

    void classerParTheme_ordersByThemeStably_data()
    {
        QTest::addColumn<QList<int>>("themes");
        QTest::addColumn<QList<int>>("ordre");  // source positions, in the sorted bank
        QTest::addColumn<QList<int>>("parTheme");
        QTest::addColumn<int>("horsThemes");
        QTest::newRow("2 0 2 1") << QList<int>{2, 0, 2, 1} << QList<int>{1, 3, 0, 2}
                                 << QList<int>{1, 1, 2, 0, 0, 0, 0, 0, 0} << 0;
        QTest::newRow("themes above 8 last, in file order")
            << QList<int>{200, 8, 9, 0, 8} << QList<int>{3, 1, 4, 0, 2} << QList<int>{1, 0, 0, 0, 0, 0, 0, 0, 2} << 2;
        QTest::newRow("already sorted") << QList<int>{0, 0, 5, 8} << QList<int>{0, 1, 2, 3}
                                        << QList<int>{2, 0, 0, 0, 0, 1, 0, 0, 1} << 0;
        QTest::newRow("reversed") << QList<int>{8, 7, 6, 5, 4, 3, 2, 1, 0} << QList<int>{8, 7, 6, 5, 4, 3, 2, 1, 0}
                                  << QList<int>{1, 1, 1, 1, 1, 1, 1, 1, 1} << 0;
        QTest::newRow("empty bank") << QList<int>{} << QList<int>{} << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0} << 0;
    }
    void classerParTheme_ordersByThemeStably()
    {
        QFETCH(QList<int>, themes);
        QFETCH(QList<int>, ordre);
        QFETCH(QList<int>, parTheme);
        QFETCH(int, horsThemes);
        const QList<QByteArray> enr = cartes(themes);
        QVERIFY(poser(chemin("BASE.QZF"), suite(enr, ordreNaturel(themes.size()))));
        QVERIFY(poser(chemin("base.tmp"), "ancien tri"));

        const ResultatClasser r = classerParTheme(chemin("BASE.QZF"), chemin("base.tmp"));
        QVERIFY2(r.resultat.ok, qPrintable(r.resultat.erreur));
        QCOMPARE(r.echec, ResultatClasser::Etape::Aucune);
        QCOMPARE(r.total, themes.size());
        QCOMPARE(QList<int>(r.ecrits.parTheme.begin(), r.ecrits.parTheme.end()), parTheme);
        QCOMPARE(r.ecrits.horsThemes, horsThemes);
        const QByteArray attendu = suite(enr, ordre);
        QCOMPARE(contenu(chemin("BASE.QZF")), attendu);
        QCOMPARE(contenu(chemin("base.tmp")), attendu);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"BASE.QZF", "base.tmp"}));
    }

    // Enough cards to fill every theme's buffer several times over and to need many reads.
    void classerParTheme_largeBank_matchesStableSortOfRecords()
    {
        QList<int> themes;
        for (int i = 0; i < 2500; ++i)
            themes << (i * 7 + i / 13) % 12;  // 9, 10 and 11 stand for damaged records
        const QList<QByteArray> enr = cartes(themes);
        QList<int> ordre = ordreNaturel(themes.size());
        std::stable_sort(ordre.begin(), ordre.end(), [&](int a, int b) { return qMin(themes[a], 9) < qMin(themes[b], 9); });
        QByteArray banque = suite(enr, ordreNaturel(themes.size()));
        banque.chop(803 - 500);  // the last card, of theme 9, is short: it becomes theme 0
        ordre.removeOne(themes.size() - 1);
        ordre.insert(std::count_if(themes.begin(), themes.end(), [](int t) { return t == 0; }), themes.size() - 1);
        QVERIFY(poser(chemin("BASE.QZF"), banque));

        const ResultatClasser r = classerParTheme(chemin("BASE.QZF"), chemin("base.tmp"));
        QVERIFY(r.resultat.ok);
        QByteArray attendu = suite(enr, ordre);
        const qsizetype courte = qsizetype(ordre.indexOf(themes.size() - 1)) * 803;
        attendu.replace(courte + 500, 303, zeros(303));
        QCOMPARE(contenu(chemin("BASE.QZF")), attendu);
        QCOMPARE(contenu(chemin("base.tmp")), attendu);
    }

    void classerParTheme_padsShortLastRecord()
    {
        const QByteArray premiere = carte(1, 1).octets(), courte = carte(2, 6).octets().left(100);
        QVERIFY(poser(chemin("BASE.QZF"), premiere + courte));
        const ResultatClasser r = classerParTheme(chemin("BASE.QZF"), chemin("base.tmp"));
        QVERIFY(r.resultat.ok);
        // The short record has no theme byte: theme 0, ahead of theme 1.
        const QByteArray attendu = courte + zeros(703) + premiere;
        QCOMPARE(contenu(chemin("BASE.QZF")), attendu);
        QCOMPARE(contenu(chemin("base.tmp")), attendu);
    }

    // The last sort's base.tmp is written over in place, and the bank swapped with it:
    // a file that also has another name must be left alone there.
    void classerParTheme_linkedTemporaryFile_otherNameKeepsItsBytes()
    {
        const QList<QByteArray> enr = cartes({2, 0, 1});
        QVERIFY(poser(chemin("BASE.QZF"), suite(enr, {0, 1, 2})));
        QVERIFY(poser(chemin("base.tmp"), "ancienne copie"));
        QVERIFY(::link(QFile::encodeName(chemin("base.tmp")), QFile::encodeName(chemin("autre"))) == 0);
        QVERIFY(classerParTheme(chemin("BASE.QZF"), chemin("base.tmp")).resultat.ok);
        QCOMPARE(contenu(chemin("BASE.QZF")), suite(enr, {1, 2, 0}));
        QCOMPARE(contenu(chemin("base.tmp")), suite(enr, {1, 2, 0}));
        QCOMPARE(contenu(chemin("autre")), QByteArray("ancienne copie"));
    }

    void classerParTheme_failure_reportsStepAndLeavesBankUnchanged_data()
    {
        QTest::addColumn<QString>("cas");
        QTest::addColumn<int>("etape");
        QTest::newRow("temporary file in a missing folder") << "dossier absent" << int(ResultatClasser::Etape::CopieTriee);
        QTest::newRow("temporary file is a folder") << "tmp dossier" << int(ResultatClasser::Etape::CopieTriee);
        // A bank with a second name is replaced through a copy beside it; a folder in its way stops the copy.
        QTest::newRow("copy of the bank blocked") << "copie bloquee" << int(ResultatClasser::Etape::Remplacement);
        QTest::newRow("bank missing") << "banque absente" << int(ResultatClasser::Etape::Lecture);
    }
    void classerParTheme_failure_reportsStepAndLeavesBankUnchanged()
    {
        QFETCH(QString, cas);
        QFETCH(int, etape);
        const QList<QByteArray> enr = cartes({3, 1, 2});
        const QByteArray avant = suite(enr, {0, 1, 2});
        QString tmp = chemin("base.tmp");
        QDir dir(m_dir->path());
        if (cas == "dossier absent")
            tmp = chemin("absent/base.tmp");
        else if (cas == "tmp dossier")
            QVERIFY(dir.mkdir("base.tmp"));
        else if (cas == "copie bloquee")
            QVERIFY(dir.mkdir("BASE.QZF.nouveau"));
        if (cas != "banque absente")
            QVERIFY(poser(chemin("BASE.QZF"), avant));
        if (cas == "copie bloquee")
            QVERIFY(::link(QFile::encodeName(chemin("BASE.QZF")), QFile::encodeName(chemin("lien"))) == 0);

        const ResultatClasser r = classerParTheme(chemin("BASE.QZF"), tmp);
        QVERIFY(!r.resultat.ok);
        QVERIFY(!r.resultat.erreur.isEmpty());
        QCOMPARE(int(r.echec), etape);
        if (cas == "banque absente") {
            QVERIFY(dir.entryList(QDir::Files).isEmpty());
            return;
        }
        QCOMPARE(contenu(chemin("BASE.QZF")), avant);
        if (cas == "copie bloquee")  // the sorted copy stays in place
            QCOMPARE(contenu(chemin("base.tmp")), suite(enr, {1, 2, 0}));
    }

    // --- deletion ----------------------------------------------------------------------

    void supprimerFiche_removesOneCard_data()
    {
        QTest::addColumn<int>("numero");
        QTest::addColumn<QList<int>>("restent");
        QTest::newRow("second of five") << 2 << QList<int>{0, 2, 3, 4};
        QTest::newRow("first") << 1 << QList<int>{1, 2, 3, 4};
        QTest::newRow("last") << 5 << QList<int>{0, 1, 2, 3};
        QTest::newRow("sixth of five keeps all") << 6 << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("zero keeps all") << 0 << QList<int>{0, 1, 2, 3, 4};
    }
    void supprimerFiche_removesOneCard()
    {
        QFETCH(int, numero);
        QFETCH(QList<int>, restent);
        const QList<QByteArray> enr = cartes({0, 1, 2, 3, 4});
        QVERIFY(poser(chemin("BASE.QZF"), suite(enr, ordreNaturel(5))));
        QVERIFY(poser(chemin("BASE.TMP"), "reste d'une suppression interrompue"));
        const Resultat r = supprimerFiche(chemin("BASE.QZF"), chemin("BASE.TMP"), numero);
        QVERIFY2(r.ok, qPrintable(r.erreur));
        QCOMPARE(contenu(chemin("BASE.QZF")), suite(enr, restent));
        QVERIFY(!QFile::exists(chemin("BASE.TMP")));
    }

    void supprimerFiche_padsShortLastRecord()
    {
        const QByteArray a = carte(1, 0).octets(), b = carte(2, 0).octets(), c = carte(3, 0).octets().left(10);
        QVERIFY(poser(chemin("BASE.QZF"), a + b + c));
        QVERIFY(supprimerFiche(chemin("BASE.QZF"), chemin("BASE.TMP"), 1).ok);
        QCOMPARE(contenu(chemin("BASE.QZF")), b + c + zeros(793));
    }

    void supprimerFiche_failure_leavesBankUnchanged_data()
    {
        QTest::addColumn<QString>("cas");
        QTest::newRow("temporary file in a missing folder") << "dossier absent";
        QTest::newRow("temporary file is a folder") << "tmp dossier";
        QTest::newRow("bank missing") << "banque absente";
    }
    void supprimerFiche_failure_leavesBankUnchanged()
    {
        QFETCH(QString, cas);
        const QByteArray avant = suite(cartes({0, 1, 2}), {0, 1, 2});
        QString tmp = chemin("BASE.TMP");
        QDir dir(m_dir->path());
        if (cas == "dossier absent")
            tmp = chemin("absent/BASE.TMP");
        else if (cas == "tmp dossier")
            QVERIFY(dir.mkdir("BASE.TMP"));
        if (cas != "banque absente")
            QVERIFY(poser(chemin("BASE.QZF"), avant));
        if (cas == "copie bloquee")
            QVERIFY(::link(QFile::encodeName(chemin("BASE.QZF")), QFile::encodeName(chemin("lien"))) == 0);

        const Resultat r = supprimerFiche(chemin("BASE.QZF"), tmp, 2);
        QVERIFY(!r.ok);
        QVERIFY(!r.erreur.isEmpty());
        if (cas == "banque absente")
            QVERIFY(dir.entryList(QDir::Files).isEmpty());
        else
            QCOMPARE(contenu(chemin("BASE.QZF")), avant);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
