#pragma once
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>

// Every file operation of the store goes through one object. The default one calls the
// system directly; tests put another in its place to make an operation fail or to cut
// the power after it.
namespace fichiers {

class Systeme {
public:
    virtual ~Systeme() = default;

    virtual int ouvrir(const char *chemin, int drapeaux, mode_t mode) = 0;  // open
    virtual int fermer(int fd) = 0;
    virtual ssize_t lire(int fd, void *tampon, size_t n, off_t position) = 0;          // pread
    virtual ssize_t ecrire(int fd, const void *tampon, size_t n, off_t position) = 0;  // pwrite
    virtual ssize_t ecrireV(int fd, const iovec *morceaux, int nombre, off_t position) = 0;  // pwritev
    // copy_file_range; a null vers writes at the target's current position.
    virtual ssize_t copier(int source, off_t *depuis, int cible, off_t *vers, size_t n) = 0;
    virtual int vider(int fd) = 0;          // fdatasync
    virtual int viderDossier(int fd) = 0;   // fsync of a folder opened with O_DIRECTORY
    virtual int tronquer(int fd, off_t longueur) = 0;
    virtual int etat(int fd, struct stat *st) = 0;                  // fstat
    virtual int etatChemin(const char *chemin, struct stat *st) = 0;  // lstat: a link is not followed
    virtual int renommer(const char *de, const char *vers) = 0;
    virtual int echanger(const char *a, const char *b) = 0;  // both names swap files atomically
    virtual int supprimer(const char *chemin) = 0;            // unlink
    virtual int lier(const char *existant, const char *nouveau) = 0;  // link
    virtual int changerMode(int fd, mode_t mode) = 0;
    virtual int changerProprietaire(int fd, uid_t uid, gid_t gid) = 0;
    virtual int verrouiller(int fd, int operation) = 0;  // flock
    virtual ssize_t lireLien(const char *chemin, char *cible, size_t taille) = 0;  // readlink
};

// The object in use (the system itself unless a test installed another).
Systeme &systeme();
// Puts s in place of the system (nullptr brings the system back). Tests only.
void installer(Systeme *s);

} // namespace fichiers
