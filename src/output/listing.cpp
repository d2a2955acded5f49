#include "output/listing.h"

#include "store/fichequestion.h"
#include "store/fichierquestions.h"

#include <QFile>
#include <QTextStream>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace listing {

ImprimerPdf imprimerPdf = nullptr;

namespace {

constexpr qint64 T = FicheQuestion::Taille;
const QString kDouzeEspaces = QStringLiteral("            ");

bool avecReponses(Forme f) { return f == Forme::Detaillee || f == Forme::Complete; }

// The first `largeur` characters of a field as texte::brut gives them (one byte is one
// character). Where no byte lies in 0x80-0x9F, the only range in which Windows-1252 differs
// from Latin-1, the text is converted in one go.
QString champ(const char *octets, int largeur)
{
    const void *zero = std::memchr(octets, 0, size_t(largeur));
    const qsizetype n = zero ? static_cast<const char *>(zero) - octets : largeur;
    for (qsizetype i = 0; i < n; ++i)
        if ((quint8(octets[i]) & 0xE0) == 0x80)
            return texte::brut(octets, largeur);
    return QString::fromLatin1(octets, n);
}
template <int N> QString champ(const char (&octets)[N]) { return champ(octets, N); }

// Nothing but spaces up to the first zero byte.
template <int N> bool blanc(const char (&octets)[N])
{
    for (int i = 0; i < N && octets[i] != 0; ++i)
        if (octets[i] != ' ')
            return false;
    return true;
}

} // namespace

QString nombre(qint64 n) { return u' ' + QString::number(n) + u' '; }

QString entete(Forme forme, const QString &nomFichier, qint64 nbFiches)
{
    const QString tete = forme == Forme::Rapide || forme == Forme::Detaillee
                             ? QStringLiteral("EDITION ORBELIN - LE FICHIER CONTIENT :")
                             : QStringLiteral("EDITION ORBELIN - LE FICHIER ") + nomFichier + QStringLiteral(" CONTIENT :");
    return tete + nombre(nbFiches) + QStringLiteral("QUESTIONS");
}

QString ligneQuestion(qint64 numero, const FicheQuestion &f) { return nombre(numero) + u')' + champ(f.Question); }

QString ligneReponses(const FicheQuestion &f)
{
    QString l;
    for (int i = 0; i < 3; ++i) {
        if (blanc(f.Reponse[i]))
            continue;
        if (l.isEmpty())
            l.reserve(3 * (kDouzeEspaces.size() + 8 + LargeurReponse));
        l += kDouzeEspaces;
        l += nombre(i);
        l += f.BonneReponse[i] == -1 ? QStringLiteral("Rép=>") : QStringLiteral("-");
        l += champ(f.Reponse[i], LargeurReponse);
    }
    return l;
}

QString ligneCommentaire(const FicheQuestion &f) { return champ(f.Commentaire); }

void SortieFlux::ligne(const QString &texte)
{
    if (!texte.contains(u'\r')) {
        m_flux << texte << '\n';
        return;
    }
    QString t = texte;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(u'\r', u'\n');
    m_flux << t << '\n';
}

ResultatListing imprimer(const QString &chemin, const QString &nomFichier, Forme forme, Selection selection,
                         Sortie &sortie, const Progression &progression)
{
    ResultatListing res;
    const int fd = ::open(QFile::encodeName(chemin).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = fd < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : errno;
        if (fd >= 0)
            ::close(fd);
        res.resultat = Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2.")
                                           .arg(chemin, raisonSysteme(err)));
        return res;
    }
    const qint64 longueur = st.st_size;
    res.nbFiches = nombreDeFiches(longueur);

    sortie.ligne(entete(forme, nomFichier, res.nbFiches));
    sortie.ligne(QString());
    sortie.taillePolice(TailleCorps);

    // The main window lists every card; only the output dialog chooses.
    Selecteur selecteur(forme == Forme::Rapide || forme == Forme::Detaillee ? Selection::Toutes : selection);
    constexpr qint64 ParLecture = 1306 * T;  // about 1 MB of whole cards, one buffer for the whole pass
    constexpr qint64 ParEtape = 256;
    std::vector<char> bloc(size_t(qMin(ParLecture, qMax<qint64>(longueur, 1))));
    qint64 k = 0;
    for (qint64 pos = 0; pos < longueur;) {
        const qint64 r = lireComplet(fd, bloc.data(), qMin<qint64>(qint64(bloc.size()), longueur - pos), pos);
        if (r <= 0) {
            res.resultat = Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2.")
                                               .arg(chemin, raisonSysteme(r < 0 ? errno : EIO)));
            break;
        }
        for (qint64 o = 0; o < r; o += T) {
            if (progression && k % ParEtape == 0 && !progression(k, res.nbFiches)) {
                res.annule = true;
                ::close(fd);
                return res;
            }
            ++k;
            const FicheQuestion f = FicheQuestion::depuisOctets(bloc.data() + o, qMin(T, r - o));
            if (!selecteur.prendre(f.Marque))
                continue;
            ++res.imprimees;
            sortie.ligne(ligneQuestion(k, f));
            if (avecReponses(forme)) {
                sortie.ligne(ligneReponses(f));
                sortie.ligne(ligneCommentaire(f));
            }
            if (forme == Forme::Complete)
                sortie.ligne(QString());
        }
        pos += r;
    }
    ::close(fd);
    if (res.resultat && progression)
        progression(res.nbFiches, res.nbFiches);
    return res;
}

} // namespace listing
