// A teacher's first day: the welcome and its three ways on, from the exchanges menu.
#include "accueil/fenetre_accueil.h"
#include "output/form_export.h"
#include "platform/qtplatform.h"
#include "support/editeur.h"

#include <QDate>
#include <QLabel>
#include <QProcess>
#include <QScrollArea>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <QPushButton>
#include <QTimer>

class TestPremierJour : public QObject {
    Q_OBJECT
private slots:
    void bienvenue_data()
    {
        QTest::addColumn<QString>("bouton");
        QTest::addColumn<QString>("banque");     // the bank open after
        QTest::addColumn<bool>("themes");        // the theme editor shown, the cursor in its first box
        QTest::newRow("sample bank") << "boutExemple" << "DEMO.qzf" << false;
        QTest::newRow("my own bank") << "boutCommencer" << "BASE.QZF" << true;
        QTest::newRow("close") << "boutFermer" << "BASE.QZF" << false;
        QTest::newRow("escape") << "" << "BASE.QZF" << false;
    }
    void bienvenue()
    {
        QFETCH(QString, bouton);
        const QByteArray cartes = banque::octets({{"Q1"}, {"Q2"}});
        Editeur e(cartes);
        QVERIFY(banque::ecrire(e.dir.filePath("DEMO.qzf"), banque::octets({{"Démo 1"}})));
        e.faire({"TextQuestion=Q1 revue"});
        QString titre, boutons;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<FormAccueil *>(QApplication::activeModalWidget());
            QVERIFY(d);
            titre = d->windowTitle();
            for (QPushButton *b : {d->boutExemple, d->boutCommencer, d->boutFermer})
                boutons += b->text() + (b->isEnabled() ? "|" : "-|");
            if (bouton.isEmpty())
                QTest::keyClick(d, Qt::Key_Escape);
            else
                QTest::mouseClick(d->findChild<QPushButton *>(bouton), Qt::LeftButton);
        });
        e.menu("actionBienvenue");
        QCOMPARE(titre, "Bienvenue");
        QCOMPARE(boutons, "Ouvrir la banque d'&exemple|&Commencer ma banque|&Fermer|");
        QTEST(e.f.session().etat().NomFichier, "banque");
        QTEST(e.w("FrameThemes")->isVisible(), "themes");
        if (e.w("FrameThemes")->isVisible())
            QTRY_COMPARE(QApplication::focusWidget(), e.w("ThemeEdit_0"));
        // Another bank opened: the card on screen was stored first; otherwise it waits on screen.
        const bool stockee = e.f.session().etat().NomFichier == "DEMO.qzf";
        QCOMPARE(banque::carte(e.dir.filePath("BASE.QZF"), 1).Question[3] == 'r', stockee);
        QCOMPARE(e.octets().size(), cartes.size());
    }

    // Each kind of file dialog opens where the last one of its kind was left.
    void fileDialogs_startInTheFolderLastUsed()
    {
        Editeur e(banque::octets({{"Q1"}}));
        QVERIFY(QDir(e.dir.path()).mkpath("cours/2026") && QDir(e.dir.path()).mkpath("recus"));
        e.pf.reponsesFichier << e.dir.filePath("cours/2026/revision.gift") << "" << e.dir.filePath("recus/x.csv") << "";
        for (const char *a : {"actionExporter", "actionExporter", "actionImporter", "actionImporter"})
            e.menu(a);
        e.fermerFenetres();
        QStringList chemins;
        for (const auto &d : e.pf.dialoguesFichier)
            chemins << QString(d.chemin).replace(e.dir.path(), "DIR");
        QCOMPARE(chemins, QStringList({"DIR/BASE.gift", "DIR/cours/2026/BASE.gift", "DIR", "DIR/recus"}));
        QCOMPARE(e.pf.dossiersRetenus.value("sorties"), e.dir.filePath("cours/2026"));
        // The export's report offers the folder of the file it wrote.
        QVERIFY(QFileInfo::exists(e.dir.filePath("cours/2026/revision.gift")));
    }

    // Without a printer the listing goes beside the other outputs, named after the bank and the day.
    void listingWithoutPrinter_neverReplacesAnEarlierOne()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this desktop has a printer");
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir sorties;
        QtPlateforme p;
        p.retenirDossier("sorties", sorties.path());
        const QString jour = QDate::currentDate().toString(Qt::ISODate);
        for (const QString &attendu : {"BASE-" + jour + ".pdf", "BASE-" + jour + " (2).pdf"}) {
            QVERIFY(p.imprimanteDebut("BASE.QZF"));
            p.imprimanteEcrire("ligne");
            p.imprimanteFinLigne();
            QVERIFY(p.imprimanteFin());
            QCOMPARE(p.imprimanteFichier(), QDir(sorties.path()).filePath(attendu));
            QVERIFY(QFileInfo(p.imprimanteFichier()).size() > 0);
        }
    }

    // One editor writes a bank: a second one (another window, another process) reads it only,
    // and qzf refuses to write it; a lock left by a process that ended is taken over.
    void lock_betweenEditorsAndQzf()
    {
        const QByteArray cartes = banque::octets({{"Q2"}, {"Q1"}});
        Editeur e(cartes);
        QVERIFY(QFile::exists(e.dir.filePath("BASE.QZF.verrou")));
        QProcess qzf;
        qzf.start(QZF_PATH, {"sort", e.dir.filePath("BASE.QZF")});
        QVERIFY(qzf.waitForFinished(10000));
        QCOMPARE(qzf.exitCode(), 1);
        QVERIFY(QString::fromUtf8(qzf.readAllStandardError()).contains("est déjà ouverte par"));
        QCOMPARE(e.octets(), cartes);

        FakePlateforme pf(e.dir.path());
        FormEdit autre(pf);
        autre.charger();
        QCOMPARE(pf.messages.value(0).titre, "Banque déjà ouverte");
        QVERIFY(pf.messages.value(0).texte.contains("Elle est ouverte ici en lecture seule"));
        QVERIFY(autre.session().lectureSeule() && autre.windowTitle().endsWith(" (lecture seule)"));
        for (const char *c : {"Nouveau", "Supprimer", "Command4", "BoutMultimedia"})
            QVERIFY2(!controle(autre, c)->isEnabled(), c);
        pf.oublier();
        autre.session().Classer();  // quitting a read-only bank sorts nothing, and leaves the lock to its holder
        QCOMPARE(e.octets(), cartes);
        QVERIFY(QFile::exists(e.dir.filePath("BASE.QZF.verrou")));
        QVERIFY(!e.f.session().lectureSeule() && e.w("Nouveau")->isEnabled());
    }

    void lock_leftByAnEndedProcess_isTakenOver()
    {
        QTemporaryDir dir;
        const verrou::Detenteur moi = verrou::moi();
        QVERIFY(banque::ecrire(dir.filePath("BASE.QZF.verrou"),
                               "utilisateur=" + moi.utilisateur.toUtf8() + "\nmachine=" + moi.machine.toUtf8()
                                   + "\ndepuis=2026-01-05T08:00:00Z\npid=999999\n"));
        QVERIFY(banque::ecrire(dir.filePath("BASE.QZF"), banque::octets({{"Q1"}})));
        FakePlateforme pf(dir.path());
        FormEdit f(pf);
        f.charger();
        QVERIFY(!f.session().lectureSeule());
        QVERIFY(banque::lire(dir.filePath("BASE.QZF.verrou")).contains("pid=" + QByteArray::number(QCoreApplication::applicationPid())));
    }

    // A small screen (1024x600, or 1280x720 at 125 %) scrolls the window in a frame of its size;
    // a large one leaves the window as it is.
    void smallScreen_everyControlReachable_data()
    {
        QTest::addColumn<QRect>("ecran");
        QTest::addColumn<bool>("cadre");
        QTest::newRow("1024x600") << QRect(0, 0, 1024, 600) << true;
        QTest::newRow("1280x720 at 125 %") << QRect(0, 0, 1024, 576) << true;
        QTest::newRow("1280x1024") << QRect(0, 0, 1280, 1024) << false;
    }
    void smallScreen_everyControlReachable()
    {
        QFETCH(QRect, ecran);
        Editeur e(banque::octets({{"Q1"}, {"Q2"}}));
        const QSize taille = e.f.size();
        QWidget *fenetre = e.f.adapterAEcran(ecran);
        QTEST(fenetre != &e.f, "cadre");
        QCOMPARE(e.f.size(), taille);  // nothing inside moves
        if (fenetre == &e.f)
            return;
        fenetre->show();
        QVERIFY(QTest::qWaitForWindowExposed(fenetre));
        QVERIFY(fenetre->width() <= ecran.width() && fenetre->height() <= ecran.height());
        QCOMPARE(fenetre->windowTitle(), e.f.windowTitle());
        auto *cadre = qobject_cast<QScrollArea *>(fenetre);
        for (const char *nom : {"Quitter", "Dernier", "Echanges", "BoutMultimedia"}) {
            cadre->ensureWidgetVisible(e.w(nom));
            const QRect vu(e.w(nom)->mapTo(cadre->viewport(), QPoint(0, 0)), e.w(nom)->size());
            QVERIFY2(cadre->viewport()->rect().contains(vu), nom);
        }
        e.clic("Suivant");
        QCOMPARE(e.ecran(), "2/2 Q2");
        fenetre->close();  // the frame's close is the window's: the bank is sorted, the program ends
        QVERIFY(e.f.termine());
        QCOMPARE(e.pf.fins, 1);
    }

    // A transfer writes its destination: one held elsewhere is left alone; pictures and sounds the
    // cards name but the bank lacks are told after the count.
    void transfer_destinationLockedOrMediaMissing()
    {
        Editeur e(banque::octets({{.question = "Q1", .media = "absente.jpg", .code = 10}}));
        QVERIFY(banque::ecrire(e.dir.filePath("DEST.qzf"), QByteArray()));
        for (bool tenue : {true, false}) {
            verrou::Verrou autre;
            if (tenue)
                QCOMPARE(autre.prendre(e.dir.filePath("DEST.qzf")), verrou::Verrou::Etat::Pris);
            e.pf.oublier();
            e.clic("Command1");
            auto *d = dialogueCharge<Form_export>(e.f, "Form_export");
            QVERIFY(d);
            e.f.session().etat().FichierDest = "DEST.qzf";
            d->findChild<QLabel *>("textedest")->setText("DEST.qzf");
            e.clic(d->findChild<QPushButton *>("bout_OK"));
            const QStringList vus = e.pf.textes();
            if (tenue) {
                QCOMPARE(vus.size(), 1);
                QVERIFY(vus[0].startsWith("La banque DEST.qzf est déjà ouverte par "));
                QVERIFY(vus[0].endsWith(" Aucune question n'y a été transférée."));
                QCOMPARE(banque::lire(e.dir.filePath("DEST.qzf")), QByteArray());
            } else {
                QCOMPARE(vus.value(0), "Transfert de  1 questions effectué vers le fichier DEST.qzf");
                QVERIFY(vus.value(1).startsWith("Des images ou des sons des fiches transférées ne sont pas dans le "
                                                "dossier des médias de DEST.qzf :\n"));
                QVERIFY(vus.value(1).contains("absente.jpg"));
                QCOMPARE(banque::lire(e.dir.filePath("DEST.qzf")).size(), 803);
            }
            e.fermerFenetres();
        }
    }

    void bienvenue_withoutSample_offersTheOtherTwo()
    {
        FormAccueil d(false);
        QVERIFY(!d.boutExemple->isEnabled() && d.boutCommencer->isDefault());
        QTest::mouseClick(d.boutCommencer, Qt::LeftButton);
        QCOMPARE(d.choix(), FormAccueil::Choix::Commencer);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestPremierJour)
#include "test_premier_jour.moc"
