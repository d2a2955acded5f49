#include "media/regles_media.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace media {

bool nomTropLong(const QString &nom) { return texte::sansEspaces(nom).size() > LongueurNomMax; }

bool apercuPossible(const QString &nom)
{
    const QString n = texte::sansEspaces(nom);
    return n.endsWith(QLatin1String("jpg")) || n.endsWith(QLatin1String("bmp"));
}

int codeSon(const QString &nom, int codeActuel)
{
    const QString fin = texte::sansEspaces(nom).right(3).toUpper();
    if (fin == u"MID")
        return Mid;
    if (fin == u"WAV")
        return Wav;
    if (fin == u"MP3")
        return Mp3;
    return codeActuel;
}

GenreSon genreSon(const QString &chemin)
{
    const QString extension = QFileInfo(chemin).suffix().toLower();
    if (extension == u"wav")
        return GenreSon::Onde;
    if (extension == u"mp3" || extension == u"mid" || extension == u"midi")
        return GenreSon::Autre;
    return GenreSon::Inconnu;
}

bool memeDossier(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

namespace {

bool memesOctets(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    constexpr qint64 bloc = 1 << 16;
    while (!fa.atEnd()) {
        const QByteArray x = fa.read(bloc), y = fb.read(bloc);
        if (x.isEmpty() || x != y)
            return false;
    }
    return true;
}

} // namespace

Copie copierDansDossier(const QString &source, const QString &dossier)
{
    const QString nom = QFileInfo(source).fileName();
    const QString vuDossier = QDir::toNativeSeparators(dossier);
    if (!QDir().mkpath(dossier))
        return {Copie::Etat::Echec, QStringLiteral("Le dossier %1 ne peut pas être créé.").arg(vuDossier)};
    const QString cible = QDir(dossier).filePath(nom);
    const QFileInfo existant(cible);
    if (existant.exists() || existant.isSymLink()) {
        if (existant.isFile() && memesOctets(source, cible))
            return {Copie::Etat::DejaLa, {}};
        return {Copie::Etat::AutreFichier,
                QStringLiteral("Le dossier %1 contient déjà un autre fichier nommé %2 : il n'est pas remplacé. "
                               "Renommez l'un des deux fichiers.")
                    .arg(vuDossier, nom)};
    }
    if (!QFile::copy(source, cible))
        return {Copie::Etat::Echec,
                QStringLiteral("Le fichier %1 n'a pas pu être copié dans le dossier %2.").arg(nom, vuDossier)};
    return {Copie::Etat::Copiee, {}};
}

} // namespace media
