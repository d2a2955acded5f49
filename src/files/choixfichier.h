#pragma once
#include "files/nomfichier.h"
#include "platform/platform.h"

#include <QPointer>
#include <QWidget>

class SessionBanque;
class ListesFichiers;
class QComboBox;
class QLineEdit;
class QListView;
class QPushButton;
class QTreeView;

// What the two file choosers share: the drive, folder and file lists, the name field, the
// three buttons, the rule for a new name. Each twin says what a choice, a new name and a
// cancel do. A chooser has no parent widget and unloads itself (deleteLater).
class ChoixFichier : public QWidget {
    Q_OBJECT
public:
    ~ChoixFichier() override;

    ListesFichiers *listes() const { return m_listes; }

    // Controls, named as their objectName.
    QComboBox *Drive1;
    QTreeView *Dir1;
    QListView *File1;
    QLineEdit *Text1;
    QPushButton *bout_open, *Command1, *Command2;

protected:
    ChoixFichier(SessionBanque &session, QWidget *fenetre, const QString &nom, const QString &legende);

    SessionBanque &session() const { return m_session; }
    QWidget *fenetre() const { return m_fenetre; }
    Plateforme &plateforme() const;

    virtual void bout_open_Click() = 0;
    virtual void Command2_Click() = 0;
    virtual void Command1_Click() = 0;
    // The chooser is closed by its title bar.
    virtual void fermeture() = 0;

    // Shows the chooser in front, with the focus in the file list.
    void montrer();
    // Removes the chooser; its closing steps have been done by the caller.
    void decharger();

    // The refusals shared by both choosers, each with its message: empty Text1, a name
    // with a folder or a forbidden character. True when the name may go on.
    bool verifierTexte1(const QString &texte);
    // Asks for a new name and applies its refusals; the base name, or "" when refused or cancelled.
    QString demanderNouveauNom();
    void erreur(const QString &texte, Plateforme::Icone icone);

    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    SessionBanque &m_session;
    QPointer<QWidget> m_fenetre;
    ListesFichiers *m_listes;
    bool m_decharge = false;
};

namespace textes {
inline const QString Erreur = QStringLiteral("Erreur");
inline const QString SelectionnezFichier = QStringLiteral("Vous devez sélectionnez un fichier");
inline const QString TapezNom = QStringLiteral("Tapez le nom d'un fichier (8 caractères maxi.)");
inline const QString TropLong = QStringLiteral("le nom du fichier est trop long!");
inline const QString Existe = QStringLiteral("Le fichier existe deja! Donnez un autre nom.");
inline const QString NomInvalide =
    QStringLiteral("Le nom du fichier ne peut contenir ni dossier ni les caractères \\ / : * ? \" < > |");
inline const QString FichierActif = QStringLiteral("Vous ne pouvez choisir le fichier actif!");
inline const QString ImpossibleCharger = QStringLiteral("Impossible de charger le fichier sélectionné!");
} // namespace textes
