#pragma once
#include "editor/formedit.h"

#include <QString>

// The main window's controls, found as a user's script would: by their names.
template <class W = QWidget> W *controle(QWidget &fenetre, const QString &nom)
{
    return nom == fenetre.objectName() ? qobject_cast<W *>(&fenetre) : fenetre.findChild<W *>(nom);
}
template <class W = QWidget> W *controle(QWidget *fenetre, const QString &nom) { return controle<W>(*fenetre, nom); }

// A window loaded over the session, or null.
template <class W = QWidget> W *dialogueCharge(FormEdit &f, const QString &nom) { return f.session().dialogue<W>(nom); }
