#pragma once
// Two stand-ins for the file layer: Panne calls the system but makes one chosen operation
// fail; Disque keeps files in memory, each with the bytes the disk holds for sure (flushed)
// and the bytes the system holds, and can cut the power after any operation.
#include "store/systemefichiers.h"

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

// Counts operations; the operation numbered `echoue` (from 1) fails. A write fails after
// writing half of what it was given when `moitie` is set (a short write, then "disk full").
class Panne : public fichiers::Systeme {
public:
    long compte = 0;
    long echoue = -1;
    int erreur = EIO;
    bool moitie = false;
    std::vector<std::string> journal;  // the operations, in order

    Panne() { fichiers::installer(this); }
    ~Panne() override { fichiers::installer(nullptr); }

    bool tomber(const char *nom)
    {
        journal.push_back(nom);
        if (++compte != echoue)
            return false;
        errno = erreur;
        return true;
    }
    int ouvrir(const char *c, int d, mode_t m) override { return tomber("ouvrir") ? -1 : ::open(c, d, m); }
    int fermer(int fd) override { return ::close(fd); }
    ssize_t lire(int fd, void *t, size_t n, off_t p) override { return tomber("lire") ? -1 : ::pread(fd, t, n, p); }
    ssize_t ecrire(int fd, const void *t, size_t n, off_t p) override
    {
        if (tomber("ecrire")) {
            if (moitie && n > 1)
                return ::pwrite(fd, t, n / 2, p);
            return -1;
        }
        return ::pwrite(fd, t, n, p);
    }
    ssize_t ecrireV(int fd, const iovec *m, int k, off_t p) override { return tomber("ecrireV") ? -1 : ::pwritev(fd, m, k, p); }
    ssize_t copier(int s, off_t *d, int c, off_t *v, size_t n) override { return tomber("copier") ? -1 : ::copy_file_range(s, d, c, v, n, 0); }
    int vider(int fd) override { return tomber("vider") ? -1 : ::fdatasync(fd); }
    int viderDossier(int fd) override { return tomber("viderDossier") ? -1 : ::fsync(fd); }
    int tronquer(int fd, off_t l) override { return tomber("tronquer") ? -1 : ::ftruncate(fd, l); }
    int etat(int fd, struct stat *st) override { return tomber("etat") ? -1 : ::fstat(fd, st); }
    int etatChemin(const char *c, struct stat *st) override { return tomber("etatChemin") ? -1 : ::lstat(c, st); }
    int renommer(const char *a, const char *b) override { return tomber("renommer") ? -1 : ::rename(a, b); }
    int echanger(const char *a, const char *b) override { return tomber("echanger") ? -1 : ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE); }
    int supprimer(const char *c) override { return tomber("supprimer") ? -1 : ::unlink(c); }
    int lier(const char *a, const char *b) override { return tomber("lier") ? -1 : ::link(a, b); }
    int changerMode(int fd, mode_t m) override { return tomber("changerMode") ? -1 : ::fchmod(fd, m); }
    int changerProprietaire(int fd, uid_t u, gid_t g) override { return tomber("changerProprietaire") ? -1 : ::fchown(fd, u, g); }
    int verrouiller(int, int) override { return tomber("verrouiller") ? -1 : 0; }
    ssize_t lireLien(const char *c, char *t, size_t n) override { return tomber("lireLien") ? -1 : ::readlink(c, t, n); }
};

// Thrown when the power goes: nothing after it runs.
struct Coupure {};

class Disque : public fichiers::Systeme {
public:
    // How the disk comes back: unflushed bytes lost, torn at a 512-byte boundary, or kept;
    // unflushed changes of folders lost or kept.
    enum class Octets { Perdus, Dechires, Gardes };

    struct Inode {
        QByteArray octets, surs;  // what the system holds, what the disk holds
        mode_t mode = 0644;
        bool dossier = false;
    };
    std::map<int, Inode> inodes;
    std::map<std::string, int> noms, nomsSurs;  // path -> inode
    std::map<int, std::pair<int, std::string>> fds;  // fd -> inode (-1: folder), path
    long compte = 0;
    long coupureApres = -1;  // the power goes when this many operations have run

    Disque() { fichiers::installer(this); }
    ~Disque() override { fichiers::installer(nullptr); }

