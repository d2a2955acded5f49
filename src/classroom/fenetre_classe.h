#pragma once
#include <QDialog>
#include <array>

class FormEdit;
class QCheckBox;
namespace classe {
struct Choix;
}
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// Adds "Page de quiz pour la classe…" and "Sujets d'examen (PDF)…" to the main window's
// exchange menu. Called once while that menu is built.
void installerClasse(FormEdit &fenetre);

// The dialog of both actions: which cards, how many, the title; for the exam, the versions
// and the date. It writes the file chosen and hands it to the desktop's own application.
class FormClasse : public QDialog {
    Q_OBJECT
public:
    enum class Sortie { Quiz, Sujets };
    FormClasse(FormEdit &fenetre, Sortie sortie);

    QRadioButton *OptionToutes, *OptionMarquees, *OptionEntreMarques, *OptionThemes;
    std::array<QCheckBox *, 9> CheckTheme;
    QSpinBox *SpinNombre, *SpinVersions, *SpinGraine;
    QCheckBox *CheckMelanger;
    QLineEdit *TextTitre, *TextDate;
    QLabel *LabelCompte;
    QPushButton *bout_OK, *bout_Annuler;

private:
    classe::Choix choix() const;
    void compter();
    void creer();

    FormEdit &m_fenetre;
    Sortie m_sortie;
};

// Opens the dialog (the card on screen is stored first, as before any exchange).
void ouvrirFormClasse(FormEdit &fenetre, FormClasse::Sortie sortie);
