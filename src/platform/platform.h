#pragma once
#include "store/resultat.h"

#include <QString>
#include <QStringList>

// Everything the windows ask of the desktop goes through here, so that tests can
// answer message boxes and prompts from a script and see every beep, line and sound.
class Plateforme {
public:
    enum class Boutons { Ok, OuiNonAnnuler, OuiNon };
    enum class Icone { Aucune, Exclamation, Critique };
    enum class Reponse { Ok, Oui, Non, Annuler };

    virtual ~Plateforme() = default;

    // An empty title shows the application's title.
    virtual Reponse message(const QString &texte, Boutons boutons, Icone icone, Reponse parDefaut,
                            const QString &titre) = 0;
    // The answer, or "" when the prompt is cancelled.
    virtual QString saisie(const QString &texte, const QString &titre) = 0;
    // Standard file dialogs: the path chosen, or "" when cancelled. `filtres` are separated by
    // ";;"; `filtre` names the one selected first and receives the one chosen.
    virtual QString fichierAEnregistrer(const QString &titre, const QString &chemin, const QString &filtres,
                                        QString *filtre) = 0;
    virtual QString fichierAOuvrir(const QString &titre, const QString &dossier, const QString &filtres,
                                   QString *filtre) = 0;
    // Several files chosen at once (the scans of a class): none when cancelled. Where the
    // desktop cannot, one file is asked for.
    virtual QStringList fichiersAOuvrir(const QString &titre, const QString &dossier, const QString &filtres)
    {
        const QString f = fichierAOuvrir(titre, dossier, filtres, nullptr);
        return f.isEmpty() ? QStringList() : QStringList{f};
    }
    virtual void bip() = 0;

    // The default printer, written line by line. `document` names the job: the bank's file
    // name. Where the desktop has no printer the listing goes to a PDF file named after it.
    virtual Resultat imprimanteDebut(const QString &document) = 0;
    virtual void imprimanteEcrire(const QString &texte) = 0;  // stays on the line
    virtual void imprimanteFinLigne() = 0;
    virtual void imprimanteTaillePolice(int points) = 0;
    virtual Resultat imprimanteFin() = 0;  // hands the job over
    virtual void imprimanteAbandon() = 0;  // drops the job begun: nothing is printed
    // The file the last listing went to, or "" when it went to a printer.
    virtual QString imprimanteFichier() const = 0;

    // Plays asynchronously; a new sound cuts off the one playing. Never blocks: a missing
    // file, a format that cannot be played or a desktop without sound returns at once.
    virtual void jouerSon(const QString &chemin) = 0;
    // Opens a file with the desktop's own application for its kind (a video); false when none could.
    virtual bool ouvrirFichier(const QString &chemin) = 0;

    // Ends the program once the current event handler returns.
    virtual void finProgramme() = 0;

    virtual QString dossierProgramme() const = 0;
    virtual QString dossierTravail() const = 0;

    // The folder a file dialog of this kind ("sorties": pages, sheets, exports and listings;
    // "imports") showed last, remembered between runs; the user's documents the first time.
    virtual QString dossierRetenu(const QString &sorte) const = 0;
    virtual void retenirDossier(const QString &sorte, const QString &dossier) = 0;

    // A question answered by one of the buttons named: its index, or -1 when the box was closed.
    virtual int choix(const QString &texte, const QString &titre, const QStringList &boutons) = 0;

    // Shorthand for the common OK box.
    void messageOk(const QString &texte, Icone icone = Icone::Aucune, const QString &titre = {})
    {
        message(texte, Boutons::Ok, icone, Reponse::Ok, titre);
    }
};

inline constexpr char16_t kTitreApplication[] = u"Orbelin";
