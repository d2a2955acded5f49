// One writer per bank: the lock taken here, as the editor takes it, against the built qzf in
// another process, and a lock left behind by a process that ended.
#include "store/verrou.h"
#include "support/banque.h"
#include "support/lancer.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QZF_PATH
#error "QZF_PATH must name the built qzf"
#endif

using verrou::Verrou;

namespace {

struct Issue {
    int statut = -1;
    QString erreurs;
};

Issue lancerQzf(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(QZF_PATH), arguments);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

QString refus(const verrou::Detenteur &d)
{
    return QStringLiteral("qzf: La banque BASE.QZF est déjà ouverte par %1 sur la machine %2 depuis le %3. "
                          "Elle n'a pas été modifiée.\n")
        .arg(d.utilisateur, d.machine, d.depuis.toLocalTime().toString(QStringLiteral("dd/MM/yyyy 'à' HH:mm")));
}

// A process id that ran on this machine and no longer does.
qint64 pidMort()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace

class TestVerrou : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> m_dir;
    QByteArray m_banque;

private slots:
    void init()
    {
        QVERIFY(QDir::setCurrent(m_dir.emplace().path()));
        m_banque = banque::octets({{QStringLiteral("Capitale ?"), 3, 1, 1}, {QStringLiteral("Fleuve ?"), 2}, {QStringLiteral("Mont ?"), 1}});
        QVERIFY(banque::ecrire(QStringLiteral("BASE.QZF"), m_banque));
    }