    void poserDossier(const std::string &chemin)
    {
        const int i = nouvelInode();
        inodes[i].dossier = true;
        noms[chemin] = nomsSurs[chemin] = i;
    }
    void poserFichier(const std::string &chemin, const QByteArray &octets, mode_t mode = 0644)
    {
        const int i = nouvelInode();
        inodes[i].octets = inodes[i].surs = octets;
        inodes[i].mode = mode;
        noms[chemin] = nomsSurs[chemin] = i;
    }
    bool existe(const std::string &c) const { return noms.count(c) != 0; }
    QByteArray contenu(const std::string &c) const { return existe(c) ? inodes.at(noms.at(c)).octets : QByteArray(); }
    std::set<std::string> fichiersDe(const std::string &dossier) const
    {
        std::set<std::string> r;
        for (const auto &[nom, i] : noms)
            if (parent(nom) == dossier && !inodes.at(i).dossier)
                r.insert(nom.substr(dossier.size() + 1));
        return r;
    }

    // The machine starts again: every descriptor is gone, the disk holds what it held.
    void redemarrer(Octets octets, bool nomsGardes)
    {
        fds.clear();
        if (nomsGardes)
            nomsSurs = noms;
        noms = nomsSurs;
        for (auto &[i, n] : inodes) {
            switch (octets) {
            case Octets::Perdus: n.octets = n.surs; break;
            case Octets::Gardes: break;
            case Octets::Dechires: {
                // The first changed sector and those before it reached the disk, the rest did not.
                qsizetype d = 0;
                while (d < n.octets.size() && d < n.surs.size() && n.octets[d] == n.surs[d])
                    ++d;
                const qsizetype coupe = (d / 512 + 1) * 512;
                QByteArray r = n.octets.left(coupe);
                if (n.surs.size() > r.size())
                    r += n.surs.mid(r.size());
                n.octets = r;
                break;
            }
            }
            n.surs = n.octets;
        }
        coupureApres = -1;
    }

