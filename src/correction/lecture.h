#pragma once
#include "correction/copies.h"

#include <QImage>
#include <QList>
#include <QPolygonF>
#include <QString>
#include <QTransform>

// Reading one scanned answer sheet: where the sheet lies in the picture (its QR code names
// it, its four corner marks place it), then how dark each box is. Needs Qt Gui for QImage.
namespace correction {

struct CaseLue {
    int question = 0, reponse = 0;  // as in the key
    double encre = 0;               // share of the box's inside covered by dark ink
    double gris = 0;                // share of it covered by grey, neither ink nor paper
    Etat etat = Etat::Vide;
};

struct ChiffreLu {
    int chiffre = 0, valeur = 0;
    double encre = 0, gris = 0;
    Etat etat = Etat::Vide;
};

struct PageLue {
    bool lue = false;
    QString raison;  // why the page was skipped
    QString examen;
    int version = 0, page = 0;
    QTransform versImage;  // millimetres of the sheet to pixels of the picture read
    QList<CaseLue> cases;
    QList<ChiffreLu> chiffres;
};

FeuilleLue resumer(const PageLue &page, const QString &source);

// Reads a picture of a page against the key. The picture is any size and any format; it is
// turned to grey and, if larger than about 200 dpi for an A4 page, is not enlarged.
PageLue lirePage(const QImage &image, const classe::Corrige &corrige);

// The picture turned upright at a given resolution, the sheet filling it: for the annotated
// copies and the pictures of the boxes the teacher decides on.
QImage redresser(const QImage &image, const PageLue &page, const classe::PageFeuille &feuille, double dpi);

} // namespace correction
