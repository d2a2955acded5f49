#include "couches.h"

#include "cli/qzf.h"
#include "output/transfert.h"
#include "store/disque.h"
#include "store/fichierquestions.h"
#include "store/nommedia.h"
#include "store/reecriture.h"
#include "store/tablethemes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <functional>
#include <sys/stat.h>

namespace {

constexpr int T = FicheQuestion::Taille;

// Cards told apart by their number; the theme byte is what a sort reads. The last card holds
// `fin` bytes.
QByteArray cartes(const QList<int> &themes, int fin = T, int marque = 0)
{
    QByteArray b;
    for (int i = 0; i < themes.size(); ++i) {
        QByteArray r = QByteArray::number(i + 1).leftJustified(T, char('a' + i % 26));
        r[offsets::NumTheme] = char(themes[i]);
        r[offsets::Marque] = char(marque);
        r[offsets::Marque + 1] = 0;
        b += i == themes.size() - 1 ? r.left(fin) : r;
    }
    return b;
}

QByteArray lire(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool poser(const QString &chemin, const QByteArray &octets, mode_t mode = 0644)
{
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(octets) != octets.size())
        return false;
    f.close();
    return ::chmod(QFile::encodeName(chemin).constData(), mode) == 0;
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

// One whole-bank operation of the program, on the bank "BASE.QZF" of a folder; what it should
// leave when it runs to its end; the names it may leave beside the bank.
struct Operation {
    std::function<bool(const QString &dossier)> lancer;  // true on success
    std::function<QByteArray(const QByteArray &)> attendu;
    QString fichier = QStringLiteral("BASE.QZF");  // the file it changes
    QStringList restesPermis;
};

const QByteArray kBanque = cartes({3, 0, 8, 1, 0, 12, 3, 2}, 500);

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

QMap<QString, Operation> operations()
{
    QMap<QString, Operation> ops;
    ops["tri"] = {[](const QString &d) { return bool(classerParTheme(d + "/BASE.QZF", d + "/base.tmp").resultat); },
                  trie, QStringLiteral("BASE.QZF"), {QStringLiteral("base.tmp")}};
    ops["suppression"] = {[](const QString &d) { return bool(supprimerFiche(d + "/BASE.QZF", d + "/BASE.TMP", 3)); },
                          [](const QByteArray &b) { return (b.left(2 * T) + b.mid(3 * T)).leftJustified(7 * T, '\0'); }};
    ops["ajout"] = {[](const QString &d) {
                        return bool(ajouterFiches(d + "/BASE.QZF", d + "/BASE.QZF.import", cartes({4, 5})));
                    },
                    [](const QByteArray &b) { return b.leftJustified(8 * T, '\0') + cartes({4, 5}); }};
    ops["fiche"] = {[](const QString &d) {
                        FichierQuestions f;
                        return f.ouvrir(d + "/BASE.QZF") && f.ecrire(4, ficheNeuve());
                    },
                    [](const QByteArray &b) {
                        QByteArray r = b;
                        return r.replace(3 * T, T, ficheNeuve().octets());
                    }};
    ops["transfert"] = {[](const QString &d) {
                            return bool(transferer(d + "/SOURCE.QZF", d + "/BASE.QZF", Selection::Toutes).resultat);
                        },
                        [](const QByteArray &b) { return b.leftJustified(8 * T, '\0') + cartes({1, 2, 3}); }};
    ops["themes"] = {[](const QString &d) {
                         TableThemes t;
                         t.fixerNom(0, QStringLiteral("Histoire"));
                         return bool(ecrireThemes(d + "/BASE.prm", t));
                     },
                     [](const QByteArray &b) {
                         QByteArray r = b;
                         TableThemes t;
                         t.fixerNom(0, QStringLiteral("Histoire"));
                         t.versOctets(r.data());
                         return r;
                     },
                     QStringLiteral("BASE.prm")};
    return ops;
}

QByteArray themesDepart()
{
    QByteArray b(TableThemes::Taille + 20, 'x');
    b.replace(0, 8, "Sciences");
    return b;
}

} // namespace

class TestDurabilite : public QObject {
    Q_OBJECT

private slots:
    void nomMedia_data();
    void nomMedia();

