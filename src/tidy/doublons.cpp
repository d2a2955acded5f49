#include "tidy/doublons.h"

#include "store/cp1252.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <vector>

namespace doublons {
namespace {

constexpr qint64 T = FicheQuestion::Taille;
constexpr int NbHachages = 48;
constexpr int ParBande = 3;  // 16 bands of 3: a pair of questions alike at 0.6 meets in a band 98 times in 100
constexpr int NbBandes = NbHachages / ParBande;
constexpr int TousLesCouples = 32;  // larger buckets are compared along a chain, not pair by pair

// What each byte of the code page becomes once folded: up to two lower-case letters or digits,
// nothing for a separator.
struct Pliage {
    std::array<std::array<char, 2>, 256> en = {};
    std::array<quint8, 256> longueur = {};

    Pliage()
    {
        for (int b = 1; b < 256; ++b) {
            const QChar c(cp1252::versUnicode(uchar(b)));
            if (!c.isLetterOrNumber())
                continue;
            QString s;
            switch (c.toLower().unicode()) {
            case u'œ': s = QStringLiteral("oe"); break;
            case u'æ': s = QStringLiteral("ae"); break;
            case u'ß': s = QStringLiteral("ss"); break;
            default:
                for (QChar d : QString(c).normalized(QString::NormalizationForm_D))
                    if (d.isLetterOrNumber())
                        s += d.toLower();
            }
            QByteArray l = s.toLatin1();
            if (l.isEmpty() || s.size() > 2 || l.contains('?'))
                l = QByteArray(1, char(b));  // a letter with no Latin form is kept as it is
            longueur[size_t(b)] = quint8(l.size());
            for (int i = 0; i < l.size(); ++i)
                en[size_t(b)][size_t(i)] = l[i];
        }
    }
};

const Pliage &pliage()
{
    static const Pliage p;
    return p;
}

// The folded text, words separated by one space; returns its length.
int plierOctets(const char *champ, int largeur, char *sortie)
{
    const Pliage &p = pliage();
    int n = 0;
    bool espace = false;
    for (int i = 0; i < largeur && champ[i] != 0; ++i) {
        const uchar b = uchar(champ[i]);
        const int l = p.longueur[b];
        if (l == 0) {
            espace = n > 0;
            continue;
        }
        if (espace)
            sortie[n++] = ' ';
        espace = false;
        for (int k = 0; k < l; ++k)
            sortie[n++] = p.en[b][size_t(k)];
    }
    return n;
}

quint64 fnv(const char *p, int n, bool sansEspaces)
{
    quint64 h = 1469598103934665603ULL;
    for (int i = 0; i < n; ++i) {
        if (sansEspaces && p[i] == ' ')
            continue;
        h ^= quint8(p[i]);
        h *= 1099511628211ULL;
    }
    return h;
}

quint64 melanger(quint64 x)  // splitmix64's finaliser
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// What a card is compared by.
struct Traits {
    quint64 cle = 0;           // the folded question without spaces; 0 when it is empty
    std::vector<quint32> morceaux;  // 4-letter pieces of the folded question, sorted, once each
    std::array<quint64, 3> reponses = {};
    int nbReponses = 0;
};

void extraire(const char *enr, Traits &t, char *tampon)
{
    const int n = plierOctets(enr + offsets::Question, 200, tampon);
    t.morceaux.clear();
    t.cle = n > 0 ? (fnv(tampon, n, true) | 1) : 0;
    if (n > 0 && n < 4) {
        quint32 m = 0;
        std::memcpy(&m, tampon, size_t(n));
        t.morceaux.push_back(m);
    }
    for (int i = 0; i + 4 <= n; ++i) {
        quint32 m;
        std::memcpy(&m, tampon + i, 4);
        t.morceaux.push_back(m);
    }
    std::sort(t.morceaux.begin(), t.morceaux.end());
    t.morceaux.erase(std::unique(t.morceaux.begin(), t.morceaux.end()), t.morceaux.end());
    t.nbReponses = 0;
    for (int k = 0; k < 3; ++k) {
        const int l = plierOctets(enr + offsets::Reponse + k * 125, 125, tampon);
        if (l > 0)
            t.reponses[size_t(t.nbReponses++)] = fnv(tampon, l, true);
    }
    std::sort(t.reponses.begin(), t.reponses.begin() + t.nbReponses);
    t.nbReponses = int(std::unique(t.reponses.begin(), t.reponses.begin() + t.nbReponses) - t.reponses.begin());
}

template <class It> double jaccard(It a, It finA, It b, It finB)
{
    const auto na = finA - a, nb = finB - b;
    if (na == 0 && nb == 0)
        return 1.0;
    qint64 communs = 0;
    while (a != finA && b != finB) {
        if (*a < *b)
            ++a;
        else if (*b < *a)
            ++b;
        else {
            ++communs, ++a, ++b;
        }
    }
    return double(communs) / double(na + nb - communs);
}

double ressemblance(const Traits &a, const Traits &b)
{
    const double q = jaccard(a.morceaux.begin(), a.morceaux.end(), b.morceaux.begin(), b.morceaux.end());
    const double r = jaccard(a.reponses.begin(), a.reponses.begin() + a.nbReponses, b.reponses.begin(),
                             b.reponses.begin() + b.nbReponses);
    return (q + r) / 2;
}

// Whether two cards can reach the threshold, without measuring the whole of their questions:
// the merge of their pieces stops as soon as the pieces left cannot bring enough in common.
// The likeness grows with the count in common, so the fewest that reach the threshold are found
// with the very expression `ressemblance` computes, and no pair that reaches it is turned away.
bool peutAtteindre(const Traits &a, const Traits &b, double seuil)
{
    const qint64 na = qint64(a.morceaux.size()), nb = qint64(b.morceaux.size());
    if (na == 0 || nb == 0)
        return true;
    const double r = jaccard(a.reponses.begin(), a.reponses.begin() + a.nbReponses, b.reponses.begin(),
                             b.reponses.begin() + b.nbReponses);
    auto atteint = [&](qint64 c) { return (double(c) / double(na + nb - c) + r) / 2 >= seuil; };
    const qint64 plafond = std::min(na, nb);
    if (!atteint(plafond))
        return false;
    // The least count that reaches the threshold, first from the algebra, then set right.
    const double q = 2 * seuil - r;
    qint64 besoin = q <= 0 ? 0 : std::clamp(qint64(q * double(na + nb) / (1 + q)), qint64(0), plafond);
    while (besoin > 0 && atteint(besoin - 1))
        --besoin;
    while (!atteint(besoin))
        ++besoin;
    if (besoin == 0)
        return true;
    const quint32 *x = a.morceaux.data(), *finX = x + na, *y = b.morceaux.data(), *finY = y + nb;
    qint64 communs = 0;
    while (x != finX && y != finY) {
        if (communs + std::min(finX - x, finY - y) < besoin)
            return false;
        const quint32 u = *x, v = *y;
        communs += u == v;
        x += u <= v;
        y += v <= u;
    }
    return communs >= besoin;
}

// 48 hash functions of a 32-bit piece, in 32-bit arithmetic so that the compiler computes
// several at once: a xor, an odd multiplier, then the high bits folded into the low ones.
struct Hachages {
    alignas(32) std::array<quint32, NbHachages> a, b;
    Hachages()
    {
        quint64 s = 0x5EED;
        for (int i = 0; i < NbHachages; ++i) {
            a[size_t(i)] = quint32(melanger(s++)) | 1;
            b[size_t(i)] = quint32(melanger(s++));
        }
    }
};

// The loop over the 48 hashes is worth vectorising even in a build that does not ask for it.
#if defined(__GNUC__) && !defined(__clang__)
#define VECTORISE __attribute__((optimize("O3")))
#else
#define VECTORISE
#endif

VECTORISE void signature(const std::vector<quint32> &morceaux, const Hachages &h,
                         std::array<quint32, NbHachages> &mins)
{
    mins.fill(0xFFFFFFFFu);
    for (quint32 m : morceaux)
        for (int k = 0; k < NbHachages; ++k) {
            quint32 x = (m ^ h.b[size_t(k)]) * h.a[size_t(k)];
            x ^= x >> 15;
            x *= 0x2C1B3C6Du;
            x ^= x >> 12;
            mins[size_t(k)] = std::min(mins[size_t(k)], x);
        }
}

struct Ensembles {
    std::vector<int> parent;
    explicit Ensembles(int n) : parent(size_t(n)) { std::iota(parent.begin(), parent.end(), 0); }
    int racine(int x)
    {
        while (parent[size_t(x)] != x)
            x = parent[size_t(x)] = parent[size_t(parent[size_t(x)])];
        return x;
    }
    void unir(int x, int y)
    {
        x = racine(x), y = racine(y);
        if (x != y)
            parent[size_t(std::max(x, y))] = std::min(x, y);
    }
};

} // namespace

QString plier(const char *champ, int largeur)
{
    std::vector<char> t(size_t(largeur) * 2 + 1);
    const int n = plierOctets(champ, largeur, t.data());
    return QString::fromLatin1(t.data(), n);
}

QString plier(const QString &texte)
{
    const QByteArray b = cp1252::encode(texte);
    return plier(b.constData(), int(b.size()));
}

double ressemblance(const FicheQuestion &a, const FicheQuestion &b)
{
    char tampon[400];
    Traits ta, tb;
    extraire(a.octets().constData(), ta, tampon);
    extraire(b.octets().constData(), tb, tampon);
    return ressemblance(ta, tb);
}

int Analyse::identiques() const
{
    return int(std::count_if(groupes.begin(), groupes.end(), [](const Groupe &g) { return g.identique; }));
}

Analyse chercher(const char *octets, qint64 longueur, double seuil)
{
    Analyse res;
    const int n = int((longueur + T - 1) / T);
    res.nbFiches = n;
    std::vector<Traits> traits(static_cast<size_t>(n));
    char tampon[400];
    char dernier[T] = {};
    for (int i = 0; i < n; ++i) {
        const char *enr = octets + qint64(i) * T;
        if (qint64(i + 1) * T > longueur) {  // a short last record, padded
            std::memcpy(dernier, enr, size_t(longueur - qint64(i) * T));
            enr = dernier;
        }
        extraire(enr, traits[size_t(i)], tampon);
    }

    // Identical questions: cards of one key.
    QHash<quint64, QList<int>> parCle;
    for (int i = 0; i < n; ++i)
        if (traits[size_t(i)].cle != 0)
            parCle[traits[size_t(i)].cle].append(i + 1);
    for (const QList<int> &fiches : std::as_const(parCle))
        if (fiches.size() > 1)
            res.groupes.append({true, 1.0, fiches});

    // Close cards: MinHash signatures of the question's pieces, cut into bands; cards that
    // share a band are compared.
    static const Hachages h;
    std::vector<std::pair<quint64, int>> bandes;
    bandes.reserve(size_t(n) * NbBandes);
    std::array<quint32, NbHachages> mins;
    for (int i = 0; i < n; ++i) {
        const Traits &t = traits[size_t(i)];
        if (t.cle == 0)
            continue;
        signature(t.morceaux, h, mins);
        for (int bd = 0; bd < NbBandes; ++bd) {
            quint64 c = quint64(bd) * 0x9E3779B97F4A7C15ULL;
            for (int r = 0; r < ParBande; ++r)
                c = melanger(c ^ mins[size_t(bd * ParBande + r)]);
            bandes.emplace_back(c, i);
        }
    }
    std::sort(bandes.begin(), bandes.end());

    // Pairs from the bands, kept once each: a pair that meets in several bands is measured once.
    // The pieces' likeness is at most the ratio of their counts: with the answers' likeness,
    // cheap to get, that bound turns pairs away before they are remembered.
    std::vector<quint64> couples;
    auto proposer = [&](int a, int b) {
        const Traits &ta = traits[size_t(a)], &tb = traits[size_t(b)];
        const size_t na = ta.morceaux.size(), nb = tb.morceaux.size();
        const double plafondQuestion = std::max(na, nb) == 0 ? 1.0 : double(std::min(na, nb)) / double(std::max(na, nb));
        const double r = jaccard(ta.reponses.begin(), ta.reponses.begin() + ta.nbReponses, tb.reponses.begin(),
                                 tb.reponses.begin() + tb.nbReponses);
        if ((plafondQuestion + r) / 2 < seuil)
            return;
        couples.push_back(quint64(a) << 32 | quint64(b));
    };
    for (size_t d = 0; d < bandes.size();) {
        size_t f = d + 1;
        while (f < bandes.size() && bandes[f].first == bandes[d].first)
            ++f;
        const size_t m = f - d;
        if (m <= size_t(TousLesCouples)) {
            for (size_t x = d; x < f; ++x)
                for (size_t y = x + 1; y < f; ++y)
                    proposer(bandes[x].second, bandes[y].second);
        } else {
            for (size_t x = d + 1; x < f; ++x) {
                proposer(bandes[d].second, bandes[x].second);
                proposer(bandes[x - 1].second, bandes[x].second);
            }
        }
        d = f;
    }
    std::vector<std::pair<quint64, int>>().swap(bandes);
    std::sort(couples.begin(), couples.end());
    couples.erase(std::unique(couples.begin(), couples.end()), couples.end());

    Ensembles ensembles(n);
    std::vector<std::pair<std::pair<int, int>, double>> liens;
    for (const quint64 c : couples) {
        const int a = int(c >> 32), b = int(c & 0xFFFFFFFFu);
        const Traits &ta = traits[size_t(a)], &tb = traits[size_t(b)];
        if (!peutAtteindre(ta, tb, seuil))
            continue;
        const double s = ressemblance(ta, tb);
        if (s >= seuil) {
            ensembles.unir(a, b);
            liens.push_back({{a, b}, s});
        }
    }

    QHash<int, int> indexGroupe;  // root -> index in `proches`
    QList<Groupe> proches;
    for (const auto &[couple, s] : liens) {
        const int r = ensembles.racine(couple.first);
        auto it = indexGroupe.find(r);
        if (it == indexGroupe.end()) {
            it = indexGroupe.insert(r, int(proches.size()));
            proches.append({false, s, {}});
        }
        Groupe &g = proches[*it];
        g.score = std::min(g.score, s);
    }
    for (int i = 0; i < n; ++i) {
        const auto it = indexGroupe.constFind(ensembles.racine(i));
        if (it != indexGroupe.constEnd())
            proches[*it].fiches.append(i + 1);
    }
    auto parPremiere = [](const Groupe &a, const Groupe &b) { return a.fiches.first() < b.fiches.first(); };
    std::sort(res.groupes.begin(), res.groupes.end(), parPremiere);
    std::sort(proches.begin(), proches.end(), parPremiere);
    res.groupes += proches;
    return res;
}

Analyse chercher(const QString &cheminBanque, double seuil, Resultat *resultat)
{
    QFile f(cheminBanque);
    if (!f.open(QIODevice::ReadOnly)) {
        if (resultat)
            *resultat = Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(cheminBanque, f.errorString()));
        return {};
    }
    if (resultat)
        *resultat = Resultat::succes();
    const qint64 taille = f.size();
    if (taille == 0)
        return {};
    if (const uchar *p = f.map(0, taille))
        return chercher(reinterpret_cast<const char *>(p), taille, seuil);
    const QByteArray tout = f.readAll();
    return chercher(tout.constData(), tout.size(), seuil);
}

QStringList motsAbsents(const QString &texte, const QStringList &autres)
{
    QSet<QString> connus;
    for (const QString &a : autres)
        for (const QString &m : plier(a).split(u' ', Qt::SkipEmptyParts))
            connus.insert(m);
    // A written word may fold into several ("l'Hexagone." into "l" and "hexagone"): it is
    // missing when one of them is.
    QStringList absents;
    for (const QString &m : texte.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList plies = plier(m).split(u' ', Qt::SkipEmptyParts);
        if (std::any_of(plies.begin(), plies.end(), [&](const QString &p) { return !connus.contains(p); }))
            absents << m;
    }
    return absents;
}

} // namespace doublons
