// Answer sheets printed, marked as students mark them, scanned or photographed, then read:
// every clear mark read right, every unclear one flagged, nothing read wrong unflagged.
#include "classroom/sujets_pdf.h"
#include "cli/verbes.h"
#include "correction/scans.h"
#include "support/banque.h"
#include "support/copies.h"
#include "support/lancer.h"

#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using copies::Trace;

namespace {

constexpr int kQuestions = 12;

// What a student does on one question: marks (a trace on an answer, A = 0) and what must be read.
struct Geste {
    QList<std::pair<int, Trace>> traces;
    QString attendu;     // letters a clear reading gives
    bool douteux = false;
};

// Twelve questions, shifted by `k` so that each copy ticks other letters.
QList<Geste> gestes(int k)
{
    auto l = [k](int i) { return (i + k) % 3; };
    auto L = [&](int i) { return QString(QChar(u'A' + l(i))); };
    return {
        {{{l(0), Trace::Remplie}}, L(0)},
        {{{l(1), Trace::Croix}}, L(1)},
        {{{l(2), Trace::Coche}}, L(2)},
        {{{l(3), Trace::TraitLeger}}, {}, true},
        {{{0, Trace::Remplie}, {2, Trace::Croix}}, QStringLiteral("AC"), true},
        {{{l(5), Trace::Gommee}, {(l(5) + 1) % 3, Trace::Croix}}, QString(QChar(u'A' + (l(5) + 1) % 3))},
        {{{l(6), Trace::Crayon}}, {}, true},
        {{{l(7), Trace::Gommee}}, {}},
        {{{l(8), Trace::Coche}}, L(8)},
        {{{l(9), Trace::Croix}}, L(9)},
        {{{l(10), Trace::Remplie}}, L(10)},
        {{}, {}},
    };
}

struct Variante {
    const char *nom;
    double dpi;
    copies::Alteration alteration;
    const char *format = nullptr;  // a picture of its own in this format; none: a page of the scanned PDF
};

const Variante kVariantes[] = {
    {"150 dpi", 150, {}},
    {"150 dpi, +3°", 150, {3}},
    {"150 dpi, -3°", 150, {-3}},
    {"200 dpi, quart de tour", 200, {90}},
    {"200 dpi, à l'envers", 200, {180}},
    {"200 dpi, 95 %", 200, {0, 0.95}},
    {"200 dpi, 105 %, flou", 200, {0, 1.05, 1}},
    {"150 dpi, bruit, JPEG 50", 150, {2, 1, 0, 30, 50}},
    {"300 dpi, -2°, flou, JPEG 50", 300, {-2, 1, 1, 10, 50}},
    {"300 dpi, à l'envers, 103 %, JPEG 50", 300, {-178, 1.03, 0, 0, 50}},
    {"300 dpi, noir et blanc, +1°", 300, {1, 1, 0, 0, 0, false, true}},
    {"600 dpi, TIFF", 600, {-1}, "tif"},
    {"photo", 200, {0, 1, 0, 6, 85, true}, "jpg"},
    {"photo à l'envers", 200, {180, 1, 0, 6, 85, true}, "jpg"},
};

class TestCorrection : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    classe::Corrige m_corrige;
    QString m_sujets;

    QString chemin(const QString &f) const { return m_dir.filePath(f); }
    // Sheet page of version `v`, rendered as a printer would print it, then marked.
    QImage copie(int v, double dpi, int eleve, const QList<Geste> &g) const
    {
        const classe::PageFeuille &f = *std::find_if(m_corrige.pages.cbegin(), m_corrige.pages.cend(),
                                                     [v](const classe::PageFeuille &p) { return p.version == v; });
        QPdfDocument pdf;
        pdf.load(m_sujets);
        QImage page =
            correction::surBlanc(pdf.render(f.page - 1, QSize(qRound(f.largeur * dpi / 25.4), qRound(f.hauteur * dpi / 25.4))));
        for (const classe::CaseFeuille &c : f.cases)
            for (const auto &[reponse, trace] : g.value(c.question - 1).traces)
                if (reponse == c.reponse)
                    copies::marquer(page, c.rect, trace, dpi);
        const QString numero = QStringLiteral("%1").arg(eleve, 2, 10, QChar(u'0'));
        for (const classe::CaseChiffre &c : f.numeroEleve)
            if (numero.at(c.chiffre - 1).digitValue() == c.valeur)
                copies::marquer(page, c.rect, Trace::Remplie, dpi);
        return page;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qzf::verbeGrade = &qzf::verbeGradeAvecImages;
        QByteArray octets;
        for (int i = 0; i < kQuestions; ++i)
            octets += banque::fiche({QStringLiteral("Question %1 ?").arg(i + 1), 0, i % 3 + 1, 0,
                                     {QStringLiteral("un"), QStringLiteral("deux"), QStringLiteral("trois")}})
                          .octets();
        QVERIFY(banque::ecrire(chemin("BASE.QZF"), octets));
        classe::Choix choix;
        choix.graine = 7;
        classe::OptionsSujets options;
        options.versions = 2;
        options.feuilleReponses = true;
        options.chiffresEleve = 2;
        m_sujets = chemin("examen.pdf");
        const classe::ResultatSortie r =
            classe::ecrireSujets(echanges::CheminsBanque::pres(chemin("BASE.QZF")), choix, options, m_sujets);
        QVERIFY2(r.resultat, qPrintable(r.resultat.erreur));
        QVERIFY(classe::lireCorrige(classe::fichierCorrige(m_sujets), m_corrige));
    }

