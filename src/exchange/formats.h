#pragma once
// The readers and writers of each format and what they share. The editor and qzf go
// through echanges.h; tests, benchmarks and fuzz targets reach the pieces here.
#include "exchange/echanges.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QFile>

class QIODevice;

namespace echanges {

// The cards of a bank as an export reads them: the file is mapped and each card decoded
// when it is asked for, so a large bank is never held twice in memory.
class SourceBanque {
public:
    Resultat ouvrir(const CheminsBanque &chemins);
    // Records and themes given in memory; media read from dossierMedias.
    void depuisOctets(const QByteArray &enregistrements, const TableThemes &themes, const QString &dossierMedias);

    int nombre() const { return m_nombre; }
    FicheQuestion fiche(int numero) const;   // from 1
    Carte carte(int numero) const;           // categorie filled from the theme table
    int theme(int numero) const;             // the stored theme index
    QString nomTheme(int index) const;       // spaces removed; empty for a blank slot or an index above 8
    // The media file's bytes from the bank's media folder; false when it cannot be read.
    bool lireMedia(const QString &nom, QByteArray &octets) const;
    QString nomBanque() const { return m_nomBanque; }

private:
    QFile m_fichier;
    QByteArray m_copie;  // records held in memory (when the file could not be mapped)
    const char *m_donnees = nullptr;
    qint64 m_longueur = 0;
    int m_nombre = 0;
    std::array<QString, 9> m_themes;
    QString m_dossierMedias;
    QString m_nomBanque;
};

// A card a reader found, with its place in the file.
struct Question : Carte {
    QString lieu;
    QByteArray octetsMedia;      // the media file carried by the file being read
    bool mediaEmbarque = false;  // false: `media` names a file of the bank's media folder (CSV)
};

// What a reader found in a file.
struct Lecture {
    Resultat resultat;          // failure: the file is not of the format, or damaged; nothing is imported
    QList<Question> questions;  // the multiple-choice questions with three answers and one right answer
    QList<Remarque> remarques;  // what was skipped or lost while reading

