#include "correction/lecture.h"

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>
#include <opencv2/imgproc.hpp>

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace correction {

namespace {

// The work is done at about 200 dpi for an A4 page: finer scans are brought down to it.
constexpr int kCotePlusLong = 2400;
// Grey levels once the paper is brought to white (255).
constexpr int kEncre = 140;  // darker: a pen's stroke
constexpr int kGris = 195;   // between: neither ink nor paper (pencil, a rubbed-out mark)

// The picture in grey, with the light of the paper evened out: each pixel divided by the
// brightest paper around it, so that a shadow or a phone's uneven light leaves white paper.
cv::Mat normaliser(const cv::Mat &g)
{
    const int f = 8;
    cv::Mat petit, fond, grand, n;
    cv::resize(g, petit, cv::Size((g.cols + f - 1) / f, (g.rows + f - 1) / f), 0, 0, cv::INTER_AREA);
    cv::dilate(petit, fond, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(11, 11)));
    cv::blur(fond, fond, cv::Size(7, 7));
    cv::max(fond, cv::Scalar(16), fond);
    cv::resize(fond, grand, g.size(), 0, 0, cv::INTER_LINEAR);
    cv::divide(g, grand, n, 255.0);
    return n;
}

cv::Mat enGris(const QImage &image, QImage &tenue)
{
    tenue = image.format() == QImage::Format_Grayscale8 ? image : image.convertToFormat(QImage::Format_Grayscale8);
    return cv::Mat(tenue.height(), tenue.width(), CV_8U, const_cast<uchar *>(tenue.constBits()),
                   size_t(tenue.bytesPerLine()));
}

QPointF centre(const classe::RectMm &r) { return {r.x + r.l / 2, r.y + r.h / 2}; }

QPolygonF coins(const classe::RectMm &r)
{
    return QPolygonF{{QPointF(r.x, r.y), QPointF(r.x + r.l, r.y), QPointF(r.x + r.l, r.y + r.h), QPointF(r.x, r.y + r.h)}};
}

// Pixels per millimetre of the sheet around a point.
double echelle(const QTransform &t, QPointF mm)
{
    return (QLineF(t.map(mm), t.map(mm + QPointF(10, 0))).length() + QLineF(t.map(mm), t.map(mm + QPointF(0, 10))).length()) / 20;
}

// Points whose place is known both on the sheet (mm) and in the picture (pixels).
struct Appui {
    QPointF mm, px;
};

// The affine map that best fits the points (least squares): from the code alone, a
// perspective would be guessed from too small a base to reach the far corners.
QTransform affine(const QList<Appui> &appuis)
{
    cv::Mat a(int(appuis.size()), 3, CV_64F), bx(int(appuis.size()), 1, CV_64F), by(int(appuis.size()), 1, CV_64F);
    for (int i = 0; i < int(appuis.size()); ++i) {
        a.at<double>(i, 0) = appuis[i].mm.x();
        a.at<double>(i, 1) = appuis[i].mm.y();
        a.at<double>(i, 2) = 1;
        bx.at<double>(i) = appuis[i].px.x();
        by.at<double>(i) = appuis[i].px.y();
    }
    cv::Mat x, y;
    cv::solve(a, bx, x, cv::DECOMP_SVD);
    cv::solve(a, by, y, cv::DECOMP_SVD);
    return QTransform(x.at<double>(0), y.at<double>(0), x.at<double>(1), y.at<double>(1), x.at<double>(2), y.at<double>(2));
}

struct Tache {
    QPointF centre;
    double aire = 0;
};

// A corner mark: a filled square near where it is expected, of about the size of the marks
// found before it (or of what the code's size says), the nearest and best sized winning.
bool chercherRepere(const cv::Mat &n, QPointF attendu, double rayon, double aire, Tache &trouvee)
{
    const cv::Rect fenetre = cv::Rect(int(attendu.x() - rayon), int(attendu.y() - rayon), int(2 * rayon), int(2 * rayon))
                             & cv::Rect(0, 0, n.cols, n.rows);
    if (fenetre.width < 4 || fenetre.height < 4)
        return false;
    cv::Mat noir, etiquettes, stats, centres;
    cv::threshold(n(fenetre), noir, 128, 255, cv::THRESH_BINARY_INV);
    const int k = cv::connectedComponentsWithStats(noir, etiquettes, stats, centres, 8, CV_32S);
    double meilleur = 1e300;
    for (int i = 1; i < k; ++i) {
        const double a = stats.at<int>(i, cv::CC_STAT_AREA);
        const double l = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (a < 0.4 * aire || a > 2.5 * aire || a < 0.72 * l * h || l > 1.6 * h || h > 1.6 * l)
            continue;
        const QPointF c(fenetre.x + centres.at<double>(i, 0), fenetre.y + centres.at<double>(i, 1));
        const double d = QLineF(c, attendu).length();
        const double score = d / rayon + std::abs(std::log(a / aire));
        if (d <= rayon && score < meilleur) {
            meilleur = score;
            trouvee = {c, a};
        }
    }
    return meilleur < 1e300;
}

double lireGris(const cv::Mat &n, QPointF p)
{
    const double x = qBound(0.0, p.x(), double(n.cols - 1)), y = qBound(0.0, p.y(), double(n.rows - 1));
    const int x0 = int(x), y0 = int(y), x1 = qMin(x0 + 1, n.cols - 1), y1 = qMin(y0 + 1, n.rows - 1);
    const double fx = x - x0, fy = y - y0;
    const uchar *a = n.ptr<uchar>(y0), *b = n.ptr<uchar>(y1);
    return (a[x0] * (1 - fx) + a[x1] * fx) * (1 - fy) + (b[x0] * (1 - fx) + b[x1] * fx) * fy;
}

// The inside of a box, away from its printed outline, sampled on a regular grid.
void mesurer(const cv::Mat &n, const QTransform &t, const classe::RectMm &r, double &encre, double &gris)
{
    constexpr int N = 16;
    constexpr double marge = 0.22;
    int noirs = 0, gros = 0;
    for (int j = 0; j < N; ++j)
        for (int i = 0; i < N; ++i) {
            const QPointF mm(r.x + r.l * (marge + (1 - 2 * marge) * (i + 0.5) / N),
                             r.y + r.h * (marge + (1 - 2 * marge) * (j + 0.5) / N));
            const double v = lireGris(n, t.map(mm));
            noirs += v < kEncre;
            gros += v >= kEncre && v < kGris;
        }
    encre = double(noirs) / (N * N);
    gris = double(gros) / (N * N);
}

cv::Mat versOpenCv(const QTransform &t)
{
    return (cv::Mat_<double>(3, 3) << t.m11(), t.m21(), t.m31(), t.m12(), t.m22(), t.m32(), t.m13(), t.m23(), t.m33());
}

} // namespace