    // Every variant of every sheet in one pile: most in one scanned PDF in shuffled order,
    // the photos and a fine scan as pictures of their own.
    void pile_marquesClairesLuesDouteusesSignalees()
    {
        const int n = int(std::size(kVariantes));
        QList<int> ordre;
        for (int i = 0; i < n; ++i)
            if (!kVariantes[i].format)
                ordre << i;
        std::shuffle(ordre.begin(), ordre.end(), std::mt19937(3));
        QStringList fichiers{chemin("scans.pdf")};
        QList<int> attendus = ordre;  // the copy number of each variant follows the scans
        {
            QPdfWriter pdf(chemin("scans.pdf"));
            pdf.setResolution(150);
            QPainter p;
            for (int i : ordre) {
                const Variante &va = kVariantes[i];
                const QImage image = copies::alterer(copie(i % 2 + 1, va.dpi, i, gestes(i)), va.alteration, quint32(i));
                const bool large = image.width() > image.height();
                pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), large ? QPageLayout::Landscape : QPageLayout::Portrait,
                                              QMarginsF(), QPageLayout::Millimeter));
                QVERIFY(p.isActive() ? pdf.newPage() : p.begin(&pdf));
                p.drawImage(QRectF(0, 0, pdf.width(), pdf.height()), image);
            }
            p.end();
        }
        for (int i = 0; i < n; ++i)
            if (kVariantes[i].format) {
                const QString photo = chemin(QStringLiteral("copie%1.%2").arg(i).arg(kVariantes[i].format));
                QVERIFY(copies::alterer(copie(i % 2 + 1, kVariantes[i].dpi, i, gestes(i)), kVariantes[i].alteration, quint32(i))
                            .convertToFormat(QImage::Format_Grayscale8)
                            .save(photo, nullptr, 85));
                fichiers << photo;
                attendus << i;
            }

        const correction::Correction c = correction::corriger(m_corrige, fichiers);
        QCOMPARE(c.ignorees().join(u'\n'), QString());
        QCOMPARE(c.copies.size(), qsizetype(n));
        for (qsizetype k = 0; k < c.copies.size(); ++k) {
            const int i = attendus[k];
            const correction::Copie &copie = c.copies[k];
            const QByteArray ou = kVariantes[i].nom;
            QCOMPARE(copie.version, i % 2 + 1);
            QVERIFY2(copie.eleve == QStringLiteral("%1").arg(i, 2, 10, QChar(u'0')), ou + " : élève " + copie.eleve.toUtf8());
            const QList<Geste> g = gestes(i);
            for (int q = 0; q < kQuestions; ++q) {
                const correction::ReponseCopie &r = copie.reponses[q];
                const QByteArray quoi = ou + QByteArray(", question ") + QByteArray::number(q + 1) + " : lu « " + r.lues.toUtf8()
                                        + (r.douteuse ? "», douteux" : "»");
                // A copier's black and white keeps no pale pencil: nothing is left to flag.
                if (g[q].douteux && kVariantes[i].alteration.noirEtBlanc && g[q].traces.value(0).second == Trace::Crayon)
                    QVERIFY2(r.lues.isEmpty(), quoi.constData());
                else if (g[q].douteux)
                    QVERIFY2(r.douteuse, quoi.constData());
                else
                    QVERIFY2(!r.douteuse && r.lues == g[q].attendu, quoi.constData());
            }
        }
    }

    // qzf grade: the results line by line, the class list's names, the teacher's decisions
    // and the annotated copies.
    void qzfGrade_resultatsNomsDecisions()
    {
        const classe::VersionCorrigee &v1 = m_corrige.versions[0];
        QList<Geste> justes;
        QString lettres;
        for (int q = 0; q < kQuestions; ++q) {
            const int b = v1.questions[q].bonne;
            justes << Geste{{{b, q < 9 ? Trace::Remplie : q == 9 ? Trace::TraitLeger : Trace::Croix}}};
            if (q == 10)
                justes.last().traces << std::pair{(b + 1) % 3, Trace::Croix};
            if (q == 11)
                justes.last().traces.clear();
            if (q < 9)
                lettres += u';' + QString(QChar(u'A' + b));
        }
        const QString deux = QString(QChar(u'A' + qMin(v1.questions[10].bonne, (v1.questions[10].bonne + 1) % 3)))
                             + QChar(u'A' + qMax(v1.questions[10].bonne, (v1.questions[10].bonne + 1) % 3));
        QVERIFY(copie(1, 200, 5, justes).save(chemin("a.png")));
        QVERIFY(copie(1, 200, 7, {}).save(chemin("b.png")));
        QVERIFY(banque::ecrire(chemin("classe.csv"), "numero;nom;prenom;classe\r\n5;Martin;Lou;3e B\r\n"));
        const QString cle = classe::fichierCorrige(m_sujets);
        QString out, err;
        QVERIFY2(lancer({"grade", cle, chemin("a.png"), chemin("b.png"), "-o", chemin("r.csv"), "--classe", chemin("classe.csv"),
                         "--annote", chemin("annote.pdf")},
                        out, err)
                     == 0,
                 qPrintable(err));
        QCOMPARE(out, "{\"annotated\":\"" + chemin("annote.pdf") + "\",\"copies\":2,\"doubtful\":2,\"pages\":2,\"results\":\""
                          + chemin("r.csv") + "\",\"skipped\":0}\n");
        QCOMPARE(err, "qzf grade: Copie 2 : le numéro 07 n'est pas dans la liste de la classe.\n"
                      "qzf grade: Copie 1, question 10 : marque douteuse.\n"
                      "qzf grade: Copie 1, question 11 : deux cases cochées ("
                          + deux + ").\n");
        const QString tete = "copie;eleve;nom;version;note_sur_20;points;Q1;Q2;Q3;Q4;Q5;Q6;Q7;Q8;Q9;Q10;Q11;Q12\r\n";
        QCOMPARE(QString::fromUtf8(banque::lire(chemin("r.csv"))),
                 tete + "1;05;Lou Martin;1;15;9" + lettres + ";?;" + deux + ";\r\n2;07;;1;0;0" + QString(kQuestions, u';') + "\r\n");
        QPdfDocument annote;
        QCOMPARE(annote.load(chemin("annote.pdf")), QPdfDocument::Error::None);
        QCOMPARE(annote.pageCount(), 2);

        const QString bonne10 = QString(QChar(u'A' + v1.questions[9].bonne));
        QVERIFY(banque::ecrire(chemin("d.csv"), ("1;10;" + bonne10 + "\n1;11;\n").toUtf8()));
        out.clear();
        err.clear();
        QCOMPARE(lancer({"grade", cle, chemin("a.png"), "--decisions", chemin("d.csv"), "-o", chemin("r.csv")}, out, err), 0);
        QCOMPARE(err, QString());
        QCOMPARE(QString::fromUtf8(banque::lire(chemin("r.csv"))),
                 tete + "1;05;;1;16,67;10" + lettres + ";" + bonne10 + ";;\r\n");

        // A sheet scanned twice is said, with or without a class list.
        err.clear();
        QCOMPARE(lancer({"grade", cle, chemin("a.png"), chemin("a.png"), "-o", chemin("r2.csv")}, out, err), 0);
        QVERIFY2(err.startsWith("qzf grade: Le numéro 05 est lu sur les copies 1 et 2.\n"), qPrintable(err));

        QVERIFY(banque::ecrire(chemin("d.csv"), "1;13;A\n"));
        QCOMPARE(lancer({"grade", cle, chemin("a.png"), "--decisions", chemin("d.csv")}, out, err), 1);
        QVERIFY2(err.endsWith("qzf grade: d.csv, ligne 1 : la copie 1 n'a pas de question « 13 »\n"), qPrintable(err));
    }

    // A page of questions, a blank page and a sheet of another exam are listed, never read.
    void pagesEtrangeres_listeesEtLaissees()
    {
        classe::Corrige autre = m_corrige;
        autre.examen = QStringLiteral("autre");
        QImage blanche(1240, 1754, QImage::Format_RGB32);
        blanche.fill(Qt::white);
        QVERIFY(blanche.save(chemin("blanche.png")));
        QPdfDocument pdf;
        pdf.load(m_sujets);
        QVERIFY(correction::surBlanc(pdf.render(0, QSize(1240, 1754))).save(chemin("questions.png")));
        QVERIFY(copie(1, 150, 1, gestes(0)).save(chemin("feuille.png")));
        const correction::Correction c =
            correction::corriger(autre, {chemin("blanche.png"), chemin("questions.png"), chemin("feuille.png"), chemin("rien.txt")});
        QCOMPARE(c.copies.size(), 0);
        QCOMPARE(c.ignorees(),
                 QStringList({"blanche.png : pas de code QR lisible : ce n'est pas une feuille de réponses.",
                              "questions.png : pas de code QR lisible : ce n'est pas une feuille de réponses.",
                              "feuille.png : feuille d'un autre examen (" + m_corrige.examen + ")."}));
        QCOMPARE(c.erreurs, QStringList{"rien.txt : ni un PDF ni une image lisible."});
    }
};

} // namespace

QTEST_MAIN(TestCorrection)
#include "test_correction.moc"
