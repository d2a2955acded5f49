// Every whole-bank operation under the fault layer of couches.h: each system call failing in
// turn, and the power going after each one; then the rights, links and journal of a rewrite.
#include "couches.h"

#include "output/transfert.h"
#include "search/recherche.h"
#include "store/disque.h"
#include "store/fichierquestions.h"
#include "store/reecriture.h"
#include "store/tablethemes.h"
#include "support/banque.h"
#include "support/lancer.h"
#include "tidy/corbeille.h"
#include "tidy/menage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/stat.h>

namespace {

constexpr int T = FicheQuestion::Taille;
constexpr qint64 Date = 1717243200;

// Cards told apart by their number; the theme byte is what a sort reads; every other card is
// marked if asked. The last card holds `fin` bytes.
QByteArray cartes(const QList<int> &themes, int fin = T, bool marques = false)
{
    QByteArray b;
    for (int i = 0; i < themes.size(); ++i) {
        QByteArray r = QByteArray::number(i + 1).leftJustified(T, char('a' + i % 26));
        r[offsets::NumTheme] = char(themes[i]);
        r[offsets::Marque] = char(marques && i % 2);
        r[offsets::Marque + 1] = 0;
        b += i == themes.size() - 1 ? r.left(fin) : r;
    }
    return b;
}

bool poser(const QString &chemin, const QByteArray &octets, mode_t mode = 0644)
{
    return banque::ecrire(chemin, octets) && ::chmod(QFile::encodeName(chemin).constData(), mode) == 0;
}

mode_t modeDe(const QString &chemin)
{
    struct stat st {};
    ::lstat(QFile::encodeName(chemin).constData(), &st);
    return st.st_mode;
}

FicheQuestion ficheNeuve()
{
    FicheQuestion f;
    texte::stocker(f.Question, QStringLiteral("Nouvelle question ?"));
    f.NumTheme = 2;
    f.BonneReponse[1] = -1;
    return f;
}

const QByteArray kBanque = cartes({3, 0, 8, 1, 0, 12, 3, 2}, 500, true);

QByteArray themesDepart() { return QByteArray("Sciences").leftJustified(TableThemes::Taille + 20, 'x'); }

QByteArray trie(const QByteArray &b)
{
    QByteArray r;
    for (int t = 0; t <= 9; ++t)
        for (qsizetype o = 0; o < b.size(); o += T) {
            const QByteArray c = b.mid(o, T).leftJustified(T, '\0');
            const int th = quint8(c[offsets::NumTheme]);
            if ((t < 9 && th == t) || (t == 9 && th > 8))
                r += c;
        }
    return r;
}

QByteArray sansLaTroisieme(const QByteArray &b) { return (b.left(2 * T) + b.mid(3 * T)).leftJustified(7 * T, '\0'); }

// One whole-bank operation of the program, on the bank "BASE.QZF" of a folder; what it should
// leave when it runs to its end; the names it may leave beside the bank; and what else must
// hold once the bank has been opened again ("" when it does), told whether the file is new and
// whether the operation said it failed (rather than being cut short).
struct Operation {
    std::function<Resultat(const QString &dossier)> lancer;
    std::function<QByteArray(const QByteArray &)> attendu;
    QString fichier = QStringLiteral("BASE.QZF");
    QStringList restesPermis = {};
    std::function<QString(const QString &dossier, bool nouveau, bool refusee)> aussi = [](const QString &, bool, bool) { return QString(); };
    QList<std::pair<QString, QByteArray>> poses = {};  // files laid in the folder first
};

// A deleted card goes to the recycle file first: never a new bank without it, never half of it,
// and a card still in the bank is not offered back twice. `deja`: the recycle file already holds
// card 1, deleted earlier.
Operation corbeille(bool deja)
{
    Operation op{[](const QString &d) { return corbeille::supprimerEnGardant(d + "/BASE.QZF", d + "/BASE.TMP", 3, d + "/BASE", Date); },
                 sansLaTroisieme};
    op.aussi = [deja](const QString &d, bool nouveau, bool refusee) {
        corbeille::Contenu c;
        if (!corbeille::lire(d + "/BASE", c))
            return QStringLiteral("recycle file unreadable");
        const int n = c.nombre() - deja;
        if (n < 0 || n > 1 || (nouveau && n != 1) || (refusee && !nouveau && n != 0))
            return QStringLiteral("recycle file of %1 cards").arg(c.nombre());
        if (deja && (c.cartes.left(T) != kBanque.left(T) || c.dates[0] != Date - 60))
            return QStringLiteral("the card the recycle file held changed");
        if (n && (c.cartes.mid(deja * T) != kBanque.mid(2 * T, T) || c.dates.back() != Date))
            return QStringLiteral("recycle file holds another card or date");
        return QString();
    };
    if (deja) {
        static const QList<std::pair<QString, QByteArray>> poses = [] {
            QTemporaryDir dir;
            corbeille::garder(dir.path(), kBanque.left(T), Date - 60);
            QList<std::pair<QString, QByteArray>> l;
            for (const QString &nom : {corbeille::nomCartes(), corbeille::nomDates()})
                l.append({"BASE/" + nom, banque::lire(dir.filePath(nom))});
            return l;
        }();
        op.poses = poses;
    }
    return op;
}

QMap<QString, Operation> operations()
{
    QMap<QString, Operation> ops;
    ops["tri"] = {[](const QString &d) { return classerParTheme(d + "/BASE.QZF", d + "/base.tmp").resultat; }, trie,
                  QStringLiteral("BASE.QZF"), {QStringLiteral("base.tmp")}};
    ops["suppression"] = {[](const QString &d) { return supprimerFiche(d + "/BASE.QZF", d + "/BASE.TMP", 3); }, sansLaTroisieme};
    ops["ajout"] = {[](const QString &d) { return ajouterFiches(d + "/BASE.QZF", d + "/BASE.QZF.import", cartes({4, 5})); },
                    [](const QByteArray &b) { return b.leftJustified(8 * T, '\0') + cartes({4, 5}); }};
    ops["fiche"] = {[](const QString &d) {
                        FichierQuestions f;
                        const Resultat r = f.ouvrir(d + "/BASE.QZF");
                        return r ? f.ecrire(4, ficheNeuve()) : r;
                    },
                    [](const QByteArray &b) { return QByteArray(b).replace(3 * T, T, ficheNeuve().octets()); }};
    ops["transfert"] = {[](const QString &d) { return transferer(d + "/SOURCE.QZF", d + "/BASE.QZF", Selection::Toutes).resultat; },
                        [](const QByteArray &b) { return b.leftJustified(8 * T, '\0') + cartes({1, 2, 3}); }};
    static const TableThemes histoire = [] {
        TableThemes t;
        t.fixerNom(0, QStringLiteral("Histoire"));
        return t;
    }();
    ops["themes"] = {[](const QString &d) { return ecrireThemes(d + "/BASE.prm", histoire); },
                     [](QByteArray b) { return histoire.versOctets(b.data()), b; }, QStringLiteral("BASE.prm")};
    ops["corbeille"] = corbeille(false);
    ops["corbeille, une carte deja"] = corbeille(true);
    // The marked cards to theme 7, in one rewrite (the last card is too short to hold a mark).
    ops["retheme"] = {[](const QString &d) {
                          return menage::changerTheme(d + "/BASE.QZF", menage::cheminTemporaire(d + "/BASE.QZF"),
                                                      recherche::Critere::marque(), 7).resultat;
                      },
                      [](const QByteArray &b) {
                          QByteArray r = b.leftJustified(8 * T, '\0');
                          for (int i = 1; i < 7; i += 2)
                              r[i * T + offsets::NumTheme] = 7;
                          return r;
                      }};
    return ops;
}

// After a fault and the next opening: the file old or new byte for byte, new when the operation
// said it succeeded (fini 1; 0 it said it failed, -1 it was cut short), and beside it only the
// program's files. "" when all holds.
QString bilan(const Operation &op, const QString &d, const QByteArray &apres, const QByteArray &ancien, const QByteArray &nouveau,
              int fini, const QStringList &noms, const QStringList &permis)
{
    if (apres != ancien && apres != nouveau)
        return QStringLiteral("neither old nor new (%1 bytes)").arg(apres.size());
    if (fini == 1 && apres != nouveau)
        return QStringLiteral("old after a success");
    for (const QString &n : noms)
        if (!permis.contains(n) && !op.restesPermis.contains(n))
            return "left behind: " + n;
    return op.aussi(d, apres == nouveau, fini == 0);
}

} // namespace

