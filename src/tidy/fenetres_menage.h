#pragma once

class FormEdit;
class QString;

// The tidy-up windows of the main window, opened from its exchanges menu:
// "Corbeille…" (FormCorbeille): the deleted cards, previewed, restored or dropped for good;
// "Doublons…" (FormDoublons): cards typed twice, side by side, to visit or to mark;
// "Changer le thème des cartes marquées…" (FormChoixTheme): the marked cards to another theme.
// Each window has no parent widget and is kept by the main window (FormEdit::garderDialogue).

// Adds the three entries, after a separator, to the menu "menuEchanges".
void installerMenage(FormEdit &fenetre);

void ouvrirCorbeille(FormEdit &fenetre);
void ouvrirDoublons(FormEdit &fenetre);
void changerThemeMarquees(FormEdit &fenetre);
// From the search window: the cards whose question contains the text, as the text search finds them.
void changerThemeTexte(FormEdit &fenetre, const QString &texte);
