#pragma once
#include "output/listing.h"
#include "store/resultat.h"

#include <QFont>
#include <QString>
#include <memory>

class QPagedPaintDevice;
class QPainter;

// Lays a listing out on pages, for a printer or a PDF file alike. A line longer than the
// page's width goes on over as many lines as it needs, broken between words where it can
// (never cut); a new page starts when one is full. The heading keeps the device's default
// font size until taillePolice() changes it.
class MiseEnPage {
public:
    explicit MiseEnPage(QPagedPaintDevice &support);
    ~MiseEnPage();
    MiseEnPage(const MiseEnPage &) = delete;
    MiseEnPage &operator=(const MiseEnPage &) = delete;

    bool commencer();
    bool actif() const;
    void ecrire(const QString &texte);  // stays on the line
    void finLigne();
    void taillePolice(int points);
    // Ends the last page; false when the device could not finish the document.
    bool terminer();
    int pages() const { return m_pages; }

private:
    struct Glyphes;
    void choisirPolice(const QFont &police);
    void poserLigne(const QString &texte);
    bool poserGlyphes(const QString &texte);
    void poserMiseEnForme(const QString &texte);
    void avancer();

    QPagedPaintDevice &m_support;
    std::unique_ptr<QPainter> m_peintre;
    std::unique_ptr<Glyphes> m_glyphes;
    QFont m_police;
    qreal m_interligne = 0;
    QString m_ligne;
    qreal m_y = 0;
    int m_pages = 0;
};

// The listing as a PDF file, laid out by the same page code as the printer's.
// Needs a QGuiApplication.
class SortiePdf : public listing::Sortie {
public:
    explicit SortiePdf(const QString &fichier);
    ~SortiePdf() override;
    Resultat commencer();
    void ligne(const QString &texte) override;
    void taillePolice(int points) override;
    Resultat terminer();
    void abandonner();  // removes the file begun

private:
    QString m_fichier;
    struct Prive;
    std::unique_ptr<Prive> d;
};

// The listing of a bank written into a PDF file; a file begun is removed again when the
// bank cannot be read or the progression stops the work.
listing::ResultatListing imprimerEnPdf(const QString &fichierPdf, const QString &chemin, const QString &nomFichier,
                                       listing::Forme forme, Selection selection, const Progression &progression);
