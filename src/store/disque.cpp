#include "store/disque.h"
#include "store/fichequestion.h"
#include "store/nommedia.h"
#include "store/systemefichiers.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace disque {

namespace {

fichiers::Systeme &sf() { return fichiers::systeme(); }

// Journal: "QZJ1", kind, value (position or length), byte count, bytes, then a checksum of
// everything before it. Integers little-endian.
constexpr char Magique[4] = {'Q', 'Z', 'J', '1'};
constexpr quint32 TypeEnregistrement = 1, TypeLongueur = 2;
constexpr qint64 EnTete = 4 + 4 + 8 + 4;

quint64 empreinte(const char *p, qint64 n)
{
    quint64 h = 1469598103934665603ull;
    for (qint64 i = 0; i < n; ++i) {
        h ^= quint8(p[i]);
        h *= 1099511628211ull;
    }
    return h;
}

template <typename T> void poser(char *p, T v)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        p[i] = char(quint64(v) >> (8 * i));
}

template <typename T> T prendre(const char *p)
{
    quint64 v = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        v |= quint64(quint8(p[i])) << (8 * i);
    return T(v);
}

Resultat ecrireJournal(const QString &banque, quint32 type, qint64 valeur, const char *octets, qint64 n)
{
    std::vector<char> e(size_t(EnTete + n + 8));
    std::memcpy(e.data(), Magique, 4);
    poser<quint32>(e.data() + 4, type);
    poser<qint64>(e.data() + 8, valeur);
    poser<quint32>(e.data() + 16, quint32(n));
    if (n > 0)
        std::memcpy(e.data() + EnTete, octets, size_t(n));
    poser<quint64>(e.data() + EnTete + n, empreinte(e.data(), EnTete + n));

    const QString chemin = cheminJournal(banque);
    Fd fd(sf().ouvrir(local(chemin).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.get() < 0 || !ecrireTout(fd.get(), e.data(), qint64(e.size()), 0) || sf().vider(fd.get()) != 0
        || !viderDossierDe(chemin)) {
        const int err = errno;
        if (fd.get() >= 0)
            sf().supprimer(local(chemin).constData());
        return Resultat::echec(QStringLiteral("Impossible d'écrire le journal %1 : %2").arg(chemin, raison(err)));
    }
    return Resultat::succes();
}

} // namespace

QByteArray local(const QString &chemin) { return QFile::encodeName(chemin); }

QString raison(int err)
{
    switch (err) {
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé");
    case EROFS: return QStringLiteral("le disque est en lecture seule");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("le disque est plein");
    case EISDIR: return QStringLiteral("c'est un dossier");
    case ENOENT: return QStringLiteral("fichier ou dossier introuvable");
    case EIO: return QStringLiteral("erreur de lecture ou d'écriture sur le disque");
    case EEXIST: return QStringLiteral("un autre fichier ou dossier porte déjà ce nom");
    default: return QString::fromLocal8Bit(std::strerror(err));
    }
}

void Fd::reset(int fd)
{
    if (m_fd >= 0)
        sf().fermer(m_fd);
    m_fd = fd;
}

qint64 lireComplet(int fd, char *tampon, qint64 n, qint64 position)
{
    qint64 lus = 0;
    while (lus < n) {
        const ssize_t r = sf().lire(fd, tampon + lus, size_t(n - lus), off_t(position + lus));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return lus > 0 ? lus : -1;
        if (r == 0)
            break;
        lus += r;
    }
    return lus;
}

bool ecrireJusquauBout(qint64 total, const std::function<ssize_t(qint64 fait)> &essai)
{
    for (qint64 fait = 0; fait < total;) {
        const ssize_t r = essai(fait);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = ENOSPC;
            return false;
        }
        fait += r;
    }
    return true;
}

bool ecrireTout(int fd, const char *p, qint64 n, qint64 position)
{
    return ecrireJusquauBout(n, [&](qint64 fait) {
        return sf().ecrire(fd, p + fait, size_t(n - fait), off_t(position + fait));
    });
}