PageLue lirePage(const QImage &image, const classe::Corrige &corrige)
{
    PageLue r;
    if (image.isNull() || image.width() < 200 || image.height() < 200) {
        r.raison = QStringLiteral("image vide ou trop petite");
        return r;
    }
    QImage tenue;
    cv::Mat g = enGris(image, tenue);
    double facteur = 1;
    if (qMax(g.cols, g.rows) > kCotePlusLong * 5 / 4) {
        facteur = double(kCotePlusLong) / qMax(g.cols, g.rows);
        cv::Mat petit;
        cv::resize(g, petit, cv::Size(), facteur, facteur, cv::INTER_AREA);
        g = petit;
    }
    const cv::Mat n = normaliser(g);

    ZXing::DecodeHints indices;
    indices.setFormats(ZXing::BarcodeFormat::QRCode);
    indices.setTryRotate(true);
    indices.setTryHarder(true);
    indices.setMaxNumberOfSymbols(1);
    ZXing::Result qr = ZXing::ReadBarcode({n.data, n.cols, n.rows, ZXing::ImageFormat::Lum, int(n.step)}, indices);
    if (!qr.isValid())
        qr = ZXing::ReadBarcode({g.data, g.cols, g.rows, ZXing::ImageFormat::Lum, int(g.step)}, indices);
    if (!qr.isValid()) {
        r.raison = QStringLiteral("pas de code QR lisible : ce n'est pas une feuille de réponses");
        return r;
    }
    const QString texte = QString::fromStdString(qr.text());
    if (!classe::lireQr(texte, &r.examen, &r.version, &r.page)) {
        r.raison = QStringLiteral("son code QR n'est pas celui d'une feuille de réponses");
        return r;
    }
    if (r.examen != corrige.examen) {
        r.raison = QStringLiteral("feuille d'un autre examen (%1)").arg(r.examen);
        return r;
    }
    const classe::PageFeuille *feuille = corrige.page(r.version, r.page);
    if (!feuille) {
        r.raison = QStringLiteral("le corrigé n'a pas de page %1 pour le sujet %2").arg(r.page).arg(r.version);
        return r;
    }

    // Where the code lies gives the sheet's way up and its size; the four marks then place it exactly.
    const ZXing::Position &p = qr.position();
    const QPolygonF vu{{QPointF(p.topLeft().x, p.topLeft().y), QPointF(p.topRight().x, p.topRight().y),
                        QPointF(p.bottomRight().x, p.bottomRight().y), QPointF(p.bottomLeft().x, p.bottomLeft().y)}};
    // The marks are looked for from the nearest to the code to the farthest, each one found
    // making the guess of the next one better.
    QList<Appui> appuis;
    for (int i = 0; i < 4; ++i)
        appuis << Appui{coins(feuille->qr)[i], vu[i]};
    QList<int> ordre{0, 1, 2, 3};
    const QPointF code = centre(feuille->qr);
    std::sort(ordre.begin(), ordre.end(), [&](int a, int b) {
        return QLineF(centre(feuille->reperes[size_t(a)]), code).length() < QLineF(centre(feuille->reperes[size_t(b)]), code).length();
    });
    QPolygonF attendus(4), trouves(4);
    double aire = 0;
    for (int i : ordre) {
        const classe::RectMm &m = feuille->reperes[size_t(i)];
        const QTransform approche = affine(appuis);
        double distance = 1e300;
        for (const Appui &a : appuis)
            distance = qMin(distance, QLineF(a.mm, centre(m)).length());
        const double pxParMm = echelle(approche, centre(m));
        if (aire == 0)
            aire = m.l * m.h * pxParMm * pxParMm;
        Tache t;
        if (!chercherRepere(n, approche.map(centre(m)), (15 + 0.15 * distance) * pxParMm, aire, t)) {
            r.raison = QStringLiteral("repères des coins introuvables");
            return r;
        }
        aire = t.aire;
        // A mark weighs as much as the code's four corners: it lies far from them.
        for (int k = 0; k < 4; ++k)
            appuis << Appui{centre(m), t.centre};
        attendus[i] = centre(m);
        trouves[i] = t.centre;
    }
    QTransform t;
    if (!QTransform::quadToQuad(attendus, trouves, t)) {
        r.raison = QStringLiteral("repères des coins introuvables");
        return r;
    }
    // The marks found must agree with the code: a stain taken for a mark is caught here.
    const QPointF qrVu = (vu[0] + vu[1] + vu[2] + vu[3]) / 4;
    if (QLineF(t.map(centre(feuille->qr)), qrVu).length() > 4 * echelle(t, centre(feuille->qr))) {
        r.raison = QStringLiteral("repères des coins incohérents");
        return r;
    }

    for (const classe::CaseFeuille &c : feuille->cases) {
        CaseLue l{c.question, c.reponse};
        mesurer(n, t, c.rect, l.encre, l.gris);
        l.etat = juger(l.encre, l.gris);
        r.cases << l;
    }
    for (const classe::CaseChiffre &c : feuille->numeroEleve) {
        ChiffreLu l{c.chiffre, c.valeur};
        mesurer(n, t, c.rect, l.encre, l.gris);
        l.etat = juger(l.encre, l.gris);
        r.chiffres << l;
    }
    r.versImage = t * QTransform::fromScale(1 / facteur, 1 / facteur);
    r.lue = true;
    return r;
}