    void reecriture_gardeLesDroitsDeLaBanque_data();
    void reecriture_gardeLesDroitsDeLaBanque();
    void reecriture_refuseUneBanqueSansDroitDEcriture_data();
    void reecriture_refuseUneBanqueSansDroitDEcriture();
    void reecriture_lienSymboliqueResteUnLien_data();
    void reecriture_lienSymboliqueResteUnLien();
    void tri_dossierNonConfirme_gardeLAncienFichier();
    void qzfTri_copieFinaleRatee_reussitAvecAvertissement();

    void fiche_journalAvantLEnregistrement();
    void ouverture_journal_data();
    void ouverture_journal();
    void ouverture_effaceLesRestesDUneReecritureTuee();

    void panneALaKiemeOperation_data();
    void panneALaKiemeOperation();
    void coupureDeCourant_data();
    void coupureDeCourant();
};

void TestDurabilite::nomMedia_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<bool>("admis");
    QTest::newRow("simple") << "chat.jpg" << true;
    QTest::newRow("accent") << QStringLiteral("été.bmp") << true;
    QTest::newRow("point au milieu") << "a.b.wav" << true;
    QTest::newRow("remonte") << "../../etc/pas" << false;
    QTest::newRow("deux points seuls") << ".." << false;
    QTest::newRow("deux points dans le nom") << "a..b.jpg" << false;
    QTest::newRow("barre") << "sous/chat.jpg" << false;
    QTest::newRow("absolu") << "/etc/passwd" << false;
    QTest::newRow("contre-barre") << "..\\chat.jpg" << false;
    QTest::newRow("tabulation") << "chat\t.jpg" << false;
    QTest::newRow("retour") << "chat\n.jpg" << false;
    QTest::newRow("suppression") << QString("chat") + QChar(0x7F) << false;
    QTest::newRow("controle 0x81") << QString("chat") + QChar(0x81) << false;
    QTest::newRow("vide") << "" << false;
}

void TestDurabilite::nomMedia()
{
    QFETCH(QString, nom);
    QFETCH(bool, admis);
    QCOMPARE(nomMediaAdmis(nom), admis);
}

void TestDurabilite::reecriture_gardeLesDroitsDeLaBanque_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("mode");
    for (const char *op : {"tri", "suppression", "ajout", "themes"})
        for (int mode : {0600, 0640, 0664})
            QTest::addRow("%s %o", op, mode) << QString(op) << mode;
}

void TestDurabilite::reecriture_gardeLesDroitsDeLaBanque()
{
    QFETCH(QString, operation);
    QFETCH(int, mode);
    QTemporaryDir dir;
    const Operation op = operations()[operation];
    const QString cible = dir.filePath(op.fichier);
    QVERIFY(poser(dir.filePath("BASE.QZF"), kBanque, mode_t(mode)));
    QVERIFY(poser(dir.filePath("BASE.prm"), themesDepart(), mode_t(mode)));
    QVERIFY(op.lancer(dir.path()));
    QCOMPARE(modeDe(cible) & 07777, mode_t(mode));
    QVERIFY(S_ISREG(modeDe(cible)));
}

void TestDurabilite::reecriture_refuseUneBanqueSansDroitDEcriture_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    const QString banque = QStringLiteral("Le fichier %1 est en lecture seule : il n'a pas été modifié.");
    QTest::newRow("tri") << "tri" << banque;
    QTest::newRow("suppression") << "suppression" << banque;
    QTest::newRow("ajout") << "ajout" << banque;
    QTest::newRow("themes") << "themes" << banque;
    QTest::newRow("fiche") << "fiche" << QStringLiteral("Le fichier %1 est en lecture seule : la fiche 4 n'a pas été enregistrée.");
    QTest::newRow("transfert") << "transfert"
                               << QStringLiteral("Le fichier destination %1 est en lecture seule : il n'a pas été modifié.");
}

