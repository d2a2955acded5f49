#pragma once
#include "store/fichequestion.h"
#include "store/resultat.h"

#include <QString>
#include <array>

struct ComptesThemes {
    std::array<int, 9> parTheme = {};
    int horsThemes = 0;  // cards whose NumTheme is above 8 (damaged files only)
};

// A question file: fixed 803-byte records numbered from 1, no header.
// Writes go straight to the operating system (no buffer of ours).
class FichierQuestions {
public:
    enum class Mode { LectureEcriture, Lecture };

    FichierQuestions() = default;
    ~FichierQuestions();
    FichierQuestions(const FichierQuestions &) = delete;
    FichierQuestions &operator=(const FichierQuestions &) = delete;

    // LectureEcriture creates a missing file, empty. Lecture creates nothing.
    Resultat ouvrir(const QString &chemin, Mode mode = Mode::LectureEcriture);
    void fermer();
    bool estOuvert() const { return m_fd >= 0; }
    const QString &chemin() const { return m_chemin; }

    qint64 longueur() const;
    // A last record shorter than 803 bytes still counts as a card.
    int nombre() const;
    // Record n; a number beyond the end (or a failed read) gives the all-zero record,
    // bytes missing from a short last record read as zero.
    FicheQuestion lire(int n) const;
    // Appends at nombre() + 1, replaces an existing record in place. The record is on the
    // disk when this returns, and a power cut while it is written leaves the card old or new.
    Resultat ecrire(int n, const FicheQuestion &fiche);

    ComptesThemes compterThemes() const;

private:
    int m_fd = -1;
    QString m_chemin;
    QString m_reel;  // the file the name leads to: its journal lies beside it
};

// Reads n bytes at a position, going on after short reads; fewer only at the end of the file.
qint64 lireComplet(int fd, char *tampon, qint64 n, qint64 position);

// The highest card number: a bank of more cards cannot be written back whole.
constexpr int FichesMax = 32767;

inline int nombreDeFiches(qint64 longueur)
{
    return int((longueur + FicheQuestion::Taille - 1) / FicheQuestion::Taille);
}
