#pragma once
#include "analyse/analyse.h"

#include <QWidget>
#include <functional>

class QPainter;

// The charts of an analysis, painted by hand so that the window and the PDF report draw the
// very same picture at any resolution.
namespace analyse {

// The marks out of 20 by bands of 2 points.
void dessinerHistogramme(QPainter &p, const QRectF &zone, const Analyse &a);
// The answers chosen for one question: one bar per answer of the card, then "vide"; the good
// answer in green.
void dessinerChoix(QPainter &p, const QRectF &zone, const Question *q);
// The whole report: the test's figures, the histogram, then every question with its choices.
Resultat ecrirePdf(const QString &fichier, const Analyse &a);

// A widget that shows one of the drawings above.
class Graphique : public QWidget {
public:
    explicit Graphique(std::function<void(QPainter &, const QRectF &)> dessin, QWidget *parent = nullptr)
        : QWidget(parent), m_dessin(std::move(dessin))
    {
    }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    std::function<void(QPainter &, const QRectF &)> m_dessin;
};

} // namespace analyse
