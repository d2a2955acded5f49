#include "liste/fenetre_liste.h"
#include "liste/liste.h"
#include "support/editeur.h"
#include "support/lancer.h"
#include "classroom/page_quiz.h"
#include "tidy/corbeille.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>

using banque::Carte;

namespace {

// Eight cards: themes Histoire (0), Sciences (1), Arts (2); 2 and 5 marked, 3 and 5 with media,
// 4 without good answer, 8 with two.
QByteArray cartes()
{
    QByteArray b = banque::octets({
        {"Capitale de la France ?", 0, 1, 0, {"Paris", "Lyon", "Nice"}},
        {"Année de la Révolution ?", 0, 2, 1, {"1792", "1789", "1804"}, {}, "JD"},
        {"Formule de l'eau ?", 1, 3, 0, {"CO2", "O2", "H2O"}, {}, {}, "eau.jpg", 10},
        {"Planète rouge ?", 1, 0, 0, {"Mars", "Vénus", ""}, "Elle est éloignée"},
        {"Auteur de la Joconde ?", 2, 1, 1, {"Léonard", "Raphaël", "Michel-Ange"}, {}, {}, "son.wav", 2},
        {"Peintre des Nymphéas ?", 2, 2, 0, {"Manet", "Monet", "Degas"}, {}, "AB"},
        {"Eleve ou élève ?", 0, 1, 0, {"élève", "eleve", "ELEVE"}},
        {"Vitesse de la lumiere ?", 1, 1, 0, {"300 000 km/s", "3 000 km/s", "30 km/s"}},
    });
    b[7 * FicheQuestion::Taille + offsets::BonneReponse + 2] = char(0xFF);
    b[7 * FicheQuestion::Taille + offsets::BonneReponse + 3] = char(0xFF);
    return b;
}

TableThemes themes()
{
    TableThemes t;
    for (const auto &[i, nom] : {std::pair{0, "Histoire"}, {1, "Sciences"}, {2, "Arts"}})
        t.fixerNom(i, QString::fromUtf8(nom));
    return t;
}

QString suite(const QList<int> &l)
{
    QStringList s;
    for (int n : l)
        s << QString::number(n);
    return s.join(u' ');
}

} // namespace

