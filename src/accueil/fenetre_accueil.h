#pragma once
#include "editor/entree_menu.h"

#include <QDialog>
#include <QList>

#include <functional>

class QPushButton;
class SessionBanque;

// The welcome of a teacher's first start: how to begin, in three lines, and three ways on.
class FormAccueil : public QDialog {
    Q_OBJECT
public:
    enum class Choix { Fermer, Exemple, Commencer };

    // `exemple`: whether the sample bank is there to open.
    FormAccueil(bool exemple, QWidget *parent = nullptr);
    Choix choix() const { return m_choix; }

    // Shown until one of its buttons answers; Escape and the title bar close it.
    static Choix demander(bool exemple, QWidget *parent = nullptr);

    QPushButton *boutExemple, *boutCommencer, *boutFermer;

private:
    Choix m_choix = Choix::Fermer;
};

// The "Bienvenue…" entry of the exchanges menu: the welcome shown again. Opening the sample
// bank stores the card on screen first, as opening any bank does; `commencer` starts the
// teacher's own bank (the theme editor of the main window).
QList<EntreeMenu> entreesAccueil(SessionBanque &session, QWidget *fenetre, std::function<void()> commencer);
