#include "correction/scans.h"

#include "classroom/page_quiz.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>
#include <QFuture>
#include <deque>

namespace correction {

namespace {

constexpr double kDpiPdf = 150;

bool estPdf(const QString &fichier)
{
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-";
}

} // namespace

QImage surBlanc(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage fond(image.size(), QImage::Format_RGB32);
    fond.fill(Qt::white);
    QPainter p(&fond);
    p.drawImage(0, 0, image);
    return fond;
}

QString Scan::libelle() const
{
    const QString nom = QFileInfo(fichier).fileName();
    return pages > 1 ? QStringLiteral("%1, page %2").arg(nom).arg(rang + 1) : nom;
}

Scans::Scans() = default;
Scans::~Scans() = default;

QList<Scan> Scans::lister(const QStringList &fichiers, QStringList &erreurs)
{
    QList<Scan> scans;
    for (const QString &fichier : fichiers) {
        const QString nom = QFileInfo(fichier).fileName();
        int pages = 0;
        bool pdf = estPdf(fichier);
        if (pdf) {
            QPdfDocument doc;
            if (doc.load(fichier) == QPdfDocument::Error::None)
                pages = doc.pageCount();
        } else {
            QImageReader lecteur(fichier);
            if (lecteur.canRead())
                pages = qMax(1, lecteur.imageCount());
        }
        if (pages <= 0) {
            erreurs << QStringLiteral("%1 : ni un PDF ni une image lisible.").arg(nom);
            continue;
        }
        for (int i = 0; i < pages; ++i)
            scans << Scan{fichier, i, pages, pdf};
    }
    return scans;
}

QImage Scans::charger(const Scan &scan)
{
    if (scan.pdf) {
        if (m_fichierPdf != scan.fichier) {
            m_pdf = std::make_unique<QPdfDocument>();
            m_fichierPdf = scan.fichier;
            if (m_pdf->load(scan.fichier) != QPdfDocument::Error::None)
                return {};
        }
        const QSizeF points = m_pdf->pagePointSize(scan.rang);
        if (points.isEmpty() || points.width() > 2000 || points.height() > 2000)
            return {};
        QPdfDocumentRenderOptions options;
        options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Grayscale);
        return surBlanc(m_pdf->render(scan.rang, (points * kDpiPdf / 72).toSize(), options));
    }
    // A 600 dpi colour page is about 140 MB once decoded, past Qt's default limit; it is
    // brought down to the size read right after.
    if (QImageReader::allocationLimit() < 400)
        QImageReader::setAllocationLimit(400);
    QImageReader lecteur(scan.fichier);
    lecteur.setAutoTransform(true);
    if (scan.rang > 0 && !lecteur.jumpToImage(scan.rang))
        return {};
    // A picture far finer than needed is decoded smaller: a 600 dpi page or a phone's
    // 12 megapixels hold more than the boxes need.
    const QSize taille = lecteur.size();
    const int plusLong = qMax(taille.width(), taille.height());
    if (plusLong > 3600)
        lecteur.setScaledSize(taille * (3000.0 / plusLong));
    return lecteur.read();
}

QStringList Correction::ignorees() const
{
    QStringList l;
    for (qsizetype i = 0; i < pages.size() && i < scans.size(); ++i)
        if (!pages[i].lue)
            l << QStringLiteral("%1 : %2.").arg(scans[i].libelle(), pages[i].raison);
    return l;
}

Correction corriger(const classe::Corrige &corrige, const QStringList &fichiers, const Progression &progression)
{
    Correction c;
    c.scans = Scans::lister(fichiers, c.erreurs);
    c.pages.resize(c.scans.size());
    Scans lecteur;
    // Pages are loaded one after the other (the PDF module renders one at a time) and read
    // on the other core; no more than two wait, so memory stays that of a few pages.
    std::deque<std::pair<qsizetype, QFuture<PageLue>>> enCours;
    auto recueillir = [&] {
        auto [i, futur] = std::move(enCours.front());
        enCours.pop_front();
        c.pages[i] = futur.result();
        return !progression || progression(i + 1, c.scans.size());
    };
    for (qsizetype i = 0; i < c.scans.size() && !c.annule; ++i) {
        QImage image = lecteur.charger(c.scans[i]);
        enCours.emplace_back(i, QtConcurrent::run([image = std::move(image), &corrige] {
                                 if (image.isNull()) {
                                     PageLue p;
                                     p.raison = QStringLiteral("page illisible");
                                     return p;
                                 }
                                 return lirePage(image, corrige);
                             }));
        while (enCours.size() > 2 && !c.annule)
            c.annule = !recueillir();
    }
    while (!enCours.empty()) {
        if (!recueillir())
            c.annule = true;
    }
    if (c.annule)
        return c;
    for (qsizetype i = 0; i < c.scans.size(); ++i)
        c.feuilles << resumer(c.pages[i], c.scans[i].libelle());
    c.copies = assembler(c.feuilles, corrige);
    return c;
}

