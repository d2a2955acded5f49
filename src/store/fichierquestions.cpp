#include "store/fichierquestions.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QString raison(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

} // namespace

qint64 lireComplet(int fd, char *tampon, qint64 n, qint64 position)
{
    qint64 lus = 0;
    while (lus < n) {
        const ssize_t r = ::pread(fd, tampon + lus, size_t(n - lus), off_t(position + lus));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return lus > 0 ? lus : -1;
        if (r == 0)
            break;
        lus += r;
    }
    return lus;
}

namespace {

} // namespace

FichierQuestions::~FichierQuestions() { fermer(); }

Resultat FichierQuestions::ouvrir(const QString &chemin, Mode mode)
{
    fermer();
    const QByteArray nom = QFile::encodeName(chemin);
    const int fd = mode == Mode::Lecture ? ::open(nom.constData(), O_RDONLY | O_CLOEXEC)
                                         : ::open(nom.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Resultat::echec(QStringLiteral("Impossible d'ouvrir le fichier %1 : %2").arg(chemin, raison(errno)));
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Resultat::echec(QStringLiteral("Impossible d'ouvrir le fichier %1 : c'est un dossier").arg(chemin));
    }
    m_fd = fd;
    m_chemin = chemin;
    return Resultat::succes();
}

void FichierQuestions::fermer()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

qint64 FichierQuestions::longueur() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
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
    char b[FicheQuestion::Taille];
    fiche.versOctets(b);
    const off_t debut = off_t(n - 1) * FicheQuestion::Taille;
    ssize_t ecrits = 0;
    while (ecrits < FicheQuestion::Taille) {
        const ssize_t r = ::pwrite(m_fd, b + ecrits, size_t(FicheQuestion::Taille - ecrits), debut + ecrits);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return Resultat::echec(QStringLiteral("Impossible d'écrire la fiche %1 dans le fichier %2 : %3")
                                       .arg(n).arg(m_chemin, raison(r < 0 ? errno : ENOSPC)));
        ecrits += r;
    }
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
