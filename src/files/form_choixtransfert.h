#pragma once
#include "files/choixfichier.h"

#include <QPointer>

// The chooser of a transfer's destination: records a bank name in FichierDest and shows it
// in the opener's label "textedest"; opens and creates nothing.
class Form_choixtransfert : public ChoixFichier {
    Q_OBJECT
public:
    // Disables `ouvreur`, loads the chooser (no parent widget), shows it with the focus.
    // On a choice: FichierDest is set, written into ouvreur's QLabel "textedest", and
    // `ouvreur` is enabled again, shown, raised and activated. "&Annuler" and closing by
    // the title bar give `ouvreur` back the same way and leave FichierDest unchanged.
    static void ouvrir(FormEdit &fenetre, QWidget *ouvreur);

private:
    Form_choixtransfert(FormEdit &fenetre, QWidget *ouvreur);

    void bout_open_Click() override;
    void Command2_Click() override;
    void Command1_Click() override;
    void fermeture() override;

    void choisir(const QString &nom);
    void rendreOuvreur();

    QPointer<QWidget> m_ouvreur;
};
