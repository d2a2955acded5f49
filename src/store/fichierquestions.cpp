#include "store/fichierquestions.h"
#include "store/disque.h"
#include "store/systemefichiers.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using disque::raison;
fichiers::Systeme &sf() { return fichiers::systeme(); }

} // namespace

qint64 lireComplet(int fd, char *tampon, qint64 n, qint64 position)
{
    return disque::lireComplet(fd, tampon, n, position);
}

FichierQuestions::~FichierQuestions() { fermer(); }

Resultat FichierQuestions::ouvrir(const QString &chemin, Mode mode)
{
    fermer();
    // What a program stopped in the middle of a write left behind is settled first. A bank
    // only read is still shown when that cannot be done (its old state is whole).
    if (Resultat r = reprendreBanque(chemin); !r && mode == Mode::LectureEcriture)
        return r;
    const QByteArray nom = QFile::encodeName(chemin);
    const int fd = mode == Mode::Lecture ? sf().ouvrir(nom.constData(), O_RDONLY | O_CLOEXEC, 0)
                                         : sf().ouvrir(nom.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Resultat::echec(QStringLiteral("Impossible d'ouvrir le fichier %1 : %2").arg(chemin, raison(errno)));
    struct stat st {};
    if (sf().etat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        sf().fermer(fd);
        return Resultat::echec(QStringLiteral("Impossible d'ouvrir le fichier %1 : c'est un dossier").arg(chemin));
    }
    m_fd = fd;
    m_chemin = chemin;
    m_reel = disque::cheminReel(chemin);
    return Resultat::succes();
}

void FichierQuestions::fermer()
{
    if (m_fd >= 0)
        sf().fermer(m_fd);
    m_fd = -1;
}

qint64 FichierQuestions::longueur() const
{
    struct stat st {};
    if (m_fd < 0 || sf().etat(m_fd, &st) != 0)
        return 0;
    return qint64(st.st_size);
}

int FichierQuestions::nombre() const { return nombreDeFiches(longueur()); }

FicheQuestion FichierQuestions::lire(int n) const
{
    char b[FicheQuestion::Taille];
    if (m_fd < 0 || n < 1)
        return {};
    const qint64 lus = lireComplet(m_fd, b, FicheQuestion::Taille, qint64(n - 1) * FicheQuestion::Taille);
    return FicheQuestion::depuisOctets(b, qMax<qint64>(lus, 0));
}

Resultat FichierQuestions::ecrire(int n, const FicheQuestion &fiche)
{
    if (m_fd < 0 || n < 1)
        return Resultat::echec(QStringLiteral("Le fichier %1 n'est pas ouvert").arg(m_chemin));
    auto echec = [&](int err) {
        return Resultat::echec(QStringLiteral("Impossible d'écrire la fiche %1 dans le fichier %2 : %3")
                                   .arg(n).arg(m_chemin, raison(err)));
    };
    struct stat st {};
    if (sf().etat(m_fd, &st) != 0)
        return echec(errno);
    if ((st.st_mode & S_IWUSR) == 0)
        return Resultat::echec(QStringLiteral("Le fichier %1 est en lecture seule : la fiche %2 n'a pas été enregistrée.")
                                   .arg(m_chemin).arg(n));
    char b[FicheQuestion::Taille];
    fiche.versOctets(b);
    const qint64 debut = qint64(n - 1) * FicheQuestion::Taille;
    char ancien[FicheQuestion::Taille];
    const qint64 anciens = qMax<qint64>(0, disque::lireComplet(m_fd, ancien, FicheQuestion::Taille, debut));

    // The new record reaches the journal's disk before the bank is touched: a power cut
    // while the record is written leaves a whole journal that the next opening plays again.
    if (Resultat r = disque::journaliserEnregistrement(m_reel, debut, b, FicheQuestion::Taille); !r)
        return r;
    if (!disque::ecrireTout(m_fd, b, FicheQuestion::Taille, debut) || sf().vider(m_fd) != 0) {
        const int err = errno;
        // The bank is put back as it was, and the journal goes: the card was not saved.
        const bool remis = disque::ecrireTout(m_fd, ancien, anciens, debut)
                           && (anciens == FicheQuestion::Taille || sf().tronquer(m_fd, off_t(st.st_size)) == 0)
                           && sf().vider(m_fd) == 0;
        if (remis) {
            disque::oublierJournal(m_reel);
            disque::viderDossierDe(m_reel);
        }
        return echec(err);
    }
    // Played again by mistake after a power cut, the journal would write the same bytes.
    disque::oublierJournal(m_reel);
    return Resultat::succes();
}

ComptesThemes FichierQuestions::compterThemes() const
{
    ComptesThemes c;
    if (m_fd < 0)
        return c;
    const qint64 total = longueur();
    // About 1 MB of whole records at a time, in one buffer reused for the whole pass.
    constexpr qint64 parBloc = 1306 * FicheQuestion::Taille;
    std::vector<char> bloc(size_t(qMin(parBloc, qMax<qint64>(total, 1))));
    for (qint64 pos = 0; pos < total;) {
        const qint64 r = lireComplet(m_fd, bloc.data(), qMin<qint64>(qint64(bloc.size()), total - pos), pos);
        if (r <= 0)
            break;
        for (qint64 o = 0; o < r; o += FicheQuestion::Taille) {
            // A short last record has its missing bytes read as zero.
            const int theme = o + offsets::NumTheme < r ? quint8(bloc[size_t(o + offsets::NumTheme)]) : 0;
            theme <= 8 ? ++c.parTheme[size_t(theme)] : ++c.horsThemes;
        }
        pos += r;
    }
    return c;
}
