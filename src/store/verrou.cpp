#include "store/verrou.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

// The lock calls the system directly, not through the store's file layer: the tests that
// make the n-th file operation fail count the bank's own operations only.
namespace verrou {
namespace {

QByteArray local(const QString &chemin) { return QFile::encodeName(chemin); }

QString utilisateur()
{
    static const QString nom = [] {
        long taille = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        QByteArray tampon(taille > 0 ? taille : 16384, '\0');
        passwd pw{}, *trouve = nullptr;
        if (::getpwuid_r(::getuid(), &pw, tampon.data(), size_t(tampon.size()), &trouve) == 0 && trouve)
            return QString::fromLocal8Bit(pw.pw_name);
        for (const char *variable : {"USER", "LOGNAME"})
            if (const QString v = qEnvironmentVariable(variable); !v.isEmpty())
                return v;
        return QString::number(::getuid());
    }();
    return nom;
}

QString machine()
{
    static const QString nom = QSysInfo::machineHostName();
    return nom;
}

QByteArray contenu(const Detenteur &d)
{
    return "utilisateur=" + d.utilisateur.toUtf8() + "\nmachine=" + d.machine.toUtf8()
        + "\ndepuis=" + d.depuis.toUTC().toString(Qt::ISODate).toUtf8() + "\npid=" + QByteArray::number(d.pid) + '\n';
}

Detenteur lire(int fd)
{
    char tampon[1024];
    ssize_t n;
    do
        n = ::pread(fd, tampon, sizeof tampon, 0);
    while (n < 0 && errno == EINTR);
    Detenteur d;
    if (n <= 0)
        return d;
    for (const QByteArray &ligne : QByteArray(tampon, n).split('\n')) {
        const qsizetype egal = ligne.indexOf('=');
        if (egal < 0)
            continue;
        const QByteArray cle = ligne.left(egal);
        const QString valeur = QString::fromUtf8(ligne.mid(egal + 1));
        if (cle == "utilisateur")
            d.utilisateur = valeur;
        else if (cle == "machine")
            d.machine = valeur;
        else if (cle == "depuis")
            d.depuis = QDateTime::fromString(valeur, Qt::ISODate);
        else if (cle == "pid")
            d.pid = valeur.toLongLong();
    }
    return d;
}

bool vivant(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// On a network file system what we write stays in this machine's cache until it is
// flushed; the other machines read the file from the server.
bool surLeReseau(int fd)
{
    struct statfs s {};
    if (::fstatfs(fd, &s) != 0)
        return false;
    switch (static_cast<unsigned long>(s.f_type)) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x65735546UL:  // FUSE (sshfs and the like)
    case 0x00C36400UL:  // Ceph
    case 0x5346414FUL:  // AFS
        return true;
    default:
        return false;
    }
}

// Written over the old text, then cut to length: a file cut to zero and written again is
// flushed to the disk by ext4 when it is closed, which costs milliseconds.
bool ecrire(int fd, const QByteArray &octets)
{
    qsizetype fait = 0;
    while (fait < octets.size()) {
        const ssize_t n = ::pwrite(fd, octets.constData() + fait, size_t(octets.size() - fait), off_t(fait));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        fait += n;
    }
    if (::ftruncate(fd, off_t(octets.size())) != 0)
        return false;
    return !surLeReseau(fd) || ::fdatasync(fd) == 0;
}

bool memeFichier(int fd, const QByteArray &nom)
{
    struct stat a {}, b {};
    return ::fstat(fd, &a) == 0 && ::stat(nom.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

enum class Lu { Tenu, Laisse, Illisible };

// Another user's lock file, which this user may read but not write: held while a process
// holds its kernel lock, or names another machine or a process of this one that still runs.
Lu lireSansDroit(const QByteArray &nom, Detenteur *detenteur)
{
    const int fd = ::open(nom.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Lu::Illisible;
    *detenteur = lire(fd);
    struct flock zone {};
    zone.l_type = F_WRLCK;
    zone.l_whence = SEEK_SET;
    const bool noyau = ::fcntl(fd, F_OFD_GETLK, &zone) == 0;
    ::close(fd);
    if (noyau && zone.l_type != F_UNLCK)
        return Lu::Tenu;
    const bool autreMachine = !detenteur->machine.isEmpty() && detenteur->machine != machine();
    return autreMachine || (!noyau && vivant(detenteur->pid)) ? Lu::Tenu : Lu::Laisse;
}

} // namespace

QString cheminVerrou(const QString &cheminBanque)
{
    QString c = cheminBanque;
    for (int tour = 0; tour < 40; ++tour) {
        const QFileInfo info(c);
        if (!info.isSymLink())
            break;
        c = info.symLinkTarget();
    }
    return c + QStringLiteral(".verrou");
}

Detenteur moi()
{
    return {utilisateur(), machine(), QDateTime::currentDateTimeUtc(), qint64(::getpid())};
}

Verrou::Verrou(Verrou &&autre) noexcept { *this = std::move(autre); }

Verrou &Verrou::operator=(Verrou &&autre) noexcept
{
    if (this != &autre) {
        liberer();
        m_etat = std::exchange(autre.m_etat, Etat::Libre);
        m_fd = std::exchange(autre.m_fd, -1);
        m_banque = std::move(autre.m_banque);
        m_fichier = std::move(autre.m_fichier);
        m_detenteur = std::move(autre.m_detenteur);
    }
    return *this;
}

Verrou::Etat Verrou::prendre(const QString &cheminBanque)
{
    liberer();
    m_banque = cheminBanque;
    m_fichier = cheminVerrou(cheminBanque);
    m_detenteur = {};
    const QByteArray nom = local(m_fichier);
    // A holder that removes its file between our open and our lock leaves us a lock on a
    // name no one sees: such a lock is dropped and taken again on the new file.
    for (int essai = 0; essai < 8; ++essai) {
        const int fd = ::open(nom.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EACCES) {
                const Lu lu = lireSansDroit(nom, &m_detenteur);
                if (lu == Lu::Tenu) {
                    m_etat = Etat::Tenu;
                    return m_etat;
                }
                // Another user's file, left by an ended process: the folder may let us remove it.
                if (lu == Lu::Laisse && ::unlink(nom.constData()) == 0)
                    continue;
            }
            m_detenteur = {};
            m_etat = Etat::Pris;
            return m_etat;
        }
        struct flock zone {};
        zone.l_type = F_WRLCK;
        zone.l_whence = SEEK_SET;
        const bool noyau = ::fcntl(fd, F_OFD_SETLK, &zone) == 0;
        if (!noyau && (errno == EAGAIN || errno == EACCES)) {
            m_detenteur = lire(fd);
            ::close(fd);
            m_etat = Etat::Tenu;
            return m_etat;
        }
        // Without the kernel lock (a file system without locks), the file alone decides.
        if (!memeFichier(fd, nom)) {
            ::close(fd);
            continue;
        }
        const Detenteur ancien = lire(fd);
        const bool autreMachine = !ancien.machine.isEmpty() && ancien.machine != machine();
        const bool autreProgramme = !noyau && ancien.pid != ::getpid() && vivant(ancien.pid);
        if (autreMachine || autreProgramme) {
            ::close(fd);
            m_detenteur = ancien;
            m_etat = Etat::Tenu;
            return m_etat;
        }
        const Detenteur nous = moi();
        if (!ecrire(fd, contenu(nous))) {
            // A full disk: nothing can be written beside the bank, by anyone.
            ::unlink(nom.constData());
            ::close(fd);
            m_etat = Etat::Pris;
            return m_etat;
        }
        m_fd = fd;
        m_detenteur = nous;
        m_etat = Etat::Pris;
        return m_etat;
    }
    m_etat = Etat::Tenu;
    return m_etat;
}

void Verrou::liberer()
{
    if (m_fd >= 0) {
        // The file is removed while the kernel lock still holds it; a file put in its place
        // by hand is someone else's.
        const QByteArray nom = local(m_fichier);
        if (memeFichier(m_fd, nom))
            ::unlink(nom.constData());
        ::close(m_fd);
        m_fd = -1;
    }
    m_etat = Etat::Libre;
}

QString Verrou::message() const
{
    const QString banque = QFileInfo(m_banque).fileName();
    const Detenteur &d = m_detenteur;
    if (d.utilisateur.isEmpty() && d.machine.isEmpty())
        return QStringLiteral("La banque %1 est déjà ouverte par un autre programme.").arg(banque);
    QString t = QStringLiteral("La banque %1 est déjà ouverte par %2 sur la machine %3").arg(banque, d.utilisateur, d.machine);
    if (d.depuis.isValid())
        t += QStringLiteral(" depuis le ") + d.depuis.toLocalTime().toString(QStringLiteral("dd/MM/yyyy 'à' HH:mm"));
    t += u'.';
    if (d.machine != machine())
        t += QStringLiteral(" Si plus personne n'y travaille, supprimez le fichier %1.").arg(m_fichier);
    return t;
}

} // namespace verrou
