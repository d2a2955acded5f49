#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QChar>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

// Banks travel to and from the formats that learning platforms and spreadsheets read:
// GIFT, Moodle XML, IMS QTI 2.1 packages and CSV. Window-free: the editor and qzf share it.
namespace echanges {

enum class Format { Gift, MoodleXml, Qti, Csv };

QString nomFormat(Format f);   // "GIFT", "Moodle XML", "IMS QTI 2.1", "CSV"
QString cleFormat(Format f);   // the name on qzf's command line: gift, moodle-xml, qti, csv
std::optional<Format> formatDepuisCle(const QString &cle);
QString extension(Format f);   // without the dot

// The files of a bank: the theme file and the media folder lie beside it.
struct CheminsBanque {
    QString banque, themes, medias;
    // The theme file named by nomFichierThemes, the media folder named after the bank
    // without its last 4 characters, both in the bank's folder.
    static CheminsBanque pres(const QString &cheminBanque);
    QString nom() const;  // the bank's file name, without folder
};

// One card as the formats carry it: plain texts, line breaks as '\n', no padding.
struct Carte {
    QString question;
    std::array<QString, 3> reponses;
    int bonne = 0;          // 1 to 3; 0 = none
    QString commentaire;
    QString categorie;      // the theme's name; empty = none
    bool marque = false;
    QString auteur;
    QString media;          // the media file's name; empty = none
    int codeMedia = 0;      // as TailleImage

    friend bool operator==(const Carte &, const Carte &) = default;
};

// One line of a report, about a place in the file read or a card of the bank.
struct Remarque {
    enum class Genre {
        Ignoree,    // a question that did not become a card
        Coupee,     // a text cut to its field
        Remplacee,  // characters stored as "?"
        Theme,      // categories and themes
        Media,      // pictures and sounds
        Perte,      // something the target format cannot carry
        Note,
    };
    Genre genre = Genre::Note;
    QString lieu;   // "ligne 12", "question « Q0003 Capitale »", "fiche 7"; may be empty
    QString texte;
    QString ligne() const { return lieu.isEmpty() ? texte : lieu + QStringLiteral(" : ") + texte; }
};

struct Rapport {
    QString titre;        // what was done, first line of the text
    QStringList resume;   // counts, one line each
    QList<Remarque> remarques;
    int fiches = 0;       // cards exported, or cards added to the bank

    void ajouter(Remarque::Genre genre, const QString &lieu, const QString &texte)
    {
        remarques.append({genre, lieu, texte});
    }
    QStringList lignes(Remarque::Genre genre) const;  // the remarks of one kind, as lines
    QString texte() const;
};

// Told now and then how much of the work is done; answering false cancels it.
using Progression = std::function<bool(int fait, int total)>;

// ---------------------------------------------------------------------------
// Export

struct OptionsExport {
    Format format = Format::Gift;
    QChar separateur = u';';  // CSV
    bool melanger = false;    // Moodle XML and QTI: ask the platform to shuffle the answers
};

// Writes the bank into the file, which is replaced whole only once complete.
// The report counts what the format could not carry.
Resultat exporter(const CheminsBanque &banque, const QString &fichier, const OptionsExport &options,
                  Rapport &rapport, const Progression &progression = {});

// ---------------------------------------------------------------------------
// Import

// The format a file's content shows; the file name's extension decides when the content
// does not. Nothing when neither does.
std::optional<Format> deviner(const QByteArray &contenu, const QString &nomFichier = {});

// A question of four answers or more, as the file has it, for the teacher to choose from.
struct QuestionLongue {
    QString lieu;          // as the report writes it: the key of OptionsImport::mauvaises
    QString question;
    QStringList reponses;  // in the file's order
    int bonne = -1;        // the place of the right one (from 0); -1 when none or several
};

struct OptionsImport {
    std::optional<Format> format;  // nothing: guessed with deviner
    // A question with four answers or more keeps its right answer and two wrong ones, the
    // first two unless `mauvaises` names others; off, such a question is left out.
    bool troisReponses = false;
    // The two wrong answers a question keeps, by their places in the file (from 0); the
    // question named by its place, as the report writes it ("ligne 12").
    QHash<QString, std::array<int, 2>> mauvaises;
    // Filled, when given, with every question of four answers or more the file holds.
    QList<QuestionLongue> *longues = nullptr;
};

struct ResultatImport {
    Resultat resultat;    // a failure leaves the bank, its themes and its media folder untouched
    Rapport rapport;
    int premiere = 0;     // number of the first card added
};

// Appends the multiple-choice questions of the file to the bank (created when missing),
// names new themes and stores the pictures and sounds in the media folder.
ResultatImport importer(const CheminsBanque &banque, const QString &fichier, std::optional<Format> format = {},
                        const Progression &progression = {});
ResultatImport importer(const CheminsBanque &banque, const QString &fichier, const OptionsImport &options,
                        const Progression &progression = {});
// The questions of four answers or more the file holds, as it has them; the file is only read.
QList<QuestionLongue> questionsLongues(const QString &fichier, OptionsImport options = {});

} // namespace echanges