FeuilleLue resumer(const PageLue &page, const QString &source)
{
    FeuilleLue f;
    f.source = source;
    f.lue = page.lue;
    f.raison = page.raison;
    f.version = page.version;
    f.page = page.page;
    for (const CaseLue &c : page.cases)
        f.cases << c.etat;
    for (const ChiffreLu &c : page.chiffres)
        f.chiffres << c.etat;
    return f;
}

QImage redresser(const QImage &image, const PageLue &page, const classe::PageFeuille &feuille, double dpi)
{
    const QSize taille(qRound(feuille.largeur * dpi / 25.4), qRound(feuille.hauteur * dpi / 25.4));
    QImage source = image.convertToFormat(QImage::Format_RGB32);
    QImage sortie(taille, QImage::Format_RGB32);
    sortie.fill(Qt::white);
    const cv::Mat s(source.height(), source.width(), CV_8UC4, source.bits(), size_t(source.bytesPerLine()));
    cv::Mat d(sortie.height(), sortie.width(), CV_8UC4, sortie.bits(), size_t(sortie.bytesPerLine()));
    const QTransform versSource = QTransform::fromScale(25.4 / dpi, 25.4 / dpi) * page.versImage;
    cv::warpPerspective(s, d, versOpenCv(versSource), d.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                        cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255, 255));
    return sortie;
}

} // namespace correction
