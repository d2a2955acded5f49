#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct zip;

namespace echanges {

// A zip package read from memory. Opening checks every entry's name: a path that leaves
// the package ("../", an absolute path) refuses the whole package.
class ArchiveLue {
public:
    ArchiveLue() = default;
    ~ArchiveLue();
    ArchiveLue(const ArchiveLue &) = delete;
    ArchiveLue &operator=(const ArchiveLue &) = delete;

    bool ouvrir(const QByteArray &octets, const QString &nomFichier, Resultat &resultat);
    const QStringList &noms() const { return m_noms; }  // entries, folders excluded
    bool contient(const QString &nom) const { return m_index.contains(nom); }
    bool lire(const QString &nom, QByteArray &octets, Resultat &resultat) const;

    static constexpr qint64 TailleMax = 64 << 20;  // per entry

private:
    QByteArray m_octets;  // libzip reads from it in place
    zip *m_zip = nullptr;
    QStringList m_noms;
    QHash<QString, qint64> m_index;  // a name's entry: packages may hold many thousands
    QString m_nomFichier;
};

// A zip package built in memory.
class ArchiveEcrite {
public:
    void ajouter(const QString &nom, const QByteArray &octets, bool compresser);
    bool terminer(QByteArray &sortie, QString &erreur);  // the whole package

private:
    QList<QPair<QString, QByteArray>> m_entrees;
    QList<bool> m_compresser;
};

// A name inside a package: "/" separators, "." and ".." resolved. Empty when it leaves
// the package.
QString cheminDansPaquet(const QString &chemin);

} // namespace echanges
