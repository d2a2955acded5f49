#include "cli/qzf.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream sortie(stdout);
    QTextStream erreurs(stderr);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    const int statut = qzf::executer(arguments, sortie, erreurs);
    sortie.flush();
    erreurs.flush();
    return statut;
}
