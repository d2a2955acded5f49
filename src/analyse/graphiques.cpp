#include "analyse/graphiques.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>

namespace analyse {

namespace {

const QColor kBarre(47, 109, 179), kBonne(43, 138, 62), kVide(150, 160, 172), kTexte(27, 31, 36), kGrille(217, 225, 234);

// The bars with their counts above and their labels below, scaled to the largest.
void barres(QPainter &p, const QRectF &zone, const QList<int> &valeurs, const QStringList &etiquettes,
            const std::function<QColor(int)> &couleur)
{
    const QFontMetricsF fm(p.font());
    const double haut = fm.height(), bas = fm.height() * 1.3;
    const QRectF trace = zone.adjusted(4, haut + 2, -4, -bas);
    p.setPen(QPen(kGrille, 0));
    p.drawLine(trace.bottomLeft(), trace.bottomRight());
    if (valeurs.isEmpty() || trace.width() <= 0 || trace.height() <= 0)
        return;
    const int max = std::max(1, *std::max_element(valeurs.begin(), valeurs.end()));
    const double pas = trace.width() / double(valeurs.size());
    for (qsizetype i = 0; i < valeurs.size(); ++i) {
        const double h = trace.height() * valeurs[i] / max;
        const QRectF barre(trace.left() + pas * double(i) + pas * 0.12, trace.bottom() - h, pas * 0.76, h);
        p.fillRect(barre, couleur(int(i)));
        p.setPen(kTexte);
        p.drawText(QRectF(barre.left() - pas * 0.12, barre.top() - haut - 1, pas, haut), Qt::AlignCenter,
                   QString::number(valeurs[i]));
        p.drawText(QRectF(trace.left() + pas * double(i), trace.bottom() + 2, pas, bas), Qt::AlignHCenter | Qt::AlignTop,
                   fm.elidedText(etiquettes.value(i), Qt::ElideRight, pas));
    }
}

} // namespace

void dessinerHistogramme(QPainter &p, const QRectF &zone, const Analyse &a)
{
    QList<int> v;
    QStringList e;
    for (int b = 0; b < ClassesNotes; ++b) {
        v << a.histogramme[size_t(b)];
        e << QStringLiteral("%1–%2").arg(b * 2).arg(b * 2 + 2);
    }
    barres(p, zone, v, e, [](int) { return kBarre; });
}

void dessinerChoix(QPainter &p, const QRectF &zone, const Question *q)
{
    if (!q)
        return;
    QList<int> v;
    QStringList e;
    for (int x = 0; x < 3; ++x) {
        // An answer the card does not have, nobody chose and nothing printed: left out.
        if (q->reponses.value(x).isEmpty() && q->choix[size_t(x)] == 0 && x + 1 != q->bonne)
            continue;
        v << q->choix[size_t(x)];
        e << QStringLiteral("%1. %2").arg(x + 1).arg(q->reponses.value(x));
    }
    v << q->choix[3];
    e << QStringLiteral("vide");
    QList<int> numeros;
    for (int x = 0; x < 3; ++x)
        if (!(q->reponses.value(x).isEmpty() && q->choix[size_t(x)] == 0 && x + 1 != q->bonne))
            numeros << x + 1;
    barres(p, zone, v, e, [&](int i) { return i >= numeros.size() ? kVide : numeros[i] == q->bonne ? kBonne : kBarre; });
}

void Graphique::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    m_dessin(p, QRectF(rect()).adjusted(6, 6, -6, -6));
}

Resultat ecrirePdf(const QString &fichier, const Analyse &a)
{
    QSaveFile f(fichier);
    auto echec = [&] {
        return Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1 : %2.").arg(fichier, f.errorString()));
    };
    if (!f.open(QIODevice::WriteOnly))
        return echec();
    {
        QPdfWriter pdf(&f);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(72);  // one unit a point
        pdf.setPageMargins(QMarginsF(40, 40, 40, 40), QPageLayout::Point);
        pdf.setTitle(a.titre.isEmpty() ? QStringLiteral("Analyse des résultats") : a.titre);
        pdf.setCreator(QStringLiteral("Orbelin"));
        QPainter p(&pdf);
        if (!p.isActive())
            return echec();
        const double largeur = pdf.width(), hauteur = pdf.height();
        QFont police(QStringLiteral("DejaVu Sans"), 9);
        // Ligatures off (any letter spacing turns them off): "fiche" stays letters a search finds.
        police.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
        QFont titre = police;
        titre.setPointSize(14);
        titre.setBold(true);
        p.setFont(titre);
        p.setPen(kTexte);
        double y = 0;
        p.drawText(QRectF(0, y, largeur, 22), Qt::AlignLeft, a.titre.isEmpty() ? QStringLiteral("Analyse des résultats") : a.titre);
        y += 26;
        p.setFont(police);
        p.drawText(QRectF(0, y, largeur, 14), Qt::AlignLeft,
                   QStringLiteral("%1 copies · moyenne %2 / 20 · médiane %3 · écart type %4 · KR-20 %5")
                       .arg(a.copies)
                       .arg(nombre(a.moyenne), nombre(a.mediane), nombre(a.ecartType), nombre(a.kr20)));
        y += 22;
        p.drawText(QRectF(0, y, largeur, 14), Qt::AlignLeft, QStringLiteral("Notes sur 20"));
        y += 14;
        dessinerHistogramme(p, QRectF(0, y, largeur, 150), a);
        y += 165;

        const double colonnes[] = {0, 32, 196, 228, 260, 292, 440};  // fiche, question, p, r, d, choix, alertes
        auto entete = [&] {
            QFont gras = police;
            gras.setBold(true);
            p.setFont(gras);
            const char *const titres[] = {"Fiche", "Question", "p", "r", "d", "Réponses (vert : la bonne)", "Alertes"};
            for (int c = 0; c < 7; ++c)
                p.drawText(QRectF(colonnes[c], y, (c < 6 ? colonnes[c + 1] : largeur) - colonnes[c] - 4, 14),
                           Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(titres[c]));
            p.setFont(police);
            y += 16;
        };
        entete();
        const QFontMetricsF fm(police);
        for (const Question &q : a.questions) {
            const double h = 46;
            if (y + h > hauteur) {
                pdf.newPage();
                y = 0;
                entete();
            }
            p.setPen(QPen(kGrille, 0.5));
            p.drawLine(QPointF(0, y), QPointF(largeur, y));
            p.setPen(kTexte);
            const QString cellules[] = {QString::number(q.fiche), q.texte, nombre(q.p), nombre(q.r), nombre(q.d)};
            for (int c = 0; c < 5; ++c) {
                const QRectF r(colonnes[c], y + 2, colonnes[c + 1] - colonnes[c] - 6, h - 4);
                p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                           c == 1 ? fm.elidedText(QString(cellules[c]).replace(u'\n', u' '), Qt::ElideRight, r.width() * 3.2)
                                  : cellules[c]);
            }
            dessinerChoix(p, QRectF(colonnes[5], y + 1, colonnes[6] - colonnes[5] - 6, h - 2), &q);
            if (!q.alertes.isEmpty()) {
                p.setPen(QColor(161, 45, 34));
                p.drawText(QRectF(colonnes[6], y + 2, largeur - colonnes[6], h - 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                           q.alertes.join(QStringLiteral(", ")));
            }
            y += h;
        }
    }
    if (!f.commit())
        return echec();
    return Resultat::succes();
}

} // namespace analyse
