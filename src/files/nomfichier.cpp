#include "files/nomfichier.h"
#include "store/fichierquestions.h"

#include <QFile>
#include <QFileInfo>

namespace nomfichier {

bool admissible(const QString &nom)
{
    static const QString interdits = QStringLiteral("/\\<>:\"|?*");
    for (const QChar c : nom)
        if (c.unicode() < 32 || c.unicode() == 127 || interdits.contains(c))
            return false;
    const QString t = nom.trimmed();
    if (t.contains(QStringLiteral("..")))
        return false;
    return t.isEmpty() || t.count(u'.') != t.size();
}

Refus examinerNouveauNom(const QString &saisie, const QStringList &listes, QString *base)
{
    const QString t = saisie.trimmed();
    if (base)
        *base = t;
    if (t.isEmpty())
        return Refus::Vide;
    if (t.size() > LongueurMax)
        return Refus::TropLong;
    if (!admissible(t))
        return Refus::Invalide;
    if (listes.contains(t + QString::fromUtf16(Extension), Qt::CaseSensitive))
        return Refus::Existe;
    return Refus::Aucun;
}

namespace {

// A missing file is created where it should lie: its folder must take a new file.
Resultat creable(const QFileInfo &fichier)
{
    const QFileInfo dossier(fichier.absolutePath());
    if (dossier.isDir() && dossier.isWritable())
        return Resultat::succes();
    return Resultat::echec(QStringLiteral("Impossible de créer le fichier %1").arg(fichier.filePath()));
}

} // namespace

Resultat chargeable(const QString &cheminBanque, const QString &cheminThemes)
{
    const QFileInfo banque(cheminBanque);
    if (!banque.exists()) {
        if (Resultat r = creable(banque); !r)
            return r;
    } else if (!banque.isFile()) {
        return Resultat::echec(QStringLiteral("%1 n'est pas un fichier").arg(cheminBanque));
    } else {
        FichierQuestions f;
        if (Resultat r = f.ouvrir(cheminBanque); !r)
            return r;
    }

    const QFileInfo themes(cheminThemes);
    if (!themes.exists())
        return creable(themes);
    QFile f(cheminThemes);
    if (!themes.isFile() || !f.open(QIODevice::ReadOnly))
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier des thèmes %1").arg(cheminThemes));
    return Resultat::succes();
}

} // namespace nomfichier
