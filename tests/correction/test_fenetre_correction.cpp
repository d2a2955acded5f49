#include "classroom/corrige.h"
#include "support/editeur.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTableWidget>
#include <QTimer>

namespace {

// One version of three questions (good answers A, B, C) on one page: four corner marks, the
// code, a two-digit student number and a row of three boxes per question.
classe::Corrige corrige()
{
    classe::Corrige c;
    c.examen = QStringLiteral("EX7");
    c.titre = QStringLiteral("Contrôle de mai");
    classe::VersionCorrigee v{1, {}};
    for (int q = 1; q <= 3; ++q)
        v.questions << classe::QuestionCorrigee{q, q, QStringLiteral("Q%1").arg(q), {"a", "b", "c"}, {1, 2, 3}, q - 1};
    c.versions << v;
    classe::PageFeuille p;
    p.version = p.page = 1;
    p.reperes = {{{10, 10, 8, 8}, {192, 10, 8, 8}, {192, 279, 8, 8}, {10, 279, 8, 8}}};
    p.qr = {150, 25, 30, 30};
    for (int d = 1; d <= 2; ++d)
        for (int n = 0; n < 10; ++n)
            p.numeroEleve << classe::CaseChiffre{d, n, {30.0 + d * 10, 40 + n * 6.5, 4.5, 4.5}};
    for (int q = 1; q <= 3; ++q)
        for (int r = 0; r < 3; ++r)
            p.cases << classe::CaseFeuille{q, r, {40.0 + r * 11, 120.0 + q * 8, 5, 5}};
    c.pages << p;
    return c;
}

// The page as a scanner gives it at 100 dpi: boxes of `noires` inked, of `grises` pencilled
// lightly, number boxes of `chiffres` inked (indexes in the key's lists).
QImage feuille(const classe::Corrige &c, QList<int> noires, QList<int> grises, QList<int> chiffres)
{
    const classe::PageFeuille &p = c.pages[0];
    QImage image(827, 1169, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter g(&image);
    g.scale(100 / 25.4, 100 / 25.4);
    const auto rect = [](const classe::RectMm &r) { return QRectF(r.x, r.y, r.l, r.h); };
    for (const classe::RectMm &m : p.reperes)
        g.fillRect(rect(m), Qt::black);
    const ZXing::BitMatrix qr = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                    .setMargin(0)
                                    .encode(classe::texteQr(c.examen, 1, 1).toStdWString(), 0, 0);
    const double module = p.qr.l / qr.width();
    for (int y = 0; y < qr.height(); ++y)
        for (int x = 0; x < qr.width(); ++x)
            if (qr.get(x, y))
                g.fillRect(QRectF(p.qr.x + x * module, p.qr.y + y * module, module, module), Qt::black);
    g.setPen(QPen(Qt::black, 0.3));
    const auto boite = [&](const classe::RectMm &r, bool noire, bool grise) {
        g.drawRect(rect(r));
        if (noire || grise)
            g.fillRect(rect(r), noire ? QColor(Qt::black) : QColor(170, 170, 170));
    };
    for (int k = 0; k < p.cases.size(); ++k)
        boite(p.cases[k].rect, noires.contains(k), grises.contains(k));
    for (int k = 0; k < p.numeroEleve.size(); ++k)
        boite(p.numeroEleve[k].rect, chiffres.contains(k), false);
    return image;
}

QStringList lignes(QTableWidget *t)
{
    QStringList l;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cellules;
        for (int c = 0; c < t->columnCount(); ++c)
            cellules << t->item(r, c)->text();
        l << cellules.join(u'|');
    }
    return l;
}

QStringList textes(QListWidget *l)
{
    QStringList t;
    for (int i = 0; i < l->count(); ++i)
        t << l->item(i)->text();
    return t;
}

// The main window on a bank of one card, the window opened from the menu, the files beside.
struct Poste : Editeur {
    Poste() : Editeur(banque::fiche({QStringLiteral("Q")}).octets()) { autre = QStringLiteral("CorrigerCopies"); }
    QWidget *ouvrir()
    {
        menu("actionCorrigerCopies");
        return dialogueCharge(f, autre);
    }
    QString ecrire(const QString &nom, const QByteArray &octets)
    {
        QFile fichier(chemin(nom));
        return fichier.open(QIODevice::WriteOnly) && fichier.write(octets) == octets.size() ? chemin(nom) : QString();
    }
    // The key, two copies and a page that is not a sheet; the class list.
    void preparer()
    {
        const classe::Corrige c = corrige();
        QVERIFY(classe::ecrireCorrige(chemin("mai.corrige.json"), c));
        QVERIFY(feuille(c, {0, 4}, {8}, {4, 12}).save(chemin("copie1.png")));
        QVERIFY(feuille(c, {0, 3}, {}, {3, 5, 17}).save(chemin("copie2.png")));
        QImage blanc(827, 1169, QImage::Format_Grayscale8);
        blanc.fill(Qt::white);
        QVERIFY(blanc.save(chemin("blanc.png")));
        ecrire("classe.csv", "numero;nom;prenom;classe\n42;Un;Élève;3B\n");
    }
};

} // namespace

