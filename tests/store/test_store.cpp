#include "store/canaux.h"
#include "store/cp1252.h"
#include "store/reecriture.h"
#include "store/tablethemes.h"
#include "support/banque.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <numeric>
#include <optional>
#include <unistd.h>

using namespace banque;

static QByteArray espaces(int n) { return QByteArray(n, ' '); }
static QByteArray zeros(int n) { return QByteArray(n, '\0'); }

// Cards of a bank, each told apart by its number; only the theme byte matters to a sort. The bank's
// last card holds `fin` bytes, padded back with zeros if `complete`. No order: all, as they are.
static QByteArray cartes(const QList<int> &themes, const QList<int> &ordre = {}, int fin = 803, bool complete = false)
{
    QByteArray b;
    for (qsizetype k = 0; k < (ordre.isEmpty() ? themes.size() : ordre.size()); ++k) {
        const int i = ordre.isEmpty() ? int(k) : ordre[k];
        QByteArray r = QByteArray::number(i).leftJustified(803, char('a' + i % 26));
        r[781] = char(themes[i]);
        b += r.left(i == themes.size() - 1 ? fin : 803).leftJustified(complete ? 803 : 0, '\0');
    }
    return b;
}

// numero 0 sorts the bank by theme through base.tmp, any other deletes that card through BASE.TMP.
static ResultatClasser reecrire(int numero, const QString &dossier = {})
{
    if (numero == 0)
        return classerParTheme("BASE.QZF", dossier + "base.tmp");
    ResultatClasser r;
    r.resultat = supprimerFiche("BASE.QZF", dossier + "BASE.TMP", numero);
    return r;
}

class TestStore : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;

