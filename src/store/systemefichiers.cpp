#include "store/systemefichiers.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fichiers {
namespace {

class Reel final : public Systeme {
public:
    int ouvrir(const char *chemin, int drapeaux, mode_t mode) override { return ::open(chemin, drapeaux, mode); }
    int fermer(int fd) override { return ::close(fd); }
    ssize_t lire(int fd, void *tampon, size_t n, off_t position) override { return ::pread(fd, tampon, n, position); }
    ssize_t ecrire(int fd, const void *tampon, size_t n, off_t position) override
    {
        return ::pwrite(fd, tampon, n, position);
    }
    ssize_t ecrireV(int fd, const iovec *morceaux, int nombre, off_t position) override
    {
        return ::pwritev(fd, morceaux, nombre, position);
    }
    ssize_t copier(int source, off_t *depuis, int cible, off_t *vers, size_t n) override
    {
        return ::copy_file_range(source, depuis, cible, vers, n, 0);
    }
    int vider(int fd) override { return ::fdatasync(fd); }
    int viderDossier(int fd) override { return ::fsync(fd); }
    int tronquer(int fd, off_t longueur) override { return ::ftruncate(fd, longueur); }
    int etat(int fd, struct stat *st) override { return ::fstat(fd, st); }
    int etatChemin(const char *chemin, struct stat *st) override { return ::lstat(chemin, st); }
    int renommer(const char *de, const char *vers) override { return ::rename(de, vers); }
    int echanger(const char *a, const char *b) override { return ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE); }
    int supprimer(const char *chemin) override { return ::unlink(chemin); }
    int lier(const char *existant, const char *nouveau) override { return ::link(existant, nouveau); }
    int changerMode(int fd, mode_t mode) override { return ::fchmod(fd, mode); }
    int changerProprietaire(int fd, uid_t uid, gid_t gid) override { return ::fchown(fd, uid, gid); }
    int verrouiller(int fd, int operation) override { return ::flock(fd, operation); }
    ssize_t lireLien(const char *chemin, char *cible, size_t taille) override { return ::readlink(chemin, cible, taille); }
};

Reel g_reel;
Systeme *g_systeme = &g_reel;

} // namespace

Systeme &systeme() { return *g_systeme; }

void installer(Systeme *s) { g_systeme = s ? s : &g_reel; }

} // namespace fichiers
