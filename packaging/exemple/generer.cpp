// Builds the sample bank: generer SOURCE.json FOLDER writes FOLDER/NAME.qzf, FOLDER/NAME.prm
// and the media folder FOLDER/NAME/ with the pictures and the sound its cards name.
#include "exemple.h"
#include "medias.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTextStream>

namespace {

bool ecrire(const QString &chemin, const QByteArray &octets, QTextStream &erreurs)
{
    QSaveFile f(chemin);
    if (f.open(QIODevice::WriteOnly) && f.write(octets) == octets.size() && f.commit())
        return true;
    erreurs << chemin << ": " << f.errorString() << '\n';
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // Pictures are drawn without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream erreurs(stderr);
    const QStringList a = app.arguments();
    if (a.size() != 3) {
        erreurs << "usage: generer SOURCE.json FOLDER\n";
        return 2;
    }

    QFile source(a[1]);
    if (!source.open(QIODevice::ReadOnly)) {
        erreurs << a[1] << ": " << source.errorString() << '\n';
        return 1;
    }
    exemple::Banque banque;
    if (Resultat r = exemple::lire(source.readAll(), exemple::mediasFabriques(), banque); !r) {
        erreurs << a[1] << ": " << r.erreur << '\n';
        return 1;
    }

    QDir dossier(a[2]);
    QDir medias(dossier.filePath(banque.nom));
    // The media folder is ours, in the build tree: what an earlier source named goes.
    if ((medias.exists() && !medias.removeRecursively()) || !dossier.mkpath(banque.nom)) {
        erreurs << medias.path() << ": cannot be made anew\n";
        return 1;
    }
    bool ok = ecrire(dossier.filePath(banque.nom + QStringLiteral(".qzf")), banque.fiches, erreurs)
              && ecrire(dossier.filePath(banque.nom + QStringLiteral(".prm")), banque.themes, erreurs);
    for (const QString &nom : banque.medias) {
        const QByteArray octets = exemple::fabriquer(nom);
        if (octets.isEmpty()) {
            erreurs << nom << ": could not be made\n";
            return 1;
        }
        ok = ok && ecrire(medias.filePath(nom), octets, erreurs);
    }
    return ok ? 0 : 1;
}
