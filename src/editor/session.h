#pragma once
#include "editor/module1.h"
#include "platform/platform.h"
#include "store/verrou.h"

#include <QObject>
#include <QPointer>
#include <vector>

// What the session needs from the window that shows the card: what the user typed. The
// window repaints itself from the session's signals.
class EcranFiche {
public:
    virtual ~EcranFiche() = default;
    // Puts the boxes, the good-answer buttons, the mark and the chosen theme (when one is
    // chosen) into the card; the theme captions lose their bold face.
    virtual void saisie(FicheQuestion &fiche) = 0;
    virtual bool bonneReponseChoisie() const = 0;
    // Lays out the card read but not yet shown: what stands behind a message box can be seen.
    virtual void montrerEnAttente() = 0;
};

// One editing session on one bank at a time: the editor state, the platform, the open bank's
// files and the procedures that move a card between the file and the screen. The main window
// and every other window work through it; none of them reaches into another window.
class SessionBanque : public QObject {
    Q_OBJECT
public:
    explicit SessionBanque(Plateforme &plateforme, QObject *parent = nullptr);
    ~SessionBanque() override;  // the windows still loaded go with the session

    Module1 &etat() { return m_; }
    const Module1 &etat() const { return m_; }
    Plateforme &plateforme() { return m_plateforme; }
    void attacherEcran(EcranFiche *ecran) { m_ecran = ecran; }

    // The open bank's files.
    QString dossier() const;
    QString cheminBanque() const;
    QString cheminThemes() const;
    QString dossierMedia() const;
    QString cheminMedia() const;  // of the card on screen (NomMedia)

    // A bank of more cards than a card number reaches, or one that another editor or qzf
    // holds, is shown but never written.
    bool lectureSeule() const { return m_lectureSeule; }
    // Held by someone else: why the bank is read-only.
    bool verrouillee() const { return m_verrou.etat() == verrou::Verrou::Etat::Tenu; }
    bool termine() const { return m_termine; }

    // Names the bank to work on (Initialisation opens it).
    void nommerBanque(const QString &nomFichier);

    // The main window's procedures.
    void Initialisation();
    void ChargeThemes();
    void Lit();
    bool Ecrit();  // false when the card could not be written (the screen keeps it)
    // Sorts the bank by theme and ends the program.
    void Classer();

    // True when one of the three good-answer buttons is chosen; otherwise says so.
    bool verifierBonneReponse();
    // A write refused on a read-only bank is said; true then.
    bool refuserEnLectureSeule();

    Plateforme::Reponse message(const QString &texte, Plateforme::Boutons boutons = Plateforme::Boutons::Ok,
                                Plateforme::Icone icone = Plateforme::Icone::Aucune, const QString &titre = {},
                                Plateforme::Reponse parDefaut = Plateforme::Reponse::Ok);
    void erreur(const QString &texte);  // critical, titled "Erreur"

    // Before a window works on the bank: the card on screen is stored (with the good-answer
    // check, or without it for the search), then shown again exactly as the file now holds it,
    // its media code included. True when the window may go on. An empty bank has nothing to store.
    enum class Controle { BonneReponse, Aucun };
    bool stockerFiche(Controle controle = Controle::BonneReponse);

    // After a window rewrote the whole bank: opened again, counted, card `numero` (kept within
    // the bank) shown. An empty bank is opened as at start.
    void rouvrir(int numero);
    // Shows card `numero` (the card on screen stored first by the caller).
    void allerA(int numero);

    // The media dialog's choice for the card on screen; the card takes it when Ecrit stores it.
    void attacherImage(const QString &nom, const QString &chemin);
    void attacherSon(const QString &nom);
    void detacherMedia();

    // Windows opened over the bank, found by objectName while they are loaded. They have no
    // parent widget, so that disabling the main window leaves them enabled.
    QObject *dialogue(const QString &nom) const;
    template <class T> T *dialogue(const QString &nom) const { return qobject_cast<T *>(dialogue(nom)); }
    void garderDialogue(QObject *dialogue);
    void fermerDialogues();

signals:
    void banqueNommee();
    // Initialisation opened the bank (read-only or not).
    void banqueOuverte();
    // Initialisation counted the bank and is about to load its themes.
    void banqueComptee();
    void themesCharges();
    // Lit read card `numero` into Fiche, NomMedia and OptionTaille.
    void ficheLue(int numero);
    // The card on screen was stored and read back, for a window that stays on it.
    void ficheRelue(int numero);
    // Ecrit took the screen into the card and wrote it as card `numero`.
    void ficheEcrite(int numero);
    // The counts of the bank changed (a window rewrote it).
    void comptesChanges();
    void imageAttachee(const QString &chemin);
    void sonAttache();
    void mediaDetache();
    // Classer ended the session.
    void termineSession();

private:
    // Reads card NumFiche into Fiche, trimmed, with its media name and code.
    void prendreFiche();

    Plateforme &m_plateforme;
    Module1 m_;
    EcranFiche *m_ecran = nullptr;
    std::vector<QPointer<QObject>> m_dialogues;
    bool m_lectureSeule = false;
    verrou::Verrou m_verrou;  // the open bank's, while this session may write it
    bool m_termine = false;
    int m_themeAffiche = 0;  // stored theme of the card on screen
};
