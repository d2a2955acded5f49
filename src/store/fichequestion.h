#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Text rules shared by every fixed-width field of the files.
namespace texte {

// Stored: converted to Windows-1252, cut to the width or padded with spaces.
void stocker(char *champ, int largeur, const QString &valeur);
// The field's text up to its first zero byte, as stored (not trimmed).
QString brut(const char *champ, int largeur);
// Spaces removed at both ends (only spaces: other blanks are text).
QString sansEspaces(const QString &valeur);
// For display: up to the first zero byte, spaces removed at both ends.
inline QString affiche(const char *champ, int largeur) { return sansEspaces(brut(champ, largeur)); }

// What storing a text typed into a field of `largeur` bytes would lose: the characters the
// code page cannot hold (each once, in order), and how many bytes fall past the width.
struct Perte {
    QString horsPage;
    qsizetype coupes = 0;
    bool vide() const { return horsPage.isEmpty() && coupes == 0; }
};
Perte perte(const QString &valeur, int largeur);

template <int N> void stocker(char (&champ)[N], const QString &v) { stocker(champ, N, v); }
template <int N> QString brut(const char (&champ)[N]) { return brut(champ, N); }
template <int N> QString affiche(const char (&champ)[N]) { return affiche(champ, N); }

} // namespace texte

// One question card, 803 bytes in the file, fields packed little-endian.
// Each field holds its stored bytes: a zero byte, a space and a text stay distinct.
struct FicheQuestion {
    static constexpr int Taille = 803;

    char Question[200] = {};
    char Reponse[3][125] = {};      // answers 1 to 3 are Reponse[0] to Reponse[2]
    char Commentaire[200] = {};
    qint16 BonneReponse[3] = {};    // -1 = good answer
    quint8 NumTheme = 0;            // 0 to 8; a larger value from a damaged file is kept as it is
    qint16 Marque = 0;
    char Auteur[5] = {};
    char FichierMedia[12] = {};
    qint16 TailleImage = 0;         // media code

    // Bytes missing at the end (a short last record, a read past the end) read as zero.
    static FicheQuestion depuisOctets(const char *octets, qsizetype n);
    void versOctets(char *sortie) const;  // exactly Taille bytes
    QByteArray octets() const;

    friend bool operator==(const FicheQuestion &a, const FicheQuestion &b) { return a.octets() == b.octets(); }
};

// Byte offsets of the fields in a record.
namespace offsets {
constexpr int Question = 0, Reponse = 200, Commentaire = 575, BonneReponse = 775, NumTheme = 781,
              Marque = 782, Auteur = 784, FichierMedia = 789, TailleImage = 801;
}

// Media codes held in TailleImage.
namespace media {
constexpr qint16 Aucun = 0, Mid = 1, Wav = 2, Mp3 = 3, Video = 4, Image = 10;
inline bool estSon(int code) { return code >= 1 && code <= 3; }
inline bool estImage(int code) { return code >= 10; }
}
