#include "editor/formedit.h"
#include "platform/qtplatform.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orbelin"));
    QtPlateforme plateforme;
    FormEdit fenetre(plateforme);
    fenetre.charger();
    if (fenetre.termine())
        return 0;
    return QApplication::exec();
}
