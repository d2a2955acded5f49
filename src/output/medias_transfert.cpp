#include "output/medias_transfert.h"

#include "output/transfert.h"
#include "store/fichequestion.h"
#include "store/nommedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The media files are not the bank: they are copied with plain system calls, outside the
// store's file layer and its journal. A copy cut short leaves no file under the final name.
namespace {

QString dossierMedia(const QString &banque)
{
    const QFileInfo info(banque);
    const QString nom = info.fileName();
    return info.path() + u'/' + nom.left(qMax<qsizetype>(0, nom.size() - 4));
}

// A name as the user can read it on a terminal: control characters shown as '?'.
QString lisible(QString nom)
{
    for (QChar &c : nom)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            c = u'?';
    return nom;
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool copierOctets(int de, int vers)
{
    char tampon[65536];
    for (;;) {
        ssize_t lus = ::read(de, tampon, sizeof tampon);
        if (lus < 0 && errno == EINTR)
            continue;
        if (lus < 0)
            return false;
        if (lus == 0)
            return ::fdatasync(vers) == 0;
        for (ssize_t fait = 0; fait < lus;) {
            const ssize_t n = ::write(vers, tampon + fait, size_t(lus - fait));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = ENOSPC;
                return false;
            }
            fait += n;
        }
    }
}

bool memesOctets(const QString &a, const QString &b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(65536) != fb.read(65536))
            return false;
    return true;
}

enum class Issue { Copie, DejaLa, Existe, Echec };

// Copies into a file without a name, given its name once whole: an existing name is never
// replaced (EEXIST). Where the file system has no such files, the name is created exclusive.
Issue copier(int source, const QString &dossier, const QString &cible, int *erreur)
{
    const QByteArray nom = QFile::encodeName(cible);
    int fd = ::open(QFile::encodeName(dossier).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    const bool anonyme = fd >= 0;
    if (!anonyme)
        fd = ::open(nom.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        *erreur = errno;
        return errno == EEXIST ? Issue::Existe : Issue::Echec;
    }
    Fd f(fd);
    if (!copierOctets(source, fd)) {
        *erreur = errno;
        if (!anonyme)
            ::unlink(nom.constData());
        return Issue::Echec;
    }
    if (anonyme) {
        const QByteArray lien = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, lien.constData(), AT_FDCWD, nom.constData(), AT_SYMLINK_FOLLOW) != 0) {
            *erreur = errno;
            return errno == EEXIST ? Issue::Existe : Issue::Echec;
        }
    }
    return Issue::Copie;
}

} // namespace

QStringList copierMediasDesCartes(const QString &source, const QString &destination, const char *cartes, qint64 nombre)
{
    QStringList noms;
    QSet<QString> vus;
    for (qint64 k = 0; k < nombre; ++k) {
        const QString nom = texte::affiche(cartes + k * FicheQuestion::Taille + offsets::FichierMedia,
                                           int(sizeof FicheQuestion::FichierMedia));
        if (!nom.isEmpty() && !vus.contains(nom)) {
            vus.insert(nom);
            noms << nom;
        }
    }
    const QString de = dossierMedia(source), vers = dossierMedia(destination);
    QStringList refus;
    auto refuser = [&](const QString &nom, const QString &pourquoi) {
        refus << QStringLiteral("Le fichier %1 n'a pas été copié : %2.").arg(lisible(nom), pourquoi);
    };
    bool dossierPret = false, copie = false;
    for (const QString &nom : noms) {
        if (!nomMediaAdmis(nom)) {
            refuser(nom, QStringLiteral("son nom ne désigne pas un fichier du dossier des images et des sons"));
            continue;
        }
        const QString chemin = de + u'/' + nom;
        Fd src(::open(QFile::encodeName(chemin).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (src.get() < 0 && errno == ENOENT) {
            refuser(nom, QStringLiteral("il est introuvable dans le dossier %1").arg(QDir::toNativeSeparators(de)));
            continue;
        }
        if ((src.get() < 0 && errno == ELOOP) || (src.get() >= 0 && ::fstat(src.get(), &st) == 0 && !S_ISREG(st.st_mode))) {
            refuser(nom, QStringLiteral("ce n'est pas un fichier ordinaire"));
            continue;
        }
        if (src.get() < 0) {
            refuser(nom, raisonSysteme(errno));
            continue;
        }
        if (!dossierPret) {
            if (!QDir().mkpath(vers)) {
                refuser(nom, QStringLiteral("le dossier %1 ne peut pas être créé").arg(QDir::toNativeSeparators(vers)));
                continue;
            }
            dossierPret = true;
        }
        const QString cible = vers + u'/' + nom;
        int erreur = 0;
        Issue issue = QFileInfo(cible).exists() || QFileInfo(cible).isSymLink() ? Issue::Existe
                                                                                : copier(src.get(), vers, cible, &erreur);
        if (issue == Issue::Existe && QFileInfo(cible).isFile() && !QFileInfo(cible).isSymLink() && memesOctets(chemin, cible))
            issue = Issue::DejaLa;
        if (issue == Issue::Existe)
            refuser(nom, QStringLiteral("le dossier %1 contient déjà un autre fichier de ce nom, qui n'a pas été remplacé")
                             .arg(QDir::toNativeSeparators(vers)));
        else if (issue == Issue::Echec)
            refuser(nom, raisonSysteme(erreur));
        copie = copie || issue == Issue::Copie;
    }
    // The new names reach the disk with the cards.
    if (copie) {
        Fd dossier(::open(QFile::encodeName(vers).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dossier.get() >= 0)
            ::fsync(dossier.get());
    }
    return refus;
}
