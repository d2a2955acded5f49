// The recycle file, duplicates and themes changed in bulk, window-free, and their qzf verbs.
#include "search/recherche.h"
#include "store/fichierquestions.h"
#include "support/banque.h"
#include "support/lancer.h"
#include "tidy/corbeille.h"
#include "tidy/doublons.h"
#include "tidy/menage.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

using L = QStringList;
constexpr int T = 803;
constexpr qint64 Date = 1717243200;  // 2024-06-01T12:00:00Z

banque::Carte carte(const QString &q, const L &r = {"a", "b", "c"}, int theme = 0, int marque = 0)
{
    return {q, theme, 1, marque, r, "commentaire de " + q, "AB"};
}

QByteArray bancDe(int n)
{
    QByteArray b;
    for (int i = 1; i <= n; ++i)
        b += banque::fiche(carte(QStringLiteral("Question %1").arg(i), {"x", "y", "z"}, i % 3)).octets();
    return b;
}

// One line per group: "same:1,2" or "close:1,3".
L groupes(const QByteArray &octets, double seuil)
{
    L l;
    for (const doublons::Groupe &g : doublons::chercher(octets.constData(), octets.size(), seuil).groupes) {
        L n;
        for (int f : g.fiches)
            n << QString::number(f);
        l << (g.identique ? "same:" : "close:") + n.join(',');
    }
    return l;
}

struct Banc {
    QTemporaryDir dir;
    QString banque() const { return dir.filePath("BASE.QZF"); }
    QString media() const { return dir.filePath("BASE"); }
    QString tmp() const { return dir.filePath("BASE.TMP"); }
    QByteArray octets() const { return banque::lire(banque()); }
    corbeille::Contenu recycle() const
    {
        corbeille::Contenu c;
        corbeille::lire(media(), c);
        return c;
    }
};

} // namespace

class TestMenage : public QObject {
    Q_OBJECT
private slots:
    void deleteThenRestore_givesTheCardBackByteForByte_data()
    {
        QTest::addColumn<int>("nombre");
        QTest::addColumn<int>("supprimee");
        QTest::newRow("middle card") << 5 << 2;
        QTest::newRow("last card") << 3 << 3;
        QTest::newRow("first card") << 2 << 1;
    }
    void deleteThenRestore_givesTheCardBackByteForByte()
    {
        QFETCH(int, nombre);
        QFETCH(int, supprimee);
        Banc b;
        QByteArray depart = bancDe(nombre);
        depart[(supprimee - 1) * T + 600] = '\x9d';  // an undefined code-page byte travels as it is
        QVERIFY(banque::ecrire(b.banque(), depart));
        const QByteArray gardee = banque::enregistrement(depart, supprimee);

        QVERIFY(corbeille::supprimerEnGardant(b.banque(), b.tmp(), supprimee, b.media(), Date));
        QCOMPARE(b.octets(), QByteArray(depart).remove((supprimee - 1) * T, T));
        QCOMPARE(banque::lire(b.media() + "/corbeille.qzc"), gardee);
        QCOMPARE(b.recycle().dates, std::vector<qint64>{Date});

        int premiere = 0;
        QVERIFY(corbeille::restaurer(b.banque(), menage::cheminTemporaire(b.banque()), b.media(), {1}, &premiere));
        QCOMPARE(premiere, nombre);
        QCOMPARE(banque::enregistrement(b.octets(), nombre), gardee);
        QCOMPARE(b.octets().size(), nombre * T);
        QCOMPARE(b.recycle().nombre(), 0);
        QVERIFY(!QFile::exists(menage::cheminTemporaire(b.banque())));
    }

    void restore_choosesCardsAndKeepsTheOthersWithTheirDates()
    {
        Banc b;
        QVERIFY(banque::ecrire(b.banque(), bancDe(6)));
        for (qint64 k = 0; k < 4; ++k)  // cards 1..4 of the start, each deleted from the front
            QVERIFY(corbeille::supprimerEnGardant(b.banque(), b.tmp(), 1, b.media(), Date + k));
        QVERIFY(corbeille::restaurer(b.banque(), b.tmp(), b.media(), {3, 1, 3}));
        QCOMPARE(texte::affiche(banque::carte(b.banque(), 3).Question), "Question 1");
        QCOMPARE(texte::affiche(banque::carte(b.banque(), 4).Question), "Question 3");
        const corbeille::Contenu c = b.recycle();
        QCOMPARE(c.nombre(), 2);
        QCOMPARE(texte::affiche(c.fiche(1).Question), "Question 2");
        QCOMPARE(c.dates, (std::vector<qint64>{Date + 1, Date + 3}));
        const Resultat hors = corbeille::restaurer(b.banque(), b.tmp(), b.media(), {3});
        QCOMPARE(hors.erreur, "La corbeille ne contient pas de fiche numéro 3 (elle en contient 2).");
    }

