#pragma once
#include <QPointer>
#include <QWidget>
#include <array>

class SessionBanque;
class ListesFichiers;
class Plateforme;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QTreeView;

// The media dialog: browses for a picture or a sound, previews it, attaches it to the card on
// screen or takes the card's media away, through the session; the card reaches the file only
// when it is stored.
// It has no parent widget and unloads itself (deleteLater); the main window stays disabled
// while it is open, except after "Aucun &Fichier", which leaves it open.
class FormMultimedia : public QWidget {
    Q_OBJECT
public:
    FormMultimedia(SessionBanque &session, QWidget *fenetre);
    ~FormMultimedia() override;

    // Disables the main window, then shows the dialog still loaded (as it was) or a new one.
    static FormMultimedia *ouvrir(SessionBanque &session, QWidget *fenetre);

    ListesFichiers *listes() const { return m_listes; }
    // The folder of the file list when a name was last taken from it, with a final "/".
    QString dossierMedia() const { return m_dossierMedia; }

    // Controls, named as their objectName.
    std::array<QRadioButton *, 2> OptionMedia;
    QPushButton *BoutSON, *Command1, *boutcancel, *boutOK;
    QComboBox *Drive;
    QTreeView *listerep;
    QListView *listefile;
    QLineEdit *textfilename;
    QLabel *Image2, *etiqrep;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void construire();
    void Form_Load();
    void montrer();
    void decharger();
    void rendreFenetre();
    Plateforme &plateforme() const;

    void listerep_Change(const QString &dossier);
    void OptionMedia_Click(int index);
    void listefile_Click(const QString &nom);
    void BoutSON_Click();
    void boutOK_Click();
    void Command1_Click();
    void boutcancel_Click();

    QString dossierListe() const;
    QString nomSelectionne() const;
    bool refuserNomLong(const QString &nom);
    void montrerApercu(const QString &chemin);
    // Brings a file from another folder into the bank's media folder, after asking. False when
    // the file is not to be attached (refused, declined, or the copy failed: said already).
    bool amenerDansDossierMedia(const QString &source);

    SessionBanque &m_session;
    QPointer<QWidget> m_fenetre;
    ListesFichiers *m_listes;
    QString m_dossierMedia;
    bool m_decharge = false;
};

// The main window's "&Charger un fichier SON ou IMAGE" button.
void BoutMultimedia_Click(SessionBanque &session, QWidget *fenetre);
