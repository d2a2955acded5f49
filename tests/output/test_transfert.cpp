// Transfers between banks on disk: which cards go, the exact bytes written, and the
// destination left byte for byte as it was whenever the transfer cannot be completed.
#include "output/transfert.h"
#include "support/banque.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Marques = QList<int>;    // the mark of each card of the source, from card 1
using Numeros = QList<int>;    // card numbers of the source
constexpr int T = 803;

QByteArray source(const Marques &marques)
{
    QByteArray b;
    for (int i = 0; i < marques.size(); ++i)
        b += banque::fiche({QStringLiteral("Q%1").arg(i + 1), i % 9, 1 + i % 3, marques[i], {"a", "b"}, "c", "AB",
                            "x.wav", 2})
                 .octets();
    return b;
}

// Cards 1 to n of the given numbers, as copies: bytes 782 and 783 (the mark) set to zero.
QByteArray copies(const QByteArray &src, const Numeros &numeros)
{
    QByteArray b;
    for (int n : numeros)
        b += banque::enregistrement(src, n).replace(782, 2, QByteArray(2, '\0'));
    return b;
}

Numeros plage(int de, int a)
{
    Numeros n;
    for (int i = de; i <= a; ++i)
        n << i;
    return n;
}

// The process may not make a file longer than `octets` while it lives: the next write past
// it fails as it would on a full disk.
struct LimiteTaille {
    rlimit avant{};
    explicit LimiteTaille(rlim_t octets)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &avant);
        rlimit r = avant;
        r.rlim_cur = octets;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~LimiteTaille() { setrlimit(RLIMIT_FSIZE, &avant); }
};

} // namespace

class TestTransfert : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString chemin(const QString &nom) const { return m_dir.filePath(nom); }