    int ouvrir(const char *c, int d, mode_t m) override
    {
        pas();
        const std::string nom = c;
        auto it = noms.find(nom);
        if (d & O_DIRECTORY) {
            if (it == noms.end() || !inodes[it->second].dossier)
                return errno = ENOTDIR, -1;
            return nouveauFd(-1, nom);
        }
        if (it == noms.end()) {
            if (!(d & O_CREAT))
                return errno = ENOENT, -1;
            if (!noms.count(parent(nom)))
                return errno = ENOENT, -1;
            const int i = nouvelInode();
            inodes[i].mode = m & 07777;
            noms[nom] = i;
            return nouveauFd(i, nom);
        }
        if ((d & O_CREAT) && (d & O_EXCL))
            return errno = EEXIST, -1;
        if (inodes[it->second].dossier)
            return (d & O_ACCMODE) == O_RDONLY ? nouveauFd(-1, nom) : (errno = EISDIR, -1);
        if (d & O_TRUNC)
            inodes[it->second].octets.clear();
        return nouveauFd(it->second, nom);
    }
    int fermer(int fd) override { return fds.erase(fd) ? 0 : (errno = EBADF, -1); }
    ssize_t lire(int fd, void *t, size_t n, off_t p) override
    {
        pas();
        const QByteArray &o = fichier(fd).octets;
        if (p >= o.size())
            return 0;
        const size_t k = std::min<size_t>(n, size_t(o.size() - p));
        std::memcpy(t, o.constData() + p, k);
        return ssize_t(k);
    }
    ssize_t ecrire(int fd, const void *t, size_t n, off_t p) override
    {
        const iovec m{const_cast<void *>(t), n};
        return ecrireV(fd, &m, 1, p);
    }
    ssize_t ecrireV(int fd, const iovec *m, int k, off_t p) override
    {
        pas();
        ssize_t total = 0;
        for (QByteArray &o = fichier(fd).octets; k-- > 0; ++m) {
            o.resize(std::max(o.size(), p + total + qsizetype(m->iov_len)), '\0');
            std::memcpy(o.data() + p + total, m->iov_base, m->iov_len);
            total += ssize_t(m->iov_len);
        }
        return total;
    }
    ssize_t copier(int s, off_t *d, int c, off_t *v, size_t n) override
    {
        pas();
        const QByteArray source = fichier(s).octets;
        if (*d >= source.size())
            return 0;
        const size_t k = std::min<size_t>(n, size_t(source.size() - *d));
        QByteArray &o = fichier(c).octets;
        if (o.size() < *v + qsizetype(k))
            o.resize(*v + qsizetype(k), '\0');
        std::memcpy(o.data() + *v, source.constData() + *d, k);
        *d += off_t(k);
        *v += off_t(k);
        return ssize_t(k);
    }
    int vider(int fd) override
    {
        pas();
        Inode &n = fichier(fd);
        n.surs = n.octets;
        return 0;
    }
    int viderDossier(int fd) override
    {
        pas();
        const std::string dossier = fds.at(fd).second;
        for (auto it = nomsSurs.begin(); it != nomsSurs.end();)
            it = parent(it->first) == dossier && !noms.count(it->first) ? nomsSurs.erase(it) : std::next(it);
        for (const auto &[nom, i] : noms)
            if (parent(nom) == dossier)
                nomsSurs[nom] = i;
        return 0;
    }
    int tronquer(int fd, off_t l) override
    {
        pas();
        fichier(fd).octets.resize(l, '\0');
        return 0;
    }
    int etat(int fd, struct stat *st) override
    {
        pas();
        const auto &[i, nom] = fds.at(fd);
        return remplir(i < 0 ? noms.at(nom) : i, st);
    }
    int etatChemin(const char *c, struct stat *st) override
    {
        pas();
        auto it = noms.find(c);
        return it == noms.end() ? (errno = ENOENT, -1) : remplir(it->second, st);
    }
    int renommer(const char *a, const char *b) override
    {
        pas();
        auto it = noms.find(a);
        if (it == noms.end())
            return errno = ENOENT, -1;
        const int i = it->second;
        noms.erase(it);
        noms[b] = i;
        return 0;
    }
    int echanger(const char *a, const char *b) override
    {
        pas();
        if (!noms.count(a) || !noms.count(b))
            return errno = ENOENT, -1;
        std::swap(noms[a], noms[b]);
        return 0;
    }
    int supprimer(const char *c) override
    {
        pas();
        auto it = noms.find(c);
        if (it == noms.end())
            return errno = ENOENT, -1;
        if (inodes[it->second].dossier)
            return errno = EISDIR, -1;
        noms.erase(it);
        return 0;
    }
    int lier(const char *a, const char *b) override
    {
        pas();
        if (!noms.count(a))
            return errno = ENOENT, -1;
        noms[b] = noms[a];
        return 0;
    }
    int changerMode(int fd, mode_t m) override
    {
        pas();
        fichier(fd).mode = m & 07777;
        return 0;
    }
    int changerProprietaire(int, uid_t, gid_t) override { pas(); return 0; }
    int verrouiller(int, int) override { pas(); return 0; }
    ssize_t lireLien(const char *, char *, size_t) override { pas(); return errno = EINVAL, -1; }

    static std::string parent(const std::string &chemin)
    {
        const size_t k = chemin.rfind('/');
        return k == std::string::npos || k == 0 ? std::string("/") : chemin.substr(0, k);
    }

private:
    int m_inode = 0;
    int m_fd = 1000;

    void pas()
    {
        if (coupureApres >= 0 && compte >= coupureApres)
            throw Coupure{};
        ++compte;
    }
    int nouvelInode() { return ++m_inode; }
    int nouveauFd(int i, const std::string &nom)
    {
        fds[++m_fd] = {i, nom};
        return m_fd;
    }
    Inode &fichier(int fd) { return inodes.at(fds.at(fd).first); }
    int remplir(int i, struct stat *st)
    {
        *st = {};
        const Inode &n = inodes.at(i);
        st->st_mode = (n.dossier ? S_IFDIR : S_IFREG) | n.mode;
        st->st_size = n.octets.size();
        st->st_ino = ino_t(i);
        st->st_dev = 1;
        st->st_uid = ::geteuid();
        st->st_gid = ::getegid();
        st->st_nlink = 0;
        for (const auto &[nom, j] : noms)
            st->st_nlink += j == i;
        return 0;
    }
};
