#pragma once
#include <QDialog>
#include <QPointer>
#include <array>

class SessionBanque;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The search window: moves the main window to a card found by number, text, mark or media.
// It has no parent widget, so that the main window can be disabled between searches while
// this window stays usable; the session keeps it while it is loaded.
class FormRech : public QDialog {
    Q_OBJECT
public:
    FormRech(SessionBanque &session, QWidget *fenetre);

    // Places the window over the main window's theme panel, beside the card.
    void placer();

    // Shown without blocking, on top, the cursor in the field of the chosen option.
    void ouvrir();

    // Escape and the title bar's close do what "&Fin de recherche" does.
    void reject() override;

    // Controls, named as their objectName.
    std::array<QRadioButton *, 4> optrech;
    std::array<QLabel *, 2> etiqrech;
    std::array<QLineEdit *, 2> textrech;
    // The text search sets accents, cedillas and ligatures aside; remembered between runs.
    QCheckBox *sansAccents;
    QPushButton *boutOK;
    QPushButton *BOUTCANCEL;

protected:
    bool eventFilter(QObject *objet, QEvent *event) override;

private:
    void boutOK_Click();
    void BOUTCANCEL_Click();
    void montrerDessus();

    SessionBanque &m_session;
    QPointer<QWidget> m_fenetre;
    QButtonGroup *m_groupe;
};

// The main window's "&Rechercher..." button: stores the card on screen (without the good-answer
// check) and shows the search window.
void BoutFind_Click(SessionBanque &session, QWidget *fenetre);
