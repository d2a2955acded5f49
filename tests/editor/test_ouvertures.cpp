// Every window the main window opens, opened and cancelled twice over a card with a picture,
// a sound or nothing: the bank keeps every byte, the card on screen keeps its media.
#include "support/editeur.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTimer>

namespace {

const QStringList kBoutons = {"BoutFind", "Fichier", "Command1", "BoutPrint", "BoutMultimedia",
                              "Command3", "Command7", "Command4"};

} // namespace

class TestOuvertures : public QObject {
    Q_OBJECT
private slots:
    void ouvrirEtAnnulerDeuxFois_laisseLaBanqueIntacte_data()
    {
        QTest::addColumn<QString>("media");
        QTest::addColumn<int>("code");
        QTest::newRow("picture, size 2") << "photo.jpg" << 12;
        QTest::newRow("sound") << "son.wav" << 2;
        QTest::newRow("nothing") << "" << 0;
    }
    void ouvrirEtAnnulerDeuxFois_laisseLaBanqueIntacte()
    {
        QFETCH(QString, media);
        QFETCH(int, code);
        const QByteArray cartes = banque::octets({{.question = "Q1", .theme = 1, .bonne = 2,
                                                   .reponses = {"a", "b", "c"}, .commentaire = "vu",
                                                   .auteur = "AB", .media = media, .code = code},
                                                  {.question = "Q2", .marque = 1}});
        Editeur e(cartes);
        QDir().mkpath(e.dir.filePath("BASE"));
        QImage image(16, 12, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(e.dir.filePath("BASE/photo.jpg"), "JPG"));
        QVERIFY(banque::ecrire(e.dir.filePath("BASE/son.wav"), "RIFF"));
        e.f.session().allerA(1);  // shown again, now that its picture is there

        QStringList menu;
        for (QAction *a : e.menu()->actions())
            menu << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(menu.join('|'), "Exporter la banque…|Importer dans la banque…|-|Page de quiz pour la classe…|Sujets "
                                 "d'examen (PDF)…|-|Corbeille…|Doublons…|Changer le thème des cartes marquées…|-|"
                                 "Liste des fiches…|-|"
                                 "Bienvenue…|-|Corriger des copies…|Analyse des résultats…");
        QStringList ouvertures = kBoutons;
        for (QAction *a : e.menu()->actions())
            if (!a->isSeparator())
                ouvertures << a->objectName();
        QVERIFY(ouvertures.size() >= kBoutons.size() + 7);
        for (const QString &nom : ouvertures) {
            for (int fois = 0; fois < 2; ++fois) {
                // A window that waits for its answer (the welcome) is closed as the user would.
                QTimer::singleShot(0, [] {
                    if (QWidget *m = QApplication::activeModalWidget())
                        m->close();
                });
                if (QWidget *bouton = e.w(nom); bouton && !e.menu()->findChild<QAction *>(nom))
                    e.clic(bouton);
                else
                    e.menu()->findChild<QAction *>(nom)->trigger();
                e.fermerFenetres();
                if (nom == "Command4")
                    e.clic("Command6");  // the theme editor, cancelled
                QVERIFY2(e.f.isEnabled(), qPrintable(nom));
                QVERIFY2(e.octets() == cartes, qPrintable(nom));
                QCOMPARE(e.f.session().etat().OptionTaille, code);
            }
        }
        // A move stores the card as it stands on screen: still the same bytes.
        e.clic("Suivant");
        e.clic("Précédent");
        QCOMPARE(e.octets().toHex(' '), cartes.toHex(' '));
        QCOMPARE(e.w<QLabel>("LabelFileMedia")->text().trimmed(), media);
    }
};

QTEST_MAIN(TestOuvertures)
#include "test_ouvertures.moc"
