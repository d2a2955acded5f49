#pragma once

class FormEdit;
class QMenu;

// The main window's "Échanges" button and its menu (objectName "menuEchanges"), to which
// other features add their own actions. Called once while the window is built.
void installerEchanges(FormEdit &fenetre);
QMenu *menuEchanges(FormEdit &fenetre);

// The menu's two entries.
void exporterBanque(FormEdit &fenetre);
void importerDansBanque(FormEdit &fenetre);