// The refusal reads the owner's write bit, so that it holds for the administrator too.
void TestDurabilite::reecriture_refuseUneBanqueSansDroitDEcriture()
{
    QFETCH(QString, operation);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const Operation op = operations()[operation];
    const QString cible = dir.filePath(op.fichier);
    QVERIFY(poser(dir.filePath("BASE.QZF"), kBanque, 0444));
    QVERIFY(poser(dir.filePath("BASE.prm"), themesDepart(), 0444));
    QVERIFY(poser(dir.filePath("SOURCE.QZF"), cartes({1, 2, 3})));
    const QByteArray avant = lire(cible);

    Resultat r;
    if (operation == "tri")
        r = classerParTheme(cible, dir.filePath("base.tmp")).resultat;
    else if (operation == "suppression")
        r = supprimerFiche(cible, dir.filePath("BASE.TMP"), 2);
    else if (operation == "ajout")
        r = ajouterFiches(cible, cible + ".import", cartes({1}));
    else if (operation == "themes")
        r = ecrireThemes(cible, TableThemes{});
    else if (operation == "fiche") {
        FichierQuestions f;
        QVERIFY(f.ouvrir(cible, FichierQuestions::Mode::Lecture));
        r = f.ecrire(4, ficheNeuve());
    } else {
        r = transferer(dir.filePath("SOURCE.QZF"), cible, Selection::Toutes).resultat;
    }
    QVERIFY(!r.ok);
    QCOMPARE(r.erreur.left(r.erreur.indexOf(u'.', r.erreur.indexOf(QLatin1String("seule"))) + 1), message.arg(cible));
    QCOMPARE(lire(cible), avant);
    QCOMPARE(modeDe(cible) & 07777, mode_t(0444));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);
}

void TestDurabilite::reecriture_lienSymboliqueResteUnLien_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("tmp");
    QTest::newRow("tri") << "tri" << "base.tmp";
    QTest::newRow("suppression") << "suppression" << "";
    QTest::newRow("ajout") << "ajout" << "";
    QTest::newRow("fiche") << "fiche" << "";
    QTest::newRow("transfert") << "transfert" << "";
}

void TestDurabilite::reecriture_lienSymboliqueResteUnLien()
{
    QFETCH(QString, operation);
    QFETCH(QString, tmp);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ailleurs"));
    const QString cible = dir.filePath("ailleurs/VRAIE.QZF");
    QVERIFY(poser(cible, kBanque, 0600));
    QVERIFY(poser(dir.filePath("SOURCE.QZF"), cartes({1, 2, 3})));
    QVERIFY(QFile::link("ailleurs/VRAIE.QZF", dir.filePath("BASE.QZF")));
    const Operation op = operations()[operation];
    QVERIFY(op.lancer(dir.path()));

    QVERIFY(S_ISLNK(modeDe(dir.filePath("BASE.QZF"))));
    QCOMPARE(lire(cible), op.attendu(kBanque));
    QCOMPARE(modeDe(cible) & 07777, mode_t(0600));
    // The temporary files lie beside the real bank; nothing else is left there.
    QStringList attendus = {"VRAIE.QZF"};
    if (!tmp.isEmpty())
        attendus << tmp;
    QCOMPARE(QDir(dir.filePath("ailleurs")).entryList(QDir::Files, QDir::Name), attendus);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System, QDir::Name), QStringList({"BASE.QZF", "SOURCE.QZF"}));
}

// When the folder cannot be flushed after the exchange, the old bank is not written over.
void TestDurabilite::tri_dossierNonConfirme_gardeLAncienFichier()
{
    QTemporaryDir dir;
    const QString banque = dir.filePath("BASE.QZF"), tmp = dir.filePath("base.tmp");
    QVERIFY(poser(banque, kBanque));
    long k = 0;
    {
        Panne p;
        QVERIFY(classerParTheme(banque, tmp).resultat);
        const auto it = std::find(p.journal.begin(), p.journal.end(), "echanger");
        QVERIFY(it != p.journal.end());
        k = long(it - p.journal.begin()) + 1;
        while (p.journal[size_t(k - 1)] != "viderDossier")
            ++k;
    }
    QVERIFY(poser(banque, kBanque));
    QVERIFY(QFile::remove(tmp));
    Panne p;
    p.echoue = k;
    const ResultatClasser r = classerParTheme(banque, tmp);
    QCOMPARE(r.echec, ResultatClasser::Etape::Dossier);
    QCOMPARE(r.resultat.erreur, QStringLiteral("Le dossier du fichier %1 n'a pas pu être enregistré sur le disque : "
                                               "erreur de lecture ou d'écriture sur le disque")
                                    .arg(banque));
    QCOMPARE(lire(tmp), kBanque);  // the old bank, whole
    QCOMPARE(lire(banque), trie(kBanque));
}

