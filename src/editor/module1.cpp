#include "editor/module1.h"

namespace chemins {

QString banque(const QString &dossierProgramme, const QString &nomFichier)
{
    return dossierProgramme + u'/' + texte::sansEspaces(nomFichier);
}

// The theme file lies beside the bank, whatever the working folder: a bank and its
// themes always travel together.
QString themes(const QString &dossierProgramme, const QString &nomFichier)
{
    return dossierProgramme + u'/' + nomFichierThemes(nomFichier);
}

QString dossierMedia(const QString &dossierProgramme, const QString &nomFichier)
{
    return dossierProgramme + u'/' + nomFichier.left(qMax<qsizetype>(0, nomFichier.size() - 4));
}

QString media(const QString &dossierProgramme, const QString &nomFichier, const QString &nomMedia)
{
    return dossierMedia(dossierProgramme, nomFichier) + u'/' + texte::sansEspaces(jusquAuZero(nomMedia));
}

} // namespace chemins

QString surDouze(const QString &texte)
{
    return texte.left(12).leftJustified(12, u' ');
}

QString jusquAuZero(const QString &texte)
{
    const qsizetype zero = texte.indexOf(QChar(0));
    return zero < 0 ? texte : texte.left(zero);
}
