#include "store/canaux.h"

int Canaux::ouvrir(const QString &chemin, Resultat *resultat, FichierQuestions::Mode mode)
{
    auto f = std::make_unique<FichierQuestions>();
    Resultat r = f->ouvrir(chemin, mode);
    if (resultat)
        *resultat = r;
    if (!r)
        return 0;
    for (size_t i = 0; i < m_fichiers.size(); ++i)
        if (!m_fichiers[i]) {
            m_fichiers[i] = std::move(f);
            return int(i) + 1;
        }
    m_fichiers.push_back(std::move(f));
    return int(m_fichiers.size());
}

FichierQuestions *Canaux::fichier(int canal) const
{
    if (canal < 1 || size_t(canal) > m_fichiers.size())
        return nullptr;
    return m_fichiers[size_t(canal) - 1].get();
}

void Canaux::fermer(int canal)
{
    if (canal >= 1 && size_t(canal) <= m_fichiers.size())
        m_fichiers[size_t(canal) - 1].reset();
}

void Canaux::fermerTout() { m_fichiers.clear(); }

