#pragma once
#include "editor/entree_menu.h"

#include <QList>

class QWidget;
class SessionBanque;

// "Analyse des résultats…" (AnalyseResultats): asks for an exam's key and its results, or a
// quiz page and the answers its students saved, then shows which questions worked: the table
// of the questions, the marks, the answers chosen for the question selected. Each analysis is
// kept in the bank's media folder, so that the next one shows each card's previous figures.
QList<EntreeMenu> entreesAnalyse(SessionBanque &session, QWidget *fenetre);
void ouvrirAnalyse(SessionBanque &session, QWidget *fenetre);
