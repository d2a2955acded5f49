#pragma once
#include "store/fichierquestions.h"

#include <memory>
#include <vector>

// Open files by channel number: each opening takes the lowest free number, from 1.
class Canaux {
public:
    // Returns the channel, or 0 when the file cannot be opened (resultat says why).
    int ouvrir(const QString &chemin, Resultat *resultat = nullptr,
               FichierQuestions::Mode mode = FichierQuestions::Mode::LectureEcriture);
    FichierQuestions *fichier(int canal) const;
    void fermer(int canal);
    void fermerTout();

private:
    std::vector<std::unique_ptr<FichierQuestions>> m_fichiers;  // index = channel - 1
};
