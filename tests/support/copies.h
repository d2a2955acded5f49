#pragma once
// Students' marks on answer sheets, and what a copier or a phone does to the pages.
#include "classroom/corrige.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QTransform>

namespace copies {

enum class Trace { Remplie, Croix, Coche, TraitLeger, Gommee, Crayon };

// A mark in a box of the upright page, `dpi` pixels per inch.
inline void marquer(QImage &page, const classe::RectMm &r, Trace t, double dpi)
{
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(dpi / 25.4, dpi / 25.4);
    p.translate(r.x, r.y);
    auto trait = [&](double largeur, QColor couleur = QColor(20, 25, 70)) {
        p.setPen(QPen(couleur, largeur, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    };
    QPainterPath chemin;
    switch (t) {
    case Trace::Remplie:
        // Zigzags of a pen across the box, past its edges a little as a hand does.
        trait(1.1);
        chemin.moveTo(0.2, 0.3);
        for (double y = 0.3; y < r.h - 0.3; y += 0.8) {
            chemin.lineTo(r.l - 0.2, y + 0.4);
            chemin.lineTo(0.2, y + 0.8);
        }
        p.drawPath(chemin);
        break;
    case Trace::Croix:
        trait(0.5);
        p.drawLine(QPointF(-0.3, -0.2), QPointF(r.l + 0.2, r.h + 0.3));
        p.drawLine(QPointF(r.l + 0.3, -0.3), QPointF(-0.2, r.h + 0.2));
        break;
    case Trace::Coche:
        trait(0.6);
        chemin.moveTo(0.15 * r.l, 0.5 * r.h);
        chemin.lineTo(0.42 * r.l, 0.88 * r.h);
        chemin.lineTo(1.1 * r.l, -0.2 * r.h);
        p.drawPath(chemin);
        break;
    case Trace::Crayon:
        // A cross in a pale pencil: neither ink nor paper.
        trait(0.45, QColor(158, 158, 158));
        p.drawLine(QPointF(0, 0), QPointF(r.l, r.h));
        p.drawLine(QPointF(r.l, 0), QPointF(0, r.h));
        break;
    case Trace::TraitLeger:
        trait(0.35);
        p.drawLine(QPointF(0.35 * r.l, 0.45 * r.h), QPointF(0.6 * r.l, 0.55 * r.h));
        break;
    case Trace::Gommee:
        // What a rubber leaves of a filled box: a light grey, a little uneven.
        p.fillRect(QRectF(0.3, 0.3, r.l - 0.6, r.h - 0.6), QColor(212, 212, 216));
        p.fillRect(QRectF(0.8, 1.0, r.l - 2.0, 0.8), QColor(200, 200, 205));
        break;
    }
}

struct Alteration {
    double angle = 0;       // degrees, about the page's centre
    double echelle = 1;
    int flou = 0;           // radius of a box blur, pixels
    int bruit = 0;          // amplitude of the noise added to each pixel
    int jpeg = 0;           // quality of a JPEG round trip; 0: none
    bool photo = false;     // seen from a phone: at an angle, in uneven light, on a desk
    bool noirEtBlanc = false;  // a copier's black and white: each pixel black or white
};

inline QImage flouter(const QImage &image, int rayon)
{
    if (rayon <= 0)
        return image;
    const QSize petit = image.size() / (rayon + 1);
    return image.scaled(petit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

inline QImage alterer(const QImage &page, const Alteration &a, quint32 graine)
{
    QRandomGenerator hasard(graine);
    QImage image = page.convertToFormat(QImage::Format_RGB32);
    if (a.photo) {
        // About 11 megapixels; the sheet a trapezoid, its far edge narrower, on a grey desk.
        QImage photo(4000, 2800, QImage::Format_RGB32);
        photo.fill(QColor(105, 100, 95));
        const QPolygonF feuille{{QPointF(0, 0), QPointF(image.width(), 0), QPointF(image.width(), image.height()),
                                 QPointF(0, image.height())}};
        const QPolygonF vue{{QPointF(1220, 150), QPointF(2780, 190), QPointF(2950, 2680), QPointF(1050, 2650)}};
        QTransform t;
        QTransform::quadToQuad(feuille, vue, t);
        QPainter p(&photo);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setTransform(t);
        p.drawImage(0, 0, image);
        p.resetTransform();
        // Light falling off across the sheet, and a soft shadow of the phone's hand.
        QLinearGradient lumiere(0, 0, photo.width(), photo.height());
        lumiere.setColorAt(0, QColor(255, 250, 240));
        lumiere.setColorAt(1, QColor(150, 145, 140));
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        p.fillRect(photo.rect(), lumiere);
        QRadialGradient ombre(QPointF(2700, 2300), 700);
        ombre.setColorAt(0, QColor(170, 170, 170));
        ombre.setColorAt(1, Qt::white);
        p.fillRect(photo.rect(), ombre);
        p.end();
        image = photo;
    }
    if (a.angle != 0 || a.echelle != 1) {
        const bool quart = qAbs(int(a.angle)) % 180 == 90;
        QImage tournee(quart ? image.height() : image.width(), quart ? image.width() : image.height(),
                       QImage::Format_RGB32);
        tournee.fill(Qt::white);
        QPainter p(&tournee);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.translate(tournee.width() / 2.0, tournee.height() / 2.0);
        p.rotate(a.angle);
        p.scale(a.echelle, a.echelle);
        p.drawImage(QPointF(-image.width() / 2.0, -image.height() / 2.0), image);
        p.end();
        image = tournee;
    }
    image = flouter(image, a.flou);
    if (a.bruit > 0)
        for (int y = 0; y < image.height(); ++y) {
            QRgb *l = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int d = int(hasard.bounded(2 * a.bruit + 1)) - a.bruit;
                const int g = qBound(0, qGray(l[x]) + d, 255);
                l[x] = qRgb(g, g, g);
            }
        }
    if (a.noirEtBlanc)
        image = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).convertToFormat(QImage::Format_RGB32);
    if (a.jpeg > 0) {
        QByteArray octets;
        QBuffer tampon(&octets);
        tampon.open(QIODevice::WriteOnly);
        image.save(&tampon, "JPEG", a.jpeg);
        image = QImage::fromData(octets, "JPEG");
    }
    return image;
}

} // namespace copies
