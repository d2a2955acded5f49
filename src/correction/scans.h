#pragma once
#include "correction/copies.h"
#include "correction/lecture.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QPdfDocument;

// The scanned pages: a PDF of many pages (rendered by Qt's PDF module), or pictures (PNG,
// JPEG, TIFF of one or many pages), in the order given.
namespace correction {

struct Scan {
    QString fichier;
    int rang = 0;      // the page in its file, from 0
    int pages = 1;     // how many its file holds
    bool pdf = false;
    QString libelle() const;  // "scans.pdf, page 3"
};

class Scans {
public:
    Scans();
    ~Scans();
    // Every page of every file, in order; a file that cannot be read is said, one line each.
    static QList<Scan> lister(const QStringList &fichiers, QStringList &erreurs);
    // A PDF page at 150 dpi, enough for 5 mm boxes; a picture as it is, turned as its camera says.
    QImage charger(const Scan &scan);

private:
    std::unique_ptr<QPdfDocument> m_pdf;
    QString m_fichierPdf;
};

// A PDF page renders on a transparent ground: paper is white.
QImage surBlanc(const QImage &image);

using Progression = std::function<bool(qint64 fait, qint64 total)>;

struct Correction {
    QList<Scan> scans;
    QList<PageLue> pages;         // one per scan
    QList<FeuilleLue> feuilles;   // one per scan
    QList<Copie> copies;
    QStringList erreurs;          // files that could not be read
    bool annule = false;
    QStringList ignorees() const;  // "scans.pdf, page 3 : pas de code QR lisible…"
};

// Reads every page and puts the copies together. The progression may stop it.
Correction corriger(const classe::Corrige &corrige, const QStringList &fichiers, const Progression &progression = {});

// Every answer sheet read, upright, with the boxes read outlined (green right, red wrong,
// orange doubtful), the right box shown where the student missed it, and the mark.
Resultat ecrireCopiesAnnotees(const QString &fichier, const Correction &correction, const classe::Corrige &corrige,
                              const Progression &progression = {});

// The upright sheet of a page with its boxes outlined as above, at the given resolution.
QImage copieAnnotee(const QImage &scan, const PageLue &page, const Copie &copie, const classe::Corrige &corrige, double dpi);

} // namespace correction
