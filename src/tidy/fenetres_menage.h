#pragma once
#include "editor/entree_menu.h"

#include <QList>

class QWidget;
class SessionBanque;

// The tidy-up windows, opened from the main window's exchanges menu:
// "Corbeille…" (FormCorbeille): the deleted cards, previewed, restored or dropped for good;
// "Doublons…" (FormDoublons): cards typed twice, side by side, to visit or to mark;
// "Changer le thème des cartes marquées…" (FormChoixTheme): the marked cards to another theme.
// Each window has no parent widget and is kept by the session; `fenetre` is the main window,
// disabled while a window that blocks it is open.

// The three entries of the exchanges menu, in their order.
QList<EntreeMenu> entreesMenage(SessionBanque &session, QWidget *fenetre);

void ouvrirCorbeille(SessionBanque &session, QWidget *fenetre);
void ouvrirDoublons(SessionBanque &session, QWidget *fenetre);
void changerThemeMarquees(SessionBanque &session, QWidget *fenetre);
// From the search window: the cards whose question contains the text, as the text search finds them.
void changerThemeTexte(SessionBanque &session, QWidget *fenetre, const QString &texte);