class TestListe : public QObject {
    Q_OBJECT
private slots:
    void lignes_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::addColumn<bool>("sansAccents");
        QTest::addColumn<int>("theme");
        QTest::addColumn<QString>("options");  // m: marked, i: media, b: good answer doubtful
        QTest::addColumn<int>("colonne");
        QTest::addColumn<bool>("descendant");
        QTest::addColumn<QString>("attendu");
        const int N = 0, Th = 1, Q = 2, B = 3, M = 4;
        QTest::newRow("tout") << "" << false << -1 << "" << N << false << "1 2 3 4 5 6 7 8";
        QTest::newRow("réponse") << "paris" << false << -1 << "" << N << false << "1";
        QTest::newRow("capitales accentuées") << "RÉVOLUTION" << false << -1 << "" << N << false << "2";
        QTest::newRow("commentaire") << "éloign" << false << -1 << "" << N << false << "4";
        QTest::newRow("accent exigé") << "eloign" << false << -1 << "" << N << false << "";
        QTest::newRow("sans accents") << "eloign" << true << -1 << "" << N << false << "4";
        QTest::newRow("sans accents, tapé accentué") << "NYMPHEAS" << true << -1 << "" << N << false << "6";
        QTest::newRow("pas d'un champ à l'autre") << "ParisLyon" << false << -1 << "" << N << false << "";
        QTest::newRow("hors de la page de code") << "Ω" << false << -1 << "" << N << false << "";
        QTest::newRow("thème") << "" << false << 2 << "" << N << false << "5 6";
        QTest::newRow("marquées") << "" << false << -1 << "m" << N << false << "2 5";
        QTest::newRow("média") << "" << false << -1 << "i" << N << false << "3 5";
        QTest::newRow("bonne douteuse") << "" << false << -1 << "b" << N << false << "4 8";
        QTest::newRow("thème et média") << "" << false << 1 << "i" << N << false << "3";
        QTest::newRow("texte et marquées") << "de la" << false << -1 << "m" << N << false << "2 5";
        QTest::newRow("tout à la fois") << "e" << false << 1 << "mib" << N << false << "";
        QTest::newRow("n° descendant") << "" << false << -1 << "" << N << true << "8 7 6 5 4 3 2 1";
        QTest::newRow("question") << "" << false << -1 << "" << Q << false << "2 5 1 7 3 6 4 8";
        QTest::newRow("question descendant") << "" << false << -1 << "" << Q << true << "8 4 6 3 7 1 5 2";
        QTest::newRow("thème par nom") << "" << false << -1 << "" << Th << false << "5 6 1 2 7 3 4 8";
        QTest::newRow("bonne réponse") << "" << false << -1 << "" << B << false << "4 2 8 7 3 5 6 1";
        QTest::newRow("marque, égales en ordre") << "" << false << -1 << "" << M << true << "2 5 1 3 4 6 7 8";
        QTest::newRow("filtré puis trié") << "" << false << 0 << "" << Q << false << "2 1 7";
    }
    void lignes()
    {
        QFETCH(QString, texte);
        QFETCH(bool, sansAccents);
        QFETCH(int, theme);
        QFETCH(QString, options);
        QFETCH(int, colonne);
        QFETCH(bool, descendant);
        QFETCH(QString, attendu);
        const liste::Filtre f{texte, sansAccents, theme, options.contains('m'), options.contains('i'), options.contains('b')};
        QCOMPARE(suite(liste::lignes(liste::Index(cartes()), f, {liste::Colonne(colonne), descendant}, themes())), attendu);
    }

    // The window over the editor: filters, count, and the row of the card on screen.
    void fenetre()
    {
        Editeur e(cartes());
        QTest::keyClick(&e.f, Qt::Key_L, Qt::ControlModifier);
        QWidget *l = dialogueCharge(e.f, "ListeFiches");
        QVERIFY(l && l->isVisible());
        QVERIFY(e.f.isEnabled());
        auto *vue = controle<QTableView>(l, "vueFiches");
        // The model keeps Qt's rules through every filter, sort and change below.
        QAbstractItemModelTester testeur(vue->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "8 fiches sur 8");
        QCOMPARE(controle<QComboBox>(l, "filtreTheme")->itemText(0), "Tous les thèmes");
        QCOMPARE(controle<QComboBox>(l, "filtreTheme")->itemText(3), "Arts");
        QStringList entetes, premiere;
        for (int c = 0; c < liste::NbColonnes; ++c) {
            entetes << vue->model()->headerData(c, Qt::Horizontal).toString();
            premiere << vue->model()->index(4, c).data().toString();
        }
        QCOMPARE(entetes.join('|'), "N°|Thème|Question|Bonne réponse|Marque|Auteur|Média");
        QCOMPARE(premiere.join('|'), "5|Arts|Auteur de la Joconde ?|Léonard|1||son.wav");
        QVERIFY(vue->model()->index(0, 2).data(Qt::FontRole).value<QFont>().bold());  // card 1 on screen

        Editeur::taper(controle(l, "filtreFiches"), "ELEVE");
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "1 fiche sur 8");
        controle<QCheckBox>(l, "filtreAccents")->setChecked(true);
        controle<QComboBox>(l, "filtreTheme")->setCurrentIndex(2);
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "0 fiche sur 8");
        controle<QComboBox>(l, "filtreTheme")->setCurrentIndex(1);
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "1 fiche sur 8");

        // A double click shows the card in the editor; what the editor stores shows in the list.
        QTest::keyClick(controle(l, "filtreFiches"), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(controle(l, "filtreFiches"), Qt::Key_Backspace);
        controle<QComboBox>(l, "filtreTheme")->setCurrentIndex(0);
        vue->sortByColumn(2, Qt::AscendingOrder);
        const QRect r = vue->visualRect(vue->model()->index(1, 2));  // "Auteur de la Joconde ?"
        QTest::mouseClick(vue->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(vue->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(e.ecran(), "5/8 Auteur de la Joconde ?");
        QVERIFY(vue->model()->index(1, 2).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!vue->model()->index(2, 2).data(Qt::FontRole).value<QFont>().bold());
        controle<QPlainTextEdit>(e.f, "TextQuestion")->setPlainText("Zèbre ou cheval ?");
        QVERIFY(e.f.session().stockerFiche());
        QCOMPARE(vue->model()->index(7, 2).data().toString(), "Zèbre ou cheval ?");  // sorted last now
        QCOMPARE(vue->model()->index(7, 0).data().toString(), "5");

        // Enter on a row, then the editor deletes that card: the list follows.
        vue->setFocus();
        vue->setCurrentIndex(vue->model()->index(0, 2));
        QTest::keyClick(vue, Qt::Key_Return);
        QCOMPARE(e.ecran(), "2/8 Année de la Révolution ?");
        e.clic("Supprimer");
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "7 fiches sur 7");
        QCOMPARE(vue->model()->index(0, 2).data().toString(), "Capitale de la France ?");
        // A card created in the editor, then moved to another theme there.
        auto *modele = qobject_cast<ModeleFiches *>(vue->model());
        e.clic("Nouveau");
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "7 fiches sur 7");
        controle<QPlainTextEdit>(e.f, "TextQuestion")->setPlainText("Nouvelle carte ?");
        e.clic("OptionBonneReponse_1");
        QVERIFY(e.f.session().stockerFiche());
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "8 fiches sur 8");
        QCOMPARE(vue->model()->index(modele->ligne(8), 2).data().toString(), "Nouvelle carte ?");
        e.clic("Theme_1");
        QVERIFY(e.f.session().stockerFiche());
        QCOMPARE(vue->model()->index(modele->ligne(8), 1).data().toString(), "Sciences");
        QCOMPARE(l->windowTitle(), "Liste des fiches - BASE.QZF");
        QVERIFY(QTest::qWaitForWindowActive(l));
        QTest::keyClick(vue, Qt::Key_Escape);
        QVERIFY(e.decharge("ListeFiches"));
    }

    // Each action on cards 2, 5 and 8 picked with Ctrl clicks: the bank on disk, the message.
    void actions_data()
    {
        QTest::addColumn<QString>("bouton");
        QTest::addColumn<QByteArray>("attendu");
        QTest::addColumn<QString>("bilan");
        const auto changer = [](std::initializer_list<std::pair<int, int>> octets) {
            QByteArray b = cartes();
            for (const auto &[position, valeur] : octets)
                b[position] = char(valeur);
            return b;
        };
        const int T = FicheQuestion::Taille;
        QTest::newRow("marquer") << "boutMarquer" << changer({{7 * T + offsets::Marque, 1}})
                                 << "1 fiche marquée sur 3 choisies (les autres l'étaient déjà).";
        QTest::newRow("démarquer") << "boutDemarquer"
                                   << changer({{1 * T + offsets::Marque, 0}, {4 * T + offsets::Marque, 0}})
                                   << "2 fiches démarquées sur 3 choisies (l'autre ne l'était pas).";
        QTest::newRow("thème") << "boutTheme"
                               << changer({{1 * T + offsets::NumTheme, 2}, {7 * T + offsets::NumTheme, 2}})
                               << "2 fiches passées au thème « Arts » sur 3 choisies (l'autre y était déjà).";
        QByteArray reste;
        for (int n : {1, 3, 4, 6, 7})
            reste += banque::enregistrement(cartes(), n);
        QTest::newRow("supprimer") << "boutSupprimer" << reste << "3 fiches supprimées, gardées dans la corbeille.";
    }
    void actions()
    {
        QFETCH(QString, bouton);
        QFETCH(QByteArray, attendu);
        QFETCH(QString, bilan);
        Editeur e(cartes());
        e.f.session().allerA(6);
        ouvrirListe(e.f.session(), &e.f);
        QWidget *l = dialogueCharge(e.f, "ListeFiches");
        auto *vue = controle<QTableView>(l, "vueFiches");
        QVERIFY(!controle(l, bouton)->isEnabled());
        for (int ligne : {1, 4, 7})
            QTest::mouseClick(vue->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              vue->visualRect(vue->model()->index(ligne, 2)).center());
        QCOMPARE(vue->selectionModel()->selectedRows().size(), 3);
        controle<QComboBox>(l, "choixTheme")->setCurrentIndex(2);
        e.pf.reponses.enqueue(Plateforme::Reponse::Oui);
        e.clic(controle<QPushButton>(l, bouton));
        QCOMPARE(e.octets(), attendu);
        QCOMPARE(controle<QLabel>(l, "bilanListe")->text(), bilan);
        QCOMPARE(vue->selectionModel()->selectedRows().size(), bouton == "boutSupprimer" ? 0 : 3);
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(),
                 QStringLiteral("%1 fiches sur %1").arg(attendu.size() / FicheQuestion::Taille));
        if (bouton == "boutSupprimer") {
            QCOMPARE(e.boites(), QStringList{"Liste des fiches | Supprimer les 3 fiches choisies ? Elles seront gardées dans "
                                             "la corbeille. | 2 | 1"});
            corbeille::Contenu c;
            QVERIFY(corbeille::lire(e.f.session().dossierMedia(), c));
            QCOMPARE(c.cartes, banque::enregistrement(cartes(), 2) + banque::enregistrement(cartes(), 5)
                                   + banque::enregistrement(cartes(), 8));
            QCOMPARE(e.ecran(), "4/5 Peintre des Nymphéas ?");  // the card on screen kept
        } else {
            QCOMPARE(e.ecran(), "6/8 Peintre des Nymphéas ?");
        }
    }

    // Copies of cards 2, 5 and 8 (or 4, 5 and 8 for the class): the bank stays as it was, the
    // messages name the cards by their numbers in the bank.
    void copies_data()
    {
        QTest::addColumn<QString>("bouton");
        QTest::addColumn<QString>("fichier");
        QTest::addColumn<QString>("bilan");
        QTest::addColumn<QString>("message");
        QTest::newRow("transfert") << "boutTransferer" << "DEST.QZF"
                                   << "3 fiches copiées à la fin de la banque DEST.QZF." << "";
        QTest::newRow("export") << "boutExporter" << "sel.gift" << "Sélection exportée dans sel.gift."
                                << "Exportation de la banque BASE.QZF au format GIFT dans DIR/sel.gift\n"
                                   "3 fiche(s) exportée(s).\n\n"
                                   "Ce que le format ne garde pas (3) :\n"
                                   "  1 fiche(s) perdent leur image ou leur son : 5\n"
                                   "  2 fiche(s) perdent leur marque : 2, 5\n"
                                   "  1 fiche(s) perdent les initiales de leur auteur : 2\n"
                                   "|0|Exporter la sélection";
        QTest::newRow("quiz") << "boutQuiz" << "sel.html" << "sel.html écrit(e)."
                              << "Page de quiz de 2 question(s) écrite dans DIR/sel.html.\n"
                                 "fiche 4 : aucune bonne réponse n'est cochée, fiche laissée de côté\n"
                                 "fiche 5 : Son introuvable : son.wav|0|Page de quiz";
        QTest::newRow("sujets") << "boutSujets" << "sel.pdf" << "sel.pdf écrit(e)."
                                << "Sujets de 2 question(s) écrits dans DIR/sel.pdf.\n"
                                   "fiche 4 : aucune bonne réponse n'est cochée, fiche laissée de côté|0|Sujets d'examen";
    }
    void copies()
    {
        QFETCH(QString, bouton);
        QFETCH(QString, fichier);
        QFETCH(QString, bilan);
        QFETCH(QString, message);
        Editeur e(cartes());
        ouvrirListe(e.f.session(), &e.f);
        QWidget *l = dialogueCharge(e.f, "ListeFiches");
        auto *vue = controle<QTableView>(l, "vueFiches");
        const bool classe = bouton == "boutQuiz" || bouton == "boutSujets";
        for (int ligne : {classe ? 3 : 1, 4, 7})
            QTest::mouseClick(vue->viewport(), Qt::LeftButton, Qt::ControlModifier,
                              vue->visualRect(vue->model()->index(ligne, 2)).center());
        e.pf.reponsesFichier.enqueue(e.chemin(fichier));
        e.clic(controle<QPushButton>(l, bouton));
        QCOMPARE(e.octets(), cartes());
        QCOMPARE(controle<QLabel>(l, "bilanListe")->text(), bilan);
        QCOMPARE(e.messages().join(u'#'), message);
        QVERIFY(QFileInfo(e.chemin(fichier)).size() > 0);
        // The same file as the whole-bank code writes for a bank of just those cards.
        const QList<int> choisies = classe ? QList<int>{4, 5, 8} : QList<int>{2, 5, 8};
        QByteArray seules;
        for (int n : choisies)
            seules += banque::enregistrement(cartes(), n);
        QTemporaryDir autre;
        const echanges::CheminsBanque ref{autre.filePath("BASE.QZF"), e.chemin("BASE.prm"), e.chemin("BASE")};
        QVERIFY(banque::ecrire(ref.banque, seules));
        const QString attendu = autre.filePath(fichier);
        if (bouton == "boutExporter") {
            echanges::Rapport rapport;
            QVERIFY(echanges::exporter(ref, attendu, {}, rapport));
        } else if (bouton == "boutQuiz") {
            QVERIFY(classe::ecrireQuiz(ref, {}, {"BASE", false}, attendu).resultat);
        }
        if (QFileInfo::exists(attendu))
            QCOMPARE(banque::lire(e.chemin(fichier)), banque::lire(attendu));
        if (bouton == "boutTransferer") {
            QByteArray copies;
            for (int n : {2, 5, 8}) {
                QByteArray c = banque::enregistrement(cartes(), n);
                c[offsets::Marque] = 0;
                copies += c;
            }
            QCOMPARE(banque::lire(e.chemin(fichier)), copies);
        }
    }

    // Nothing deleted when the user says no, when every card of the bank is chosen, nor when the
    // recycle file cannot keep them (its name leads nowhere).
    void suppressionRefusee_data()
    {
        QTest::addColumn<int>("lignes");
        QTest::addColumn<QString>("reponse");
        QTest::addColumn<QString>("boites");
        QTest::newRow("corbeille impossible")
            << 3 << "oui"
            << "Liste des fiches | Supprimer les 3 fiches choisies ? Elles seront gardées dans la corbeille. | 2 | 1\n"
               "Erreur | La fiche 1 n'a pas pu être gardée dans la corbeille, aucune fiche n'est donc supprimée. "
               "Impossible d'écrire dans la corbeille …/BASE/corbeille.qzc : fichier ou dossier introuvable | 0 | 2";
        QTest::newRow("non") << 3 << "non" << "Liste des fiches | Supprimer les 3 fiches choisies ? Elles seront gardées dans la "
                                     "corbeille. | 2 | 1";
        QTest::newRow("toutes") << 8 << "oui" << "Erreur | Toutes les fiches de la banque sont choisies : une banque garde au "
                                        "moins une fiche, aucune n'est supprimée. | 0 | 2";
    }
    void suppressionRefusee()
    {
        QFETCH(int, lignes);
        QFETCH(QString, reponse);
        QFETCH(QString, boites);
        Editeur e(cartes());
        const bool bloque = QTest::currentDataTag() == QByteArray("corbeille impossible");
        if (bloque)
            QVERIFY(QDir().mkpath(e.chemin("BASE"))
                    && QFile::link(e.chemin("nulle-part/corbeille.qzc"), e.chemin("BASE/corbeille.qzc")));
        ouvrirListe(e.f.session(), &e.f);
        QWidget *l = dialogueCharge(e.f, "ListeFiches");
        auto *vue = controle<QTableView>(l, "vueFiches");
        vue->selectionModel()->select(QItemSelection(vue->model()->index(0, 0), vue->model()->index(lignes - 1, 0)),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        e.pf.reponses.enqueue(reponse == "oui" ? Plateforme::Reponse::Oui : Plateforme::Reponse::Non);
        e.clic(controle<QPushButton>(l, "boutSupprimer"));
        QCOMPARE(e.boites().join('\n'), boites);
        QCOMPARE(e.octets(), cartes());
        QCOMPARE(QFileInfo::exists(e.f.session().dossierMedia()), bloque);
        QVERIFY(!QFileInfo::exists(e.chemin("BASE/corbeille.qzd")));
        QVERIFY(!QFileInfo::exists(e.chemin("MENAGE.TMP")));
    }

    // A bank past the last card number opens read-only: the list shows it, nothing writes, and
    // scrolling it through reads only the rows shown.
    void lectureSeule()
    {
        QByteArray b = cartes();
        const QByteArray une = banque::enregistrement(b, 1);
        b.reserve((FichesMax + 1) * FicheQuestion::Taille);
        while (b.size() < qsizetype(FichesMax + 1) * FicheQuestion::Taille)
            b += une;
        Editeur e(b);
        QVERIFY(e.f.session().lectureSeule());
        ouvrirListe(e.f.session(), &e.f);
        QWidget *l = dialogueCharge(e.f, "ListeFiches");
        auto *vue = controle<QTableView>(l, "vueFiches");
        QCOMPARE(controle<QLabel>(l, "comptageFiches")->text(), "32768 fiches sur 32768");
        QTest::keyClick(vue, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(vue->selectionModel()->selectedRows().size(), 32768);
        for (const char *nom : {"boutMarquer", "boutDemarquer", "boutTheme", "boutSupprimer"})
            QVERIFY2(!controle(l, nom)->isEnabled(), nom);
        auto *modele = qobject_cast<ModeleFiches *>(vue->model());
        QScrollBar *barre = vue->verticalScrollBar();
        for (int pas = 0; pas <= 20; ++pas) {
            barre->setValue(barre->maximum() * pas / 20);
            QCoreApplication::processEvents();
        }
        QVERIFY2(modele->lectures() < 21 * 60, qPrintable(QString::number(modele->lectures())));
        QCOMPARE(e.octets().size(), b.size());
    }

    void qzfList_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("sortie");
        QTest::newRow("thème, question à rebours")
            << QStringList{"--theme", "2", "--sort", "-question"} << 0
            << "6\tArts\tPeintre des Nymphéas ?\tMonet\t\tAB\t\n5\tArts\tAuteur de la Joconde ?\tLéonard\t1\t\tson.wav\n";
        QTest::newRow("bonne douteuse") << QStringList{"--doubtful"} << 0
                                        << "4\tSciences\tPlanète rouge ?\t\t\t\t\n"
                                           "8\tSciences\tVitesse de la lumiere ?\t300 000 km/s / 3 000 km/s\t\t\t\n";
        QTest::newRow("texte, marquées, média")
            << QStringList{"--text", "JOCONDE", "--marked", "--media"} << 0
            << "5\tArts\tAuteur de la Joconde ?\tLéonard\t1\t\tson.wav\n";
        QTest::newRow("sans accents") << QStringList{"--text", "eloignee", "--ignore-accents"} << 0
                                      << "4\tSciences\tPlanète rouge ?\t\t\t\t\n";
        QTest::newRow("thème par son nom") << QStringList{"--theme", "sciences", "--sort", "answer"} << 0
                                           << "4\tSciences\tPlanète rouge ?\t\t\t\t\n"
                                              "8\tSciences\tVitesse de la lumiere ?\t300 000 km/s / 3 000 km/s\t\t\t\n"
                                              "3\tSciences\tFormule de l'eau ?\tH2O\t\t\teau.jpg\n";
        QTest::newRow("thème inconnu") << QStringList{"--theme", "Chimie"} << 1 << "";
        QTest::newRow("colonne inconnue") << QStringList{"--sort", "titre"} << 2 << "";
        QTest::newRow("thème hors de 0 à 8") << QStringList{"--theme", "9"} << 2 << "";
    }
    void qzfList()
    {
        QFETCH(QStringList, options);
        QFETCH(int, statut);
        QFETCH(QString, sortie);
        QTemporaryDir dir;
        QVERIFY(banque::ecrire(dir.filePath("BASE.QZF"), cartes()));
        QVERIFY(banque::ecrireThemes(dir.filePath("BASE.prm"), {"Histoire", "Sciences", "Arts"}));
        QString out, err;
        QCOMPARE(lancer(QStringList{"list", dir.filePath("BASE.QZF")} + options, out, err), statut);
        QCOMPARE(out, sortie);
        QCOMPARE(err.isEmpty(), statut == 0);
    }
};

QTEST_MAIN(TestListe)
#include "test_liste.moc"
