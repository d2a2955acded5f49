#include "store/tablethemes.h"
#include "store/fichequestion.h"

#include "store/disque.h"
#include "store/systemefichiers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    fichiers::Systeme &sf = fichiers::systeme();
    const QString reel = disque::cheminReel(chemin);
    // A save killed before its rename leaves its new file: the old table is the one kept.
    struct stat st {};
    const QString nouveau = reel + QStringLiteral(".nouveau");
    if (sf.etatChemin(disque::local(nouveau).constData(), &st) == 0 && S_ISREG(st.st_mode))
        sf.supprimer(disque::local(nouveau).constData());

    table = TableThemes{};
    disque::Fd fd(sf.ouvrir(disque::local(chemin).constData(), O_RDONLY | O_CLOEXEC, 0));
    if (fd.get() < 0 && errno == ENOENT) {
        if (!creer)
            return Resultat::succes();
        disque::Fd cree(sf.ouvrir(disque::local(chemin).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        if (cree.get() < 0)
            return Resultat::echec(QStringLiteral("Impossible de créer le fichier des thèmes %1 : %2")
                                       .arg(chemin, disque::raison(errno)));
        return Resultat::succes();
    }
    if (fd.get() < 0 || sf.etat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = fd.get() >= 0 && S_ISDIR(st.st_mode) ? EISDIR : errno;
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier des thèmes %1 : %2")
                                   .arg(chemin, disque::raison(err)));
    }
    char octets[TableThemes::Taille];
    const qint64 lus = disque::lireComplet(fd.get(), octets, TableThemes::Taille, 0);
    if (lus < 0)
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier des thèmes %1 : %2")
                                   .arg(chemin, disque::raison(errno)));
    table = TableThemes::depuisOctets(octets, qsizetype(lus));
    return Resultat::succes();
}

Resultat ecrireThemes(const QString &chemin, const TableThemes &table)
{
    fichiers::Systeme &sf = fichiers::systeme();
    const QString reel = disque::cheminReel(chemin);
    auto echec = [&](int err) {
        return Resultat::echec(QStringLiteral("Impossible d'enregistrer le fichier des thèmes %1 : %2")
                                   .arg(chemin, disque::raison(err)));
    };
    // What lies beyond record 1 is kept: a file that exists but cannot be read is not replaced.
    QByteArray contenu;
    struct stat st {};
    st.st_mode = S_IFREG | 0644;
    st.st_uid = ::geteuid();
    st.st_gid = ::getegid();
    if (sf.etatChemin(disque::local(reel).constData(), &st) == 0) {
        if (Resultat r = disque::verifierModifiable(reel, &st); !r)
            return r;
        disque::Fd ancien(sf.ouvrir(disque::local(reel).constData(), O_RDONLY | O_CLOEXEC, 0));
        contenu.resize(qsizetype(st.st_size));
        if (ancien.get() < 0 || disque::lireComplet(ancien.get(), contenu.data(), contenu.size(), 0) != contenu.size())
            return Resultat::echec(QStringLiteral("Impossible de lire le fichier des thèmes %1 : %2")
                                       .arg(chemin, disque::raison(errno ? errno : EIO)));
    } else if (errno != ENOENT) {
        return echec(errno);
    }
    if (contenu.size() < TableThemes::Taille)
        contenu.append(QByteArray(TableThemes::Taille - contenu.size(), '\0'));
    table.versOctets(contenu.data());

    const QString nouveau = reel + QStringLiteral(".nouveau");
    disque::Fd fd(disque::creerNeuf(nouveau));
    bool ok = fd.get() >= 0 && disque::reprendreDroits(fd.get(), st)
              && disque::ecrireTout(fd.get(), contenu.constData(), contenu.size(), 0) && sf.vider(fd.get()) == 0
              && sf.renommer(disque::local(nouveau).constData(), disque::local(reel).constData()) == 0;
    if (!ok) {
        const int err = errno;
        if (fd.get() >= 0)
            sf.supprimer(disque::local(nouveau).constData());
        return echec(err);
    }
    if (!disque::viderDossierDe(reel))
        return Resultat::echec(QStringLiteral("Le dossier du fichier des thèmes %1 n'a pas pu être enregistré sur le "
                                              "disque : %2")
                                   .arg(chemin, disque::raison(errno)));
    return Resultat::succes();
}
