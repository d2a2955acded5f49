#pragma once
#include "editor/entree_menu.h"

#include <QList>

class QWidget;
class SessionBanque;

// The two exchange entries of the main window's "Échanges" menu, in their order.
QList<EntreeMenu> entreesEchanges(SessionBanque &session, QWidget *fenetre);

// The menu's two entries: the card on screen is stored first.
void exporterBanque(SessionBanque &session);
void importerDansBanque(SessionBanque &session);
