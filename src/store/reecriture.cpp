#include "store/reecriture.h"
#include "store/disque.h"
#include "store/systemefichiers.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace disque;

constexpr qint64 T = FicheQuestion::Taille;

fichiers::Systeme &sf() { return fichiers::systeme(); }

// Flushes the new file, then renames it over the bank and flushes the folder: false with
// errno set when a step fails. *renomme tells whether the new file took the bank's name.
bool remplacer(int fdNouveau, const QString &nouveau, const QString &banque, bool *renomme)
{
    *renomme = false;
    if (sf().vider(fdNouveau) != 0)
        return false;
    if (sf().renommer(local(nouveau).constData(), local(banque).constData()) != 0)
        return false;
    *renomme = true;
    return viderDossierDe(banque);
}

struct Source {
    Fd fd;
    qint64 longueur = 0;
    struct stat st {};
};

// Opens the real bank for a rewrite: it must be a file its owner may write. It is opened
// for writing too, so that the system refuses a bank this user may not write.
Resultat ouvrirSource(const QString &chemin, Source &s)
{
    if (Resultat r = verifierReecriture(chemin); !r)
        return r;
    s.fd.reset(sf().ouvrir(local(chemin).constData(), O_RDWR | O_CLOEXEC, 0));
    if (s.fd.get() < 0 || sf().etat(s.fd.get(), &s.st) != 0)
        return Resultat::echec(QStringLiteral("Impossible de modifier le fichier %1 : %2").arg(chemin, raison(errno)));
    s.longueur = s.st.st_size;
    return Resultat::succes();
}

} // namespace

Resultat verifierReecriture(const QString &cheminBanque)
{
    struct stat st {};
    if (Resultat r = verifierModifiable(cheminReel(cheminBanque), &st); !r)
        return r;
    if (const int n = nombreDeFiches(st.st_size); n > FichesMax)
        return Resultat::echec(QStringLiteral("Le fichier %1 contient %2 fiches, plus que les %3 qu'une banque peut "
                                              "numéroter : il n'a pas été modifié.")
                                   .arg(cheminBanque)
                                   .arg(n)
                                   .arg(FichesMax));
    return Resultat::succes();
}