class TestFenetreCorrection : public QObject {
    Q_OBJECT
private slots:
    void menuEntry_opensOneWindow()
    {
        Poste p;
        QWidget *w = p.ouvrir();
        QVERIFY(w && w->isVisible());
        QCOMPARE(p.ouvrir(), w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Corriger des copies"));
        QCOMPARE(p.menu()->findChild<QAction *>("actionCorrigerCopies")->text(), QStringLiteral("Corriger des copies…"));
        QVERIFY(!p.w("Corriger")->isEnabled() && !p.w("EnregistrerResultats")->isEnabled());
    }

    void wrongFile_saidAndChoiceKept_data()
    {
        QTest::addColumn<QString>("bouton");
        QTest::addColumn<QString>("champ");
        QTest::addColumn<QByteArray>("octets");
        QTest::addColumn<QString>("message");
        QTest::newRow("corrigé") << "ChoisirCorrige" << "Corrige" << QByteArray("{\"examen\": 3}")
                                 << "« faux » n'est pas un corrigé lisible : corrigé : « examen » n'est pas un texte.\n\n"
                                    "Choisissez le fichier NOM.corrige.json écrit avec les sujets.";
        QTest::newRow("classe") << "ChoisirClasse" << "Classe" << QByteArray("1;A\n2;B\n01;C\n")
                                << "Cette liste de la classe ne peut pas servir :\nfaux, ligne 3 : le numéro 01 est déjà "
                                   "celui de la ligne 1.\n\nChaque ligne donne numero;nom;prenom;classe, le numéro fait de chiffres.";
    }
    void wrongFile_saidAndChoiceKept()
    {
        QFETCH(QString, bouton);
        QFETCH(QString, champ);
        Poste p;
        p.preparer();
        p.ouvrir();
        const QString bon = p.chemin(bouton == "ChoisirCorrige" ? "mai.corrige.json" : "classe.csv");
        QFETCH(QByteArray, octets);
        p.pf.reponsesFichier << bon << p.ecrire("faux", octets);
        p.clic(bouton);
        p.clic(bouton);
        QFETCH(QString, message);
        QCOMPARE(p.pf.textes(), QStringList(message));
        QCOMPARE(p.texte(champ), bon);
        QCOMPARE(p.pf.messages.value(0).icone, Plateforme::Icone::Exclamation);
    }

    void correction_decideThenSave()
    {
        Poste p;
        p.preparer();
        p.ouvrir();
        p.pf.reponsesFichier << p.chemin("mai.corrige.json") << p.chemin("classe.csv");
        p.pf.reponsesFichiers << QStringList{p.chemin("copie1.png"), p.chemin("blanc.png"), p.chemin("copie2.png")};
        p.faire({"ChoisirCorrige", "AjouterScans", "ChoisirClasse"});
        QStringList choisis;
        for (const auto &d : p.pf.dialoguesFichier)
            choisis << d.titre + " | " + d.filtres;
        QCOMPARE(choisis, QStringList({"Choisir le corrigé de l'examen | Corrigé d'examen (*.corrige.json)",
                                       "Ajouter des copies scannées | Copies scannées (*.pdf *.png *.jpg *.jpeg *.tif *.tiff)",
                                       "Choisir la liste de la classe | Liste de la classe (*.csv)"}));
        QCOMPARE(textes(p.w<QListWidget>("Scans")), QStringList({"copie1.png", "blanc.png", "copie2.png"}));
        QCOMPARE(dialogueCharge(p.f, p.autre)->windowTitle(), "Corriger des copies - Contrôle de mai");

        p.clic("Corriger");
        auto *copies = p.w<QTableWidget>("Copies");
        auto *doutes = p.w<QListWidget>("Doutes");
        QCOMPARE(lignes(copies), QStringList({"1|42|Élève Un|1|13,33|2|1", "2|?||1|6,67|1|1"}));
        QCOMPARE(p.texte("Remarques"), "2 pages lues sur 3 : 2 copies.\n\nPages ignorées :\n"
                                       "blanc.png : pas de code QR lisible : ce n'est pas une feuille de réponses.");
        QCOMPARE(textes(doutes), QStringList({"Copie 1, question 3 : marque douteuse.", "Copie 2 : numéro d'élève illisible."}));

        // Saving with doubts left asks first; "Non" writes nothing.
        p.pf.reponses << Plateforme::Reponse::Non;
        p.clic("EnregistrerResultats");
        QCOMPARE(p.pf.textes(), QStringList("Il reste 2 doutes à décider : les réponses non décidées seront écrites « ? ». "
                                            "Enregistrer quand même ?"));
        QCOMPARE(p.pf.dialoguesFichier.size(), 3);

        // The first doubt is shown: a click on box C decides it, the number's doubt comes next.
        const QVariantList zones = p.w("ImageQuestion")->property("zones").toList();
        QCOMPARE(zones.size(), 3);
        QTest::mouseClick(p.w("ImageQuestion"), Qt::LeftButton, {}, zones[2].toRect().center());
        QCOMPARE(lignes(copies), QStringList({"1|42|Élève Un|1|20|3|", "2|?||1|6,67|1|1"}));
        QCOMPARE(textes(doutes), QStringList({"Copie 1, question 3 : décidée, C.", "Copie 2 : numéro d'élève illisible."}));
        QCOMPARE(doutes->currentRow(), 1);
        QVERIFY(p.w("NumeroEleve")->isVisible() && !p.w("AucuneReponse")->isVisible());
        QVERIFY(p.w("ImageQuestion")->property("zones").toList().isEmpty());
        Editeur::taper(p.w("NumeroEleve"), "17");
        p.clic("ValiderNumero");
        QCOMPARE(lignes(copies), QStringList({"1|42|Élève Un|1|20|3|", "2|17||1|6,67|1|"}));
        QVERIFY(p.texte("Remarques").endsWith("Liste de la classe :\nCopie 2 : le numéro 17 n'est pas dans la liste de la classe."));
        QVERIFY(!p.w("NumeroEleve")->isVisible());
        // A decision taken again: the doubt decided stays in the list for it.
        doutes->setCurrentRow(0);
        QTest::mouseClick(p.w("ImageQuestion"), Qt::LeftButton, {}, zones[1].toRect().center());
        QCOMPARE(textes(doutes), QStringList("Copie 1, question 3 : décidée, B."));
        QCOMPARE(lignes(copies), QStringList({"1|42|Élève Un|1|13,33|2|", "2|17||1|6,67|1|"}));
        QTest::mouseClick(p.w("ImageQuestion"), Qt::LeftButton, {}, zones[2].toRect().center());

        // Reading again, cancelled in its progress: the decisions stay.
        p.pf.reponses << Plateforme::Reponse::Oui;
        QTimer annuler;
        QObject::connect(&annuler, &QTimer::timeout, [&] {
            if (auto *d = dialogueCharge(p.f, p.autre)->findChild<QProgressDialog *>("ProgressionCorrection"))
                d->cancel();
        });
        annuler.start(0);
        p.clic("Corriger");
        annuler.stop();
        QCOMPARE(p.pf.textes().last(), "Les 2 décisions prises sur les doutes seront perdues. Corriger de nouveau ?");
        QCOMPARE(lignes(copies), QStringList({"1|42|Élève Un|1|20|3|", "2|17||1|6,67|1|"}));

        p.pf.reponses << Plateforme::Reponse::Non;
        QVERIFY(!dialogueCharge(p.f, p.autre)->close());
        QCOMPARE(p.pf.textes().last(), "Les résultats de cette correction n'ont pas été enregistrés. Fermer quand même ?");
        p.pf.reponsesFichier << p.chemin("notes");
        p.clic("EnregistrerResultats");
        QCOMPARE(p.pf.dialoguesFichier.last().chemin, p.chemin("mai.resultats.csv"));
        QCOMPARE(banque::lire(p.chemin("notes.csv")),
                 "copie;eleve;nom;version;note_sur_20;points;Q1;Q2;Q3\r\n1;42;Élève Un;1;20;3;A;B;C\r\n2;17;;1;6,67;1;A;A;\r\n");
        QCOMPARE(p.pf.choix_.last(), "Corriger des copies: Les résultats (2 copies) ont été écrits dans "
                                         + QDir::toNativeSeparators(p.chemin("notes.csv")) + ". [Ouvrir|Ouvrir le dossier|Fermer]");

        p.pf.reponsesFichier << p.chemin("mai.annotees.pdf");
        p.clic("CopiesAnnotees");
        QCOMPARE(p.pf.dialoguesFichier.last().chemin, p.chemin("mai.annotees.pdf"));
        QVERIFY(banque::lire(p.chemin("mai.annotees.pdf")).startsWith("%PDF-"));
        QCOMPARE(p.pf.choix_.last().section(" dans ", 0, 0), "Corriger des copies: Les copies annotées (2 copies) ont été écrites");
        QVERIFY(dialogueCharge(p.f, p.autre)->close());
        QCOMPARE(p.pf.messages.size(), 3);
    }
};

QTEST_MAIN(TestFenetreCorrection)
#include "test_fenetre_correction.moc"