void TestDurabilite::qzfTri_copieFinaleRatee_reussitAvecAvertissement()
{
    QTemporaryDir dir;
    const QString banque = dir.filePath("BASE.QZF");
    QVERIFY(poser(banque, kBanque));
    long k = 0;
    {
        Panne p;
        QVERIFY(classerParTheme(banque, dir.filePath("base.tmp")).resultat);
        const auto it = std::find(p.journal.begin(), p.journal.end(), "echanger");
        k = long(it - p.journal.begin()) + 1;
        while (p.journal[size_t(k - 1)] != "ouvrir")
            ++k;
    }
    QVERIFY(poser(banque, kBanque));
    QVERIFY(QFile::remove(dir.filePath("base.tmp")));
    QString sortie, erreurs;
    QTextStream so(&sortie), se(&erreurs);
    int code = 0;
    {
        Panne p;
        p.echoue = k + 2;  // qzf looks at the bank before the sort: lstat and its link
        p.erreur = ENOSPC;
        code = qzf::executer({"sort", banque}, so, se);
        QCOMPARE(p.journal[size_t(k + 1)], std::string("ouvrir"));
    }
    so.flush();
    se.flush();
    QCOMPARE(code, 0);
    QCOMPARE(erreurs, QStringLiteral("qzf: warning: %1 is sorted, but base.tmp was not updated: Impossible d'écrire le "
                                     "fichier %2 : le disque est plein\n")
                          .arg(banque, dir.filePath("base.tmp")));
    QVERIFY(sortie.startsWith(u'{'));
    QCOMPARE(lire(banque), trie(kBanque));
}

// The new record is on the disk in the journal before the bank is touched, and the bank is
// flushed before the save returns.
void TestDurabilite::fiche_journalAvantLEnregistrement()
{
    QTemporaryDir dir;
    const QString banque = dir.filePath("BASE.QZF");
    QVERIFY(poser(banque, kBanque));
    FichierQuestions f;
    QVERIFY(f.ouvrir(banque));
    Panne p;
    QVERIFY(f.ecrire(2, ficheNeuve()));
    std::vector<std::string> ecritures;
    for (const std::string &op : p.journal)
        if (op != "lire" && op != "etat" && op != "etatChemin" && op != "lireLien")
            ecritures.push_back(op);
    const std::vector<std::string> attendu = {"ouvrir", "ecrire", "vider", "ouvrir", "viderDossier",
                                              "ecrire", "vider", "supprimer"};
    QCOMPARE(ecritures, attendu);
    QCOMPARE(lire(banque).mid(T, T), ficheNeuve().octets());
    QVERIFY(!QFile::exists(banque + ".jnl"));
}

void TestDurabilite::ouverture_journal_data()
{
    QTest::addColumn<int>("garde");      // bytes of the journal that reached the disk (-1: all)
    QTest::addColumn<int>("abime");      // a byte changed inside it (-1: none)
    QTest::addColumn<bool>("rejoue");
    QTest::newRow("entier") << -1 << -1 << true;
    QTest::newRow("sans sa fin") << 830 << -1 << false;
    QTest::newRow("en-tete seul") << 20 << -1 << false;
    QTest::newRow("vide") << 0 << -1 << false;
    QTest::newRow("premier secteur") << 512 << -1 << false;
    QTest::newRow("octet change") << -1 << 100 << false;
    QTest::newRow("position changee") << -1 << 9 << false;
}

