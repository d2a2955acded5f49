#include "store/reecriture.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
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
    return ::open(nomLocal(chemin).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

bool ecrireTout(int fd, const char *p, qint64 n)
{
    while (n > 0) {
        const ssize_t r = ::write(fd, p, size_t(n));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            if (r == 0)
                errno = ENOSPC;
            return false;
        }
        p += r;
        n -= r;
    }
    return true;
}

// Copies n bytes from one file to the end of another, in the kernel where it can.
bool copierPlage(int source, qint64 depuis, int cible, qint64 n)
{
    loff_t off = depuis;
    while (n > 0) {
        const ssize_t r = ::copy_file_range(source, &off, cible, nullptr, size_t(n), 0);
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
        if (!ecrireTout(cible, tampon.data(), r))
            return false;
        off += r;
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
    const char *donnees = nullptr;
    ~Source()
    {
        if (donnees)
            ::munmap(const_cast<char *>(donnees), size_t(longueur));
    }
};

Resultat ouvrirSource(const QString &chemin, Source &s, bool projeter)
{
    s.fd.reset(::open(nomLocal(chemin).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (s.fd.get() < 0 || ::fstat(s.fd.get(), &st) != 0)
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(chemin, raison(errno)));
    s.longueur = st.st_size;
    if (projeter && s.longueur > 0) {
        void *p = ::mmap(nullptr, size_t(s.longueur), PROT_READ, MAP_PRIVATE, s.fd.get(), 0);
        if (p == MAP_FAILED)
            return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(chemin, raison(errno)));
        s.donnees = static_cast<const char *>(p);
    }
    return Resultat::succes();
}

} // namespace

ResultatClasser classerParTheme(const QString &cheminBanque, const QString &cheminTmp)
{
    ResultatClasser res;
    Source src;
    if (Resultat r = ouvrirSource(cheminBanque, src, true); !r) {
        res.resultat = r;
        res.echec = ResultatClasser::Etape::Lecture;
        return res;
    }
    const int n = nombreDeFiches(src.longueur);
    res.total = n;

    // One pass that groups by theme gives the same file as nine passes, one per theme.
    auto cle = [&](int i) -> int {
        const qint64 o = qint64(i) * T + offsets::NumTheme;
        const int theme = o < src.longueur ? quint8(src.donnees[o]) : 0;
        return theme <= 8 ? theme : 9;
    };
    std::array<int, 11> debut = {};
    for (int i = 0; i < n; ++i)
        ++debut[size_t(cle(i)) + 1];
    for (int k = 0; k < 9; ++k)
        res.ecrits.parTheme[size_t(k)] = debut[size_t(k) + 1];
    res.ecrits.horsThemes = debut[10];
    for (size_t k = 1; k < debut.size(); ++k)
        debut[k] += debut[k - 1];
    std::vector<int> ordre(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        ordre[size_t(debut[size_t(cle(i))]++)] = i;

    auto echec = [&](ResultatClasser::Etape etape, const QString &chemin) {
        res.resultat = Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1 : %2").arg(chemin, raison(errno)));
        res.echec = etape;
        return res;
    };

    Fd tmp(ouvrirNeuf(cheminTmp));
    if (tmp.get() < 0)
        return echec(ResultatClasser::Etape::CopieTriee, cheminTmp);
    static const char zeros[FicheQuestion::Taille] = {};
    std::vector<iovec> lot;
    lot.reserve(IOV_MAX);
    auto vider = [&]() -> bool {
        size_t premier = 0;
        while (premier < lot.size()) {
            const ssize_t r = ::writev(tmp.get(), lot.data() + premier, int(lot.size() - premier));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0) {
                if (r == 0)
                    errno = ENOSPC;
                return false;
            }
            size_t reste = size_t(r);
            while (premier < lot.size() && reste >= lot[premier].iov_len)
                reste -= lot[premier++].iov_len;
            if (reste > 0) {
                lot[premier].iov_base = static_cast<char *>(lot[premier].iov_base) + reste;
                lot[premier].iov_len -= reste;
            }
        }
        lot.clear();
        return true;
    };
    for (int i : ordre) {
        const qint64 o = qint64(i) * T;
        const qint64 present = qMin(T, src.longueur - o);
        lot.push_back({const_cast<char *>(src.donnees + o), size_t(present)});
        if (present < T)
            lot.push_back({const_cast<char *>(zeros), size_t(T - present)});  // a short record is padded
        if (lot.size() + 2 > size_t(IOV_MAX) && !vider())
            return echec(ResultatClasser::Etape::CopieTriee, cheminTmp);
    }
    if (!vider())
        return echec(ResultatClasser::Etape::CopieTriee, cheminTmp);
    tmp.reset();

    // The bank becomes a complete copy of the sorted file; the sorted file stays.
    const QString nouveau = cheminBanque + QStringLiteral(".nouveau");
    Fd lu(::open(nomLocal(cheminTmp).constData(), O_RDONLY | O_CLOEXEC));
    Fd copie(ouvrirNeuf(nouveau));
    if (lu.get() < 0 || copie.get() < 0 || !copierPlage(lu.get(), 0, copie.get(), qint64(n) * T)
        || !remplacer(copie.get(), nouveau, cheminBanque)) {
        const int err = errno;
        ::unlink(nomLocal(nouveau).constData());
        errno = err;
        return echec(ResultatClasser::Etape::Remplacement, cheminBanque);
    }
    return res;
}

Resultat supprimerFiche(const QString &cheminBanque, const QString &cheminTmp, int numero)
{
    Source src;
    if (Resultat r = ouvrirSource(cheminBanque, src, false); !r)
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

ComptesThemes compterThemes(const QString &cheminBanque, Resultat *resultat)
{
    FichierQuestions f;
    Resultat r = f.ouvrir(cheminBanque, FichierQuestions::Mode::Lecture);
    if (resultat)
        *resultat = r;
    return r ? f.compterThemes() : ComptesThemes{};
}
