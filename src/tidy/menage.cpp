#include "tidy/menage.h"
#include "tidy/ecriture.h"
#include "store/disque.h"
#include "store/systemefichiers.h"
#include "store/reecriture.h"

#include "search/recherche.h"

#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace menage {
namespace {

fichiers::Systeme &sf() { return fichiers::systeme(); }
constexpr qint64 T = FicheQuestion::Taille;
using disque::Fd;
using disque::local;

// Whole records, about 1 MB at a time, in one buffer reused for the whole pass.
template <class F> bool parcourir(int fd, qint64 longueur, F &&chaque)
{
    constexpr qint64 ParBloc = 1306 * T;
    std::vector<char> bloc(size_t(qMin(ParBloc, qMax<qint64>(longueur, 1))) + size_t(T));
    int numero = 0;
    for (qint64 pos = 0; pos < longueur;) {
        const qint64 r = disque::lireComplet(fd, bloc.data(), qMin<qint64>(qint64(bloc.size()) - T, longueur - pos), pos);
        if (r <= 0) {
            errno = r < 0 ? errno : EIO;
            return false;
        }
        const qint64 entiers = (r + T - 1) / T * T;
        std::memset(bloc.data() + r, 0, size_t(entiers - r));  // a short last record reads padded
        if (!chaque(bloc.data(), int(entiers / T), numero))
            return false;
        numero += int(entiers / T);
        pos += r;
    }
    return true;
}

void compterTheme(ComptesThemes &c, const char *enr)
{
    const int t = quint8(enr[offsets::NumTheme]);
    t <= 8 ? ++c.parTheme[size_t(t)] : ++c.horsThemes;
}

} // namespace

QString cheminTemporaire(const QString &cheminBanque)
{
    return QFileInfo(cheminBanque).path() + QStringLiteral("/MENAGE.TMP");
}

Bilan reecrire(const QString &cheminBanque, const QString &cheminTmp,
               const std::function<bool(int, char *)> &changer)
{
    Bilan b;
    auto echec = [&](const QString &texte, const QString &chemin, int err) {
        b.resultat = Resultat::echec(texte.arg(chemin, disque::raison(err)));
        b.changees = 0;
        return b;
    };
    const QString lecture = QStringLiteral("Impossible de lire le fichier %1 : %2");
    const QString ecriture = QStringLiteral("Impossible d'écrire le fichier %1 : %2");

    // As the store's rewrites do: what an interrupted write left is settled first, a bank its
    // owner may not write is refused, a link leads to the real file, whose rights the new one takes.
    if (Resultat r = reprendreBanque(cheminBanque); !r) {
        b.resultat = r;
        return b;
    }
    const QString reelle = disque::cheminReel(cheminBanque);
    struct stat droits {};
    if (Resultat r = verifierReecriture(reelle); !r) {
        b.resultat = r;
        return b;
    }
    if (Resultat r = disque::verifierModifiable(reelle, &droits); !r) {
        b.resultat = r;
        return b;
    }
    Fd src(sf().ouvrir(local(reelle).constData(), O_RDONLY | O_CLOEXEC, 0));
    struct stat st {};
    if (src.get() < 0 || sf().etat(src.get(), &st) != 0)
        return echec(lecture, cheminBanque, errno);
    const qint64 longueur = st.st_size;
    b.total = nombreDeFiches(longueur);

    // A first pass tells whether anything changes at all: a bank left as it is is not rewritten.
    const bool lu = parcourir(src.get(), longueur, [&](char *bloc, int n, int premier) {
        for (int i = 0; i < n; ++i) {
            char *enr = bloc + i * T;
            if (changer(premier + i + 1, enr))
                ++b.changees;
            compterTheme(b.comptes, enr);
        }
        return true;
    });
    if (!lu)
        return echec(lecture, cheminBanque, errno);
    if (b.changees == 0)
        return b;

    b.changees = 0;
    b.comptes = {};
    const QString temporaire = disque::voisin(reelle, cheminTmp);
    Fd tmp(disque::creerNeuf(temporaire));
    if (tmp.get() < 0 || !disque::reprendreDroits(tmp.get(), droits)) {
        const int err = errno;
        if (tmp.get() >= 0)
            sf().supprimer(local(temporaire).constData());
        return echec(ecriture, temporaire, err);
    }
    qint64 ecrit = 0;
    bool enEcriture = false;
    const bool copie = parcourir(src.get(), longueur, [&](char *bloc, int n, int premier) {
        for (int i = 0; i < n; ++i) {
            char *enr = bloc + i * T;
            if (changer(premier + i + 1, enr))
                ++b.changees;
            compterTheme(b.comptes, enr);
        }
        if (!disque::ecrireTout(tmp.get(), bloc, n * T, ecrit)) {
            enEcriture = true;
            return false;
        }
        ecrit += n * T;
        return true;
    });
    bool ok = copie && sf().vider(tmp.get()) == 0
              && sf().renommer(local(temporaire).constData(), local(reelle).constData()) == 0;
    if (!ok) {
        const int err = errno;
        sf().supprimer(local(temporaire).constData());
        return copie || enEcriture ? echec(ecriture, temporaire, err) : echec(lecture, cheminBanque, err);
    }
    disque::viderDossierDe(reelle);
    return b;
}

Bilan changerTheme(const QString &cheminBanque, const QString &cheminTmp, const recherche::Critere &quelles,
                   int theme)
{
    if (theme < 0 || theme > 8) {
        Bilan b;
        b.resultat = Resultat::echec(QStringLiteral("Le thème %1 n'existe pas (0 à 8).").arg(theme));
        return b;
    }
    return reecrire(cheminBanque, cheminTmp, [&](int, char *enr) {
        if (!quelles.convient(enr) || quint8(enr[offsets::NumTheme]) == theme)
            return false;
        enr[offsets::NumTheme] = char(theme);
        return true;
    });
}

int compter(const QString &cheminBanque, const recherche::Critere &quelles, Resultat *resultat)
{
    Fd src(sf().ouvrir(local(cheminBanque).constData(), O_RDONLY | O_CLOEXEC, 0));
    struct stat st {};
    int n = 0;
    const bool ok = src.get() >= 0 && sf().etat(src.get(), &st) == 0
                    && parcourir(src.get(), st.st_size, [&](char *bloc, int nb, int) {
                           for (int i = 0; i < nb; ++i)
                               n += quelles.convient(bloc + i * T) ? 1 : 0;
                           return true;
                       });
    if (resultat)
        *resultat = ok ? Resultat::succes()
                       : Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2")
                                             .arg(cheminBanque, disque::raison(errno)));
    return ok ? n : 0;
}

Bilan marquer(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros)
{
    const QSet<int> choisis(numeros.begin(), numeros.end());
    return reecrire(cheminBanque, cheminTmp, [&](int numero, char *enr) {
        if (!choisis.contains(numero) || (enr[offsets::Marque] == 1 && enr[offsets::Marque + 1] == 0))
            return false;
        enr[offsets::Marque] = 1;
        enr[offsets::Marque + 1] = 0;
        return true;
    });
}

} // namespace menage
