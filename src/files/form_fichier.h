#pragma once
#include "files/choixfichier.h"

// The chooser of the bank to work on, opened by the main window's "&Fichier..." button: opens
// a listed or typed bank, or creates a new one with its media folder. The main window stays
// disabled while it is open.
class form_fichier : public ChoixFichier {
    Q_OBJECT
public:
    form_fichier(SessionBanque &session, QWidget *fenetre);

    // Disables the main window, loads the chooser and shows it with the focus.
    static form_fichier *ouvrir(SessionBanque &session, QWidget *fenetre);

private:
    void bout_open_Click() override;
    void Command2_Click() override;
    void Command1_Click() override;
    void fermeture() override;

    // Makes the editor work on `nom`; if the bank cannot be opened after all, goes back to
    // the one that was open. False in that case.
    bool changerDeBanque(const QString &nom);
    void rendreFenetre();
};

// The main window's "&Fichier..." button: the card on screen is stored (with the good-answer
// check), then the chooser opens.
void Fichier_Click(SessionBanque &session, QWidget *fenetre);
