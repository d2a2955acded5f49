#include "media/icones.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <functional>

namespace icones {

namespace {

// Drawn once per size, colour and screen scale, then taken from the application's pixmap cache.
QPixmap dessiner(const char *genre, int cote, qreal echelle, const QColor &encre,
                 const std::function<void(QPainter &, qreal)> &trace)
{
    const QString cle = QStringLiteral("orbelin-%1-%2-%3-%4").arg(QLatin1String(genre)).arg(cote).arg(echelle).arg(encre.rgba());
    QPixmap p;
    if (QPixmapCache::find(cle, &p))
        return p;
    p = QPixmap(qMax(1, qRound(cote * echelle)), qMax(1, qRound(cote * echelle)));
    p.setDevicePixelRatio(echelle);
    p.fill(Qt::transparent);
    {
        QPainter peintre(&p);
        peintre.setRenderHint(QPainter::Antialiasing);
        trace(peintre, cote);
    }
    QPixmapCache::insert(cle, p);
    return p;
}

} // namespace

QPixmap hautParleur(int cote, qreal echelle, const QColor &encre)
{
    return dessiner("son", cote, echelle, encre, [&](QPainter &p, qreal c) {
        p.setPen(Qt::NoPen);
        p.setBrush(encre);
        p.drawRect(QRectF(0.10 * c, 0.37 * c, 0.18 * c, 0.26 * c));
        const QPointF cone[] = {{0.27 * c, 0.37 * c}, {0.50 * c, 0.16 * c}, {0.50 * c, 0.84 * c}, {0.27 * c, 0.63 * c}};
        p.drawPolygon(cone, 4);
        // Two sound waves in front of the cone.
        QPen onde(encre, qMax(1.0, 0.07 * c), Qt::SolidLine, Qt::RoundCap);
        p.setPen(onde);
        p.setBrush(Qt::NoBrush);
        for (const qreal r : {0.16, 0.30}) {
            const QRectF cercle(0.52 * c - r * c, 0.5 * c - r * c, 2 * r * c, 2 * r * c);
            p.drawArc(cercle, -50 * 16, 100 * 16);
        }
    });
}

QPixmap image(int cote, qreal echelle, const QColor &encre)
{
    return dessiner("image", cote, echelle, encre, [&](QPainter &p, qreal c) {
        const QRectF cadre(0.08 * c, 0.17 * c, 0.84 * c, 0.66 * c);
        QPainterPath bord;
        bord.addRoundedRect(cadre, 0.06 * c, 0.06 * c);
        p.fillPath(bord, QColor(206, 232, 255));
        p.save();
        p.setClipPath(bord);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(245, 190, 30));
        p.drawEllipse(QPointF(0.69 * c, 0.36 * c), 0.08 * c, 0.08 * c);
        p.setBrush(QColor(52, 150, 72));
        const QPointF monts[] = {{0.08 * c, 0.83 * c}, {0.36 * c, 0.44 * c}, {0.54 * c, 0.66 * c},
                                 {0.67 * c, 0.52 * c}, {0.92 * c, 0.83 * c}};
        p.drawPolygon(monts, 5);
        p.restore();
        p.setPen(QPen(encre, qMax(1.0, 0.06 * c)));
        p.setBrush(Qt::NoBrush);
        p.drawPath(bord);
    });
}

} // namespace icones

void BoutonSymbole::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const bool son = text() == QLatin1String("U");
    option.text.clear();
    const int cote = qBound(12, qMin(width(), height()) - 8, 48);
    const QColor encre = option.palette.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    option.icon = QIcon(son ? icones::hautParleur(cote, devicePixelRatio(), encre)
                            : icones::image(cote, devicePixelRatio(), encre));
    option.iconSize = QSize(cote, cote);
    p.drawControl(QStyle::CE_PushButton, option);
}