private slots:
    void init() { QVERIFY(QDir(m_dir.path()).removeRecursively() && QDir().mkpath(m_dir.path())); }

    // What a transfer appends, run once or twice; the destination made when missing, a short last
    // record of either file read or padded with zeros, nothing written when nothing is chosen.
    void appends_data()
    {
        QTest::addColumn<QByteArray>("src");
        QTest::addColumn<int>("selection");
        QTest::addColumn<QByteArray>("avant");  // the destination; null: none
        QTest::addColumn<int>("fois");
        QTest::addColumn<int>("copiees");       // by each run
        QTest::addColumn<QByteArray>("apres");
        const Marques dix(10, 0);
        auto avec = [&](std::initializer_list<int> marquees) {
            Marques m = dix;
            for (int n : marquees)
                m[n - 1] = 1;
            return m;
        };
        const QByteArray deux = banque::octets({{"D1"}, {"D2", 3, 2, 1}});
        auto selection = [&](const char *nom, const Marques &marques, int sel, const Numeros &numeros) {
            const QByteArray src = source(marques);
            QTest::newRow(nom) << src << sel << deux << 1 << int(numeros.size()) << deux + copies(src, numeros);
        };
        const int toutes = 0, marquees = 1, entre = 2;
        selection("all", avec({3}), toutes, plage(1, 10));
        selection("marked", avec({2, 9}), marquees, Numeros{2, 9});
        selection("marked, any non-zero mark", Marques{0, 2, -1, 0, 1}, marquees, Numeros{2, 3, 5});
        selection("between 2,5,7,9", avec({2, 5, 7, 9}), entre, plage(2, 5) + plage(7, 9));
        selection("between 3,6,8: the last range runs to the end", avec({3, 6, 8}), entre, plage(3, 6) + plage(8, 10));
        selection("between, single mark on the last card", avec({10}), entre, Numeros{10});
        selection("between, only a mark of 1 counts", Marques{0, 1, 2, 0, 1, 0, -1}, entre, plage(2, 5));
        selection("between, no mark", dix, entre, Numeros{});
        selection("empty source", Marques{}, toutes, Numeros{});
        const QByteArray src = source({1, 0, 1}), deuxFois = copies(src, {1, 3}) + copies(src, {1, 3});
        auto destination = [&](const char *nom, const QByteArray &avant, const QByteArray &tete) {
            QTest::newRow(nom) << src << marquees << avant << 2 << 2 << tete + deuxFois;
        };
        destination("new file", QByteArray(), QByteArray());
        destination("empty file", QByteArray(""), QByteArray());
        destination("two cards", deux, deux);
        destination("short last record padded", deux.left(T + 500), deux.left(T + 500) + QByteArray(303, '\0'));
        destination("one byte", QByteArray("x"), QByteArray("x").leftJustified(T, '\0'));
        const QByteArray courte = source({0, 0}).left(T + 100);
        QTest::newRow("source's short last record") << courte << toutes << QByteArray() << 1 << 2 << courte + QByteArray(T - 100, '\0');
        const QByteArray court = deux.left(700);
        QTest::newRow("nothing chosen: not even padded") << source({0, 0}) << marquees << court << 1 << 0 << court;
        QTest::newRow("nothing chosen: new file empty") << source({0, 0}) << marquees << QByteArray() << 1 << 0 << QByteArray("");
    }
    void appends()
    {
        QFETCH(QByteArray, src);
        QFETCH(int, selection);
        QFETCH(QByteArray, avant);
        QFETCH(int, fois);
        QVERIFY(banque::ecrire(chemin("BASE.QZF"), src) && (avant.isNull() || banque::ecrire(chemin("DEST.QZF"), avant)));
        for (int i = 0; i < fois; ++i) {
            const ResultatTransfert r = transferer(chemin("BASE.QZF"), chemin("DEST.QZF"), Selection(selection));
            QVERIFY2(r.resultat.ok, qPrintable(r.resultat.erreur));
            QTEST(r.copiees, "copiees");
        }
        QVERIFY(QFileInfo::exists(chemin("DEST.QZF")));
        QTEST(banque::lire(chemin("DEST.QZF")), "apres");
        QCOMPARE(banque::lire(chemin("BASE.QZF")), src);
    }

    void failure_saysWhyAndLeavesDestination_data()
    {
        QTest::addColumn<QString>("cas");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("erreur");  // DIR for the folder
        QTest::addColumn<bool>("existeApres");
        const QString ecrire = "Impossible d'écrire dans le fichier destination DIR/DEST.QZF : ";
        QTest::newRow("file size limit, existing") << "limite" << "DEST.QZF"
            << ecrire + "le fichier dépasserait la taille permise. Le fichier destination n'a pas été modifié." << true;
        QTest::newRow("file size limit, new") << "limite" << "NEUF.QZF"
            << "Impossible d'écrire dans le fichier destination DIR/NEUF.QZF : le fichier dépasserait la taille "
               "permise. Le fichier destination n'a pas été créé." << false;
        QTest::newRow("locked by another program") << "verrou" << "DEST.QZF"
            << ecrire + "il est verrouillé par un autre programme." << true;
        QTest::newRow("a folder") << "dossier" << "DEST.QZF"
            << "Impossible d'ouvrir le fichier destination DIR/DEST.QZF : c'est un dossier." << true;
        QTest::newRow("missing folder") << "" << "ABSENT/DEST.QZF"
            << "Impossible de créer le fichier destination DIR/ABSENT/DEST.QZF : le dossier n'existe pas." << false;
        QTest::newRow("the source itself") << "" << "BASE.QZF"
            << "Le fichier destination DIR/BASE.QZF est le fichier d'origine lui-même : choisissez un autre fichier."
            << true;
        QTest::newRow("the source by another name") << "lien" << "DEST.QZF"
            << "Le fichier destination DIR/DEST.QZF est le fichier d'origine lui-même : choisissez un autre fichier."
            << true;
        QTest::newRow("read-only file") << "lecture" << "DEST.QZF"
            << "Impossible d'ouvrir le fichier destination DIR/DEST.QZF : accès refusé." << true;
        QTest::newRow("read-only folder") << "dossierLecture" << "NEUF.QZF"
            << "Impossible de créer le fichier destination DIR/NEUF.QZF : accès refusé." << false;
        // Four copies would make card 32768 of a bank of 32764.
        QTest::newRow("more cards than a bank numbers") << "pleine" << "DEST.QZF"
            << "Le fichier destination DIR/DEST.QZF contiendrait 32768 fiches, plus que les 32767 qu'une banque peut "
               "numéroter : il n'a pas été modifié." << true;
    }
    void failure_saysWhyAndLeavesDestination()
    {
        QFETCH(QString, cas);
        QFETCH(QString, destination);
        const QByteArray src = source({1, 1, 1, 1});
        const QByteArray avant = banque::octets({{"D1"}, {"D2"}}).left(T + 10);
        QVERIFY(banque::ecrire(chemin("BASE.QZF"), src));
        const QString dest = chemin(destination);
        if (cas == "dossier")
            QVERIFY(QDir().mkpath(dest));
        else if (cas == "lien")
            QVERIFY(::link(QFile::encodeName(chemin("BASE.QZF")), QFile::encodeName(dest)) == 0);
        else if (cas == "pleine")
            QVERIFY(banque::ecrire(dest, QByteArray(qsizetype(32764) * T, ' ')));
        else if (destination == "DEST.QZF")
            QVERIFY(banque::ecrire(dest, avant));
        const QByteArray octetsAvant = banque::lire(dest);
        if ((cas == "lecture" || cas == "dossierLecture") && ::geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        if (cas == "lecture")
            QVERIFY(QFile::setPermissions(dest, QFile::ReadOwner));
        if (cas == "dossierLecture")
            QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        int verrou = -1;
        if (cas == "verrou") {
            verrou = ::open(QFile::encodeName(dest), O_RDONLY);
            QVERIFY(verrou >= 0 && ::flock(verrou, LOCK_EX) == 0);
            // flock belongs to the open file: a second opening in this process is another holder.
        }
        ResultatTransfert r;
        {
            std::optional<LimiteTaille> limite;
            if (cas == "limite")
                limite.emplace(rlim_t(2 * T));  // room for one more card only: the write stops halfway
            r = transferer(chemin("BASE.QZF"), dest, Selection::Toutes);
        }
        if (verrou >= 0)
            ::close(verrou);
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!r.resultat.ok);
        QCOMPARE(r.copiees, 0);
        QTEST(r.resultat.erreur.replace(m_dir.path(), "DIR"), "erreur");
        QTEST(QFileInfo::exists(dest), "existeApres");
        if (cas != "dossier")
            QCOMPARE(banque::lire(dest), octetsAvant);
        QCOMPARE(banque::lire(chemin("BASE.QZF")), src);
    }

    void stoppedThroughProgression_writesNothing_data()
    {
        QTest::addColumn<bool>("existe");
        QTest::newRow("existing destination") << true;
        QTest::newRow("new destination") << false;
    }
    void stoppedThroughProgression_writesNothing()
    {
        QFETCH(bool, existe);
        QVERIFY(banque::ecrire(chemin("BASE.QZF"), source(Marques(3000, 0))));
        const QByteArray avant = banque::octets({{"D1"}}).left(500);
        if (existe)
            QVERIFY(banque::ecrire(chemin("DEST.QZF"), avant));
        const ResultatTransfert r = transferer(chemin("BASE.QZF"), chemin("DEST.QZF"), Selection::Toutes,
                                               [](qint64 faites, qint64) { return faites < 2000; });
        QVERIFY(r.annule);
        QCOMPARE(r.copiees, 0);
        QCOMPARE(QFileInfo::exists(chemin("DEST.QZF")), existe);
        QCOMPARE(banque::lire(chemin("DEST.QZF")), existe ? avant : QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestTransfert)
#include "test_transfert.moc"
