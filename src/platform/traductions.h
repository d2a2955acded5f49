#pragma once
#include <QLocale>

class QCoreApplication;
class QTranslator;

// Qt's own texts (the buttons of message boxes, the file chooser, the context menus of the
// text boxes) in the user's language: Qt's translations installed with Qt for that locale.
// Returns the translator, owned by the application, or nullptr when there is none for it.
QTranslator *installerTraductionsQt(QCoreApplication &application, const QLocale &langue = QLocale());
