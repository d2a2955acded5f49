#pragma once
#include "platform/platform.h"

#include <memory>

class QPrinter;
class QPainter;
class QSoundEffect;

// The real desktop: Qt message boxes, the default printer (a PDF file when there is none), QSoundEffect.
class QtPlateforme : public Plateforme {
public:
    QtPlateforme();
    ~QtPlateforme() override;

    Reponse message(const QString &texte, Boutons boutons, Icone icone, Reponse parDefaut,
                    const QString &titre) override;
    QString saisie(const QString &texte, const QString &titre) override;
    QString fichierAEnregistrer(const QString &titre, const QString &chemin, const QString &filtres,
                                QString *filtre) override;
    QString fichierAOuvrir(const QString &titre, const QString &dossier, const QString &filtres,
                           QString *filtre) override;
    void bip() override;

    bool imprimanteDebut() override;
    void imprimanteEcrire(const QString &texte) override;
    void imprimanteFinLigne() override;
    void imprimanteTaillePolice(int points) override;
    void imprimanteFin() override;

    void jouerSon(const QString &chemin) override;

    void finProgramme() override;
    QString dossierProgramme() const override;
    QString dossierTravail() const override;
    // The folder of the banks for this run (see dossierprogramme.h); chosen from the program's place when not set.
    void fixerDossierProgramme(const QString &dossier) { m_dossierProgramme = dossier; }

private:
    std::unique_ptr<QPrinter> m_imprimante;
    std::unique_ptr<QPainter> m_peintre;
    int m_x = 0, m_y = 0;
    QSoundEffect *m_son = nullptr;
    mutable QString m_dossierProgramme;
};