private slots:
    void init() { QVERIFY(QDir::setCurrent(m_dir.emplace().path())); }

    void questionFile_writesExactBytesAndReadsShortLastCardPadded()
    {
        FichierQuestions f;
        QVERIFY(f.ouvrir("NEUF.QZF").ok);
        QCOMPARE(f.nombre(), 0);
        QVERIFY(f.ecrire(1, fiche({"abc", 0, 2, 0, {}, "€œΩ😀b"})).ok && lire("NEUF.QZF").size() == 803);
        QVERIFY(f.ecrire(2, fiche({QString(50, u'a') + QString(200, u'b'), 4, 1, 1})).ok);
        const QByteArray disque = lire("NEUF.QZF");
        QCOMPARE(disque.left(200), "abc" + espaces(197));
        QCOMPARE(disque.mid(575, 200), "\x80\x9C??b" + espaces(195));  // an emoji is one question mark
        QCOMPARE(disque.mid(775, 6), QByteArray::fromHex("0000 FFFF 0000"));
        QCOMPARE(disque.mid(803, 325), QByteArray(50, 'a') + QByteArray(150, 'b') + espaces(125));
        QCOMPARE(disque.mid(803 + 775, 9), QByteArray::fromHex("FFFF 0000 0000 04 0100"));
        QVERIFY(f.ecrire(1, fiche({"x"})).ok);
        QCOMPARE(lire("NEUF.QZF"), fiche({"x"}).octets() + disque.mid(803));

        const QByteArray courte = cartes({1, 2}, {0, 1}, 100);
        QVERIFY(ecrire("B.QZF", courte) && f.ouvrir("B.QZF").ok);
        QCOMPARE(f.nombre(), 2);
        QCOMPARE(f.lire(1).octets() + f.lire(2).octets() + f.lire(3).octets(), courte + zeros(703 + 803));
    }

    void fieldText_everyByteRoundTripsAndDisplayStopsAtZero()
    {
        QByteArray tous(256, '\0');
        std::iota(tous.begin(), tous.end(), char(0));
        QCOMPARE(cp1252::encode(cp1252::decode(tous)), tous);
        // The code page's own table: a round trip alone passes with two entries swapped.
        const QString haut = QString::fromUtf8("€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ");
        QCOMPARE(cp1252::decode(tous.mid(0x80, 32)), haut);
        QCOMPARE(cp1252::encode(haut), tous.mid(0x80, 32));
        QCOMPARE(cp1252::encode(QString::fromUtf8("l’été ‘x’ Ω")), "l\x92\xE9t\xE9 \x91x\x92 ?");
        const QByteArray champ(" \t\xE9\x80  \0x", 8);
        QCOMPARE(texte::brut(champ.constData(), 8), QString(" \té€  "));
        QCOMPARE(texte::affiche(champ.constData(), 8), QString("\té€"));  // only spaces are trimmed
    }

    void canaux_handOutLowestFreeNumber()
    {
        Canaux c;
        QCOMPARE(QList<int>({c.ouvrir("A"), c.ouvrir("B"), c.ouvrir("C")}), QList<int>({1, 2, 3}));
        c.fermer(2);
        // A failed opening (of a folder) takes no number.
        QCOMPARE(QList<int>({c.ouvrir("."), c.ouvrir("D"), c.ouvrir("E")}), QList<int>({0, 2, 4}));
        QCOMPARE(c.fichier(2)->chemin(), QStringLiteral("D"));
    }

    void themeFile_readAndSavedTwice_data()
    {
        QTest::addColumn<QString>("banque");
        QTest::addColumn<QString>("prm");
        QTest::addColumn<QByteArray>("avant");  // none when empty
        QTest::addColumn<QString>("noms");  // from slot 0 on, split at '|'
        QTest::addColumn<QByteArray>("apres");
        const QByteArray etranger = QByteArray("\x01\xFF" "autre prog").repeated(8);  // slots 9 and 10, reserved bytes
        const QByteArray queue("suite\0\xFF", 7), court = "Histoire" + espaces(19) + "Art";  // 30 bytes
        QTest::newRow("missing file") << "BASE.QZF" << "BASE.prm" << QByteArray() << "Histoire|Géographie|||||||"
                                      << "Histoire" + espaces(19) + "G\xE9ographie" + espaces(17 + 7 * 27) + zeros(96);
        QTest::newRow("short file, long name") << "abc.qzf   " << "abc.prm" << court << "abcdefghijklmnopqrstuvwxyz0123"
                                               << "abcdefghijklmnopqrstuvwxyz0Art" + zeros(309);
        // n is the trimmed length of the name, but its characters are taken from the untrimmed one.
        QTest::newRow("foreign bytes and a tail") << " BASE.QZF" << " BAS.prm" << zeros(243) + etranger + queue
                                                  << "Tour" << "Tour" + espaces(23) + zeros(216) + etranger + queue;
    }
    void themeFile_readAndSavedTwice()
    {
        QFETCH(QString, banque);
        QFETCH(QString, prm);
        QFETCH(QByteArray, avant);
        QFETCH(QString, noms);
        QFETCH(QByteArray, apres);
        QCOMPARE(nomFichierThemes(banque), prm);
        QVERIFY(avant.isEmpty() || ecrire(prm, avant));
        for (const QByteArray &fichier : {avant, apres}) {  // the second round reads what the first one saved
            TableThemes t;
            t.fixerNom(0, QStringLiteral("reste"));
            QVERIFY(lireThemes(prm, t).ok);
            // Reading creates a missing file, empty, and leaves any other as it is.
            QVERIFY(QFile::exists(prm));
            QCOMPARE(lire(prm), fichier);
            QByteArray octets(339, 'U');
            t.versOctets(octets.data());
            QCOMPARE(octets, fichier.leftJustified(339, '\0', true));
            for (int i = 0; const QString &nom : noms.split(u'|'))
                t.fixerNom(i++, nom);
            QVERIFY(ecrireThemes(prm, t).ok);
            QCOMPARE(lire(prm), apres);
        }
    }

    void unreadableThemeFile_saveFailsAndKeepsIt()
    {
        if (::geteuid() == 0)
            QSKIP("root reads a file whatever its mode");
        const QByteArray avant = "Histoire";
        QVERIFY(ecrire("BASE.prm", avant) && QFile::setPermissions("BASE.prm", QFileDevice::WriteOwner));
        const Resultat r = ecrireThemes("BASE.prm", TableThemes{});
        QVERIFY(QFile::setPermissions("BASE.prm", QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(!r.ok);
        QCOMPARE(lire("BASE.prm"), avant);
    }

    void rewrite_givesCardsInOrder_data()
    {
        QTest::addColumn<int>("numero");
        QTest::addColumn<QList<int>>("themes");
        QTest::addColumn<int>("derniere");      // bytes of the last card
        QTest::addColumn<QList<int>>("ordre");  // positions of the cards afterwards
        QTest::addColumn<bool>("lien");         // base.tmp has another name
        QTest::newRow("sort 2 0 2 1") << 0 << QList<int>{2, 0, 2, 1} << 803 << QList<int>{1, 3, 0, 2} << false;
        // Themes above 8 come after theme 8, in file order.
        QTest::newRow("sort, over 8") << 0 << QList<int>{200, 8, 9, 0, 8} << 803 << QList<int>{3, 1, 4, 0, 2} << false;
        // The short card lost its theme byte: theme 0.
        QTest::newRow("sort, short last card") << 0 << QList<int>{1, 6} << 100 << QList<int>{1, 0} << false;
        QTest::newRow("sort, empty bank") << 0 << QList<int>() << 803 << QList<int>() << false;
        // The last sort's base.tmp is written over in place: another name for it must keep its bytes.
        QTest::newRow("sort, base.tmp linked") << 0 << QList<int>{2, 0, 1} << 803 << QList<int>{1, 2, 0} << true;
        QList<int> t, ordre(2500);  // enough cards to fill each theme's buffer several times over
        for (int i = 0; i < 2500; ++i)
            t << (i == 2499 ? 0 : (i * 7 + i / 13) % 12);  // the last card is short: theme 0
        std::iota(ordre.begin(), ordre.end(), 0);
        std::stable_sort(ordre.begin(), ordre.end(), [&](int a, int b) { return qMin(t[a], 9) < qMin(t[b], 9); });
        QTest::newRow("sort 2500 cards") << 0 << t << 500 << ordre << false;
        // The short last card comes back padded.
        QTest::newRow("delete 2 of 5") << 2 << QList<int>(5) << 10 << QList<int>{0, 2, 3, 4} << false;
        QTest::newRow("delete the first") << 1 << QList<int>(5) << 10 << QList<int>{1, 2, 3, 4} << false;
        QTest::newRow("delete the last") << 5 << QList<int>(5) << 10 << QList<int>{0, 1, 2, 3} << false;
        QTest::newRow("delete 6 of 5") << 6 << QList<int>(5) << 10 << QList<int>{0, 1, 2, 3, 4} << false;
    }
    void rewrite_givesCardsInOrder()
    {
        QFETCH(int, numero);
        QFETCH(QList<int>, themes);
        QFETCH(int, derniere);
        QFETCH(QList<int>, ordre);
        QFETCH(bool, lien);
        const QString tmp = numero == 0 ? "base.tmp" : "BASE.TMP";
        QVERIFY(ecrire("BASE.QZF", cartes(themes, {}, derniere)) && ecrire(tmp, "ancien"));
        QVERIFY(!lien || ::link("base.tmp", "autre") == 0);
        const ResultatClasser r = reecrire(numero);
        QVERIFY2(r.resultat.ok, qPrintable(r.resultat.erreur));
        const QByteArray attendu = cartes(themes, ordre, derniere, true);
        QCOMPARE(lire("BASE.QZF"), attendu);
        // A sort leaves its copy in base.tmp, a deletion renames BASE.TMP over the bank.
        QCOMPARE(lire(tmp), numero == 0 ? attendu : QByteArray());
        QCOMPARE(lire("autre"), QByteArray(lien ? "ancien" : ""));
        QCOMPARE(QDir().entryList(QDir::Files).size(), numero == 0 ? 2 + lien : 1);  // nothing left behind
    }

    void rewrite_failure_leavesBankUnchanged_data()
    {
        QTest::addColumn<int>("numero");
        QTest::addColumn<QString>("cas");
        QTest::addColumn<int>("etape");  // where a sort stopped
        using E = ResultatClasser::Etape;
        QTest::newRow("sort, base.tmp in a missing folder") << 0 << "dossier absent" << int(E::CopieTriee);
        QTest::newRow("sort, base.tmp is a folder") << 0 << "tmp dossier" << int(E::CopieTriee);
        // A bank with a second name is replaced through a copy beside it; a folder in its way stops the copy.
        QTest::newRow("sort, copy of the bank blocked") << 0 << "copie bloquee" << int(E::Remplacement);
        QTest::newRow("sort, bank missing") << 0 << "banque absente" << int(E::Lecture);
        QTest::newRow("delete, BASE.TMP is a folder") << 2 << "tmp dossier" << int(E::Aucune);
    }
    void rewrite_failure_leavesBankUnchanged()
    {
        QFETCH(int, numero);
        QFETCH(QString, cas);
        const QByteArray avant = cartes({3, 1, 2});
        QVERIFY(cas != "tmp dossier" || QDir().mkdir(numero == 0 ? "base.tmp" : "BASE.TMP"));
        QVERIFY(cas == "banque absente" || ecrire("BASE.QZF", avant));
        QVERIFY(cas != "copie bloquee" || (QDir().mkdir("BASE.QZF.nouveau") && ::link("BASE.QZF", "autre") == 0));
        const ResultatClasser r = reecrire(numero, cas == "dossier absent" ? "absent/" : "");
        QVERIFY(!r.resultat.ok && !r.resultat.erreur.isEmpty());
        QTEST(int(r.echec), "etape");
        QCOMPARE(lire("BASE.QZF"), cas == "banque absente" ? QByteArray() : avant);
        QCOMPARE(QDir().entryList(QDir::Files).size(), cas == "banque absente" ? 0 : cas == "copie bloquee" ? 3 : 1);
        if (cas == "copie bloquee")  // the sorted copy stays in base.tmp
            QCOMPARE(lire("base.tmp"), cartes({3, 1, 2}, {1, 2, 0}));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
