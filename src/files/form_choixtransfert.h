#pragma once
#include "files/choixfichier.h"

#include <QPointer>

#include <functional>

// The chooser of a transfer's destination: records a bank name in FichierDest and hands it to
// the opener; opens and creates nothing.
class Form_choixtransfert : public ChoixFichier {
    Q_OBJECT
public:
    // Disables `ouvreur`, loads the chooser (no parent widget), shows it with the focus.
    // On a choice: FichierDest is set, `choisi` is called with the name, and `ouvreur` is
    // enabled again, shown, raised and activated. "&Annuler" and closing by the title bar
    // give `ouvreur` back the same way and leave FichierDest unchanged.
    using Choisi = std::function<void(const QString &nom)>;
    static void ouvrir(SessionBanque &session, QWidget *ouvreur, Choisi choisi);

private:
    Form_choixtransfert(SessionBanque &session, QWidget *ouvreur, Choisi choisi);

    void bout_open_Click() override;
    void Command2_Click() override;
    void Command1_Click() override;
    void fermeture() override;

    void choisir(const QString &nom);
    void rendreOuvreur();

    QPointer<QWidget> m_ouvreur;
    Choisi m_choisi;
};
