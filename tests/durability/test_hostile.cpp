// Damaged and hostile banks given to every verb of the built qzf and opened by the main
// window: no crash, no hang, nothing read outside the bank's folder, no card lost.
#include "support/editeur.h"
#include "store/fichierquestions.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#ifndef QZF_PATH
#error "QZF_PATH must name the built qzf"
#endif

namespace {

// A file beside the bank's folder that a media name climbing out of the media folder reaches.
const QByteArray kSecret = "SECRET-HORS-DU-DOSSIER-5821";

QByteArray carte(const QString &question, int theme = 0)
{
    return banque::fiche({question, theme, 1, 0, {QStringLiteral("un"), QStringLiteral("deux"), QStringLiteral("trois")}}).octets();
}

QByteArray serie(int n)
{
    QByteArray b;
    b.reserve(qsizetype(n) * FicheQuestion::Taille);
    for (int i = 1; i <= n; ++i)
        b += carte(QStringLiteral("Question %1").arg(i), i % 9);
    return b;
}

// One record with a field's bytes set by hand.
QByteArray retouchee(int offset, const QByteArray &octets, const QString &question = QStringLiteral("Retouchée"))
{
    QByteArray r = carte(question, 1);
    r.replace(offset, octets.size(), octets);
    return r;
}

QByteArray entier16(int v) { return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF); }

struct Sorte {
    QByteArray banque;
    QByteArray themes;  // the .prm beside it; null: none
};

// Every kind of damage tried, by name.
QMap<QString, Sorte> sortes()
{
    QMap<QString, Sorte> s;
    for (int n : {1, 402, 802})
        s.insert(QStringLiteral("last record of %1 bytes").arg(n), {serie(3) + serie(1).left(n), {}});
    QByteArray themes;
    for (int t : {9, 10, 100, 255})
        themes += retouchee(offsets::NumTheme, QByteArray(1, char(t)), QStringLiteral("Thème %1").arg(t));
    s.insert(QStringLiteral("NumTheme 9 to 255"), {serie(2) + themes, {}});
    QByteArray codes;
    for (int c : {-32768, -1, 1, 2, 3, 4, 5, 9, 10, 11, 200, 32767})
        codes += retouchee(offsets::TailleImage, entier16(c)) .replace(offsets::FichierMedia, 5, "A.BMP");
    s.insert(QStringLiteral("media codes"), {codes, {}});
    QByteArray bonnes;
    for (int v : {1, 2, 255, 32767, -2, -32768})
        bonnes += retouchee(offsets::BonneReponse, entier16(v) + entier16(v) + entier16(0));
    s.insert(QStringLiteral("good-answer flags"), {bonnes, {}});
    s.insert(QStringLiteral("zero bytes in texts"),
             {retouchee(offsets::Question, QByteArray("Avant\0apr\0s", 11))
                  + retouchee(offsets::Reponse, QByteArray(125, '\0'))
                  + retouchee(offsets::Commentaire, QByteArray("\0\0\0fin", 6))
                  + retouchee(offsets::Auteur, QByteArray("\0A\0B\0", 5)),
              {}});
    QByteArray noms;
    for (const QByteArray &nom : {QByteArray("../../S.BMP"), QByteArray("..\\..\\S.BMP"), QByteArray("/etc/passwd"),
                                  QByteArray("a/b.wav"), QByteArray(".."), QByteArray("x\x01y.bmp"),
                                  QByteArray("\x1b[2J.mid"), QByteArray("../S.BMP")})
        for (int code : {10, 2})
            noms += retouchee(offsets::FichierMedia, nom.leftJustified(12, ' ', true))
                        .replace(offsets::TailleImage, 2, entier16(code));
    s.insert(QStringLiteral("media names"), {noms, {}});
    for (int n : {0, 338, 340, 10000}) {
        QByteArray t(n, 'T');
        for (int i = 0; i < n; i += 37)
            t[i] = char(i % 256);
        s.insert(QStringLiteral("theme file of %1 bytes").arg(n), {serie(3), t});
    }
    s.insert(QStringLiteral("32767 cards"), {serie(32767), {}});
    s.insert(QStringLiteral("32768 cards"), {serie(32768), {}});
    QRandomGenerator alea(1234);
    QByteArray hasard(40000, '\0');
    alea.fillRange(reinterpret_cast<quint32 *>(hasard.data()), hasard.size() / 4);
    s.insert(QStringLiteral("random bytes"), {hasard, hasard.left(340)});
    return s;
}