    void deletion_deletesNothing_whenTheCardCannotBeKept_data()
    {
        QTest::addColumn<QString>("panne");
        QTest::newRow("media folder is a file") << "dossier";
        QTest::newRow("recycle file on a device") << "peripherique";  // every call failing in turn: test_durabilite
    }
    void deletion_deletesNothing_whenTheCardCannotBeKept()
    {
        QFETCH(QString, panne);
        Banc b;
        const QByteArray depart = bancDe(3);
        QVERIFY(banque::ecrire(b.banque(), depart));
        QVERIFY(QDir().mkpath(b.media()));
        if (panne == "dossier")
            QVERIFY(QDir(b.media()).removeRecursively() && banque::ecrire(b.media(), "pas un dossier"));
        else
            QVERIFY(QFile::link("/dev/full", b.media() + "/corbeille.qzc"));
        const Resultat r = corbeille::supprimerEnGardant(b.banque(), b.tmp(), 2, b.media(), Date);
        QVERIFY(!r);
        QVERIFY2(r.erreur.startsWith("La fiche 2 n'a pas pu être gardée dans la corbeille"), qPrintable(r.erreur));
        QCOMPARE(b.octets(), depart);
        QVERIFY(!QFile::exists(b.tmp()));
    }

    void duplicates_data()
    {
        QTest::addColumn<QByteArray>("cartes");
        QTest::addColumn<double>("seuil");
        QTest::addColumn<L>("attendus");
        const L r = {"Paris", "Lyon", "Marseille"};
        const QString capitale = "Quelle est la capitale de la France ?";
        QTest::newRow("case, accents, spaces folded") << banque::octets({carte(capitale, r), carte("Autre chose", {"1", "2", "3"}),
                                                                         carte("quelle est la capitale de la france?", {"x", "y", "z"})})
                                                      << 0.9 << L{"same:1,3"};
        QTest::newRow("accents and punctuation") << banque::octets({carte("Où se trouve l'Élysée ?"), carte("ou se trouve  l elysee"),
                                                                     carte("Où se trouve le Louvre ?", {"d", "e", "f"})})
                                                 << 0.95 << L{"same:1,2", "close:1,2"};
        QTest::newRow("answers in another order") << banque::octets({carte(capitale, r), carte(capitale, {"Marseille", "paris", "Lyon"})})
                                                  << 0.9 << L{"same:1,2", "close:1,2"};
        QTest::newRow("other answers, high threshold") << banque::octets({carte(capitale, r), carte(capitale, {"Berlin", "Rome", "Madrid"})})
                                                       << 0.9 << L{"same:1,2"};
        QTest::newRow("one word changed, same answers")
            << banque::octets({carte("Quel est le plus long fleuve de France métropolitaine ?", r),
                               carte("Quel est le plus grand fleuve de France métropolitaine ?", {"Lyon", "Paris", "Marseille"}),
                               carte("Combien de départements compte la France ?", r)})
            << 0.8 << L{"close:1,2"};
        QTest::newRow("empty questions are no group") << banque::octets({carte(""), carte("   "), carte("Une question")}) << 0.8 << L{};
        QTest::newRow("three close cards make one group")
            << banque::octets({carte("Qui a peint la Joconde ?"), carte("Quel pays ?", {"1", "2", "3"}),
                               carte("Qui a peint la Joconde"), carte("qui a peint la joconde ? (tableau)")})
            << 0.75 << L{"same:1,3", "close:1,3,4"};
    }
    void duplicates()
    {
        QFETCH(QByteArray, cartes);
        QFETCH(double, seuil);
        QTEST(groupes(cartes, seuil), "attendus");
    }

    void foldedText()
    {
        QCOMPARE(doublons::plier(QStringLiteral("  L'Œuvre — d’Ève, ÇA va ?! ")), "l oeuvre d eve ca va");
        QCOMPARE(doublons::motsAbsents("Paris est belle", {"paris", "est grande"}), L{"belle"});
        // A word that folds into two is found when both are.
        QCOMPARE(doublons::motsAbsents("Vue de l'Hexagone. L'image", {"vue de l'hexagone. l'image"}), L{});
        QCOMPARE(doublons::motsAbsents("Vue de l'Hexagone.", {"vue de la hexagone"}), L{"l'Hexagone."});
    }

