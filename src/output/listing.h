#pragma once
#include "output/transfert.h"

#include <QString>

class QTextStream;

struct FicheQuestion;

// The printed listing of a bank: text lines, in file order, as the printer receives them.
namespace listing {

enum class Forme {
    Rapide,     // main window: questions only
    Detaillee,  // main window: with the answers and the comment
    Allegee,    // output dialog: questions only
    Complete,   // output dialog: with the answers, the comment and an empty line
};

constexpr int TailleCorps = 7;  // points, after the heading
constexpr int LargeurReponse = 70;

// Where the lines go.
class Sortie {
public:
    virtual ~Sortie() = default;
    virtual void ligne(const QString &texte) = 0;  // the text, then the end of the line
    virtual void taillePolice(int points) = 0;
};

// The listing as plain text lines (the font size is not shown). A line break typed inside
// a text (CR LF) is written as a line break of the stream.
class SortieFlux : public Sortie {
public:
    explicit SortieFlux(QTextStream &flux) : m_flux(flux) {}
    void ligne(const QString &texte) override;
    void taillePolice(int) override {}

private:
    QTextStream &m_flux;
};

// A whole number as the listing writes it: a space, the digits, a space.
QString nombre(qint64 n);
// The heading, with the bank's name for the output dialog's forms.
QString entete(Forme forme, const QString &nomFichier, qint64 nbFiches);
QString ligneQuestion(qint64 numero, const FicheQuestion &fiche);
QString ligneReponses(const FicheQuestion &fiche);
QString ligneCommentaire(const FicheQuestion &fiche);

struct ResultatListing {
    Resultat resultat;
    qint64 nbFiches = 0;   // cards in the file, shown in the heading
    qint64 imprimees = 0;  // cards listed
    bool annule = false;   // stopped through the progression
};

// Lists the cards of the bank at `chemin` that the selection takes (the main window's
// forms take every card). Nothing is written when the bank cannot be read.
ResultatListing imprimer(const QString &chemin, const QString &nomFichier, Forme forme, Selection selection,
                  Sortie &sortie, const Progression &progression = {});

// The listing laid out as pages into a PDF file. The page code needs Qt Gui: programs that
// link it set this (see mise_en_page.h); where only Qt Core is linked it stays null.
using ImprimerPdf = ResultatListing (*)(const QString &fichierPdf, const QString &chemin, const QString &nomFichier,
                                        Forme forme, Selection selection, const Progression &progression);
extern ImprimerPdf imprimerPdf;

} // namespace listing