    void verbeQuiEcrit_refuseUneBanqueOuverte_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("avant");  // run first, the bank not locked
        QTest::newRow("sort") << QStringList{"sort", "BASE.QZF"} << QStringList{};
        QTest::newRow("delete") << QStringList{"delete", "BASE.QZF", "2"} << QStringList{};
        QTest::newRow("transfer into the bank") << QStringList{"transfer", "AUTRE.QZF", "BASE.QZF", "--all"} << QStringList{};
        QTest::newRow("import") << QStringList{"import", "q.gift", "BASE.QZF"} << QStringList{};
        QTest::newRow("restore") << QStringList{"restore", "BASE.QZF", "1"} << QStringList{"delete", "BASE.QZF", "3"};
        QTest::newRow("retheme") << QStringList{"retheme", "BASE.QZF", "5", "--marked"} << QStringList{};
    }

    void verbeQuiEcrit_refuseUneBanqueOuverte()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, avant);
        QVERIFY(banque::ecrire(QStringLiteral("AUTRE.QZF"), {{QStringLiteral("Venue d'ailleurs ?")}}));
        QFile gift(QStringLiteral("q.gift"));
        QVERIFY(gift.open(QIODevice::WriteOnly));
        gift.write("Deux et deux ? {=quatre ~trois ~cinq}\n");
        gift.close();
        QString out, err;
        if (!avant.isEmpty())
            QCOMPARE(lancer(avant, out, err), 0);
        const QByteArray ouverte = banque::lire(QStringLiteral("BASE.QZF"));

        Verrou editeur;
        QCOMPARE(editeur.prendre(QStringLiteral("BASE.QZF")), Verrou::Etat::Pris);
        const Issue refusee = lancerQzf(arguments);
        QCOMPARE(refusee.erreurs, refus(editeur.detenteur()));
        QCOMPARE(refusee.statut, 1);
        QCOMPARE(banque::lire(QStringLiteral("BASE.QZF")), ouverte);

        // Let go, the same verb writes, and leaves no lock behind.
        editeur.liberer();
        QVERIFY(!QFile::exists(QStringLiteral("BASE.QZF.verrou")));
        QCOMPARE(lancerQzf(arguments).statut, 0);
        QVERIFY(banque::lire(QStringLiteral("BASE.QZF")) != ouverte);
        QVERIFY(!QFile::exists(QStringLiteral("BASE.QZF.verrou")));
    }

    void verbeQuiLit_travailleSurUneBanqueOuverte_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("dump") << QStringList{"dump", "BASE.QZF"};
        QTest::newRow("find") << QStringList{"find", "BASE.QZF", "--text", "fleuve"};
        QTest::newRow("print") << QStringList{"print", "BASE.QZF", "--quick"};
        QTest::newRow("transfer out of the bank") << QStringList{"transfer", "BASE.QZF", "AUTRE.QZF", "--marked"};
    }

    void verbeQuiLit_travailleSurUneBanqueOuverte()
    {
        QFETCH(QStringList, arguments);
        Verrou editeur;
        QCOMPARE(editeur.prendre(QStringLiteral("BASE.QZF")), Verrou::Etat::Pris);
        const Issue i = lancerQzf(arguments);
        QCOMPARE(i.erreurs, QString());
        QCOMPARE(i.statut, 0);
        QCOMPARE(banque::lire(QStringLiteral("BASE.QZF")), m_banque);
        QVERIFY(QFile::exists(QStringLiteral("BASE.QZF.verrou")));
    }

    // A file left behind: by an ended process of this machine it is taken over; from another
    // machine it is respected, and the message says which file to remove.
    void fichierLaisse_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<bool>("repris");
        QTest::newRow("this machine, process ended") << verrou::moi().machine << true;
        QTest::newRow("another machine") << QStringLiteral("poste-12") << false;
    }

    void fichierLaisse()
    {
        QFETCH(QString, machine);
        QFETCH(bool, repris);
        QFile f(QStringLiteral("BASE.QZF.verrou"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("utilisateur=claude\nmachine=" + machine.toUtf8() + "\ndepuis=2026-03-02T08:05:00Z\npid="
                + QByteArray::number(pidMort()) + '\n');
        f.close();
        const Issue i = lancerQzf({QStringLiteral("sort"), QStringLiteral("BASE.QZF")});
        if (repris) {
            QCOMPARE(i.erreurs, QString());
            QCOMPARE(i.statut, 0);
            QVERIFY(!f.exists());
        } else {
            const QString depuis = QDateTime(QDate(2026, 3, 2), QTime(8, 5), Qt::UTC).toLocalTime()
                                       .toString(QStringLiteral("dd/MM/yyyy 'à' HH:mm"));
            QCOMPARE(i.erreurs, QStringLiteral("qzf: La banque BASE.QZF est déjà ouverte par claude sur la machine "
                                               "poste-12 depuis le %1. Si plus personne n'y travaille, supprimez le "
                                               "fichier BASE.QZF.verrou. Elle n'a pas été modifiée.\n").arg(depuis));
            QCOMPARE(i.statut, 1);
            QCOMPARE(banque::lire(QStringLiteral("BASE.QZF")), m_banque);
            Verrou editeur;
            QCOMPARE(editeur.prendre(QStringLiteral("BASE.QZF")), Verrou::Etat::Tenu);
            QCOMPARE(editeur.detenteur().utilisateur, QStringLiteral("claude"));
        }
    }

    // The kernel lock, not the file, says whether its holder still runs: held by a living
    // process, then the same process killed before it could remove its file.
    void processusTue_sonVerrouEstRepris()
    {
        int tube[2];
        QVERIFY(::pipe(tube) == 0);
        const pid_t enfant = ::fork();
        if (enfant == 0) {
            Verrou v;
            const char pris = v.prendre(QStringLiteral("BASE.QZF")) == Verrou::Etat::Pris ? 'o' : 'n';
            (void)!::write(tube[1], &pris, 1);
            ::pause();
            ::_exit(0);
        }
        char pris = 0;
        QCOMPARE(::read(tube[0], &pris, 1), ssize_t(1));
        QCOMPARE(pris, 'o');
        Verrou editeur;
        QCOMPARE(editeur.prendre(QStringLiteral("BASE.QZF")), Verrou::Etat::Tenu);
        QCOMPARE(editeur.detenteur().pid, qint64(enfant));
        Verrou second;  // a second window of this very process on the same bank
        ::kill(enfant, SIGKILL);
        ::waitpid(enfant, nullptr, 0);
        ::close(tube[0]);
        ::close(tube[1]);
        QVERIFY(QFile::exists(QStringLiteral("BASE.QZF.verrou")));
        QCOMPARE(editeur.prendre(QStringLiteral("BASE.QZF")), Verrou::Etat::Pris);
        QCOMPARE(editeur.detenteur().pid, qint64(::getpid()));
        QCOMPARE(second.prendre(QStringLiteral("BASE.QZF")), Verrou::Etat::Tenu);
    }
};

QTEST_GUILESS_MAIN(TestVerrou)
#include "test_verrou.moc"
