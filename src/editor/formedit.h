#pragma once
#include "editor/module1.h"
#include "platform/platform.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class BoiteTexte;

// The main window: one card of the open bank at a time.
class FormEdit : public QWidget {
    Q_OBJECT
public:
    explicit FormEdit(Plateforme &plateforme, QWidget *parent = nullptr);
    ~FormEdit() override;

    // The window's load event: opens "BASE.QZF", or the bank named (a bare name in the program folder).
    void charger();
    void charger(const QString &nomFichier);

    Module1 &etat() { return m_; }
    Plateforme &plateforme() { return m_plateforme; }
    bool termine() const { return m_termine; }
    // A bank of more cards than a card number reaches is shown but never written.
    bool lectureSeule() const { return m_lectureSeule; }

    // The main window's procedures, called by the other windows too.
    void Initialisation();
    void ChargeThemes();
    void Lit();
    bool Ecrit();  // false when the card could not be written (the screen keeps it)

    // True when one of the three good-answer buttons is chosen; otherwise says so.
    bool verifierBonneReponse();

    Plateforme::Reponse message(const QString &texte, Plateforme::Boutons boutons = Plateforme::Boutons::Ok,
                                Plateforme::Icone icone = Plateforme::Icone::Aucune,
                                const QString &titre = {},
                                Plateforme::Reponse parDefaut = Plateforme::Reponse::Ok);

    // The help line texts of the buttons that have one.
    static QString texteAide(const QString &nomControle);

    // Dialogs opened from this window, found by objectName while they are loaded. They have
    // no parent widget, so that disabling this window leaves them enabled; those still loaded
    // go with this window. A dialog unloads itself by deleting itself (deleteLater).
    QWidget *dialogue(const QString &nom) const;
    void garderDialogue(QWidget *dialogue);

    // The media dialog's changes to the picture area; the card takes the media when Ecrit stores it.
    // A picture attached is shown at its own size with "Origine" chosen (its step, beep included,
    // only when another size was chosen).
    void montrerImageAttachee(const QImage &image);
    void effacerImageMedia();

protected:
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *objet, QEvent *event) override;

private:
    void construire();
    void construireFiche();
    void construireThemes();
    void construireMedia();
    void construireBoutons();

    // Quitting: stores the card, sorts the bank, ends the program.
    void Quitter_Click();
    void terminer();
    void Classer();

    // Card display: Lit reads and handles the media at once; the texts and buttons are
    // laid out when someone can see them (at the end of the handler, or before a message box).
    void afficherMedia();
    void appliquerAffichage();
    void etapeTailleImage(int index);
    void fixerModeImage(bool etire, QSize taille);
    void choisirBonneReponse(int choisie);  // -1: none
    void choisirTheme(int theme);
    void themesNonGras();
    void fixerCouleur(QWidget *boite, const QColor &couleur);
    void montrerBoitesFiche(bool visibles);
    void activerNavigation(bool actifs);

    // Navigation, new and delete.
    bool quitterFiche(bool auBout);
    void Suivant_Click();
    void Precedent_Click();
    void Dernier_Click();
    void Premier_Click();
    void Nouveau_Click();
    void Supprimer_Click();

    // Themes, marking, initials, media buttons.
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void ThemeEdit_Change(int i);
    void Command7_Click();
    void Command3_Click();

    Plateforme &m_plateforme;
    Module1 m_;
    std::vector<QPointer<QWidget>> m_dialogues;
    bool m_termine = false;
    bool m_lectureSeule = false;
    bool refuserEnLectureSeule();

    // Display deferred while a handler walks through cards.
    bool m_differe = false;
    // The card read but not yet laid out, with its own number: behind a message box opened
    // while the next card is read, the screen shows this one whole.
    struct AAfficher {
        FicheQuestion fiche;
        int numero = 0;
    };
    std::optional<AAfficher> m_aAfficher;
    int m_themeAffiche = 0;  // stored theme of the card on screen
    QSize m_tailleImagePropre;

public:
    // Controls, named as their objectName.
    QLabel *LabelFichier, *Label9, *LabelFichierActif, *Label1;
    QLineEdit *TextAuteur;
    QGroupBox *Frame3;
    QLabel *Label3, *Label4;
    QLineEdit *TextAffNumero, *TextNbFiche;
    QLabel *Label2, *Label6, *Label7, *Label8;
    BoiteTexte *TextQuestion, *TextExplic;
    std::array<BoiteTexte *, 3> TextReponse;
    std::array<QRadioButton *, 3> OptionBonneReponse;
    QButtonGroup *groupeBonneReponse;
    QCheckBox *CheckMarquage;
    QGroupBox *Frame1;
    std::array<QRadioButton *, 9> Theme;
    QButtonGroup *groupeTheme;
    std::array<QLabel *, 9> LabelTheme;
    QLabel *Label5, *LabelTotal;
    QPushButton *Command4;
    QGroupBox *FrameThemes;
    std::array<QLineEdit *, 9> ThemeEdit;
    QPushButton *Command5, *Command6;
    QPushButton *Premier, *Precedent, *Suivant, *Dernier;
    QGroupBox *Frame2;
    QPushButton *Nouveau, *Supprimer, *Fichier, *BoutFind, *BoutPrint, *Command1, *BoutMultimedia;
    QLabel *LabelMedia, *LabelFileMedia;
    QPushButton *Command3, *Command7;
    QGroupBox *Frame4;
    std::array<QRadioButton *, 4> OptionImage;
    QButtonGroup *groupeImage;
    QScrollArea *zoneImage;
    QLabel *ImageMedia;
    QLabel *Label10, *Image1;
    QWidget *Shape1, *Line1;
    QLabel *Aide;
    QPushButton *Quitter;
};
