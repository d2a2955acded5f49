#include "store/tablethemes.h"
#include "store/fichequestion.h"

#include <QFile>
#include <QSaveFile>
#include <cstring>

QString TableThemes::nom(int slot) const
{
    if (slot < 0 || slot >= NbSlots)
        return {};
    return texte::brut(NomTheme[slot], Largeur);
}

void TableThemes::fixerNom(int slot, const QString &nom)
{
    if (slot >= 0 && slot < NbSlots)
        texte::stocker(NomTheme[slot], Largeur, nom);
}

bool TableThemes::estBlanc(int slot) const
{
    return texte::sansEspaces(nom(slot)).isEmpty();
}

TableThemes TableThemes::depuisOctets(const char *octets, qsizetype n)
{
    char b[Taille] = {};
    if (n > 0)
        std::memcpy(b, octets, size_t(qMin<qsizetype>(n, Taille)));
    TableThemes t;
    std::memcpy(t.NomTheme, b, sizeof t.NomTheme);
    std::memcpy(t.Reserve, b + sizeof t.NomTheme, sizeof t.Reserve);
    return t;
}

void TableThemes::versOctets(char *sortie) const
{
    std::memcpy(sortie, NomTheme, sizeof NomTheme);
    std::memcpy(sortie + sizeof NomTheme, Reserve, sizeof Reserve);
}

QString nomFichierThemes(const QString &nomFichier)
{
    const qsizetype n = texte::sansEspaces(nomFichier).size();
    return nomFichier.left(qMax<qsizetype>(0, n - 4)) + QStringLiteral(".prm");
}

Resultat lireThemes(const QString &chemin, TableThemes &table, bool creer)
{
    QFile f(chemin);
    if (!f.exists()) {
        table = TableThemes{};
        if (!creer)
            return Resultat::succes();
        if (!f.open(QIODevice::WriteOnly))
            return Resultat::echec(QStringLiteral("Impossible de créer le fichier des thèmes %1 : %2")
                                       .arg(chemin, f.errorString()));
        return Resultat::succes();
    }
    if (!f.open(QIODevice::ReadOnly))
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier des thèmes %1 : %2")
                                   .arg(chemin, f.errorString()));
    const QByteArray octets = f.read(TableThemes::Taille);
    table = TableThemes::depuisOctets(octets.constData(), octets.size());
    return Resultat::succes();
}

Resultat ecrireThemes(const QString &chemin, const TableThemes &table)
{
    QByteArray contenu;
    {
        // What lies beyond record 1 is kept: a file that exists but cannot be read is not replaced.
        QFile ancien(chemin);
        if (ancien.exists()) {
            if (!ancien.open(QIODevice::ReadOnly))
                return Resultat::echec(QStringLiteral("Impossible de lire le fichier des thèmes %1 : %2")
                                           .arg(chemin, ancien.errorString()));
            contenu = ancien.readAll();
        }
    }
    if (contenu.size() < TableThemes::Taille)
        contenu.append(QByteArray(TableThemes::Taille - contenu.size(), '\0'));
    table.versOctets(contenu.data());

    QSaveFile f(chemin);
    if (!f.open(QIODevice::WriteOnly) || f.write(contenu) != contenu.size() || !f.commit())
        return Resultat::echec(QStringLiteral("Impossible d'enregistrer le fichier des thèmes %1 : %2")
                                   .arg(chemin, f.errorString()));
    return Resultat::succes();
}