    // 10 000 marked cards among 12 000 change theme in one rewrite: one rename into the folder.
    void retheme_tenThousandMarkedCards_isOneRewrite()
    {
        Banc b;
        QByteArray depart;
        for (int i = 1; i <= 12000; ++i)
            depart += banque::fiche(carte(QStringLiteral("Q%1").arg(i), {"a", "b", "c"}, i % 9, i <= 10000 ? 1 : 0)).octets();
        QVERIFY(banque::ecrire(b.banque(), depart));
        const int in = inotify_init1(IN_NONBLOCK);
        QVERIFY(in >= 0);
        QVERIFY(inotify_add_watch(in, QFile::encodeName(b.dir.path()).constData(), IN_MOVED_TO) >= 0);
        const menage::Bilan r = menage::changerTheme(b.banque(), menage::cheminTemporaire(b.banque()),
                                                     recherche::Critere::marque(), 4);
        QVERIFY(r.resultat);
        QCOMPARE(r.changees, 10000 - 10000 / 9);  // those already in theme 4 do not change
        int renommes = 0;
        char tampon[65536];
        for (ssize_t n; (n = read(in, tampon, sizeof tampon)) > 0;)
            for (char *p = tampon; p < tampon + n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(p);
                renommes += (e->mask & IN_MOVED_TO) ? 1 : 0;
                p += sizeof(inotify_event) + e->len;
            }
        QCOMPARE(renommes, 1);
        // Nothing to change: no rewrite at all.
        QVERIFY(menage::changerTheme(b.banque(), menage::cheminTemporaire(b.banque()), recherche::Critere::marque(), 4).resultat);
        QCOMPARE(read(in, tampon, sizeof tampon), ssize_t(-1));
        close(in);
    }

    void qzfVerbs_data()
    {
        QTest::addColumn<L>("commandes");  // run in turn; BANK is the bank's path
        QTest::addColumn<int>("code");     // of the last one
        QTest::addColumn<QString>("sortie");
        QTest::newRow("empty recycle") << L{"trash BANK"} << 1 << "";
        QTest::newRow("deleted cards listed") << L{"delete BANK 2", "delete BANK 1", "trash BANK"} << 0
                                              << "1\tDATE\tHistoire\tQuelle est la capitale ?\n2\tDATE\tSciences\tQ1\n";
        QTest::newRow("restore two") << L{"delete BANK 2", "delete BANK 1", "restore BANK 2 1"} << 0 << "{\"restaurees\":[3,4]}\n";
        QTest::newRow("duplicates") << L{"duplicates BANK --threshold 0.9"} << 0
                                    << "{\"kind\":\"same\",\"cards\":[2,4]}\n{\"kind\":\"close\",\"score\":1.00,\"cards\":[2,4]}\n";
        QTest::newRow("retheme marked by name") << L{"retheme BANK sciences --marked"} << 0
                                                << "{\"deplacees\":1,\"comptes\":{\"parTheme\":[1,3,0,0,0,0,0,0,0],\"horsThemes\":0,\"total\":4}}\n";
        QTest::newRow("retheme by text") << L{"retheme BANK 5 --text CAPITALE"} << 0
                                         << "{\"deplacees\":2,\"comptes\":{\"parTheme\":[1,1,0,0,0,2,0,0,0],\"horsThemes\":0,\"total\":4}}\n";
    }
    void qzfVerbs()
    {
        QFETCH(L, commandes);
        Banc b;
        QVERIFY(banque::ecrire(b.banque(), {carte("Q1", {"a", "b", "c"}, 1), carte("Quelle est la capitale ?", {"a", "b", "c"}, 0, 1),
                                            carte("Q3"), carte("quelle est la CAPITALE", {"c", "b", "a"}, 1)}));
        QVERIFY(banque::ecrireThemes(b.dir.filePath("BASE.prm"), {"Histoire", "Sciences"}));
        int code = 0;
        QString sortie, erreurs;
        const qint64 avant = QDateTime::currentSecsSinceEpoch();
        for (const QString &c : commandes) {
            sortie.clear(), erreurs.clear();
            code = lancer(c.split(' ').replaceInStrings("BANK", b.banque()), sortie, erreurs);
        }
        const QRegularExpression date("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ");
        const QString brute = sortie;
        for (auto m = date.globalMatch(brute); m.hasNext();) {
            const QString t = m.next().captured();
            QVERIFY(qAbs(QDateTime::fromString(t, Qt::ISODate).toSecsSinceEpoch() - avant) < 60);
            sortie.replace(t, "DATE");
        }
        QTEST(sortie, "sortie");
        QCOMPARE(erreurs, QString());
        QTEST(code, "code");
    }
};

QTEST_GUILESS_MAIN(TestMenage)
#include "test_menage.moc"
