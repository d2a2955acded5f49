#pragma once
#include "editor/entree_menu.h"

#include <QList>

class QWidget;
class SessionBanque;

// "Corriger des copies…" (CorrigerCopies): the exam's key, its scanned answer sheets and the
// class list chosen, the copies are read and marked; the teacher decides each doubtful answer
// on the picture of its boxes, then saves the results and the annotated copies.
QList<EntreeMenu> entreesCorrection(SessionBanque &session, QWidget *fenetre);
void ouvrirCorrection(SessionBanque &session, QWidget *fenetre);
