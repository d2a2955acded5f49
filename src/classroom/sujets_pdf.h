#pragma once
#include "classroom/sujets.h"

class QPagedPaintDevice;

// The exam's pages, drawn with QPainter (Qt Gui: compiled into the windows and into qzf).
namespace classe {

struct Dessin {
    bool ok = true;        // false: the device could not be painted on
    bool annule = false;   // stopped through the progression
    int pages = 0;
    QStringList remarques; // pictures that could not be shown
    QList<PageFeuille> feuilles;  // the answer sheets, where everything on them sits
};

// Each version on pages of its own: a heading with the spaces for the student's names,
// the questions numbered with their answers lettered (a question is never split over two
// pages), pictures inline, then the grid of boxes to tick, or with `feuilleReponses` the
// answer sheet a machine reads; after the last version, the answer key of each version on a
// page of its own.
Dessin dessinerSujets(QPagedPaintDevice &support, const Sujets &sujets, const Progression &progression = {});

// As ecrireSujetsPdf: A4 pages into a PDF file; with answer sheets, their key beside it
// (fichierCorrige), written only with the PDF.
ResultatSortie ecrireSujets(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsSujets &options,
                            const QString &fichier, const Progression &progression = {});

} // namespace classe
