#pragma once
#include "platform/platform.h"

#include <memory>
#include <utility>
#include <vector>

class MiseEnPage;
class QPrinter;
class QAudioOutput;
class QMediaPlayer;
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
    QStringList fichiersAOuvrir(const QString &titre, const QString &dossier, const QString &filtres) override;
    void bip() override;

    Resultat imprimanteDebut(const QString &document) override;
    void imprimanteEcrire(const QString &texte) override;
    void imprimanteFinLigne() override;
    void imprimanteTaillePolice(int points) override;
    Resultat imprimanteFin() override;
    void imprimanteAbandon() override;
    QString imprimanteFichier() const override;

    // WAV through QSoundEffect, other sounds through a QMediaPlayer made only where the desktop
    // has an audio output. Each kind of failure is told once per run.
    void jouerSon(const QString &chemin) override;
    bool ouvrirFichier(const QString &chemin) override;
    // The sound handed to a player and not cut off since ("" when none).
    QString sonEnCours() const { return m_sonEnCours; }

    void finProgramme() override;
    QString dossierProgramme() const override;
    QString dossierTravail() const override;
    // The folder of the banks for this run (see dossierprogramme.h); chosen from the program's place when not set.
    QString dossierRetenu(const QString &sorte) const override;
    void retenirDossier(const QString &sorte, const QString &dossier) override;
    int choix(const QString &texte, const QString &titre, const QStringList &boutons) override;
    void fixerDossierProgramme(const QString &dossier) { m_dossierProgramme = dossier; }

protected:
    // Whether the desktop has an audio output (tests play a desktop with or without one).
    virtual bool sortieAudio() const;

private:
    enum EchecSon { SansSortie = 1, Introuvable = 2, FormatInconnu = 4 };
    void avertirSon(EchecSon genre, const QString &texte);
    void arreterSon();
    void jouerParLecteur(const QString &chemin);

    std::unique_ptr<QPrinter> m_imprimante;
    std::unique_ptr<MiseEnPage> m_page;
    // For a printer, the listing waits here until the end of the document (see imprimanteDebut):
    // each entry a whole line, or a font size when the number is not 0.
    std::vector<std::pair<int, QString>> m_attente;
    QString m_ligne;
    bool m_differe = false;
    QString m_fichier;
    QSoundEffect *m_son = nullptr;
    QMediaPlayer *m_lecteur = nullptr;
    QAudioOutput *m_sortie = nullptr;
    QString m_sonEnCours;
    int m_sonsAvertis = 0;  // the kinds of failure already told
    mutable QString m_dossierProgramme;
};
