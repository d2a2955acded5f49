#include "search/recherche.h"

#include "store/cp1252.h"
#include "store/fichequestion.h"
#include "store/fichierquestions.h"

#include <QFile>
#include <QLocale>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace recherche {
namespace {

bool chiffre(QChar c) { return c >= u'0' && c <= u'9'; }

// Each Windows-1252 byte to the byte of its lower-case letter (itself when it has none
// the code page can hold).
const std::array<uchar, 256> &minuscules()
{
    static const std::array<uchar, 256> table = [] {
        std::array<uchar, 256> t{};
        for (int o = 0; o < 256; ++o) {
            const QChar c(cp1252::versUnicode(uchar(o)));
            const QChar bas = c.toLower();
            const QByteArray code = cp1252::encode(QString(bas));
            const bool tenu = bas != c && code.size() == 1 && (code[0] != '?' || bas == u'?');
            t[size_t(o)] = tenu ? uchar(code[0]) : uchar(o);
        }
        return t;
    }();
    return table;
}

// Each Windows-1252 byte folded: one or two bytes (a ligature spelt out).
struct Pli {
    uchar n;
    uchar octets[2];
};

const std::array<Pli, 256> &plis()
{
    static const std::array<Pli, 256> table = [] {
        const auto &bas = minuscules();
        std::array<Pli, 256> t{};
        for (int o = 0; o < 256; ++o) {
            const QString plie = plier(QString(QChar(cp1252::versUnicode(uchar(o)))));
            const QByteArray code = cp1252::encode(plie);
            if (!plie.isEmpty() && code.size() <= 2 && cp1252::decode(code) == plie) {
                t[size_t(o)].n = uchar(code.size());
                for (qsizetype k = 0; k < code.size(); ++k)
                    t[size_t(o)].octets[k] = uchar(code[k]);
            } else {
                t[size_t(o)] = {1, {bas[size_t(o)], 0}};
            }
        }
        return t;
    }();
    return table;
}

// About 1 MiB of whole cards, read into one buffer kept for the next searches.
constexpr int kCartesParBloc = 1306;

std::vector<char> &tampon()
{
    thread_local std::vector<char> t(size_t(kCartesParBloc) * FicheQuestion::Taille);
    return t;
}

QString raison(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

class Lecture {
public:
    explicit Lecture(const QString &chemin)
        : m_fd(::open(QFile::encodeName(chemin).constData(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~Lecture()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Lecture(const Lecture &) = delete;
    Lecture &operator=(const Lecture &) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd;
};

Resultat echecLecture(const QString &chemin, int err)
{
    return Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(chemin, raison(err)));
}

} // namespace

double nombreEnTete(const QString &texte)
{
    const QString t = texte::sansEspaces(texte);
    const qsizetype n = t.size();
    auto chiffres = [&](qsizetype de) {
        qsizetype j = de;
        while (j < n && chiffre(t[j]))
            ++j;
        return j - de;
    };
    // Rewritten in one well-formed shape ("-0.5", "7e+1") for the conversion.
    QString forme;
    qsizetype i = 0;
    if (i < n && (t[i] == u'+' || t[i] == u'-'))
        forme += t[i++];
    const qsizetype entiers = chiffres(i);
    forme += entiers > 0 ? t.mid(i, entiers) : QStringLiteral("0");
    i += entiers;
    qsizetype decimales = 0;
    if (i < n && t[i] == u'.') {
        decimales = chiffres(i + 1);
        if (decimales > 0) {
            forme += t.mid(i, decimales + 1);
            i += decimales + 1;
        }
    }
    if (entiers + decimales == 0)
        return 0;
    if (i < n && (t[i] == u'e' || t[i] == u'E')) {
        const qsizetype signe = i + 1 < n && (t[i + 1] == u'+' || t[i + 1] == u'-') ? 1 : 0;
        if (const qsizetype e = chiffres(i + 1 + signe); e > 0)
            forme += t.mid(i, 1 + signe + e);
    }
    // The C locale reads it whatever the user's locale; past the largest double it gives
    // an infinity, below the smallest 0.
    return QLocale::c().toDouble(forme);
}

int ficheDemandee(const QString &texte, int nbFiches)
{
    const double x = nombreEnTete(texte);
    if (!(x >= 1 && x <= nbFiches))
        return 0;
    return int(std::nearbyint(x));
}

QString messageFicheInexistante(const QString &texteTape)
{
    return QStringLiteral("La fiche numéro ") + texteTape + QStringLiteral(" n'existe pas!");
}

QString messageAucuneOccurrence() { return QStringLiteral("Pas d'occurrence trouvée!"); }

// ---------------------------------------------------------------------------

QString plier(const QString &texte)
{
    QString r;
    r.reserve(texte.size());
    for (QChar c : texte.normalized(QString::NormalizationForm_D)) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        const QChar bas = c.toLower();
        if (bas == u'\u0153')
            r += QLatin1String("oe");
        else if (bas == u'\u00E6')
            r += QLatin1String("ae");
        else
            r += bas;
    }
    return r;
}

Critere Critere::texte(const QString &cherche, bool sansAccents)
{
    Critere c(sansAccents ? Genre::TextePlie : Genre::Texte);
    const QString bas = sansAccents ? plier(cherche) : cherche.toLower();
    c.m_motif = cp1252::encode(bas);
    // Encoding replaces what the code page cannot hold: such a text is in no question.
    c.m_introuvable = cp1252::decode(c.m_motif) != bas
                      || c.m_motif.size() > (sansAccents ? 2 : 1) * int(sizeof FicheQuestion::Question);
    if (!c.m_motif.isEmpty()) {
        const auto &table = minuscules();
        for (int o = 0; o < 256; ++o)
            c.m_premier[size_t(o)] = table[size_t(o)] == uchar(c.m_motif[0]);
    }
    return c;
}

Critere Critere::marque() { return Critere(Genre::Marque); }
Critere Critere::media() { return Critere(Genre::Media); }

bool Critere::convient(const char *carte) const
{
    switch (m_genre) {
    case Genre::Texte:
        return !m_introuvable && contientTexte(carte + offsets::Question);
    case Genre::TextePlie:
        return !m_introuvable && contientTextePlie(carte + offsets::Question);
    case Genre::Marque:
        return carte[offsets::Marque] != 0 || carte[offsets::Marque + 1] != 0;
    case Genre::Media:
        // Only spaces are blank: a name of zero bytes, never written, still counts.
        for (int i = 0; i < int(sizeof FicheQuestion::FichierMedia); ++i)
            if (carte[offsets::FichierMedia + i] != ' ')
                return true;
        return false;
    }
    return false;
}

bool Critere::contientTexte(const char *question) const
{
    constexpr qsizetype largeur = sizeof FicheQuestion::Question;
    const qsizetype m = m_motif.size();
    if (m == 0)
        return true;
    const auto &bas = minuscules();
    const auto *q = reinterpret_cast<const uchar *>(question);
    const auto *motif = reinterpret_cast<const uchar *>(m_motif.constData());
    for (qsizetype i = 0; i + m <= largeur; ++i) {
        if (!m_premier[q[i]])
            continue;
        qsizetype j = 1;
        while (j < m && bas[q[i + j]] == motif[j])
            ++j;
        if (j == m)
            return true;
    }
    return false;
}

bool Critere::contientTextePlie(const char *question) const
{
    constexpr qsizetype largeur = sizeof FicheQuestion::Question;
    const qsizetype m = m_motif.size();
    if (m == 0)
        return true;
    // The question folded whole first: a ligature gives two bytes, so positions move.
    const auto &table = plis();
    uchar plie[2 * largeur];
    qsizetype n = 0;
    for (qsizetype i = 0; i < largeur; ++i) {
        const Pli &p = table[uchar(question[i])];
        plie[n] = p.octets[0];
        plie[n + 1] = p.octets[1];
        n += p.n;
    }
    const auto *motif = reinterpret_cast<const uchar *>(m_motif.constData());
    for (qsizetype i = 0; i + m <= n; ++i)
        if (plie[i] == motif[0] && std::memcmp(plie + i + 1, motif + 1, size_t(m - 1)) == 0)
            return true;
    return false;
}

// ---------------------------------------------------------------------------

Issue premiereQuiConvient(const QString &chemin, const Critere &critere, int premiere, int derniere)
{
    premiere = qMax(premiere, 1);
    if (premiere > derniere)
        return {};
    Lecture lecture(chemin);
    if (lecture.fd() < 0)
        return {0, echecLecture(chemin, errno)};
    struct stat st {};
    if (::fstat(lecture.fd(), &st) != 0)
        return {0, echecLecture(chemin, errno)};
    const qint64 taille = qint64(st.st_size);
    constexpr qint64 T = FicheQuestion::Taille;

    std::vector<char> &bloc = tampon();
    const int finFichier = qMin(derniere, nombreDeFiches(taille));
    int k = premiere;
    while (k <= finFichier) {
        const int nb = qMin(kCartesParBloc, finFichier - k + 1);
        const qint64 position = qint64(k - 1) * T;
        const qint64 voulu = qMin(qint64(nb) * T, taille - position);
        const qint64 lus = lireComplet(lecture.fd(), bloc.data(), voulu, position);
        if (lus < 0)
            return {0, echecLecture(chemin, errno)};
        // A short last card (or a file cut meanwhile) has its missing bytes read as zero.
        std::memset(bloc.data() + lus, 0, size_t(qint64(nb) * T - lus));
        for (int i = 0; i < nb; ++i)
            if (critere.convient(bloc.data() + qint64(i) * T))
                return {k + i, {}};
        k += nb;
    }
    if (k <= derniere) {
        // Every card past the end reads as the same all-zero record.
        static const char zero[FicheQuestion::Taille] = {};
        if (critere.convient(zero))
            return {k, {}};
    }
    return {};
}

Issue suivante(const QString &chemin, const Critere &critere, int courante, int nbFiches)
{
    Issue i = premiereQuiConvient(chemin, critere, courante + 1, nbFiches);
    if (i.fiche == 0 && i.resultat && courante >= 2)
        i = premiereQuiConvient(chemin, critere, 1, courante);
    return i;
}

Conclusion rechercher(const QString &chemin, const Demande &demande, int courante, int nbFiches)
{
    Conclusion c{courante, {}, {}};
    if (demande.option == Option::Numero) {
        if (const int n = ficheDemandee(demande.numero, nbFiches))
            c.numFiche = n;
        else
            c.message = messageFicheInexistante(demande.numero);
        return c;
    }
    const Critere critere = demande.option == Option::Texte    ? Critere::texte(demande.texte, demande.sansAccents)
                            : demande.option == Option::Marque ? Critere::marque()
                                                               : Critere::media();
    const Issue i = suivante(chemin, critere, courante, nbFiches);
    if (!i.resultat)
        c.lecture = i.resultat;
    else if (i.fiche > 0)
        c.numFiche = i.fiche;
    else
        c.message = messageAucuneOccurrence();
    return c;
}

} // namespace recherche
