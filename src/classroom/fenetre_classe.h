#pragma once
#include "editor/entree_menu.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <array>

class SessionBanque;
class QCheckBox;
namespace classe {
struct Choix;
}
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// "Page de quiz pour la classe…" and "Sujets d'examen (PDF)…", entries of the main window's
// exchanges menu.
QList<EntreeMenu> entreesClasse(SessionBanque &session, QWidget *fenetre);

// The dialog of both actions: which cards, how many, the title; for the exam, the versions,
// the date and the answer sheet read by a machine. It writes the file chosen and hands it to the desktop's own application.
class FormClasse : public QDialog {
    Q_OBJECT
public:
    enum class Sortie { Quiz, Sujets };
    FormClasse(SessionBanque &session, QWidget *fenetre, Sortie sortie);

    QRadioButton *OptionToutes, *OptionMarquees, *OptionEntreMarques, *OptionThemes;
    std::array<QCheckBox *, 9> CheckTheme;
    QSpinBox *SpinNombre, *SpinVersions, *SpinGraine, *ChiffresEleve;
    QCheckBox *CheckMelanger, *FeuilleReponses;
    QLineEdit *TextTitre, *TextDate;
    QLabel *LabelCompte;
    QPushButton *bout_OK, *bout_Annuler;

private:
    classe::Choix choix() const;
    void compter();
    void creer();

    SessionBanque &m_session;
    QPointer<QWidget> m_fenetre;
    Sortie m_sortie;
};

// Opens the dialog (the card on screen is stored first, as before any exchange).
void ouvrirFormClasse(SessionBanque &session, QWidget *fenetre, FormClasse::Sortie sortie);