bool lireMedia(const QString &dossier, const QString &nom, QByteArray &octets)
{
    // A name that could lead out of the folder, and a link, lead to files the bank's owner
    // never put there: a quiz page or an export would carry them to others.
    if (!nomMediaAdmis(nom))
        return false;
    Fd fd(sf().ouvrir(local(dossier + u'/' + nom).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    struct stat st;
    if (fd.get() < 0 || sf().etat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    QByteArray o(qsizetype(st.st_size), Qt::Uninitialized);
    if (lireComplet(fd.get(), o.data(), o.size(), 0) != o.size())
        return false;
    octets = o;
    return true;
}

bool copierPlage(int source, qint64 depuis, int cible, qint64 n, qint64 vers)
{
    off_t off = off_t(depuis), offCible = off_t(vers);
    while (n > 0) {
        const ssize_t r = sf().copier(source, &off, cible, &offCible, size_t(n));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            break;
        if (r < 0)
            return false;
        if (r == 0) {
            errno = EIO;  // the source is shorter than it said
            return false;
        }
        n -= r;
    }
    std::vector<char> tampon(size_t(qMin<qint64>(n, 1 << 20)));
    while (n > 0) {
        const qint64 r = lireComplet(source, tampon.data(), qMin<qint64>(n, qint64(tampon.size())), off);
        if (r <= 0) {
            errno = r < 0 ? errno : EIO;
            return false;
        }
        if (!ecrireTout(cible, tampon.data(), r, offCible))
            return false;
        off += off_t(r);
        offCible += off_t(r);
        n -= r;
    }
    return true;
}

bool viderDossierDe(const QString &chemin)
{
    const QByteArray dossier = local(QFileInfo(chemin).absolutePath());
    Fd d(sf().ouvrir(dossier.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    return d.get() >= 0 && sf().viderDossier(d.get()) == 0;
}

QString cheminReel(const QString &chemin)
{
    QString c = chemin;
    for (int tour = 0; tour < 40; ++tour) {
        struct stat st {};
        if (sf().etatChemin(local(c).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return c;
        char cible[4096];
        const ssize_t n = sf().lireLien(local(c).constData(), cible, sizeof cible);
        if (n <= 0 || size_t(n) >= sizeof cible)
            return c;
        const QString lien = QFile::decodeName(QByteArray(cible, qsizetype(n)));
        c = lien.startsWith(u'/') ? lien : QFileInfo(c).absolutePath() + u'/' + lien;
    }
    return c;
}

QString voisin(const QString &banqueReelle, const QString &cheminTmp)
{
    return QFileInfo(banqueReelle).absolutePath() + u'/' + QFileInfo(cheminTmp).fileName();
}

Resultat verifierModifiable(const QString &chemin, struct stat *sortie)
{
    struct stat st {};
    if (sf().etatChemin(local(chemin).constData(), &st) != 0)
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(chemin, raison(errno)));
    if (!S_ISREG(st.st_mode))
        return Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un fichier de questions : il n'a pas été modifié.")
                                   .arg(chemin));
    if ((st.st_mode & S_IWUSR) == 0)
        return Resultat::echec(QStringLiteral("Le fichier %1 est en lecture seule : il n'a pas été modifié.").arg(chemin));
    if (sortie)
        *sortie = st;
    return Resultat::succes();
}

bool reprendreDroits(int fd, const struct stat &banque)
{
    if ((banque.st_uid != ::geteuid() || banque.st_gid != ::getegid())
        && sf().changerProprietaire(fd, banque.st_uid, banque.st_gid) != 0 && errno != EPERM)
        return false;
    return sf().changerMode(fd, banque.st_mode & 07777) == 0;
}

int creerNeuf(const QString &chemin)
{
    sf().supprimer(local(chemin).constData());
    return sf().ouvrir(local(chemin).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

QString cheminJournal(const QString &banqueReelle) { return banqueReelle + QStringLiteral(".jnl"); }

Resultat journaliserEnregistrement(const QString &banqueReelle, qint64 position, const char *octets, qint64 n)
{
    return ecrireJournal(banqueReelle, TypeEnregistrement, position, octets, n);
}

Resultat journaliserLongueur(const QString &banqueReelle, qint64 longueur)
{
    return ecrireJournal(banqueReelle, TypeLongueur, longueur, nullptr, 0);
}

bool oublierJournal(const QString &banqueReelle)
{
    return sf().supprimer(local(cheminJournal(banqueReelle)).constData()) == 0 || errno == ENOENT;
}

} // namespace disque

using namespace disque;

Resultat reprendreBanque(const QString &chemin)
{
    fichiers::Systeme &s = fichiers::systeme();
    const QString banque = cheminReel(chemin);

    // A rewrite killed before its rename leaves its whole-bank temporary file.
    for (const QString &reste : {banque + QStringLiteral(".nouveau"), banque + QStringLiteral(".import")}) {
        struct stat st {};
        if (s.etatChemin(local(reste).constData(), &st) == 0 && S_ISREG(st.st_mode))
            s.supprimer(local(reste).constData());
    }

    const QString journal = cheminJournal(banque);
    struct stat sj {};
    if (s.etatChemin(local(journal).constData(), &sj) != 0 || !S_ISREG(sj.st_mode))
        return Resultat::succes();
    std::vector<char> e(size_t(qMin<qint64>(sj.st_size, EnTete + FicheQuestion::Taille + 8)));
    qint64 lus = -1;
    {
        Fd fd(s.ouvrir(local(journal).constData(), O_RDONLY | O_CLOEXEC, 0));
        if (fd.get() >= 0)
            lus = lireComplet(fd.get(), e.data(), qint64(e.size()), 0);
    }
    const qint64 n = lus >= EnTete ? qint64(prendre<quint32>(e.data() + 16)) : -1;
    const bool entier = lus == sj.st_size && n >= 0 && n <= FicheQuestion::Taille && lus == EnTete + n + 8
                        && std::memcmp(e.data(), Magique, 4) == 0
                        && prendre<quint64>(e.data() + EnTete + n) == empreinte(e.data(), EnTete + n);
    if (entier) {
        const quint32 type = prendre<quint32>(e.data() + 4);
        const qint64 valeur = prendre<qint64>(e.data() + 8);
        Fd fd(s.ouvrir(local(banque).constData(), O_RDWR | O_CLOEXEC, 0));
        struct stat sb {};
        bool ok = fd.get() >= 0 && s.etat(fd.get(), &sb) == 0 && valeur >= 0;
        if (ok && type == TypeEnregistrement)
            ok = ecrireTout(fd.get(), e.data() + EnTete, n, valeur);
        else if (ok && type == TypeLongueur && sb.st_size > valeur)
            ok = s.tronquer(fd.get(), off_t(valeur)) == 0;
        if (ok)
            ok = s.vider(fd.get()) == 0;
        if (!ok)
            return Resultat::echec(QStringLiteral("Impossible de terminer l'enregistrement interrompu du fichier %1 : %2")
                                       .arg(banque, raison(errno)));
    }
    // Played again or torn, the journal has done its work.
    s.supprimer(local(journal).constData());
    viderDossierDe(journal);
    return Resultat::succes();
}
