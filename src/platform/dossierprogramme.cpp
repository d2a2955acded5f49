#include "platform/dossierprogramme.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace dossiers {
namespace {

// Installed files and the build tree's sample both sit one level above the program's folder.
const QString kPartageInstalle = QStringLiteral("/../share/orbelin");
const QString kExempleInstalle = QStringLiteral("/../share/orbelin/exemple");
const QString kExempleConstruction = QStringLiteral("/../exemple");

QString montre(const QString &chemin) { return QDir::toNativeSeparators(chemin); }

} // namespace

QString dossierDonnees() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

bool estInstalle(const QString &dossierExecutable)
{
    return QFileInfo(QDir::cleanPath(dossierExecutable + kPartageInstalle)).isDir();
}

QString dossierDesBanques(const QString &dossierExecutable, const QString &dossierDonnees)
{
    const QFileInfo info(dossierExecutable);
    if (!estInstalle(dossierExecutable) && info.isDir() && info.isWritable())
        return dossierExecutable;
    return dossierDonnees;
}

QString sourceExemple(const QString &dossierExecutable)
{
    for (const QString &suite : {kExempleInstalle, kExempleConstruction}) {
        const QString dossier = QDir::cleanPath(dossierExecutable + suite);
        if (QFileInfo(dossier + QStringLiteral("/DEMO.qzf")).isFile())
            return dossier;
    }
    return {};
}

Resultat preparer(const QString &dossier, const QString &sourceExemple)
{
    const QDir cible(dossier);
    if (!cible.mkpath(QStringLiteral(".")))
        return Resultat::echec(QStringLiteral("Le dossier des banques « ") + montre(dossier)
                               + QStringLiteral(" » n'a pas pu être créé."));
    if (sourceExemple.isEmpty() || QFileInfo::exists(cible.filePath(QStringLiteral("BASE.QZF"))))
        return Resultat::succes();

    const QDir source(sourceExemple);
    QDirIterator it(sourceExemple, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString depuis = it.next();
        const QString vers = cible.filePath(source.relativeFilePath(depuis));
        if (QFileInfo(vers).exists() || QFileInfo(vers).isSymLink())
            continue;
        QFile f(depuis);
        if (!cible.mkpath(QFileInfo(vers).path()) || !f.copy(vers))
            return Resultat::echec(QStringLiteral("La banque d'exemple n'a pas pu être copiée dans « ") + montre(dossier)
                                   + QStringLiteral(" » : ") + f.errorString());
        // Installed files may be read-only; the user's copy is the user's to edit.
        QFile::setPermissions(vers, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                                        | QFile::ReadGroup | QFile::ReadOther);
    }
    return Resultat::succes();
}

BanqueDemandee banqueDemandee(const QString &argument)
{
    // A file manager may hand over a file: URL instead of a path.
    const QString chemin = argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
    const QFileInfo info(chemin);
    const QString nom = info.fileName();

    BanqueDemandee b;
    auto refus = [&](const QString &raison) {
        b.resultat = Resultat::echec(QStringLiteral("La banque « ") + montre(chemin)
                                     + QStringLiteral(" » ne peut pas être ouverte : ") + raison
                                     + QStringLiteral("\nL'éditeur s'ouvre sur BASE.QZF."));
        return b;
    };
    if (chemin.isEmpty() || !info.exists())
        return refus(QStringLiteral("ce fichier n'existe pas."));
    if (!info.isFile())
        return refus(QStringLiteral("ce n'est pas un fichier."));
    // The theme file's name is the bank's with ".prm" in place of its last four characters.
    if (nom.size() <= 4 || !nom.endsWith(QLatin1String(".qzf"), Qt::CaseInsensitive))
        return refus(QStringLiteral("ce n'est pas une banque de questions (fichier .qzf)."));
    // Bank paths are built from the name with its end spaces removed: another file would open.
    if (nom.startsWith(u' '))
        return refus(QStringLiteral("son nom commence par une espace."));
    if (!info.isReadable())
        return refus(QStringLiteral("ce fichier ne peut pas être lu."));
    if (!info.isWritable())
        return refus(QStringLiteral("ce fichier ne peut pas être modifié."));
    // Its theme file and the copy the sort leaves at quit are written beside it.
    if (!QFileInfo(info.absolutePath()).isWritable())
        return refus(QStringLiteral("son dossier ne peut pas être modifié."));
    b.dossier = info.absolutePath();
    b.nom = nom;
    return b;
}

BanqueDemandee banqueExemple(const QString &dossier)
{
    BanqueDemandee b;
    if (!QFileInfo(QDir(dossier).filePath(QStringLiteral("DEMO.qzf"))).isFile()) {
        b.resultat = Resultat::echec(QStringLiteral("La banque d'exemple « DEMO.qzf » n'est pas dans « ") + montre(dossier)
                                     + QStringLiteral(" ».\nL'éditeur s'ouvre sur BASE.QZF."));
        return b;
    }
    b.dossier = dossier;
    b.nom = QStringLiteral("DEMO.qzf");
    return b;
}

} // namespace dossiers
