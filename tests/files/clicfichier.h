#pragma once
#include "files/listesfichiers.h"

#include <QListView>
#include <QTest>

// Clicks a name of the file list as a user would; false when the name is not shown.
inline bool cliquerFichier(ListesFichiers &listes, const QString &nom)
{
    if (!listes.attendreChargement())
        return false;
    const QRect r = listes.rectangleFichier(nom);
    if (!r.isValid())
        return false;
    QTest::mouseClick(listes.vueFichiers()->viewport(), Qt::LeftButton, {}, r.center());
    return true;
}

inline bool doubleCliquerFichier(ListesFichiers &listes, const QString &nom)
{
    if (!cliquerFichier(listes, nom))
        return false;
    QTest::mouseDClick(listes.vueFichiers()->viewport(), Qt::LeftButton, {}, listes.rectangleFichier(nom).center());
    return true;
}