namespace {

// The real file behind the bank's name, and the temporary name beside it.
struct Lieux {
    QString banque;
    QString tmp;
};

Lieux lieux(const QString &cheminBanque, const QString &cheminTmp)
{
    const QString reel = cheminReel(cheminBanque);
    return {reel, reel == cheminBanque ? cheminTmp : voisin(reel, cheminTmp)};
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
            const qint64 r = disque::lireComplet(src.fd.get(), lu.data(), qMin(ParLecture, src.longueur - pos), pos);
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
    if (sf().tronquer(fd, off_t(longueur)) != 0) {
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
    if (sf().etatChemin(local(chemin).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)
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
        const int fd = sf().ouvrir(local(chemin).constData(), O_RDWR | O_CLOEXEC, 0);
        if (fd >= 0)
            return fd;
    }
    return creerNeuf(chemin);
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

    if (Resultat r = reprendreBanque(cheminBanque); !r) {
        res.resultat = r;
        res.echec = ResultatClasser::Etape::Lecture;
        return res;
    }
    const Lieux l = lieux(cheminBanque, cheminTmp);
    Source src;
    if (Resultat r = ouvrirSource(l.banque, src); !r) {
        res.resultat = r;
        res.echec = ResultatClasser::Etape::Lecture;
        return res;
    }
    res.total = nombreDeFiches(src.longueur);

    // 1. The sorted cards go into base.tmp, whole and flushed, with the bank's rights.
    Fd tmp(ouvrirPourEcraser(l.tmp));
    if (tmp.get() < 0)
        return echec(ResultatClasser::Etape::CopieTriee, l.tmp, errno);
    // A half-written base.tmp is of no use to anyone, and on a full disk it holds the space.
    auto sansCopie = [&](ResultatClasser::Etape etape, const QString &chemin, int err) {
        tmp.reset();
        sf().supprimer(local(l.tmp).constData());
        return echec(etape, chemin, err);
    };
    bool enEcriture = false;
    if (!ecrireTrie(src, tmp.get(), res.ecrits, &enEcriture))
        return enEcriture ? sansCopie(ResultatClasser::Etape::CopieTriee, l.tmp, errno)
                          : sansCopie(ResultatClasser::Etape::Lecture, l.banque, errno);
    if (!reprendreDroits(tmp.get(), src.st) || sf().vider(tmp.get()) != 0)
        return sansCopie(ResultatClasser::Etape::CopieTriee, l.tmp, errno);
    const qint64 longueur = qint64(res.total) * T;

    // 2. The bank and base.tmp swap names in one atomic step: the bank is the sorted file,
    //    base.tmp the old bank. Once the folder is on the disk, base.tmp is written over
    //    with a copy of the sorted file; before, a power cut could bring the old name back
    //    onto a file half written.
    dev_t disqueBanque = 0, disqueTmp = 0;
    if (fichierSimple(l.banque, &disqueBanque) && fichierSimple(l.tmp, &disqueTmp) && disqueBanque == disqueTmp
        && sf().echanger(local(l.tmp).constData(), local(l.banque).constData()) == 0) {
        if (!viderDossierDe(l.banque)) {
            const int err = errno;
            res.resultat = Resultat::echec(
                QStringLiteral("Le dossier du fichier %1 n'a pas pu être enregistré sur le disque : %2")
                    .arg(l.banque, raison(err)));
            res.echec = ResultatClasser::Etape::Dossier;
            return res;
        }
        Fd ancien(sf().ouvrir(local(l.tmp).constData(), O_WRONLY | O_CLOEXEC, 0));
        if (ancien.get() < 0 || !copierPlage(tmp.get(), 0, ancien.get(), longueur, 0)
            || sf().tronquer(ancien.get(), off_t(longueur)) != 0)
            return echec(ResultatClasser::Etape::CopieFinale, l.tmp, errno);
        return res;
    }

    // 3. Otherwise (a bank with a second name, a system without the exchange) the bank is
    //    replaced by a new, flushed copy of base.tmp, renamed over it.
    const QString nouveau = l.banque + QStringLiteral(".nouveau");
    Fd copie(creerNeuf(nouveau));
    bool renomme = false;
    if (copie.get() < 0 || !reprendreDroits(copie.get(), src.st) || !copierPlage(tmp.get(), 0, copie.get(), longueur, 0)
        || !remplacer(copie.get(), nouveau, l.banque, &renomme)) {
        const int err = errno;
        if (renomme) {
            res.resultat = Resultat::echec(
                QStringLiteral("Le dossier du fichier %1 n'a pas pu être enregistré sur le disque : %2")
                    .arg(l.banque, raison(err)));
            res.echec = ResultatClasser::Etape::Dossier;
            return res;
        }
        if (copie.get() >= 0)
            sf().supprimer(local(nouveau).constData());
        return echec(ResultatClasser::Etape::Remplacement, l.banque, err);
    }
    return res;
}

Resultat supprimerFiche(const QString &cheminBanque, const QString &cheminTmp, int numero)
{
    if (Resultat r = reprendreBanque(cheminBanque); !r)
        return r;
    const Lieux l = lieux(cheminBanque, cheminTmp);
    Source src;
    if (Resultat r = ouvrirSource(l.banque, src); !r)
        return r;
    const int n = nombreDeFiches(src.longueur);
    const bool existe = numero >= 1 && numero <= n;
    const qint64 avant = existe ? qint64(numero - 1) * T : src.longueur;
    const qint64 apres = existe ? qMin(qint64(numero) * T, src.longueur) : src.longueur;
    const qint64 attendu = qint64(existe ? n - 1 : n) * T;

    Fd tmp(creerNeuf(l.tmp));
    bool renomme = false;
    bool ok = tmp.get() >= 0 && reprendreDroits(tmp.get(), src.st) && copierPlage(src.fd.get(), 0, tmp.get(), avant, 0)
              && copierPlage(src.fd.get(), apres, tmp.get(), src.longueur - apres, avant)
              && sf().tronquer(tmp.get(), off_t(attendu)) == 0  // pads a short last record with zeros
              && remplacer(tmp.get(), l.tmp, l.banque, &renomme);
    if (!ok) {
        const int err = errno;
        if (renomme)
            return Resultat::echec(QStringLiteral("La fiche %1 a été supprimée, mais le dossier du fichier %2 n'a pas "
                                                  "pu être enregistré sur le disque : %3")
                                       .arg(numero).arg(l.banque, raison(err)));
        if (tmp.get() < 0)
            return Resultat::echec(QStringLiteral("Impossible de supprimer la fiche %1 : impossible d'écrire le fichier "
                                                  "%2 : %3")
                                       .arg(numero).arg(l.tmp, raison(err)));
        sf().supprimer(local(l.tmp).constData());
        return Resultat::echec(QStringLiteral("Impossible de supprimer la fiche %1 du fichier %2 : %3")
                                   .arg(numero).arg(l.banque, raison(err)));
    }
    return Resultat::succes();
}

Resultat ajouterFiches(const QString &cheminBanque, const QString &cheminTmp, const QByteArray &enregistrements)
{
    if (Resultat r = reprendreBanque(cheminBanque); !r)
        return r;
    const Lieux l = lieux(cheminBanque, cheminTmp);
    Source src;
    struct stat st {};
    if (sf().etatChemin(local(l.banque).constData(), &st) == 0) {
        if (Resultat r = ouvrirSource(l.banque, src); !r)
            return r;
    } else if (errno != ENOENT) {
        return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(l.banque, raison(errno)));
    } else {
        src.st.st_mode = S_IFREG | 0644;  // a new bank, as the editor creates them
        src.st.st_uid = ::geteuid();
        src.st.st_gid = ::getegid();
    }
    const qint64 garde = qint64(nombreDeFiches(src.longueur)) * T;
    Fd tmp(creerNeuf(l.tmp));
    bool renomme = false;
    bool ok = tmp.get() >= 0 && reprendreDroits(tmp.get(), src.st)
              && (src.fd.get() < 0 || copierPlage(src.fd.get(), 0, tmp.get(), src.longueur, 0))
              && sf().tronquer(tmp.get(), off_t(garde)) == 0  // pads a short last record with zeros
              && ecrireTout(tmp.get(), enregistrements.constData(), enregistrements.size(), garde)
              && remplacer(tmp.get(), l.tmp, l.banque, &renomme);
    if (!ok) {
        const int err = errno;
        if (renomme)
            return Resultat::echec(QStringLiteral("Les fiches ont été ajoutées, mais le dossier du fichier %1 n'a pas "
                                                  "pu être enregistré sur le disque : %2")
                                       .arg(l.banque, raison(err)));
        if (tmp.get() >= 0)
            sf().supprimer(local(l.tmp).constData());
        return Resultat::echec(QStringLiteral("Impossible d'ajouter des fiches au fichier %1 : %2").arg(l.banque, raison(err)));
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
