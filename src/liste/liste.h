#pragma once
#include "exchange/echanges.h"
#include "output/transfert.h"
#include "store/resultat.h"
#include "store/tablethemes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

// The list of a bank's cards: which cards a filter keeps and in what order, for the list
// window and `qzf list`. Both run `lignes` on an Index of the bank.
namespace liste {

enum class Colonne { Numero = 0, Theme, Question, Bonne, Marque, Auteur, Media };
constexpr int NbColonnes = 7;
QString titre(Colonne c);  // "N°", "Thème"...

struct Filtre {
    QString texte;             // in the question, the answers or the comment; small and capital letters alike
    bool sansAccents = false;  // "é" finds "e" and "E", and the other way round
    int theme = -1;            // 0 to 8; -1 = every theme
    bool marquees = false;
    bool media = false;        // a picture or a sound
    bool bonneDouteuse = false;  // no good answer, or more than one
};

struct Tri {
    Colonne colonne = Colonne::Numero;
    bool descendant = false;
};

// What the filters and the sorts read of each card, kept compact: its texts folded to small
// letters (the accents folded too on demand), its theme, mark, good answers and media. The
// cards' texts for display are read from the bank as they are shown.
class Index {
public:
    // From the bank's bytes; a short last record reads padded with zeros.
    explicit Index(const QByteArray &banque = {});
    static Index lire(const QString &cheminBanque, Resultat *resultat = nullptr);

    int nombre() const { return int(m_cartes.size()); }
    // Card `numero` (from 1) as it now stands in the bank; one past the last adds it.
    void remplacer(int numero, const char *enregistrement);

    struct Carte {
        quint8 theme = 0;
        qint16 marque = 0;
        quint8 bonnes = 0;  // bit k: answer k + 1 is a good one
        qint16 codeMedia = 0;
        bool aMedia = false;  // a media file named or a media code set
    };
    const Carte &carte(int numero) const { return m_cartes[size_t(numero - 1)]; }
    // The card's texts folded, each field ended by a zero byte: question, answers 1 to 3,
    // comment, author, media name.
    const char *textes(int numero, bool sansAccents) const;

    static constexpr int Largeur = 200 + 1 + 3 * (125 + 1) + 200 + 1 + 5 + 1 + 12 + 1;

private:
    void plier(int numero, const char *enregistrement);
    std::vector<Carte> m_cartes;
    QByteArray m_plies;                  // Largeur bytes a card
    mutable QByteArray m_sansAccents;    // the same, accents folded; made the first time it is asked
};

// The numbers of the cards the filter keeps, in the order of the sort (ties in card order).
// The theme column sorts by the themes' names.
QList<int> lignes(const Index &index, const Filtre &filtre, const Tri &tri, const TableThemes &themes);

// The row of a card for display and for `qzf list`: one text per column.
QString nomTheme(const TableThemes &themes, int theme);
QStringList colonnes(int numero, const char *enregistrement, const TableThemes &themes);

// Changes to the cards numbered (from 1), each one whole-bank rewrite or none.
struct Bilan {
    Resultat resultat;
    int changees = 0;
};
Bilan marquer(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros, bool marque);
Bilan changerTheme(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros, int theme);
// Each card is kept in the recycle file first; a card that cannot be kept stops everything
// before the bank is touched.
Bilan supprimer(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros,
                const QString &dossierMedia, qint64 date);

// The cards numbered, in bank order, as a bank of their own in a temporary folder, under the
// bank's file name, with the bank's theme file and media folder: what exports, transfers and
// draws whole banks then works on a selection. The folder goes with the object.
class Extrait {
public:
    Extrait(const echanges::CheminsBanque &banque, const QList<int> &numeros);
    const Resultat &resultat() const { return m_resultat; }
    const echanges::CheminsBanque &banque() const { return m_banque; }
    int nombre() const { return int(m_numeros.size()); }
    // "fiche 2" of a report on the extract becomes the number that card has in the bank.
    QString renumeroter(const QString &texte) const;

private:
    std::unique_ptr<QTemporaryDir> m_dossier;
    echanges::CheminsBanque m_banque;
    QList<int> m_numeros;
    Resultat m_resultat;
};

// Copies of the cards numbered appended to `destination` by the transfer (marks set to 0).
ResultatTransfert transferer(const QString &source, const QString &destination, const QList<int> &numeros);
// The cards numbered exported as the whole bank would be; the report names them by their numbers in the bank.
Resultat exporter(const echanges::CheminsBanque &banque, const QList<int> &numeros, const QString &fichier,
                  const echanges::OptionsExport &options, echanges::Rapport &rapport);

} // namespace liste
