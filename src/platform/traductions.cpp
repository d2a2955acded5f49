#include "platform/traductions.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator *installerTraductionsQt(QCoreApplication &application, const QLocale &langue)
{
    auto *traducteur = new QTranslator(&application);
    if (traducteur->load(langue, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(traducteur))
        return traducteur;
    delete traducteur;
    return nullptr;
}
