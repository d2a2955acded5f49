#pragma once
#include <QDialog>
#include <QPointer>
#include <array>

class SessionBanque;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The output dialog: the open bank's cards appended to another bank, or printed.
// Opened by the main window's Command1; hiding it ("&Annuler", Escape, its close button)
// keeps its contents for the next opening; printing unloads it.
class Form_export : public QDialog {
    Q_OBJECT
public:
    Form_export(SessionBanque &session, QWidget *fenetre);

    // Controls, named as their objectName.
    QGroupBox *cadreDestination, *cadreChoix;
    QLabel *Label1, *Label5;
    std::array<QRadioButton *, 4> OptionTransfert;
    QButtonGroup *groupeTransfert;
    QLabel *Label13, *textefichieractif, *Label2, *Label3, *textedest;
    QPushButton *Command3;
    QLabel *Label4;
    std::array<QRadioButton *, 3> choixopt;
    QButtonGroup *groupeChoix;
    QPushButton *bout_OK, *Command2;

public slots:
    void reject() override;  // Escape and the close button: as "&Annuler"

private:
    void OptionTransfert_Click(int index);
    void Command3_Click();
    void Command2_Click();
    void bout_OK_Click();
    void transferer();
    void imprimer(bool complete);
    void decharger();

    SessionBanque &m_session;
    QPointer<QWidget> m_fenetre;
};

// The main window's "&Transfert de questions..." button: the dialog, loaded or shown again.
void Command1_Click(SessionBanque &session, QWidget *fenetre);
// The main window's "&Impression..." button: asks quick or detailed, then prints the bank.
void BoutPrint_Click(SessionBanque &session, QWidget *fenetre);