// A journal left by a cut save: played again when whole, dropped when torn.
void TestDurabilite::ouverture_journal()
{
    QFETCH(int, garde);
    QFETCH(int, abime);
    QFETCH(bool, rejoue);
    QTemporaryDir dir;
    const QString banque = dir.filePath("BASE.QZF");
    QVERIFY(poser(banque, kBanque));
    QByteArray neuve = ficheNeuve().octets();
    QVERIFY(disque::journaliserEnregistrement(banque, 3 * T, neuve.constData(), T));
    QByteArray j = lire(banque + ".jnl");
    QCOMPARE(j.size(), 20 + T + 8);
    if (garde >= 0)
        j.truncate(garde);
    if (abime >= 0)
        j[abime] = char(j[abime] ^ 0x40);
    QVERIFY(poser(banque + ".jnl", j));

    FichierQuestions f;
    QVERIFY(f.ouvrir(banque, FichierQuestions::Mode::Lecture));
    QByteArray attendu = kBanque;
    if (rejoue)
        attendu.replace(3 * T, T, neuve);
    QCOMPARE(lire(banque), attendu);
    QVERIFY(!QFile::exists(banque + ".jnl"));
}

void TestDurabilite::ouverture_effaceLesRestesDUneReecritureTuee()
{
    QTemporaryDir dir;
    const QString banque = dir.filePath("BASE.QZF");
    QVERIFY(poser(banque, kBanque));
    QVERIFY(poser(banque + ".nouveau", kBanque));
    QVERIFY(poser(banque + ".import", kBanque.left(900)));
    QVERIFY(poser(dir.filePath("base.tmp"), trie(kBanque)));
    QVERIFY(poser(dir.filePath("BASE.prm.nouveau"), themesDepart()));
    QVERIFY(poser(dir.filePath("BASE.prm"), themesDepart()));
    QString so, se;
    QTextStream o(&so), e(&se);
    QCOMPARE(qzf::executer({"dump", banque}, o, e), 0);
    TableThemes t;
    QVERIFY(lireThemes(dir.filePath("BASE.prm"), t));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), QStringList({"BASE.QZF", "BASE.prm", "base.tmp"}));
    QCOMPARE(lire(banque), kBanque);
}

void TestDurabilite::panneALaKiemeOperation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("erreur");
    QTest::addColumn<bool>("moitie");
    for (const char *op : {"tri", "suppression", "ajout", "fiche", "transfert", "themes"}) {
        QTest::addRow("%s EIO", op) << QString(op) << EIO << false;
        QTest::addRow("%s disque plein", op) << QString(op) << ENOSPC << false;
        QTest::addRow("%s ecriture courte", op) << QString(op) << ENOSPC << true;
    }
}

// Every operation of a run fails in turn: the bank is old or new byte for byte, old when the
// operation said it failed (except a sort that says the bank is sorted), and the next opening
// leaves nothing beside it but what the program keeps there.
void TestDurabilite::panneALaKiemeOperation()
{
    QFETCH(QString, operation);
    QFETCH(int, erreur);
    QFETCH(bool, moitie);
    const Operation op = operations()[operation];
    QTemporaryDir dir;
    const QString cible = dir.filePath(op.fichier);
    auto preparer = [&] {
        for (const QString &n : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(n));
        QVERIFY(poser(dir.filePath("BASE.QZF"), kBanque));
        QVERIFY(poser(dir.filePath("BASE.prm"), themesDepart()));
        QVERIFY(poser(dir.filePath("SOURCE.QZF"), cartes({1, 2, 3})));
    };
    preparer();
    const QByteArray ancien = lire(cible);
    const QByteArray nouveau = op.attendu(ancien);
    long total = 0;
    {
        Panne p;
        QVERIFY(op.lancer(dir.path()));
        total = p.compte;
    }
    QCOMPARE(lire(cible), nouveau);
    QVERIFY(total > 3);
    for (long k = 1; k <= total; ++k) {
        preparer();
        bool ok = false;
        {
            Panne p;
            p.echoue = k;
            p.erreur = erreur;
            p.moitie = moitie;
            ok = op.lancer(dir.path());
        }
        const QByteArray apres = lire(cible);
        QVERIFY2(apres == ancien || apres == nouveau, qPrintable(QString("k=%1").arg(k)));
        if (ok)
            QVERIFY2(apres == nouveau, qPrintable(QString("k=%1").arg(k)));
        QVERIFY(reprendreBanque(dir.filePath("BASE.QZF")));
        TableThemes t;
        QVERIFY(lireThemes(dir.filePath("BASE.prm"), t));
        const QByteArray repris = lire(cible);
        QVERIFY2(repris == ancien || repris == nouveau, qPrintable(QString("k=%1").arg(k)));
        QStringList permis = {"BASE.QZF", "BASE.prm", "SOURCE.QZF"};
        permis += op.restesPermis;
        for (const QString &n : QDir(dir.path()).entryList(QDir::Files))
            QVERIFY2(permis.contains(n), qPrintable(QString("k=%1 : %2").arg(k).arg(n)));
    }
}