    // A bank holds 32 767 cards at most: once the file has given as many questions, the reader
    // stops before the question at `lieu`, and the report says so.
    bool pleine(const QString &lieu);
};

// Readers: the whole file in memory; nomFichier names it in messages.
Lecture lireGift(const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options = {});
Lecture lireMoodle(const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options = {});
Lecture lireQti(const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options = {});
Lecture lireCsv(const QByteArray &contenu, const QString &nomFichier, QChar separateur = {});  // {}: from the header
Lecture lire(Format format, const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options = {});

// One cell appended to a CSV line: quoted when it holds the separator, a quote, a line break or
// blanks at its ends, and made text by a leading quote when a spreadsheet would run it as a formula.
void champCsv(QString &ligne, const QString &texte, QChar separateur);
// The fields of one line without a line break: a field in double quotes may hold the separator
// and doubled quotes.
QStringList champsCsv(QStringView ligne, QChar separateur);

// Writers.
Resultat ecrireGift(const SourceBanque &src, QIODevice &sortie, Rapport &rapport, const Progression &progression);
Resultat ecrireMoodle(const SourceBanque &src, QIODevice &sortie, bool melanger, Rapport &rapport,
                      const Progression &progression);
Resultat ecrireQti(const SourceBanque &src, QIODevice &sortie, bool melanger, Rapport &rapport,
                   const Progression &progression);
Resultat ecrireCsv(const SourceBanque &src, QIODevice &sortie, QChar separateur, Rapport &rapport,
                   const Progression &progression);
Resultat ecrire(const SourceBanque &src, QIODevice &sortie, const OptionsExport &options, Rapport &rapport,
                const Progression &progression = {});

// How the answers of a multiple-choice question become the three of a card, from the
// fraction of the grade each gives (100 for a right one, 0 for a wrong one).
struct ChoixReponses {
    std::array<int, 3> gardees{0, 1, 2};  // the places in the file (from 0) of the answers kept, in order
    int bonne = 0;                         // 1 to 3, among those kept
    QString refus;                         // why it cannot become a card; empty when it can
    QStringList notes;                     // what was set aside, for the report
};
ChoixReponses choisirReponses(const QList<double> &fractions, const OptionsImport &options, const QString &lieu);
// Tells options.longues, when given, of a question of four answers or more. `texte(k)` gives
// answer k's text, computed only then.
void noterLongue(const OptionsImport &options, const QString &lieu, const QList<double> &fractions,
                 const std::function<QString()> &question, const std::function<QString(int)> &texte);

// Why a picture or sound a question shows does not go on its card; empty when it does.
QString refusMedia(const QString &nom, const Carte &carte);

// What the writers say of the cards a format loses or a platform will not take as they are,
// gathered card by card and told once at the end.
struct BilanExport {
    QList<int> medias, themes, marques, initiales, videos, tailles;  // what the format loses
    QList<int> introuvables;                                         // media missing from the folder
    QList<int> sansBonne, questionVide, reponseVide;
    void rapporter(Rapport &rapport, int fiches) const;
};

// Appends what a reader found to the bank: the common step of every import.
ResultatImport ajouter(const CheminsBanque &banque, const Lecture &lecture, const Progression &progression = {});

// ---------------------------------------------------------------------------
// Shared pieces

// A stored text for the formats: up to its first zero byte, spaces removed at both ends,
// line breaks (CR LF, CR or LF) as '\n'.
QString texteDeChamp(const char *champ, int largeur);
// The other way: '\n' as CR LF, the line breaks the editor's boxes store.
QString sautsEnCrLf(const QString &texte);

// The good answer of a card, 1 to 3: the last non-zero flag, as the editor shows it; 0 = none.
int bonneReponse(const FicheQuestion &f);

// "Q0042": a card's number as written in titles and names.
QString numeroQuestion(int numero);
// "Q0042 Quelle est la capitale": the number and the question's first words, on one line.
QString titreQuestion(int numero, const QString &question);

// Media kinds by the file name's extension: the media code a card takes for it (10 for
// a picture at its own size), 0 for a kind the editor does not show.
int codePourFichier(const QString &nom);
QString typeMime(const QString &nom);

// A theme name from a category path: "$course$/top/Histoire" or "Sciences//Techniques"
// ("//" is a "/" of the name); the last level of a deeper path.
QString themeDeCategorie(const QString &chemin);
// A theme name as a category path level: "/" doubled.
QString categorieDeTheme(const QString &nom);

// HTML reduced to plain text: tags dropped, entities decoded, blanks collapsed as a browser
// does, line breaks kept for <br> and the ends of paragraphs, divisions and list items.
QString texteDeHtml(const QString &html);
// Plain text as HTML that shows it as it is: <br> for line breaks, &nbsp; where a browser
// would collapse blanks.
QString htmlDeTexte(const QString &texte);

// Builds plain text from the pieces of an HTML or XHTML body, as a browser lays it out.
class TexteVisible {
public:
    void texte(QStringView t);     // blanks collapse
    void dur(QStringView t);       // kept as it is (an entity, a non-breaking space)
    void saut();                   // <br>
    void bloc();                   // the start or end of a paragraph: at most one line break
    QString resultat() const;

private:
    QString m_texte;
    bool m_blancEnAttente = false;
};

// The text a reader keeps: control characters other than line breaks and tabs removed,
// U+00A0 as a space, line breaks as '\n', blanks at both ends removed.
QString nettoyer(const QString &texte);
// Control characters that XML 1.0 forbids removed.
QString pourXml(const QString &texte);

// The text of a GIFT or CSV file: UTF-8, or UTF-16 behind its byte-order mark (dropped, as a
// UTF-8 one is). `ligneInvalide`: the line of the first character that is not valid, 0 when all are.
struct TexteLu {
    QString texte;
    bool utf16 = false;
    int ligneInvalide = 0;
};
TexteLu decoderTexte(const QByteArray &contenu);

// Where UTF-8 stops being valid: the byte offset, or -1 when all of it is valid.
qsizetype utf8Invalide(QByteArrayView octets);
// The line (from 1) holding a byte offset.
int ligneDe(QByteArrayView octets, qsizetype position);
// "3, 5, 9" for up to 20 card numbers, then "…".
QString listeNumeros(const QList<int> &numeros);

// "Impossible d'écrire le fichier : …" for a device that refused bytes, errno as the failed
// write left it: a full disk is said so, where the device would only know "Unknown error".
Resultat echecEcriture(const QIODevice &sortie, int erreur, const QString &fichier = {});
// A file name as a report shows it: control characters written as \n, \t or \xHH.
QString nomLisible(const QString &nom);

// Text gathered as UTF-8 and handed to the device in large pieces.
class TamponSortie {
public:
    explicit TamponSortie(QIODevice &sortie) : m_sortie(sortie) {}
    void ajouter(const QString &texte);
    void ajouterOctets(QByteArrayView octets);
    bool vider();  // false when the device refused a write
    bool ok() const { return m_ok; }
    int erreur() const { return m_erreur; }  // errno of the write refused

private:
    QIODevice &m_sortie;
    QByteArray m_octets;
    bool m_ok = true;
    int m_erreur = 0;
};

} // namespace echanges
