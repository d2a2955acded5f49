#include "medias.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>
#include <cmath>

namespace exemple {
namespace {

QByteArray jpeg(const QImage &image)
{
    QByteArray octets;
    QBuffer tampon(&octets);
    tampon.open(QIODevice::WriteOnly);
    QImageWriter w(&tampon, "jpg");
    w.setQuality(92);
    return w.write(image) ? octets : QByteArray();
}

// A fixed sequence, so that the stars fall at the same places at every build.
struct Suite {
    quint32 etat;
    double suivant()
    {
        etat = etat * 1664525u + 1013904223u;
        return double(etat >> 8) / double(1u << 24);
    }
};

QPainterPath anneau(double rx, double ry, double epaisseur)
{
    QPainterPath p;
    p.setFillRule(Qt::OddEvenFill);
    p.addEllipse(QPointF(0, 0), rx, ry);
    const double k = (rx - epaisseur) / rx;
    p.addEllipse(QPointF(0, 0), rx * k, ry * k);
    return p;
}

void ajouter16(QByteArray &b, quint16 v)
{
    char o[2];
    qToLittleEndian(v, o);
    b.append(o, 2);
}

void ajouter32(QByteArray &b, quint32 v)
{
    char o[4];
    qToLittleEndian(v, o);
    b.append(o, 4);
}

} // namespace

QStringList mediasFabriques()
{
    return {QStringLiteral("saturne.jpg"), QStringLiteral("hexagone.jpg"), QStringLiteral("diapason.wav")};
}

QByteArray fabriquer(const QString &nom)
{
    if (nom == QLatin1String("saturne.jpg"))
        return jpeg(dessinSaturne());
    if (nom == QLatin1String("hexagone.jpg"))
        return jpeg(dessinHexagone());
    if (nom == QLatin1String("diapason.wav"))
        return sonWav(440.0, 1.5, 22050);
    return {};
}

QImage dessinSaturne()
{
    QImage image(240, 180, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient ciel(0, 0, 0, 180);
    ciel.setColorAt(0, QColor(8, 12, 38));
    ciel.setColorAt(1, QColor(26, 34, 78));
    p.fillRect(image.rect(), ciel);
    Suite s{7};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 70; ++i) {
        const QPointF c(s.suivant() * 240, s.suivant() * 180);
        const double r = 0.4 + s.suivant() * 0.9;
        p.setBrush(QColor(255, 255, 240, 90 + int(s.suivant() * 165)));
        p.drawEllipse(c, r, r);
    }

    p.translate(122, 92);
    p.rotate(-18);
    QLinearGradient teinteAnneau(-104, 0, 104, 0);
    teinteAnneau.setColorAt(0, QColor(150, 124, 86));
    teinteAnneau.setColorAt(0.5, QColor(236, 214, 168));
    teinteAnneau.setColorAt(1, QColor(150, 124, 86));
    const QPainterPath anneaux = anneau(104, 27, 20).united(anneau(80, 20.8, 14));
    const QRectF devant(-120, 0, 240, 40);

    // The whole rings, the planet over them, then the front half over the planet: two clipped
    // halves would leave a seam along the cut.
    p.fillPath(anneaux, teinteAnneau);

    QRadialGradient globe(QPointF(-16, -18), 60);
    globe.setColorAt(0, QColor(250, 234, 196));
    globe.setColorAt(0.55, QColor(214, 178, 116));
    globe.setColorAt(1, QColor(120, 88, 48));
    QPainterPath planete;
    planete.addEllipse(QPointF(0, 0), 44, 42);
    p.fillPath(planete, globe);
    p.save();
    p.setClipPath(planete);
    for (const auto &[y, h, a] : {std::tuple{-26.0, 6.0, 50}, std::tuple{-8.0, 9.0, 40}, std::tuple{12.0, 5.0, 55},
                                  std::tuple{26.0, 7.0, 35}})
        p.fillRect(QRectF(-50, y, 100, h), QColor(140, 96, 50, a));
    p.restore();

    p.save();
    p.setClipRect(devant);
    p.fillPath(anneaux, teinteAnneau);
    p.restore();
    return image;
}

QImage dessinHexagone()
{
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(QColor(247, 244, 234));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(80, 60);
    QPolygonF hexagone;
    for (int i = 0; i < 6; ++i) {
        const double a = M_PI / 3 * i;
        hexagone << centre + QPointF(50 * std::cos(a), 50 * std::sin(a));
    }
    p.setBrush(QColor(198, 222, 246));
    p.setPen(QPen(QColor(28, 62, 120), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolygon(hexagone);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(196, 40, 48));
    for (const QPointF &sommet : hexagone)
        p.drawEllipse(sommet, 4, 4);
    return image;
}

QByteArray sonWav(double frequence, double secondes, int echantillonnage)
{
    const auto n = quint32(std::lround(secondes * echantillonnage));
    QByteArray b;
    b.reserve(int(44 + 2 * n));
    b.append("RIFF", 4);
    ajouter32(b, 36 + 2 * n);
    b.append("WAVEfmt ", 8);
    ajouter32(b, 16);
    ajouter16(b, 1);  // PCM
    ajouter16(b, 1);  // mono
    ajouter32(b, quint32(echantillonnage));
    ajouter32(b, quint32(echantillonnage) * 2);
    ajouter16(b, 2);
    ajouter16(b, 16);
    b.append("data", 4);
    ajouter32(b, 2 * n);
    // A short attack, the slow decay of a struck fork, and a fade to silence so that it ends without a click.
    const double attaque = 0.015 * echantillonnage, fondu = 0.05 * echantillonnage;
    for (quint32 i = 0; i < n; ++i) {
        const double t = double(i) / echantillonnage;
        double enveloppe = std::exp(-t / 0.9);
        enveloppe *= std::min(1.0, i / attaque) * std::min(1.0, (n - 1 - i) / fondu);
        const double v = 0.5 * enveloppe * std::sin(2 * M_PI * frequence * t);
        ajouter16(b, quint16(qint16(std::lround(v * 32767))));
    }
    return b;
}

} // namespace exemple
