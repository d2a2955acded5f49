#include "output/transfert.h"

#include "output/medias_transfert.h"
#include "store/fichequestion.h"
#include "store/disque.h"
#include "store/fichierquestions.h"
#include "store/systemefichiers.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 T = FicheQuestion::Taille;

QByteArray nomLocal(const QString &chemin) { return QFile::encodeName(chemin); }

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            fichiers::systeme().fermer(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The source's cards, whole, in one buffer: the copies are gathered at its front and go
// out from there in one write. The buffer is taken in 2 MB pages where the system allows
// it: touching a fresh bank-sized buffer page by page costs more than the copy itself.
class Cartes {
public:
    ~Cartes()
    {
        if (m_zone)
            ::munmap(m_zone, size_t(m_reserve));
    }
    bool charger(int fd, qint64 longueur, qint64 nombre)
    {
        const qint64 taille = nombre * T;
        if (taille == 0)
            return true;
        constexpr qint64 Grande = qint64(2) << 20;
        m_reserve = (taille + 2 * Grande - 1) / Grande * Grande;
        void *zone = ::mmap(nullptr, size_t(m_reserve), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (zone == MAP_FAILED)
            return false;
        m_zone = static_cast<char *>(zone);
        const auto adresse = reinterpret_cast<quintptr>(m_zone);
        m_octets = m_zone + (Grande - qint64(adresse % quintptr(Grande))) % Grande;
        ::madvise(m_octets, size_t(taille), MADV_HUGEPAGE);
        // A short last record keeps the zero bytes of the fresh buffer after its end.
        errno = 0;
        if (lireComplet(fd, m_octets, longueur, 0) != longueur) {
            if (errno == 0)
                errno = EIO;
            return false;
        }
        return true;
    }
    char *octets() const { return m_octets; }

private:
    char *m_zone = nullptr;
    char *m_octets = nullptr;
    qint64 m_reserve = 0;
};

qint16 marque(const char *carte)
{
    return qint16(quint16(quint8(carte[offsets::Marque])) | quint16(quint8(carte[offsets::Marque + 1])) << 8);
}

// Writes every byte of the pieces at a position; false with errno set.
bool ecrireTout(int fd, std::vector<iovec> morceaux, qint64 position)
{
    qint64 total = 0;
    for (const iovec &m : morceaux)
        total += qint64(m.iov_len);
    size_t premier = 0;
    qint64 avant = 0;  // bytes written when the pieces were last moved on
    return disque::ecrireJusquauBout(total, [&](qint64 fait) {
        for (size_t reste = size_t(fait - avant); reste > 0 && premier < morceaux.size();) {
            iovec &m = morceaux[premier];
            const size_t pris = qMin(reste, m.iov_len);
            m.iov_base = static_cast<char *>(m.iov_base) + pris;
            m.iov_len -= pris;
            reste -= pris;
            if (m.iov_len == 0)
                ++premier;
        }
        while (premier < morceaux.size() && morceaux[premier].iov_len == 0)
            ++premier;
        avant = fait;
        return fichiers::systeme().ecrireV(fd, morceaux.data() + premier,
                                           int(qMin<size_t>(morceaux.size() - premier, IOV_MAX)), off_t(position + fait));
    });
}


} // namespace

QString raisonSysteme(int erreur)
{
    switch (erreur) {
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé");
    case EROFS: return QStringLiteral("le disque est en lecture seule");
    case ENOSPC:
    case EDQUOT: return QStringLiteral("le disque est plein");
    case EFBIG: return QStringLiteral("le fichier dépasserait la taille permise");
    case EISDIR: return QStringLiteral("c'est un dossier");
    case ENOENT: return QStringLiteral("fichier ou dossier introuvable");
    case ENOTDIR: return QStringLiteral("le chemin ne mène pas à un dossier");
    case EWOULDBLOCK: return QStringLiteral("il est verrouillé par un autre programme");
    case EIO: return QStringLiteral("erreur de lecture ou d'écriture sur le disque");
    case ENOMEM: return QStringLiteral("la mémoire est insuffisante");
    default: return QString::fromLocal8Bit(std::strerror(erreur));
    }
}

ResultatTransfert transferer(const QString &source, const QString &destination, Selection selection,
                             const Progression &progression)
{
    ResultatTransfert res;
    auto echec = [&](const QString &texte) {
        res.resultat = Resultat::echec(texte);
        res.copiees = 0;
        return res;
    };

    fichiers::Systeme &sf = fichiers::systeme();
    Fd src(sf.ouvrir(nomLocal(source).constData(), O_RDONLY | O_CLOEXEC, 0));
    struct stat ss {};
    if (src.get() < 0 || sf.etat(src.get(), &ss) != 0)
        return echec(QStringLiteral("Impossible de lire le fichier %1 : %2.").arg(source, raisonSysteme(errno)));
    if (S_ISDIR(ss.st_mode))
        return echec(QStringLiteral("Impossible de lire le fichier %1 : %2.").arg(source, raisonSysteme(EISDIR)));

    // The destination is opened before the work starts: a name that cannot be written is
    // known before anything else is done.
    // An append that a killed program left unfinished is undone first.
    if (Resultat r = reprendreBanque(destination); !r)
        return echec(r.erreur);
    bool cree = false;
    int fd = sf.ouvrir(nomLocal(destination).constData(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0 && errno == ENOENT) {
        fd = sf.ouvrir(nomLocal(destination).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return echec(QStringLiteral("Impossible de créer le fichier destination %1 : %2.")
                             .arg(destination, errno == ENOENT ? QStringLiteral("le dossier n'existe pas")
                                                               : raisonSysteme(errno)));
        cree = true;
    }
    if (fd < 0)
        return echec(QStringLiteral("Impossible d'ouvrir le fichier destination %1 : %2.")
                         .arg(destination, raisonSysteme(errno)));
    Fd dst(fd);
    // Whatever goes wrong from here leaves the destination as it was: gone again if it is ours.
    auto defaire = [&](qint64 longueur) {
        if (cree)
            sf.supprimer(nomLocal(destination).constData());
        else if (longueur >= 0 && sf.tronquer(dst.get(), off_t(longueur)) == 0)
            sf.vider(dst.get());
    };
    struct stat sd {};
    if (sf.etat(dst.get(), &sd) != 0) {
        const int err = errno;
        defaire(-1);
        return echec(QStringLiteral("Impossible d'ouvrir le fichier destination %1 : %2.")
                         .arg(destination, raisonSysteme(err)));
    }
    if (!S_ISREG(sd.st_mode))
        return echec(QStringLiteral("Le fichier destination %1 n'est pas un fichier de questions.").arg(destination));
    if (sd.st_dev == ss.st_dev && sd.st_ino == ss.st_ino)
        return echec(QStringLiteral("Le fichier destination %1 est le fichier d'origine lui-même : "
                                    "choisissez un autre fichier.")
                         .arg(destination));
    // Another program holding a lock on the destination is writing it: leave it alone.
    if (sf.verrouiller(dst.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        defaire(-1);
        return echec(QStringLiteral("Impossible d'écrire dans le fichier destination %1 : %2.")
                         .arg(destination, raisonSysteme(err)));
    }

    const qint64 longueurSource = ss.st_size;
    const qint64 S = nombreDeFiches(longueurSource);
    const qint64 longueurDest = sd.st_size;
    const qint64 D = nombreDeFiches(longueurDest);
    const qint64 bourrage = D * T - longueurDest;

    Cartes cartes;
    if (!cartes.charger(src.get(), longueurSource, S)) {
        const int err = errno;
        defaire(-1);
        return echec(QStringLiteral("Impossible de lire le fichier %1 : %2.").arg(source, raisonSysteme(err)));
    }

    // The chosen cards are gathered at the front of the source's image, in their order.
    char *octets = cartes.octets();
    Selecteur selecteur(selection);
    qint64 n = 0;
    constexpr qint64 ParEtape = 1024;
    for (qint64 k = 0; k < S; ++k) {
        if (progression && k % ParEtape == 0 && !progression(k, S)) {
            defaire(-1);
            res.annule = true;
            return res;
        }
        char *carte = octets + k * T;
        if (!selecteur.prendre(marque(carte)))
            continue;
        char *vers = octets + n * T;
        if (vers != carte)
            std::memcpy(vers, carte, size_t(T));
        if (vers[offsets::Marque] != 0 || vers[offsets::Marque + 1] != 0)
            vers[offsets::Marque] = vers[offsets::Marque + 1] = 0;
        ++n;
    }
    if (progression && !progression(S, S)) {
        defaire(-1);
        res.annule = true;
        return res;
    }

    // Card numbers stop at FichesMax: cards beyond could never be shown nor written back.
    if (n > 0 && D + n > FichesMax) {
        defaire(-1);
        return echec(QStringLiteral("Le fichier destination %1 contiendrait %2 fiches, plus que les %3 qu'une banque "
                                    "peut numéroter : il n'a pas été modifié.")
                         .arg(destination)
                         .arg(D + n)
                         .arg(FichesMax));
    }
    if (n > 0) {
        static const char zeros[T] = {};
        std::vector<iovec> morceaux;
        if (bourrage > 0)
            morceaux.push_back({const_cast<char *>(zeros), size_t(bourrage)});
        morceaux.push_back({octets, size_t(n * T)});
        // The old length goes to a journal on the disk first: an append cut short by a kill
        // or a power cut is undone at the next opening.
        const QString reelle = disque::cheminReel(destination);
        if ((sd.st_mode & S_IWUSR) == 0) {
            defaire(-1);
            return echec(QStringLiteral("Le fichier destination %1 est en lecture seule : il n'a pas été modifié.")
                             .arg(destination));
        }
        if (Resultat j = disque::journaliserLongueur(reelle, longueurDest); !j) {
            defaire(-1);
            return echec(j.erreur);
        }
        if (!ecrireTout(dst.get(), std::move(morceaux), longueurDest) || sf.vider(dst.get()) != 0) {
            const int err = errno;
            defaire(longueurDest);
            disque::oublierJournal(reelle);
            disque::viderDossierDe(reelle);
            return echec(QStringLiteral("Impossible d'écrire dans le fichier destination %1 : %2. %3")
                             .arg(destination, raisonSysteme(err),
                                  cree ? QStringLiteral("Le fichier destination n'a pas été créé.")
                                       : QStringLiteral("Le fichier destination n'a pas été modifié.")));
        }
    }
    if (n > 0) {
        const QString reelle = disque::cheminReel(destination);
        // A journal left behind would take the copies away at the next opening: the append is
        // undone now, so that what is said is what stays.
        if (!disque::oublierJournal(reelle)) {
            const int err = errno;
            defaire(longueurDest);
            disque::oublierJournal(reelle);
            return echec(QStringLiteral("Le journal du fichier destination %1 n'a pas pu être effacé (%2) : les fiches "
                                        "n'ont pas été copiées.")
                             .arg(destination, raisonSysteme(err)));
        }
        if (!disque::viderDossierDe(reelle))
            return echec(QStringLiteral("Les fiches ont été copiées, mais le dossier du fichier destination %1 n'a "
                                        "pas pu être enregistré sur le disque : %2.")
                             .arg(destination, raisonSysteme(errno)));
    } else if (cree) {
        disque::viderDossierDe(destination);
    }
    res.copiees = int(n);
    res.mediasNonCopies = copierMediasDesCartes(source, destination, octets, n);
    return res;
}
