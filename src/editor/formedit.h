#pragma once
#include "editor/session.h"

#include <QWidget>
#include <array>
#include <memory>
#include <optional>

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

// The main window: one card of the open bank at a time. It shows what the session reads
// and hands the session what the user typed; the other windows work on the session.
class FormEdit : public QWidget, private EcranFiche {
    Q_OBJECT
public:
    explicit FormEdit(SessionBanque &session, QWidget *parent = nullptr);
    // A window with a session of its own.
    explicit FormEdit(Plateforme &plateforme, QWidget *parent = nullptr);
    ~FormEdit() override;

    // The window's load event: opens "BASE.QZF", or the bank named (a bare name in the program folder).
    void charger();
    void charger(const QString &nomFichier);

    SessionBanque &session() { return m_session; }
    bool termine() const { return m_session.termine(); }

    // A teacher's own bank begins with its themes: the theme editor, the cursor in the first name.
    void commencerBanque();

    // On a screen whose free area (`disponible`) cannot hold the window, the window goes into a
    // scrolled frame of the screen's size, which is returned; elsewhere nothing changes and the
    // window itself is returned. Closing the frame closes the window.
    QWidget *adapterAEcran(const QRect &disponible);

    // The help line texts of the buttons that have one.
    static QString texteAide(const QString &nomControle);

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

    // What the session asks of the screen.
    void saisie(FicheQuestion &fiche) override;
    bool bonneReponseChoisie() const override;
    void montrerEnAttente() override { appliquerAffichage(); }

    // Repainting from the session.
    void relierSession();
    void surBanqueOuverte();
    void surBanqueComptee();
    void surThemesCharges();
    void surFicheLue(int numero);
    void surFicheRelue(int numero);
    void surFicheEcrite(int numero);
    void surComptesChanges();
    void surImageAttachee(const QString &chemin);
    void surSonAttache();
    void surMediaDetache();

    // The "Échanges" button and its menu, from the entries each subsystem hands over.
    void construireEchanges();

    Plateforme::Reponse message(const QString &texte, Plateforme::Boutons boutons = Plateforme::Boutons::Ok,
                                Plateforme::Icone icone = Plateforme::Icone::Aucune, const QString &titre = {},
                                Plateforme::Reponse parDefaut = Plateforme::Reponse::Ok)
    {
        return m_session.message(texte, boutons, icone, titre, parDefaut);
    }
    void montrerImage(const QImage &image);

    std::unique_ptr<SessionBanque> m_sessionPropre;
    SessionBanque &m_session;
    Module1 &m_;
    Plateforme &m_plateforme;

    // Display deferred while a handler walks through cards.
    bool m_differe = false;
    // The card read but not yet laid out, with its own number: behind a message box opened
    // while the next card is read, the screen shows this one whole.
    struct AAfficher {
        FicheQuestion fiche;
        int numero = 0;
    };
    std::optional<AAfficher> m_aAfficher;
    QSize m_tailleImagePropre;

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
