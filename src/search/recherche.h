#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QString>
#include <array>

// Finding a card in a bank: by its number, by a text of its question, by its mark or by its
// media file. The search window and `qzf find` both run `rechercher`.
namespace recherche {

// The four ways of searching, in the order of the window's options.
enum class Option { Numero = 0, Texte = 1, Marque = 2, Media = 3 };

// The number at the start of the text once its spaces at both ends are gone: an optional
// sign, digits with an optional decimal point, an optional exponent. A text that does not
// start with a number reads 0; a number too large for a double reads as an infinity.
double nombreEnTete(const QString &texte);

// The card a typed number designates in a bank of nbFiches cards, or 0 when the number
// is outside 1..nbFiches (tested before rounding; a half goes to the even neighbour).
int ficheDemandee(const QString &texte, int nbFiches);

QString messageFicheInexistante(const QString &texteTape);  // the text repeated as typed
QString messageAucuneOccurrence();

// The test one card must pass, applied to its 803 stored bytes.
class Critere {
public:
    // The search text is lower-cased once here; a text holding a character that
    // Windows-1252 cannot store matches no card. Without accents, both the text and the
    // questions are folded as `plier` does.
    static Critere texte(const QString &cherche, bool sansAccents = false);
    static Critere marque();
    static Critere media();

    bool convient(const char *carte) const;

private:
    enum class Genre { Texte, TextePlie, Marque, Media };  // TextePlie: m_motif folded, each question too
    explicit Critere(Genre genre) : m_genre(genre) {}
    bool contientTexte(const char *question) const;
    bool contientTextePlie(const char *question) const;

    Genre m_genre;
    QByteArray m_motif;             // lower-cased, Windows-1252
    bool m_introuvable = false;     // a text no question can hold
    std::array<bool, 256> m_premier = {};  // the bytes whose lower case is the motif's first byte
};

// Small letters without their accents or cedillas, the ligatures spelt out: "Préfecture" and
// "prefecture", "Cœur" and "coeur", "Ça" and "ca", "Æ" and "ae" fold to the same text.
QString plier(const QString &texte);

// Where a scan ended: the card found (0 when none) or why the bank could not be read.
struct Issue {
    int fiche = 0;
    Resultat resultat;
};

// Cards premiere..derniere of the bank at `chemin`, in order. A card past the end of the
// file is tested as the all-zero record it reads as; the file is opened only when the
// range is not empty.
Issue premiereQuiConvient(const QString &chemin, const Critere &critere, int premiere, int derniere);

// The cards after the current one up to the last; when none passes and the current card is
// 2 or more, the cards from 1 up to the current one included.
Issue suivante(const QString &chemin, const Critere &critere, int courante, int nbFiches);

struct Demande {
    Option option = Option::Numero;
    QString numero;  // the number field as typed
    QString texte;   // the text field as typed
    bool sansAccents = false;  // the text search folds accents, cedillas and ligatures
};

struct Conclusion {
    int numFiche = 0;   // the card to show: the one found, or the current card
    QString message;    // the refusal to show, empty when a card was found
    Resultat lecture;   // fails when the bank could not be read
};

// One search from the current card of a bank of nbFiches cards.
Conclusion rechercher(const QString &chemin, const Demande &demande, int courante, int nbFiches);

} // namespace recherche