class TestDurabilite : public QObject {
    Q_OBJECT

private slots:
    // Every system call of a run in turn fails (an I/O error, a full disk, a short write) or is
    // the last before the power goes, the disk then keeping none, some (torn at a sector) or all
    // of what was not flushed, with or without the folders' unflushed changes. The scratch file
    // of a deletion or a theme change cut short stays until the next one.
    void panneOuCoupure_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("erreur");  // 0: the power goes
        QTest::addColumn<bool>("moitie");
        for (const QString &op : operations().keys()) {
            QTest::addRow("%s EIO", qPrintable(op)) << op << EIO << false;
            QTest::addRow("%s disque plein", qPrintable(op)) << op << ENOSPC << false;
            QTest::addRow("%s ecriture courte", qPrintable(op)) << op << ENOSPC << true;
            QTest::addRow("%s coupure", qPrintable(op)) << op << 0 << false;
        }
    }
    void panneOuCoupure()
    {
        QFETCH(QString, operation);
        QFETCH(int, erreur);
        QFETCH(bool, moitie);
        const Operation op = operations()[operation];
        // The recycle files laid on the real disk too: a deletion asks it whether they exist.
        QTemporaryDir dir;
        const QString d = dir.path();
        for (const auto &[nom, octets] : op.poses)
            QVERIFY(QDir(d).mkpath("BASE") && poser(d + "/" + nom, octets));
        const std::string cible = (d + "/" + op.fichier).toStdString();
        auto preparer = [&](Disque &disque) {
            for (QString c = d + "/BASE"; c != "/"; c = QFileInfo(c).path())
                disque.poserDossier(c.toStdString());
            disque.poserDossier("/");
            for (const auto &[nom, octets] : op.poses + QList<std::pair<QString, QByteArray>>{
                     {"BASE.QZF", kBanque}, {"BASE.prm", themesDepart()}, {"SOURCE.QZF", cartes({1, 2, 3})}})
                disque.poserFichier((d + "/" + nom).toStdString(), octets);
        };
        QByteArray ancien, nouveau;
        long total = 0;
        {
            Disque disque;
            preparer(disque);
            ancien = disque.contenu(cible);
            QVERIFY(op.lancer(d));
            nouveau = disque.contenu(cible);
            total = disque.compte;
            QCOMPARE(op.aussi(d, true, false), QString());  // the check holds after a whole run
        }
        QCOMPARE(nouveau, op.attendu(ancien));
        QVERIFY(total > 3);
        using O = Disque::Octets;
        const QList<std::pair<O, bool>> reprises = erreur ? QList<std::pair<O, bool>>{{O::Gardes, true}}
            : QList<std::pair<O, bool>>{{O::Perdus, false}, {O::Perdus, true}, {O::Dechires, false}, {O::Dechires, true}, {O::Gardes, false}, {O::Gardes, true}};
        for (long k = erreur ? 1 : 0; k <= total; ++k)
            for (const auto &[octets, nomsGardes] : reprises) {
                Disque disque;
                preparer(disque);
                (erreur ? disque.echoue : disque.coupureApres) = k;
                disque.erreur = erreur;
                disque.moitie = moitie;
                int fini = -1;
                try {
                    fini = op.lancer(d).ok;
                } catch (const Coupure &) {
                }
                const QString lieu = QString("k=%1/%2 octets=%3 noms=%4").arg(k).arg(total).arg(int(octets)).arg(nomsGardes);
                const QByteArray apres = disque.contenu(cible);
                QVERIFY2(!erreur || apres == ancien || apres == nouveau, qPrintable(lieu));  // before the next opening too
                disque.redemarrer(octets, nomsGardes);
                QVERIFY2(reprendreBanque(d + "/BASE.QZF"), qPrintable(lieu));
                TableThemes t;
                QVERIFY2(lireThemes(d + "/BASE.prm", t, false), qPrintable(lieu));
                const QStringList permis = QStringList{"BASE.QZF", "BASE.prm", "SOURCE.QZF"} + (erreur ? QStringList() : QStringList{"BASE.TMP", "MENAGE.TMP"});
                const QString b = bilan(op, d, disque.contenu(cible), ancien, nouveau, fini, disque.fichiersDe(d.toStdString()), permis);
                QVERIFY2(b.isEmpty(), qPrintable(lieu + " : " + b));
            }
    }

    // A rewrite keeps the rights of the file it replaces; a bank reached through a symbolic link
    // stays a link, to a file that holds the result, with the temporary files beside that file.
    // A bank without the owner's write bit is refused, for the administrator too, and left as it was.
    void reecriture_droitsEtLiens_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("lien");
        for (const QString &op : operations().keys())
            for (int mode : {0600, 0640, 0664, 0444})
                for (bool lien : {false, true})
                    if (!lien || (op != "themes" && mode != 0444))
                        QTest::addRow("%s %o%s", qPrintable(op), mode, lien ? " link" : "") << op << mode << lien;
    }
    void reecriture_droitsEtLiens()
    {
        QFETCH(QString, operation);
        QFETCH(int, mode);
        QFETCH(bool, lien);
        QTemporaryDir dir;
        const Operation op = operations()[operation];
        const QString d = dir.path(), vraie = lien ? d + "/ailleurs/VRAIE.QZF" : d + "/" + op.fichier;
        QVERIFY(QDir(d).mkdir("ailleurs") && poser(d + "/SOURCE.QZF", cartes({1, 2, 3})));
        for (const auto &[nom, octets] : op.poses)
            QVERIFY(QDir(d).mkpath("BASE") && poser(d + "/" + nom, octets));
        QVERIFY(poser(d + "/BASE.QZF", kBanque, mode_t(mode)) && poser(d + "/BASE.prm", themesDepart(), mode_t(mode)));
        QVERIFY(!lien || (QFile::rename(d + "/BASE.QZF", vraie) && QFile::link("ailleurs/VRAIE.QZF", d + "/BASE.QZF")));
        const QByteArray ancien = banque::lire(vraie);
        const bool refusee = mode == 0444;
        Resultat r;
        if (refusee && operation == "fiche") {  // the editor opens a bank it may not write for reading
            FichierQuestions f;
            QVERIFY(f.ouvrir(vraie, FichierQuestions::Mode::Lecture));
            r = f.ecrire(4, ficheNeuve());
        } else {
            r = op.lancer(d);
        }
        QVERIFY2(r.ok != refusee && (!refusee || r.erreur.contains(vraie + " est en lecture seule : ")), qPrintable(r.erreur));
        QCOMPARE(banque::lire(vraie), refusee ? ancien : op.attendu(ancien));
        QCOMPARE(modeDe(vraie), mode_t(S_IFREG | mode));
        QVERIFY(S_ISLNK(modeDe(d + "/BASE.QZF")) == lien);
        const QStringList restes = QStringList{"BASE.QZF", "BASE.prm", "SOURCE.QZF"} + (lien || refusee ? QStringList() : op.restesPermis);
        QCOMPARE(QDir(d).entryList(QDir::Files | QDir::System, QDir::Name), restes);
        QCOMPARE(QDir(d + "/ailleurs").entryList(QDir::Files, QDir::Name), lien ? QStringList{"VRAIE.QZF"} + op.restesPermis : QStringList());
    }

    // A journal left by a cut save: played again when whole, dropped when damaged (the power-cut
    // walk tears it).
    void ouverture_journal_data()
    {
        QTest::addColumn<int>("abime");  // a byte changed inside it (-1: none)
        QTest::newRow("entier") << -1;
        QTest::newRow("octet change") << 100;
        QTest::newRow("position changee") << 9;
    }
    void ouverture_journal()
    {
        QFETCH(int, abime);
        QTemporaryDir dir;
        const QString banque = dir.filePath("BASE.QZF");
        QVERIFY(poser(banque, kBanque));
        const QByteArray neuve = ficheNeuve().octets();
        QVERIFY(disque::journaliserEnregistrement(banque, 3 * T, neuve.constData(), T));
        QByteArray j = banque::lire(banque + ".jnl");
        if (abime >= 0)
            j[abime] = char(j[abime] ^ 0x40);
        QVERIFY(poser(banque + ".jnl", j));
        FichierQuestions f;
        QVERIFY(f.ouvrir(banque, FichierQuestions::Mode::Lecture));
        QCOMPARE(banque::lire(banque), abime < 0 ? QByteArray(kBanque).replace(3 * T, T, neuve) : kBanque);
        QVERIFY(!QFile::exists(banque + ".jnl"));
    }

    void ouverture_effaceLesRestesDUneReecritureTuee()
    {
        QTemporaryDir dir;
        const QString banque = dir.filePath("BASE.QZF");
        QVERIFY(poser(banque, kBanque) && poser(banque + ".nouveau", kBanque) && poser(banque + ".import", kBanque.left(900)));
        QVERIFY(poser(dir.filePath("base.tmp"), trie(kBanque)) && poser(dir.filePath("BASE.prm.nouveau"), themesDepart()));
        QVERIFY(poser(dir.filePath("BASE.prm"), themesDepart()));
        QString so, se;
        QCOMPARE(lancer({"dump", banque}, so, se), 0);
        TableThemes t;
        QVERIFY(lireThemes(dir.filePath("BASE.prm"), t));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), QStringList({"BASE.QZF", "BASE.prm", "base.tmp"}));
        QCOMPARE(banque::lire(banque), kBanque);
    }
};

QTEST_GUILESS_MAIN(TestDurabilite)
#include "test_durabilite.moc"
