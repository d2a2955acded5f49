#include "tidy/corbeille.h"
#include "tidy/ecriture.h"
#include "store/disque.h"
#include "store/systemefichiers.h"

#include "store/fichierquestions.h"
#include "store/reecriture.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corbeille {
namespace {

fichiers::Systeme &sf() { return fichiers::systeme(); }
constexpr qint64 T = FicheQuestion::Taille;
constexpr qint64 D = 16;  // date record: date, checksum

using disque::Fd;
using disque::local;
using disque::raison;

void poser64(char *p, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

quint64 lire64(const char *p)
{
    quint64 v = 0;
    for (int i = 0; i < 8; ++i)
        v |= quint64(quint8(p[i])) << (8 * i);
    return v;
}

QByteArray recordDate(const char *enregistrement, qint64 date)
{
    QByteArray r(int(D), '\0');
    poser64(r.data(), quint64(date));
    poser64(r.data() + 8, empreinte(enregistrement));
    return r;
}

// The whole of a small file; a missing file reads as empty.
bool lireFichier(const QString &chemin, QByteArray &octets)
{
    octets.clear();
    Fd fd(sf().ouvrir(local(chemin).constData(), O_RDONLY | O_CLOEXEC, 0));
    if (fd.get() < 0)
        return errno == ENOENT;
    struct stat st {};
    if (sf().etat(fd.get(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    octets.resize(qsizetype(st.st_size));
    const qint64 lus = disque::lireComplet(fd.get(), octets.data(), st.st_size, 0);
    if (lus < 0)
        return false;
    octets.truncate(qsizetype(lus));
    return true;
}

QString cartes(const QString &dossier) { return dossier + u'/' + nomCartes(); }
QString dates(const QString &dossier) { return dossier + u'/' + nomDates(); }

// Opens one of the two files for appending; a file created now is flushed into its folder.
int ouvrirPourAjout(const QString &chemin)
{
    struct stat avant {};
    const bool existait = sf().etatChemin(local(chemin).constData(), &avant) == 0;
    const int fd = sf().ouvrir(local(chemin).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat st {};
    int err = 0;
    if (sf().etat(fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))  // a device or a fifo put in its place would swallow the card
        err = EINVAL;
    else if (!existait && !disque::viderDossierDe(chemin))
        err = errno;
    if (err != 0) {
        sf().fermer(fd);
        errno = err;
        return -1;
    }
    return fd;
}

QString texteEchec(const QString &chemin, int err)
{
    return QStringLiteral("Impossible d'écrire dans la corbeille %1 : %2").arg(chemin, raison(err));
}

} // namespace

QString nomCartes() { return QStringLiteral("corbeille.qzc"); }
QString nomDates() { return QStringLiteral("corbeille.qzd"); }

QString dossierMediaDe(const QString &cheminBanque)
{
    const QFileInfo info(cheminBanque);
    const QString nom = info.fileName();
    return info.path() + u'/' + nom.left(qMax<qsizetype>(0, nom.size() - 4));
}

quint64 empreinte(const char *enregistrement)
{
    quint64 h = 1469598103934665603ULL;  // FNV-1a
    for (qint64 i = 0; i < T; ++i) {
        h ^= quint8(enregistrement[i]);
        h *= 1099511628211ULL;
    }
    return h;
}

Resultat lire(const QString &dossierMedia, Contenu &c)
{
    QByteArray d;
    if (!lireFichier(cartes(dossierMedia), c.cartes) || !lireFichier(dates(dossierMedia), d)) {
        const int err = errno;
        c = {};
        return Resultat::echec(QStringLiteral("Impossible de lire la corbeille %1 : %2")
                                   .arg(cartes(dossierMedia), raison(err)));
    }
    const int n = int(c.cartes.size() / T);
    c.cartes.truncate(qsizetype(n * T));  // a card cut short by a power cut was never kept
    c.dates.assign(size_t(n), 0);
    const int nd = int(d.size() / D);
    QHash<quint64, qint64> parEmpreinte;  // built only when the two files disagree
    for (int i = 0; i < n; ++i) {
        const quint64 e = empreinte(c.enregistrement(i + 1));
        if (i < nd && lire64(d.constData() + i * D + 8) == e) {
            c.dates[size_t(i)] = qint64(lire64(d.constData() + i * D));
            continue;
        }
        if (parEmpreinte.isEmpty())
            for (int k = 0; k < nd; ++k)
                parEmpreinte.insert(lire64(d.constData() + k * D + 8), qint64(lire64(d.constData() + k * D)));
        c.dates[size_t(i)] = parEmpreinte.value(e, 0);
    }
    return Resultat::succes();
}

Resultat garder(const QString &dossierMedia, const QByteArray &enregistrement, qint64 date)
{
    QByteArray carte = enregistrement.left(int(T));
    carte.append(QByteArray(int(T) - carte.size(), '\0'));
    const QString chCartes = cartes(dossierMedia);
    if (!ecriture::assurerDossier(dossierMedia))
        return Resultat::echec(texteEchec(chCartes, errno));

    Fd fc(ouvrirPourAjout(chCartes));
    if (fc.get() < 0)
        return Resultat::echec(texteEchec(chCartes, errno));
    Fd fd(ouvrirPourAjout(dates(dossierMedia)));
    if (fd.get() < 0)
        return Resultat::echec(texteEchec(dates(dossierMedia), errno));
    struct stat st {};
    if (sf().etat(fc.get(), &st) != 0)
        return Resultat::echec(texteEchec(chCartes, errno));
    const qint64 n = st.st_size / T;

    // The date first, flushed: a card that reaches the file always has its date. Dates left
    // beyond the cards by an earlier cut are dropped; missing ones read as unknown.
    const QByteArray rd = recordDate(carte.constData(), date);
    if (sf().tronquer(fd.get(), off_t(n * D)) != 0 || !disque::ecrireTout(fd.get(), rd.constData(), D, n * D)
        || sf().vider(fd.get()) != 0)
        return Resultat::echec(texteEchec(dates(dossierMedia), errno));
    if ((st.st_size != n * T && sf().tronquer(fc.get(), off_t(n * T)) != 0)
        || !disque::ecrireTout(fc.get(), carte.constData(), T, n * T) || sf().vider(fc.get()) != 0) {
        const int err = errno;
        if (sf().tronquer(fc.get(), off_t(n * T)) == 0)  // no piece of a card stays behind
            sf().vider(fc.get());
        return Resultat::echec(texteEchec(chCartes, err));
    }
    return Resultat::succes();
}

Resultat retirer(const QString &dossierMedia, QList<int> numeros)
{
    Contenu c;
    if (Resultat r = lire(dossierMedia, c); !r)
        return r;
    std::sort(numeros.begin(), numeros.end());
    QByteArray nouvellesCartes, nouvellesDates;
    for (int i = 1; i <= c.nombre(); ++i) {
        if (std::binary_search(numeros.begin(), numeros.end(), i))
            continue;
        nouvellesCartes.append(c.enregistrement(i), int(T));
        nouvellesDates += recordDate(c.enregistrement(i), c.dates[size_t(i - 1)]);
    }
    // Each file is whole, old or new; the checksums pair dates and cards in between.
    if (!ecriture::remplacerPar(dates(dossierMedia), dossierMedia + QStringLiteral("/corbeille.tmd"), nouvellesDates))
        return Resultat::echec(texteEchec(dates(dossierMedia), errno));
    if (!ecriture::remplacerPar(cartes(dossierMedia), dossierMedia + QStringLiteral("/corbeille.tmp"), nouvellesCartes))
        return Resultat::echec(texteEchec(cartes(dossierMedia), errno));
    return Resultat::succes();
}

Resultat vider(const QString &dossierMedia)
{
    for (const QString &chemin : {cartes(dossierMedia), dates(dossierMedia)}) {
        Fd fd(sf().ouvrir(local(chemin).constData(), O_WRONLY | O_CLOEXEC, 0));
        if (fd.get() < 0) {
            if (errno == ENOENT)
                continue;
            return Resultat::echec(texteEchec(chemin, errno));
        }
        if (sf().tronquer(fd.get(), 0) != 0 || sf().vider(fd.get()) != 0)
            return Resultat::echec(texteEchec(chemin, errno));
    }
    return Resultat::succes();
}

Resultat supprimerEnGardant(const QString &cheminBanque, const QString &cheminTmp, int numero,
                            const QString &dossierMedia, qint64 date)
{
    // The card is read as the rewrite will see it; any failure to read it stops the deletion,
    // since a card taken for one never written would go without its copy.
    if (Resultat r = reprendreBanque(cheminBanque); !r)
        return r;
    // A bank the deletion would refuse gets no copy either: nothing is written at all.
    if (Resultat r = verifierReecriture(cheminBanque); !r)
        return r;
    const QString lecture = QStringLiteral("Impossible de lire le fichier %1 : %2");
    Fd fd(sf().ouvrir(local(cheminBanque).constData(), O_RDONLY | O_CLOEXEC, 0));
    struct stat st {};
    if (fd.get() < 0 || sf().etat(fd.get(), &st) != 0)
        return Resultat::echec(lecture.arg(cheminBanque, raison(errno)));
    const qint64 avant = st.st_size;
    const bool existe = numero >= 1 && numero <= nombreDeFiches(avant);
    QByteArray carte(int(T), '\0');
    if (existe && disque::lireComplet(fd.get(), carte.data(), T, qint64(numero - 1) * T) <= 0)
        return Resultat::echec(lecture.arg(cheminBanque, raison(errno)));
    fd.reset();

    // What a refused deletion must take away again: a recycle file or a media folder it made.
    const bool dossierNeuf = !QFileInfo::exists(dossierMedia);
    const bool corbeilleNeuve = !QFileInfo::exists(cartes(dossierMedia));
    if (existe) {
        if (Resultat r = garder(dossierMedia, carte, date); !r)
            return Resultat::echec(QStringLiteral("La fiche %1 n'a pas pu être gardée dans la corbeille, elle n'est "
                                                  "donc pas supprimée. %2")
                                       .arg(numero)
                                       .arg(r.erreur));
    }
    Resultat r = supprimerFiche(cheminBanque, cheminTmp, numero);
    if (!r && existe) {
        // A card still in the bank loses its copy, so that it is not offered back twice. A rewrite
        // may fail after its rename (the folder not flushed): then the bank is new and the copy stays.
        Fd apres(sf().ouvrir(local(cheminBanque).constData(), O_RDONLY | O_CLOEXEC, 0));
        QByteArray encore(int(T), '\0');
        Contenu c;
        if (apres.get() >= 0 && sf().etat(apres.get(), &st) == 0 && nombreDeFiches(st.st_size) == nombreDeFiches(avant)
            && disque::lireComplet(apres.get(), encore.data(), T, qint64(numero - 1) * T) > 0 && encore == carte
            && lire(dossierMedia, c) && c.nombre() > 0 && QByteArray(c.enregistrement(c.nombre()), int(T)) == carte) {
            if (corbeilleNeuve) {
                sf().supprimer(local(cartes(dossierMedia)).constData());
                sf().supprimer(local(dates(dossierMedia)).constData());
                if (dossierNeuf)
                    QDir().rmdir(dossierMedia);
            } else {
                retirer(dossierMedia, {c.nombre()});
            }
        }
    }
    return r;
}

Resultat restaurer(const QString &cheminBanque, const QString &cheminTmp, const QString &dossierMedia,
                   QList<int> numeros, int *premiere)
{
    Contenu c;
    if (Resultat r = lire(dossierMedia, c); !r)
        return r;
    std::sort(numeros.begin(), numeros.end());
    numeros.erase(std::unique(numeros.begin(), numeros.end()), numeros.end());
    QByteArray enregistrements;
    for (int n : numeros) {
        if (n < 1 || n > c.nombre())
            return Resultat::echec(QStringLiteral("La corbeille ne contient pas de fiche numéro %1 (elle en contient %2).")
                                       .arg(n)
                                       .arg(c.nombre()));
        enregistrements.append(c.enregistrement(n), int(T));
    }
    if (numeros.isEmpty())
        return Resultat::echec(QStringLiteral("Aucune fiche de la corbeille n'est choisie."));

    FichierQuestions f;
    int avant = 0;
    if (f.ouvrir(cheminBanque, FichierQuestions::Mode::Lecture))
        avant = f.nombre();
    f.fermer();
    if (Resultat r = ajouterFiches(cheminBanque, cheminTmp, enregistrements); !r)
        return r;
    if (premiere)
        *premiere = avant + 1;
    // The cards are back in the bank: should this fail, they stay offered in the recycle file too.
    return retirer(dossierMedia, numeros);
}

} // namespace corbeille
