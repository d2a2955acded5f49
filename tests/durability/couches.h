#pragma once
// A stand-in for the file layer: files kept in memory, each with the bytes the disk holds for
// sure (flushed) and the bytes the system holds. It can make the operation numbered `echoue`
// (from 1) fail with `erreur` (a write of which writes half of what it was given first when
// `moitie` is set), or cut the power once `coupureApres` operations have run.
#include "store/systemefichiers.h"

#include <QByteArray>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string>
#include <unistd.h>

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
    long compte = 0, echoue = -1, coupureApres = -1;
    int erreur = EIO;
    bool moitie = false;

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
    QStringList fichiersDe(const std::string &dossier) const
    {
        QStringList r;
        for (const auto &[nom, i] : noms)
            if (parent(nom) == dossier && !inodes.at(i).dossier)
                r << QString::fromStdString(nom.substr(dossier.size() + 1));
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
        if (pas())
            return -1;
        const std::string nom = c;
        auto it = noms.find(nom);
        if (d & O_DIRECTORY)
            return it == noms.end() || !inodes[it->second].dossier ? (errno = ENOTDIR, -1) : nouveauFd(-1, nom);
        if (it == noms.end()) {
            if (!(d & O_CREAT) || !noms.count(parent(nom)))
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
        if (pas())
            return -1;
        const QByteArray &o = fichier(fd).octets;
        const size_t k = p >= o.size() ? 0 : std::min<size_t>(n, size_t(o.size() - p));
        std::memcpy(t, o.constData() + std::min<qsizetype>(p, o.size()), k);
        return ssize_t(k);
    }
    ssize_t ecrire(int fd, const void *t, size_t n, off_t p) override
    {
        const iovec m{const_cast<void *>(t), n};
        return ecrireV(fd, &m, 1, p);
    }
    ssize_t ecrireV(int fd, const iovec *m, int k, off_t p) override
    {
        size_t reste = 0;
        for (int i = 0; i < k; ++i)
            reste += m[i].iov_len;
        if (pas() && (!moitie || (reste /= 2) == 0))
            return -1;
        ssize_t total = 0;
        for (QByteArray &o = fichier(fd).octets; k-- > 0 && reste > 0; ++m) {
            const size_t n = std::min(reste, m->iov_len);
            o.resize(std::max(o.size(), p + total + qsizetype(n)), '\0');
            std::memcpy(o.data() + p + total, m->iov_base, n);
            total += ssize_t(n);
            reste -= n;
        }
        return total;
    }
    ssize_t copier(int s, off_t *d, int c, off_t *v, size_t n) override
    {
        if (pas())
            return -1;
        const QByteArray source = fichier(s).octets;
        const size_t k = *d >= source.size() ? 0 : std::min<size_t>(n, size_t(source.size() - *d));
        QByteArray &o = fichier(c).octets;
        o.resize(std::max(o.size(), *v + qsizetype(k)), '\0');
        std::memcpy(o.data() + *v, source.constData() + std::min<qsizetype>(*d, source.size()), k);
        *d += off_t(k);
        *v += off_t(k);
        return ssize_t(k);
    }
    int vider(int fd) override { return pas() ? -1 : (fichier(fd).surs = fichier(fd).octets, 0); }
    int viderDossier(int fd) override
    {
        if (pas())
            return -1;
        const std::string dossier = fds.at(fd).second;
        for (auto it = nomsSurs.begin(); it != nomsSurs.end();)
            it = parent(it->first) == dossier && !noms.count(it->first) ? nomsSurs.erase(it) : std::next(it);
        for (const auto &[nom, i] : noms)
            if (parent(nom) == dossier)
                nomsSurs[nom] = i;
        return 0;
    }
    int tronquer(int fd, off_t l) override { return pas() ? -1 : (fichier(fd).octets.resize(l, '\0'), 0); }
    int etat(int fd, struct stat *st) override
    {
        const auto &[i, nom] = fds.at(fd);
        return pas() ? -1 : remplir(i < 0 ? noms.at(nom) : i, st);
    }
    int etatChemin(const char *c, struct stat *st) override
    {
        return pas() ? -1 : !noms.count(c) ? (errno = ENOENT, -1) : remplir(noms.at(c), st);
    }
    int renommer(const char *a, const char *b) override
    {
        return pas() ? -1 : !noms.count(a) ? (errno = ENOENT, -1) : (noms[b] = noms.extract(a).mapped(), 0);
    }
    int echanger(const char *a, const char *b) override
    {
        return pas() ? -1 : !noms.count(a) || !noms.count(b) ? (errno = ENOENT, -1) : (std::swap(noms[a], noms[b]), 0);
    }
    int supprimer(const char *c) override
    {
        if (pas())
            return -1;
        auto it = noms.find(c);
        if (it == noms.end() || inodes[it->second].dossier)
            return errno = it == noms.end() ? ENOENT : EISDIR, -1;
        noms.erase(it);
        return 0;
    }
    int lier(const char *a, const char *b) override { return pas() ? -1 : !noms.count(a) ? (errno = ENOENT, -1) : (noms[b] = noms[a], 0); }
    int changerMode(int fd, mode_t m) override { return pas() ? -1 : (fichier(fd).mode = m & 07777, 0); }
    int changerProprietaire(int, uid_t, gid_t) override { return pas() ? -1 : 0; }
    int verrouiller(int, int) override { return pas() ? -1 : 0; }
    ssize_t lireLien(const char *, char *, size_t) override { return pas() ? -1 : (errno = EINVAL, -1); }

    static std::string parent(const std::string &chemin)
    {
        const size_t k = chemin.rfind('/');
        return k == std::string::npos || k == 0 ? std::string("/") : chemin.substr(0, k);
    }

private:
    int m_inode = 0;
    int m_fd = 1000;

    // Counts an operation; true when it is the one that fails.
    bool pas()
    {
        if (coupureApres >= 0 && compte >= coupureApres)
            throw Coupure{};
        if (++compte != echoue)
            return false;
        errno = erreur;
        return true;
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