// The verbs the built qzf lists, read from its own help.
QStringList verbes()
{
    QProcess p;
    p.start(QStringLiteral(QZF_PATH), {QStringLiteral("--help")});
    p.waitForFinished(10000);
    QStringList v;
    static const QRegularExpression ligne(QStringLiteral("^  ([a-z]+)\\s"));
    for (const QString &l : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (const auto m = ligne.match(l); m.hasMatch())
            v << m.captured(1);
    return v;
}

// The arguments each verb is tried with; a verb added later is tried with the bank alone. A page
// or a sheet of every card of a full bank takes minutes: 40 cards drawn are enough. The verbs
// that may change the bank shorten it by one card at most (delete).
QStringList arguments(const QString &verbe)
{
    static const QMap<QString, QStringList> a{
        {"delete", {"BANK", "2"}}, {"find", {"BANK", "--media"}}, {"transfer", {"BANK", "DEST", "--all"}},
        {"print", {"BANK", "--detailed"}}, {"export", {"BANK", "--to", "moodle-xml", "-o", "OUT"}}, {"import", {"IN", "BANK"}},
        {"quiz", {"BANK", "--count", "40", "-o", "OUT"}}, {"exam", {"BANK", "--count", "40", "-o", "OUT"}},
        {"restore", {"BANK", "1"}}, {"retheme", {"BANK", "3", "--marked"}},
    };
    return a.value(verbe, {"BANK"});
}

struct Lieu {
    QTemporaryDir racine;
    QString dossier, bank;
    explicit Lieu(const Sorte &s)
    {
        dossier = racine.filePath(QStringLiteral("banques"));
        QDir().mkpath(dossier + QStringLiteral("/BASE"));
        bank = dossier + QStringLiteral("/BASE.QZF");
        banque::ecrire(bank, s.banque);
        if (!s.themes.isNull())
            banque::ecrire(dossier + QStringLiteral("/BASE.prm"), s.themes);
        banque::ecrire(dossier + QStringLiteral("/BASE/A.BMP"), QByteArray("BM"));
        banque::ecrire(racine.filePath(QStringLiteral("S.BMP")), kSecret);
        banque::ecrire(dossier + QStringLiteral("/S.BMP"), kSecret);
    }
};

bool contientSecret(const QByteArray &b)
{
    return b.contains(kSecret) || b.contains(kSecret.toBase64().left(24)) || b.contains(kSecret.toHex());
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

private slots:
    void qzf_banqueHostile_data()
    {
        QTest::addColumn<QString>("sorte");
        QTest::addColumn<QString>("verbe");
        const QStringList v = verbes();
        QVERIFY2(v.contains(QLatin1String("dump")) && v.contains(QLatin1String("sort")), qPrintable(v.join(u' ')));
        for (const QString &sorte : sortes().keys())
            for (const QString &verbe : v)
                QTest::newRow(qPrintable(sorte + QStringLiteral(" / ") + verbe)) << sorte << verbe;
    }
    void qzf_banqueHostile()
    {
        QFETCH(QString, sorte);
        QFETCH(QString, verbe);
        static const QMap<QString, Sorte> toutes = sortes();
        const Sorte s = toutes.value(sorte);
        Lieu lieu(s);
        const QString out = lieu.racine.filePath("sortie"), dest = lieu.racine.filePath("DEST.QZF"), in = lieu.racine.filePath("entree.gift");
        QVERIFY(banque::ecrire(in, "::Q1:: Une question importée {=oui ~non}\n"));

        QStringList a = arguments(verbe);
        for (QString &x : a)
            x = x == "BANK" ? lieu.bank : x == "DEST" ? dest : x == "OUT" ? out : x == "IN" ? in : x;
        QProcess p;
        p.setWorkingDirectory(lieu.racine.path());
        p.start(QStringLiteral(QZF_PATH), QStringList{verbe} + a);
        const bool fini = p.waitForFinished(30000);
        if (!fini) {
            p.kill();
            p.waitForFinished();
        }
        const QByteArray sortie = p.readAllStandardOutput(), erreurs = p.readAllStandardError();
        QVERIFY2(fini, "no end within 30 s");
        QVERIFY2(p.exitStatus() == QProcess::NormalExit, erreurs.constData());
        QVERIFY2(p.exitCode() >= 0 && p.exitCode() <= 2, erreurs.constData());
        QVERIFY2(!contientSecret(sortie) && !contientSecret(erreurs), "a file outside the bank's folder was read");
        QDirIterator produits(lieu.racine.path(), QDir::Files, QDirIterator::Subdirectories);
        while (produits.hasNext()) {
            const QString f = produits.next();
            if (!f.endsWith(QLatin1String("S.BMP")))
                QVERIFY2(!contientSecret(banque::lire(f)), qPrintable(f + QStringLiteral(": holds the file outside")));
        }

        // No card is lost: a verb that rewrites the bank keeps every record but the one it deletes.
        const QByteArray apres = banque::lire(lieu.bank);
        const int avant = nombreDeFiches(s.banque.size());
        QVERIFY2(nombreDeFiches(apres.size()) >= avant - (verbe == "delete"),
                 qPrintable(QStringLiteral("%1 cards before, %2 after").arg(avant).arg(nombreDeFiches(apres.size()))));
        if (avant > 32767 && verbe != QLatin1String("import"))
            QCOMPARE(apres.size(), s.banque.size());
    }
    void fenetre_banqueHostile_data()
    {
        QTest::addColumn<QString>("sorte");
        for (const QString &sorte : sortes().keys())
            QTest::newRow(qPrintable(sorte)) << sorte;
    }
    void fenetre_banqueHostile()
    {
        QFETCH(QString, sorte);
        static const QMap<QString, Sorte> toutes = sortes();
        const Sorte s = toutes.value(sorte);
        Lieu lieu(s);
        FakePlateforme pf{lieu.dossier};
        const int avant = nombreDeFiches(s.banque.size());
        {
            FormEdit f{pf};
            f.charger();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            auto *suivant = f.findChild<QWidget *>(QStringLiteral("Suivant"));
            QVERIFY(suivant);
            for (int i = 0; i < qMin(avant, 20); ++i)
                QTest::mouseClick(suivant, Qt::LeftButton);
            auto *quitter = f.findChild<QWidget *>(QStringLiteral("Quitter"));
            QTest::mouseClick(quitter, Qt::LeftButton);
        }
        for (const FakePlateforme::Message &m : pf.messages)
            QCOMPARE(m.boutons, Plateforme::Boutons::Ok);
        for (const QString &c : pf.sons + pf.ouverts)
            QVERIFY2(!c.contains(QLatin1String("..")) && c.startsWith(lieu.dossier + QStringLiteral("/BASE/")), qPrintable(c));
        const QByteArray apres = banque::lire(lieu.bank);
        QVERIFY2(nombreDeFiches(apres.size()) == avant,
                 qPrintable(QStringLiteral("%1 cards before, %2 after").arg(avant).arg(nombreDeFiches(apres.size()))));
        if (avant > 32767)
            QCOMPARE(apres, s.banque);
        // Every question is still there, whatever the order the sort at the end gave; a line break
        // shows as one in the box and is saved back as CR LF, whichever way it was stored.
        const auto questions = [avant](const QByteArray &b) {
            QStringList q;
            for (int i = 0; i < avant; ++i) {
                const QByteArray r = b.mid(qsizetype(i) * FicheQuestion::Taille, FicheQuestion::Taille);
                q << texte::affiche(FicheQuestion::depuisOctets(r.constData(), r.size()).Question)
                         .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                         .replace(u'\r', u'\n');
            }
            q.sort();
            return q;
        };
        QCOMPARE(questions(apres), questions(s.banque));
    }
};

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
