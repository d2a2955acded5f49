#pragma once
#include <QString>

#include <functional>

// An entry a subsystem hands over for a menu of the main window, which assembles the menu.
struct EntreeMenu {
    QString nom;    // objectName of the action
    QString texte;
    std::function<void()> faire;
};