void TestDurabilite::coupureDeCourant_data()
{
    QTest::addColumn<QString>("operation");
    for (const char *op : {"tri", "suppression", "ajout", "fiche", "transfert", "themes"})
        QTest::addRow("%s", op) << QString(op);
}

// The power goes after each operation of a run in turn, the disk keeping none, some (torn at
// a sector) or all of what was not flushed, with or without the folders' unflushed changes.
// After the next opening the bank is old or new byte for byte, new when the operation had
// returned its success, and no temporary file but base.tmp is left.
void TestDurabilite::coupureDeCourant()
{
    QFETCH(QString, operation);
    const Operation op = operations()[operation];
    const std::string d = "/banques";
    const std::string cible = d + "/" + op.fichier.toStdString();
    auto preparer = [&](Disque &disque) {
        disque.poserDossier("/");
        disque.poserDossier(d);
        disque.poserFichier(d + "/BASE.QZF", kBanque);
        disque.poserFichier(d + "/BASE.prm", themesDepart());
        disque.poserFichier(d + "/SOURCE.QZF", cartes({1, 2, 3}));
    };
    QByteArray ancien, nouveau;
    long total = 0;
    {
        Disque disque;
        preparer(disque);
        ancien = disque.contenu(cible);
        QVERIFY(op.lancer(QString::fromStdString(d)));
        nouveau = disque.contenu(cible);
        total = disque.compte;
    }
    QCOMPARE(nouveau, op.attendu(ancien));
    int cas = 0;
    for (long k = 0; k <= total; ++k)
        for (Disque::Octets octets : {Disque::Octets::Perdus, Disque::Octets::Dechires, Disque::Octets::Gardes})
            for (bool nomsGardes : {false, true}) {
                Disque disque;
                preparer(disque);
                disque.coupureApres = k;
                bool fini = false;
                try {
                    fini = op.lancer(QString::fromStdString(d));
                } catch (const Coupure &) {
                }
                disque.redemarrer(octets, nomsGardes);
                const QString lieu = QString("k=%1/%2 octets=%3 noms=%4").arg(k).arg(total).arg(int(octets)).arg(nomsGardes);
                QVERIFY2(reprendreBanque(QString::fromStdString(d + "/BASE.QZF")), qPrintable(lieu));
                TableThemes t;
                QVERIFY2(lireThemes(QString::fromStdString(d + "/BASE.prm"), t, false), qPrintable(lieu));
                const QByteArray apres = disque.contenu(cible);
                QVERIFY2(apres == ancien || apres == nouveau, qPrintable(lieu));
                if (fini)
                    QVERIFY2(apres == nouveau, qPrintable(lieu));
                for (const std::string &n : disque.fichiersDe(d)) {
                    const QString nom = QString::fromStdString(n);
                    QVERIFY2(nom == "BASE.QZF" || nom == "BASE.prm" || nom == "SOURCE.QZF" || op.restesPermis.contains(nom)
                                 || nom == "BASE.TMP",
                             qPrintable(lieu + " : " + nom));
                }
                ++cas;
            }
    QVERIFY(cas > 30);
}

QTEST_GUILESS_MAIN(TestDurabilite)
#include "test_durabilite.moc"
