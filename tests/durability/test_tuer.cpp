// The real qzf, killed with SIGKILL at random moments while it rewrites or appends to a full
// bank: after the next opening, the bank and the destination are each byte for byte the file
// before the run or the file after it, and nothing a killed run left beside them remains.
#include "store/fichierquestions.h"
#include "support/banque.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

#ifndef QZF_PATH
#error "QZF_PATH must name the built qzf"
#endif

namespace {

constexpr int kFiches = 32767;

// A full bank of distinct cards over every theme, some marked, in no theme order.
QByteArray banquePleine()
{
    QByteArray b;
    b.reserve(qsizetype(kFiches) * FicheQuestion::Taille);
    for (int i = 1; i <= kFiches; ++i)
        b += banque::fiche({QStringLiteral("Question %1").arg(i), (i * 7) % 9, 1, i % 5 == 0, {QStringLiteral("a%1").arg(i), "b", "c"}}).octets();
    return b;
}

// Runs qzf and kills it after `attente` microseconds (-1: lets it end). Its exit code, -1 when killed.
int lancer(const QStringList &arguments, qint64 attente = -1)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral(QZF_PATH), arguments);
    if (attente >= 0) {
        ::usleep(useconds_t(attente));
        p.kill();
    }
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class TestTuer : public QObject {
    Q_OBJECT

private slots:
    void qzfTue_banqueEntiere_data()
    {
        QTest::addColumn<QStringList>("arguments");  // BANK and DEST stand for the two files
        QTest::newRow("tri") << QStringList{"sort", "BANK"};
        QTest::newRow("suppression de la première fiche") << QStringList{"delete", "BANK", "1"};
        QTest::newRow("transfert de toutes les fiches") << QStringList{"transfer", "BANK", "DEST", "--all"};
    }
    void qzfTue_banqueEntiere()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir dossier;
        const QString bank = dossier.filePath("BASE.QZF"), dest = dossier.filePath("DEST.QZF");
        arguments.replaceInStrings("BANK", bank).replaceInStrings("DEST", dest);
        const bool transfert = arguments[0] == "transfer";
        // A transfer into a bank of three cards takes three cards less, so that the destination
        // stays within the numbers a bank can hold.
        const QByteArray ancienne = banquePleine().left(qsizetype(transfert ? kFiches - 3 : kFiches) * FicheQuestion::Taille);
        const QByteArray ancienneDest = banque::octets({{"Déjà là 1", 2}, {"Déjà là 2", 4}, {"Déjà là 3", 0}});
        auto poser = [&] {
            QVERIFY(banque::ecrire(bank, ancienne) && banque::ecrire(dest, ancienneDest));
            for (const QString &n : QDir(dossier.path()).entryList(QDir::Files | QDir::Hidden))
                if (n != "BASE.QZF" && n != "DEST.QZF")
                    QFile::remove(dossier.filePath(n));
        };

        // The states after a whole run, and how long a whole run takes.
        poser();
        QElapsedTimer chrono;
        chrono.start();
        QCOMPARE(lancer(arguments), 0);
        const qint64 duree = chrono.nsecsElapsed() / 1000;
        const QByteArray nouvelle = banque::lire(bank), nouvelleDest = banque::lire(dest);
        if (transfert) {
            QCOMPARE(nouvelle, ancienne);
            QVERIFY(nouvelleDest.startsWith(ancienneDest));
            QCOMPARE(nouvelleDest.size(), qsizetype(kFiches) * FicheQuestion::Taille);
        } else {
            QVERIFY(nouvelle != ancienne);
            QCOMPARE(nouvelle.size(), ancienne.size() - (arguments[0] == "delete" ? FicheQuestion::Taille : 0));
            QCOMPARE(nouvelleDest, ancienneDest);
        }

        const int tueries = qMax(50, qEnvironmentVariableIntValue("ORBELIN_TUERIES"));
        int finies = 0, anciennes = 0, nouvelles = 0;
        QRandomGenerator alea(quint32(QDateTime::currentMSecsSinceEpoch()));
        poser();
        for (int i = 0; i < tueries; ++i) {
            const qint64 attente = qint64(alea.bounded(quint32(duree * 11 / 10)));
            finies += lancer(arguments, attente) >= 0;
            // The next opening settles what the killed run left.
            for (const QString &nom : {bank, dest}) {
                FichierQuestions f;
                QVERIFY2(f.ouvrir(nom, FichierQuestions::Mode::Lecture), qPrintable(nom));
            }
            const QByteArray b = banque::lire(bank), d = banque::lire(dest);
            const QString lieu = QStringLiteral("kill %1 after %2 µs: ").arg(i).arg(attente);
            QVERIFY2(b == ancienne || b == nouvelle, qPrintable(lieu + QString("bank of %1 bytes is neither state").arg(b.size())));
            QVERIFY2(d == ancienneDest || d == nouvelleDest, qPrintable(lieu + QString("destination of %1 bytes").arg(d.size())));
            const QStringList restes = QDir(dossier.path()).entryList({"*.nouveau", "*.import", "*.jnl"}, QDir::Files | QDir::Hidden);
            QVERIFY2(restes.isEmpty(), qPrintable(lieu + restes.join(u' ')));
            if (b == ancienne && d == ancienneDest) {
                ++anciennes;
            } else {
                ++nouvelles;
                poser();
            }
        }
        qInfo("%s: %d kills over a %lld ms run: %d left the old state, %d the new one, %d runs had ended",
              qPrintable(arguments[0]), tueries, duree / 1000, anciennes, nouvelles, finies);
        QVERIFY(anciennes > 0);
    }
};

QTEST_GUILESS_MAIN(TestTuer)
#include "test_tuer.moc"
