#include "store/reecriture.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 T = FicheQuestion::Taille;

QString raison(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

QByteArray nomLocal(const QString &chemin) { return QFile::encodeName(chemin); }

int ouvrirNeuf(const QString &chemin)
{
    ::unlink(nomLocal(chemin).constData());
    return ::open(nomLocal(chemin).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

// Writes n bytes at a position (at the file's current position when it is negative).
bool ecrireTout(int fd, const char *p, qint64 n, qint64 position = -1)
{
    while (n > 0) {
        const ssize_t r = position < 0 ? ::write(fd, p, size_t(n)) : ::pwrite(fd, p, size_t(n), off_t(position));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = ENOSPC;
            return false;
        }
        p += r;
        n -= r;
        if (position >= 0)
            position += r;
    }
    return true;
}

// Copies n bytes from one file to another, in the kernel where it can: to the target's
// current position, or to offset vers when it is given.
bool copierPlage(int source, qint64 depuis, int cible, qint64 n, qint64 vers = -1)
{
    loff_t off = depuis;
    loff_t offCible = vers;
    while (n > 0) {
        const ssize_t r = ::copy_file_range(source, &off, cible, vers >= 0 ? &offCible : nullptr, size_t(n), 0);
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
        if (!ecrireTout(cible, tampon.data(), r, vers >= 0 ? offCible : -1))
            return false;
        off += r;
        offCible += r;
        n -= r;
    }
    return true;
}

bool synchroniserDossier(const QString &chemin)
{
    const QByteArray dossier = nomLocal(QFileInfo(chemin).absolutePath());
    Fd d(::open(dossier.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return d.get() >= 0 && ::fsync(d.get()) == 0;
}

// Flushes the new file, then renames it over the bank.
bool remplacer(int fdNouveau, const QString &nouveau, const QString &banque)
{
    if (::fdatasync(fdNouveau) != 0)
        return false;
    if (::rename(nomLocal(nouveau).constData(), nomLocal(banque).constData()) != 0)
        return false;
    synchroniserDossier(banque);
    return true;
}

struct Source {
    Fd fd;
    qint64 longueur = 0;
};

Resultat ouvrirSource(const QString &chemin, Source &s)
{
    s.fd.reset(::open(nomLocal(chemin).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (s.fd.get() < 0 || ::fstat(s.fd.get(), &st) != 0)
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(chemin, raison(errno)));
    s.longueur = st.st_size;
    return Resultat::succes();
}

// Writes the cards of src sorted by theme into fd, at offset 0, and sets its length.
// The bank is read twice from start to end, in pieces of whole records: once to count
// the cards of each theme, which places each theme in the sorted file, then to append
// every card to its theme's buffer. That gives the same file as nine passes, one per
// theme, and a stable order, at the cost of two sequential reads.
// Returns false with errno set; *enEcriture tells a failed write from a failed read.
bool ecrireTrie(const Source &src, int fd, ComptesThemes &comptes, bool *enEcriture)
{
    *enEcriture = false;
    constexpr qint64 ParLecture = 320 * T;
    constexpr int NbCles = 10;  // themes 0 to 8, then every theme above 8 in file order
    std::vector<char> lu(static_cast<size_t>(ParLecture));
    auto cle = [](const char *enr, qint64 present) {
        // A short last record without its theme byte reads as theme 0.
        const int theme = present > offsets::NumTheme ? quint8(enr[offsets::NumTheme]) : 0;
        return theme <= 8 ? theme : 9;
    };
    auto parcourir = [&](auto &&chaqueCarte) -> bool {
        for (qint64 pos = 0; pos < src.longueur;) {
            const qint64 r = lireComplet(src.fd.get(), lu.data(), qMin(ParLecture, src.longueur - pos), pos);
            if (r <= 0) {
                errno = r < 0 ? errno : EIO;
                return false;
            }
            for (qint64 o = 0; o < r; o += T)
                if (!chaqueCarte(lu.data() + o, qMin(T, r - o)))
                    return false;
            pos += r;
        }
        return true;
    };

    std::array<int, NbCles> compte = {};
    if (!parcourir([&](const char *enr, qint64 present) { ++compte[size_t(cle(enr, present))]; return true; }))
        return false;
    for (int k = 0; k < 9; ++k)
        comptes.parTheme[size_t(k)] = compte[size_t(k)];
    comptes.horsThemes = compte[9];
    std::array<qint64, NbCles> position = {};  // where each theme's next buffer goes
    for (int k = 1; k < NbCles; ++k)
        position[size_t(k)] = position[size_t(k) - 1] + compte[size_t(k) - 1] * T;
    const qint64 longueur = position[NbCles - 1] + compte[NbCles - 1] * T;

    constexpr int ParTampon = 80;  // cards per theme buffer, about 64 KB
    std::vector<char> tampons(size_t(NbCles * ParTampon * T));
    std::array<int, NbCles> remplis = {}, restants = compte;
    auto vider = [&](int k) {
        const char *debut = tampons.data() + qint64(k) * ParTampon * T;
        const qint64 taille = remplis[size_t(k)] * T;
        if (!ecrireTout(fd, debut, taille, position[size_t(k)])) {
            *enEcriture = true;
            return false;
        }
        position[size_t(k)] += taille;
        remplis[size_t(k)] = 0;
        return true;
    };
    const bool toutLu = parcourir([&](const char *enr, qint64 present) {
        const int k = cle(enr, present);
        if (restants[size_t(k)]-- == 0) {  // the bank changed since the first pass
            errno = EIO;
            return false;
        }
        char *p = tampons.data() + (qint64(k) * ParTampon + remplis[size_t(k)]) * T;
        std::memcpy(p, enr, size_t(present));
        std::memset(p + present, 0, size_t(T - present));  // a short record is padded
        return ++remplis[size_t(k)] < ParTampon || vider(k);
    });
    if (!toutLu)
        return false;
    for (int k = 0; k < NbCles; ++k)
        if (remplis[size_t(k)] != 0 && !vider(k))
            return false;
    if (::ftruncate(fd, off_t(longueur)) != 0) {
        *enEcriture = true;
        return false;
    }
    return true;
}

// A file that may be overwritten in place or exchanged with another name: a plain file
// with a single name (a link elsewhere would see the change).
bool fichierSimple(const QString &chemin, dev_t *disque = nullptr)
{
    struct stat st {};
    if (::lstat(nomLocal(chemin).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)
        return false;
    if (disque)
        *disque = st.st_dev;
    return true;
}

// Opens base.tmp for writing. The last sort's file is written over rather than deleted:
// freeing a bank-sized file costs as much as writing it on some disks.
int ouvrirPourEcraser(const QString &chemin)
{
    if (fichierSimple(chemin)) {
        const int fd = ::open(nomLocal(chemin).constData(), O_RDWR | O_CLOEXEC);
        if (fd >= 0)
            return fd;
    }
    return ouvrirNeuf(chemin);
}

} // namespace

ResultatClasser classerParTheme(const QString &cheminBanque, const QString &cheminTmp)
{
    ResultatClasser res;
    auto echec = [&](ResultatClasser::Etape etape, const QString &chemin, int err) {
        const QString texte = etape == ResultatClasser::Etape::Lecture
                                  ? QStringLiteral("Impossible de lire le fichier %1 : %2")
                                  : QStringLiteral("Impossible d'écrire le fichier %1 : %2");
        res.resultat = Resultat::echec(texte.arg(chemin, raison(err)));
        res.echec = etape;
        return res;
    };

    Source src;
    if (Resultat r = ouvrirSource(cheminBanque, src); !r) {
        res.resultat = r;
        res.echec = ResultatClasser::Etape::Lecture;
        return res;
    }
    res.total = nombreDeFiches(src.longueur);

    // 1. The sorted cards go into base.tmp, whole and flushed.
    Fd tmp(ouvrirPourEcraser(cheminTmp));
    if (tmp.get() < 0)
        return echec(ResultatClasser::Etape::CopieTriee, cheminTmp, errno);
    bool enEcriture = false;
    if (!ecrireTrie(src, tmp.get(), res.ecrits, &enEcriture))
        return enEcriture ? echec(ResultatClasser::Etape::CopieTriee, cheminTmp, errno)
                          : echec(ResultatClasser::Etape::Lecture, cheminBanque, errno);
    if (::fdatasync(tmp.get()) != 0)
        return echec(ResultatClasser::Etape::CopieTriee, cheminTmp, errno);
    const qint64 longueur = qint64(res.total) * T;

    // 2. The bank and base.tmp swap names in one atomic step: the bank is the sorted file,
    //    base.tmp the old bank, which is then written over with a copy of the sorted file.
    dev_t disqueBanque = 0, disqueTmp = 0;
    if (fichierSimple(cheminBanque, &disqueBanque) && fichierSimple(cheminTmp, &disqueTmp)
        && disqueBanque == disqueTmp
        && ::renameat2(AT_FDCWD, nomLocal(cheminTmp).constData(), AT_FDCWD, nomLocal(cheminBanque).constData(),
                       RENAME_EXCHANGE)
               == 0) {
        synchroniserDossier(cheminBanque);
        Fd ancien(::open(nomLocal(cheminTmp).constData(), O_WRONLY | O_CLOEXEC));
        if (ancien.get() < 0 || !copierPlage(tmp.get(), 0, ancien.get(), longueur, 0)
            || ::ftruncate(ancien.get(), off_t(longueur)) != 0)
            return echec(ResultatClasser::Etape::CopieFinale, cheminTmp, errno);
        return res;
    }

    // 3. Otherwise (a bank behind a link, a system without the exchange) the bank is
    //    replaced by a new, flushed copy of base.tmp, renamed over it.
    const QString nouveau = cheminBanque + QStringLiteral(".nouveau");
    Fd copie(ouvrirNeuf(nouveau));
    if (copie.get() < 0 || !copierPlage(tmp.get(), 0, copie.get(), longueur, 0)
        || !remplacer(copie.get(), nouveau, cheminBanque)) {
        const int err = errno;
        if (copie.get() >= 0)
            ::unlink(nomLocal(nouveau).constData());
        return echec(ResultatClasser::Etape::Remplacement, cheminBanque, err);
    }
    return res;
}

Resultat supprimerFiche(const QString &cheminBanque, const QString &cheminTmp, int numero)
{
    Source src;
    if (Resultat r = ouvrirSource(cheminBanque, src); !r)
        return r;
    const int n = nombreDeFiches(src.longueur);
    const bool existe = numero >= 1 && numero <= n;
    const qint64 avant = existe ? qint64(numero - 1) * T : src.longueur;
    const qint64 apres = existe ? qMin(qint64(numero) * T, src.longueur) : src.longueur;
    const qint64 attendu = qint64(existe ? n - 1 : n) * T;

    Fd tmp(ouvrirNeuf(cheminTmp));
    bool ok = tmp.get() >= 0 && copierPlage(src.fd.get(), 0, tmp.get(), avant)
              && copierPlage(src.fd.get(), apres, tmp.get(), src.longueur - apres)
              && ::ftruncate(tmp.get(), off_t(attendu)) == 0  // pads a short last record with zeros
              && remplacer(tmp.get(), cheminTmp, cheminBanque);
    if (!ok) {
        const int err = errno;
        if (tmp.get() >= 0)
            ::unlink(nomLocal(cheminTmp).constData());
        return Resultat::echec(QStringLiteral("Impossible de supprimer la fiche %1 du fichier %2 : %3")
                                   .arg(numero).arg(cheminBanque, raison(err)));
    }
    return Resultat::succes();
}

Resultat ajouterFiches(const QString &cheminBanque, const QString &cheminTmp, const QByteArray &enregistrements)
{
    Source src;
    if (::access(nomLocal(cheminBanque).constData(), F_OK) == 0) {
        if (Resultat r = ouvrirSource(cheminBanque, src); !r)
            return r;
    }
    const qint64 garde = qint64(nombreDeFiches(src.longueur)) * T;
    Fd tmp(ouvrirNeuf(cheminTmp));
    bool ok = tmp.get() >= 0 && (src.fd.get() < 0 || copierPlage(src.fd.get(), 0, tmp.get(), src.longueur))
              && ::ftruncate(tmp.get(), off_t(garde)) == 0  // pads a short last record with zeros
              && ecrireTout(tmp.get(), enregistrements.constData(), enregistrements.size(), garde)
              && remplacer(tmp.get(), cheminTmp, cheminBanque);
    if (!ok) {
        const int err = errno;
        if (tmp.get() >= 0)
            ::unlink(nomLocal(cheminTmp).constData());
        return Resultat::echec(QStringLiteral("Impossible d'ajouter des fiches au fichier %1 : %2").arg(cheminBanque, raison(err)));
    }
    return Resultat::succes();
}

ComptesThemes compterThemes(const QString &cheminBanque, Resultat *resultat)
{
    FichierQuestions f;
    Resultat r = f.ouvrir(cheminBanque, FichierQuestions::Mode::Lecture);
    if (resultat)
        *resultat = r;
    return r ? f.compterThemes() : ComptesThemes{};
}
