#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <sys/stat.h>

// What every writer of banks shares: whole reads and writes through the file layer,
// folder flushes, links followed to the real file, rights carried over to new files, and
// the journal that makes a write in place survive a power cut.
namespace disque {

QByteArray local(const QString &chemin);
QString raison(int err);

// A descriptor closed through the file layer.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1);

private:
    int m_fd;
};

// Reads n bytes at a position, going on after short reads; fewer only at the end of the file.
qint64 lireComplet(int fd, char *tampon, qint64 n, qint64 position);
// Writes n bytes at a position; false with errno set (ENOSPC for a write that makes no progress).
bool ecrireTout(int fd, const char *p, qint64 n, qint64 position);
// The loop of every whole write: `essai` writes what is left once `fait` of the `total` bytes
// are written, and answers as the system call does. An interrupted call is made again, one
// that writes nothing counts as a full disk. False with errno set.
bool ecrireJusquauBout(qint64 total, const std::function<ssize_t(qint64 fait)> &essai);
// Copies n bytes from one file to another at the given offsets, in the kernel where it can.
bool copierPlage(int source, qint64 depuis, int cible, qint64 n, qint64 vers);
// The bytes of a picture or sound of a bank: a regular file of the media folder, reached
// through no symbolic link (one is a missing file). False when it cannot be read so.
bool lireMedia(const QString &dossier, const QString &nom, QByteArray &octets);
// Flushes the folder that holds chemin: a rename or a new name in it reaches the disk.
bool viderDossierDe(const QString &chemin);

// The file a name leads to, every symbolic link followed (the name itself when it is no link).
QString cheminReel(const QString &chemin);
// A temporary name given as a file name in the bank's folder, moved beside the real bank.
QString voisin(const QString &banqueReelle, const QString &cheminTmp);

// The bank may be replaced: it is a plain file whose owner may write it. The owner's write
// bit is checked even for the administrator, who could write anything.
Resultat verifierModifiable(const QString &chemin, struct stat *st = nullptr);
// Gives a new file the bank's mode, and its owner and group where the process may.
bool reprendreDroits(int fd, const struct stat &banque);
// Creates a file that nobody else can read before it takes the bank's rights.
int creerNeuf(const QString &chemin);

// The journal beside a bank. A record written in place is first put into the journal,
// flushed; a journal that is whole at the next opening is played again, a torn one is
// dropped. An append writes the old length, so that an unfinished append is undone.
QString cheminJournal(const QString &banqueReelle);
Resultat journaliserEnregistrement(const QString &banqueReelle, qint64 position, const char *octets, qint64 n);
Resultat journaliserLongueur(const QString &banqueReelle, qint64 longueur);
// False when a journal is still there (one that could not be removed).
bool oublierJournal(const QString &banqueReelle);

} // namespace disque

// Brings a bank back to a whole state after a program was stopped in the middle of a
// write: plays a whole journal again or drops a torn one, removes the temporary files a
// killed rewrite left beside it. Called on every opening and before every rewrite.
Resultat reprendreBanque(const QString &chemin);
