#include "tidy/ecriture.h"

#include "store/disque.h"
#include "store/systemefichiers.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ecriture {

bool assurerDossier(const QString &dossier)
{
    struct stat st {};
    if (fichiers::systeme().etatChemin(disque::local(dossier).constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode) && ::stat(disque::local(dossier).constData(), &st) != 0)
            return false;
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    if (::mkdir(disque::local(dossier).constData(), 0755) != 0)
        return false;
    return disque::viderDossierDe(dossier);
}

bool remplacerPar(const QString &cible, const QString &cheminTmp, const QByteArray &octets)
{
    fichiers::Systeme &s = fichiers::systeme();
    disque::Fd tmp(disque::creerNeuf(cheminTmp));
    const bool ok = tmp.get() >= 0 && s.changerMode(tmp.get(), 0644) == 0
                    && disque::ecrireTout(tmp.get(), octets.constData(), octets.size(), 0) && s.vider(tmp.get()) == 0
                    && s.renommer(disque::local(cheminTmp).constData(), disque::local(cible).constData()) == 0;
    if (!ok) {
        const int err = errno;
        if (tmp.get() >= 0)
            s.supprimer(disque::local(cheminTmp).constData());
        errno = err;
        return false;
    }
    return disque::viderDossierDe(cible);
}

} // namespace ecriture