namespace {

// The outlines and the mark over a sheet drawn upright, the painter in millimetres.
void annoter(QPainter &p, const classe::PageFeuille &feuille, const classe::VersionCorrigee &version, const Copie &copie)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const QColor vert(0, 150, 60), rouge(215, 30, 30), orange(240, 140, 0);
    for (const classe::CaseFeuille &c : feuille.cases) {
        if (c.question < 1 || c.question > version.questions.size() || c.question > copie.reponses.size())
            continue;
        const ReponseCopie &r = copie.reponses[c.question - 1];
        const QString lettres = r.lettres();
        const bool bonne = version.questions[c.question - 1].bonne == c.reponse;
        const bool cochee = lettres.contains(QStringLiteral("ABC").at(c.reponse));
        const QRectF cadre(c.rect.x - 0.9, c.rect.y - 0.9, c.rect.l + 1.8, c.rect.h + 1.8);
        if (r.douteuse && !r.decidee) {
            p.setPen(QPen(orange, 0.6));
            p.drawRect(cadre);
        } else if (cochee) {
            p.setPen(QPen(bonne && lettres.size() == 1 ? vert : rouge, 0.6));
            p.drawRect(cadre);
        } else if (bonne) {
            // The right box the student missed.
            p.setPen(QPen(vert, 0.5, Qt::DashLine));
            p.drawRect(cadre);
        }
    }
    // The mark, at the top between the corner marks, clear of the code.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(6);
    f.setBold(true);
    p.setFont(f);
    const QRectF zone(feuille.largeur / 2 - 25, 3, 50, 9);
    p.setPen(QPen(rouge, 0.5));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(zone, 1.5, 1.5);
    p.drawText(zone, Qt::AlignCenter, nombreFrancais(copie.note) + QStringLiteral(" / 20"));
    p.restore();
}

} // namespace

QImage copieAnnotee(const QImage &scan, const PageLue &page, const Copie &copie, const classe::Corrige &corrige, double dpi)
{
    const classe::PageFeuille *feuille = corrige.page(page.version, page.page);
    const classe::VersionCorrigee *version = corrige.version(copie.version);
    if (!feuille || !version || !page.lue)
        return {};
    QImage image = redresser(scan, page, *feuille, dpi);
    QPainter p(&image);
    p.scale(dpi / 25.4, dpi / 25.4);
    annoter(p, *feuille, *version, copie);
    return image;
}

Resultat ecrireCopiesAnnotees(const QString &fichier, const Correction &correction, const classe::Corrige &corrige,
                              const Progression &progression)
{
    QSaveFile f(fichier);
    if (!f.open(QIODevice::WriteOnly))
        return Resultat::echec(classe::texteEcritureImpossible(fichier, f.errorString()));
    qint64 total = 0, fait = 0;
    for (const Copie &c : correction.copies)
        total += c.feuilles.size();
    {
        QPdfWriter pdf(&f);
        pdf.setResolution(150);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter));
        pdf.setCreator(QStringLiteral("Orbelin"));
        QPainter peintre;
        Scans lecteur;
        for (const Copie &c : correction.copies)
            for (int i : c.feuilles) {
                const PageLue &page = correction.pages[i];
                const classe::PageFeuille *feuille = corrige.page(page.version, page.page);
                const classe::VersionCorrigee *version = corrige.version(c.version);
                if (!feuille || !version || !page.lue)
                    continue;
                // The scan in grey, the outlines drawn over it in the PDF: sharp, and the file stays small.
                const QImage image =
                    redresser(lecteur.charger(correction.scans[i]), page, *feuille, 150).convertToFormat(QImage::Format_Grayscale8);
                if (!peintre.isActive() ? !peintre.begin(&pdf) : !pdf.newPage()) {
                    f.cancelWriting();
                    return Resultat::echec(classe::texteEcritureImpossible(fichier, f.errorString()));
                }
                peintre.drawImage(QRectF(0, 0, pdf.width(), pdf.height()), image);
                peintre.save();
                peintre.scale(pdf.width() / feuille->largeur, pdf.height() / feuille->hauteur);
                annoter(peintre, *feuille, *version, c);
                peintre.restore();
                ++fait;
                if (progression && !progression(fait, total)) {
                    peintre.end();
                    f.cancelWriting();
                    return Resultat::echec(QString());
                }
            }
        if (peintre.isActive())
            peintre.end();
    }
    if (fait == 0) {
        f.cancelWriting();
        return Resultat::echec(QStringLiteral("Aucune copie à annoter."));
    }
    if (!f.commit())
        return Resultat::echec(classe::texteEcritureImpossible(fichier, f.errorString()));
    return Resultat::succes();
}

} // namespace correction
