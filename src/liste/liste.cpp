#include "liste/liste.h"

#include "store/cp1252.h"
#include "store/disque.h"
#include "store/fichequestion.h"
#include "store/fichierquestions.h"
#include "store/reecriture.h"
#include "store/systemefichiers.h"
#include "tidy/corbeille.h"
#include "tidy/menage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>

namespace liste {
namespace {

constexpr qsizetype T = FicheQuestion::Taille;

// Where each field starts in a card's folded texts, and its width in the record.
struct Champ {
    int source, largeur;
};
constexpr std::array<Champ, 7> kChamps{{{offsets::Question, 200},
                                        {offsets::Reponse, 125},
                                        {offsets::Reponse + 125, 125},
                                        {offsets::Reponse + 250, 125},
                                        {offsets::Commentaire, 200},
                                        {offsets::Auteur, 5},
                                        {offsets::FichierMedia, 12}}};
constexpr int debutChamp(int k)
{
    int d = 0;
    for (int i = 0; i < k; ++i)
        d += kChamps[size_t(i)].largeur + 1;
    return d;
}
constexpr int kQuestion = debutChamp(0), kReponse1 = debutChamp(1), kAuteur = debutChamp(5), kMedia = debutChamp(6);
constexpr int kFinTextes = debutChamp(5);  // the text filter reads the question, the answers and the comment
static_assert(debutChamp(7) == Index::Largeur);

// A character as the filters compare it: small, and without its accent when asked.
char16_t plierCaractere(char16_t c, bool sansAccents)
{
    QChar q = QChar(c).toLower();
    if (sansAccents && q.decompositionTag() == QChar::Canonical)
        q = q.decomposition().at(0);
    return q.unicode();
}

struct Tables {
    std::array<char, 256> petites{}, sansAccents{};
    Tables()
    {
        for (int b = 0; b < 256; ++b) {
            const char16_t c = cp1252::versUnicode(quint8(b));
            const int p = cp1252::versOctet(plierCaractere(c, false));
            const int s = cp1252::versOctet(plierCaractere(c, true));
            petites[size_t(b)] = char(p < 0 ? b : p);
            sansAccents[size_t(b)] = char(s < 0 ? b : s);
        }
        petites[0] = sansAccents[0] = 0;
    }
};
const Tables &tables()
{
    static const Tables t;
    return t;
}

qint16 lire16(const char *p) { return qint16(quint16(quint8(p[0])) | quint16(quint8(p[1])) << 8); }

// The searched text folded as the cards are; empty when a character of it cannot be stored.
QByteArray motif(const QString &texte, bool sansAccents, bool *introuvable)
{
    QString plie;
    for (const QChar c : texte)
        plie += QChar(plierCaractere(c.unicode(), sansAccents));
    QByteArray m;
    for (const QChar c : std::as_const(plie)) {
        const int b = cp1252::versOctet(c.unicode());
        if (b <= 0) {
            *introuvable = true;
            return {};
        }
        m += char(b);
    }
    return m;
}

QString uneLigne(QString t)
{
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar &c : t)
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    return t;
}

} // namespace

QString titre(Colonne c)
{
    static const char *const noms[] = {"N°", "Thème", "Question", "Bonne réponse", "Marque", "Auteur", "Média"};
    return QString::fromUtf8(noms[int(c)]);
}

Index::Index(const QByteArray &banque)
{
    const int n = nombreDeFiches(banque.size());
    m_cartes.resize(size_t(n));
    m_plies = QByteArray(qsizetype(n) * Largeur, '\0');
    for (int i = 1; i <= n; ++i) {
        const qsizetype debut = qsizetype(i - 1) * T;
        if (debut + T <= banque.size()) {
            plier(i, banque.constData() + debut);
        } else {
            const QByteArray dernier = banque.mid(debut).leftJustified(T, '\0');
            plier(i, dernier.constData());
        }
    }
}

Index Index::lire(const QString &cheminBanque, Resultat *resultat)
{
    QFile f(cheminBanque);
    if (!f.open(QIODevice::ReadOnly)) {
        if (resultat)
            *resultat = Resultat::echec(QStringLiteral("Impossible de lire le fichier %1 : %2").arg(cheminBanque, f.errorString()));
        return Index();
    }
    if (resultat)
        *resultat = Resultat::succes();
    return Index(f.readAll());
}

void Index::plier(int numero, const char *enr)
{
    Carte &c = m_cartes[size_t(numero - 1)];
    c.theme = quint8(enr[offsets::NumTheme]);
    c.marque = lire16(enr + offsets::Marque);
    c.bonnes = 0;
    for (int k = 0; k < 3; ++k)
        if (lire16(enr + offsets::BonneReponse + 2 * k) == -1)
            c.bonnes |= quint8(1 << k);
    c.codeMedia = lire16(enr + offsets::TailleImage);
    const char *nom = enr + offsets::FichierMedia;
    c.aMedia = c.codeMedia != 0 || !texte::sansEspaces(cp1252::decode(QByteArray(nom, qstrnlen(nom, 12)))).isEmpty();

    const auto &t = tables().petites;
    char *sortie = m_plies.data() + qsizetype(numero - 1) * Largeur;
    for (const Champ &ch : kChamps) {
        const char *src = enr + ch.source;
        const int n = int(qstrnlen(src, size_t(ch.largeur)));
        for (int i = 0; i < n; ++i)
            sortie[i] = t[quint8(src[i])];
        std::memset(sortie + n, 0, size_t(ch.largeur + 1 - n));
        sortie += ch.largeur + 1;
    }
    if (!m_sansAccents.isEmpty()) {
        const auto &s = tables().sansAccents;
        char *p = m_sansAccents.data() + qsizetype(numero - 1) * Largeur;
        const char *q = m_plies.constData() + qsizetype(numero - 1) * Largeur;
        for (int i = 0; i < Largeur; ++i)
            p[i] = s[quint8(q[i])];
    }
}

void Index::remplacer(int numero, const char *enregistrement)
{
    if (numero < 1 || numero > nombre() + 1)
        return;
    if (numero == nombre() + 1) {
        m_cartes.emplace_back();
        m_plies.append(QByteArray(Largeur, '\0'));
        if (!m_sansAccents.isEmpty())
            m_sansAccents.append(QByteArray(Largeur, '\0'));
    }
    plier(numero, enregistrement);
}

const char *Index::textes(int numero, bool sansAccents) const
{
    if (!sansAccents)
        return m_plies.constData() + qsizetype(numero - 1) * Largeur;
    if (m_sansAccents.size() != m_plies.size()) {
        const auto &s = tables().sansAccents;
        m_sansAccents.resize(m_plies.size());
        const char *q = m_plies.constData();
        char *p = m_sansAccents.data();
        for (qsizetype i = 0; i < m_plies.size(); ++i)
            p[i] = s[quint8(q[i])];
    }
    return m_sansAccents.constData() + qsizetype(numero - 1) * Largeur;
}

QString nomTheme(const TableThemes &themes, int theme)
{
    if (theme < 0 || theme > 8)
        return QString::number(theme);
    QString nom = themes.nom(theme);
    if (const qsizetype zero = nom.indexOf(QChar(0)); zero >= 0)
        nom.truncate(zero);
    return texte::sansEspaces(nom);
}

QList<int> lignes(const Index &index, const Filtre &filtre, const Tri &tri, const TableThemes &themes)
{
    const int n = index.nombre();
    bool introuvable = false;
    const QByteArray m = motif(filtre.texte, filtre.sansAccents, &introuvable);
    QList<int> gardees;
    if (introuvable)
        return gardees;
    gardees.reserve(n);
    const char *base = n > 0 ? index.textes(1, filtre.sansAccents) : nullptr;
    for (int i = 1; i <= n; ++i) {
        const Index::Carte &c = index.carte(i);
        if (filtre.theme >= 0 && c.theme != filtre.theme)
            continue;
        if (filtre.marquees && c.marque == 0)
            continue;
        if (filtre.media && !c.aMedia)
            continue;
        if (filtre.bonneDouteuse && (c.bonnes != 0 && (c.bonnes & (c.bonnes - 1)) == 0))
            continue;
        if (!m.isEmpty()) {
            // The fields are ended by zero bytes, which the text never holds: no match runs from one to the next.
            const char *t = base + qsizetype(i - 1) * Index::Largeur;
            if (!memmem(t, size_t(kFinTextes), m.constData(), size_t(m.size())))
                continue;
        }
        gardees.append(i);
    }

    if (tri.colonne == Colonne::Numero) {
        if (tri.descendant)
            std::reverse(gardees.begin(), gardees.end());
        return gardees;
    }
    // Texts compare folded, small letters and accents alike; ties stay in card order.
    const auto champ = [&](int numero, int debut) { return index.textes(numero, true) + debut; };
    const auto bonne = [&](int numero) {
        const quint8 b = index.carte(numero).bonnes;
        const int k = b & 1 ? 0 : b & 2 ? 1 : b & 4 ? 2 : -1;
        return k < 0 ? "" : champ(numero, kReponse1 + k * 126);
    };
    std::array<int, 256> rangTheme{};
    {
        std::array<int, 9> ordre{};
        std::iota(ordre.begin(), ordre.end(), 0);
        std::stable_sort(ordre.begin(), ordre.end(), [&](int a, int b) {
            return nomTheme(themes, a).localeAwareCompare(nomTheme(themes, b)) < 0;
        });
        for (int r = 0; r < 9; ++r)
            rangTheme[size_t(ordre[size_t(r)])] = r;
        for (int t = 9; t < 256; ++t)
            rangTheme[size_t(t)] = t;
    }
    const auto comparer = [&](int a, int b) -> int {
        const Index::Carte &ca = index.carte(a), &cb = index.carte(b);
        switch (tri.colonne) {
        case Colonne::Theme: return rangTheme[ca.theme] - rangTheme[cb.theme];
        case Colonne::Question: return std::strcmp(champ(a, kQuestion), champ(b, kQuestion));
        case Colonne::Bonne: return std::strcmp(bonne(a), bonne(b));
        case Colonne::Marque: return int(ca.marque) - int(cb.marque);
        case Colonne::Auteur: return std::strcmp(champ(a, kAuteur), champ(b, kAuteur));
        case Colonne::Media: return std::strcmp(champ(a, kMedia), champ(b, kMedia));
        case Colonne::Numero: break;
        }
        return 0;
    };
    std::sort(gardees.begin(), gardees.end(), [&](int a, int b) {
        const int c = comparer(a, b);
        if (c != 0)
            return tri.descendant ? c > 0 : c < 0;
        return a < b;
    });
    return gardees;
}

QStringList colonnes(int numero, const char *enr, const TableThemes &themes)
{
    const FicheQuestion f = FicheQuestion::depuisOctets(enr, T);
    QStringList bonnes;
    for (int k = 0; k < 3; ++k)
        if (f.BonneReponse[k] == -1)
            bonnes << uneLigne(texte::affiche(f.Reponse[k]));
    return {QString::number(numero),
            uneLigne(nomTheme(themes, f.NumTheme)),
            uneLigne(texte::affiche(f.Question)),
            bonnes.join(QStringLiteral(" / ")),
            f.Marque != 0 ? QString::number(f.Marque) : QString(),
            uneLigne(texte::affiche(f.Auteur)),
            uneLigne(texte::affiche(f.FichierMedia))};
}

// ---------------------------------------------------------------------------
// Changes to a selection

namespace {

Bilan depuis(const menage::Bilan &b) { return {b.resultat, b.changees}; }

} // namespace

Bilan marquer(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros, bool marque)
{
    const QSet<int> choisis(numeros.begin(), numeros.end());
    return depuis(menage::reecrire(cheminBanque, cheminTmp, [&](int numero, char *enr) {
        const qint16 voulu = marque ? 1 : 0;
        if (!choisis.contains(numero) || (marque ? lire16(enr + offsets::Marque) != 0 : lire16(enr + offsets::Marque) == 0))
            return false;
        enr[offsets::Marque] = char(voulu);
        enr[offsets::Marque + 1] = 0;
        return true;
    }));
}

Bilan changerTheme(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros, int theme)
{
    if (theme < 0 || theme > 8)
        return {Resultat::echec(QStringLiteral("Le thème %1 n'existe pas (0 à 8).").arg(theme)), 0};
    const QSet<int> choisis(numeros.begin(), numeros.end());
    return depuis(menage::reecrire(cheminBanque, cheminTmp, [&](int numero, char *enr) {
        if (!choisis.contains(numero) || quint8(enr[offsets::NumTheme]) == theme)
            return false;
        enr[offsets::NumTheme] = char(theme);
        return true;
    }));
}

Bilan supprimer(const QString &cheminBanque, const QString &cheminTmp, const QList<int> &numeros,
                const QString &dossierMedia, qint64 date)
{
    fichiers::Systeme &sf = fichiers::systeme();
    if (Resultat r = reprendreBanque(cheminBanque); !r)
        return {r, 0};
    if (Resultat r = verifierReecriture(cheminBanque); !r)
        return {r, 0};
    const QString reelle = disque::cheminReel(cheminBanque);
    struct stat droits {};
    if (Resultat r = disque::verifierModifiable(reelle, &droits); !r)
        return {r, 0};
    const QString lecture = QStringLiteral("Impossible de lire le fichier %1 : %2");
    disque::Fd src(sf.ouvrir(disque::local(reelle).constData(), O_RDONLY | O_CLOEXEC, 0));
    struct stat st {};
    if (src.get() < 0 || sf.etat(src.get(), &st) != 0)
        return {Resultat::echec(lecture.arg(cheminBanque, disque::raison(errno))), 0};
    const int n = nombreDeFiches(st.st_size);
    QByteArray banque(qsizetype(n) * T, '\0');
    if (st.st_size > 0 && disque::lireComplet(src.get(), banque.data(), st.st_size, 0) != st.st_size)
        return {Resultat::echec(lecture.arg(cheminBanque, disque::raison(errno ? errno : EIO))), 0};
    src.reset();

    QList<int> choisis;
    for (int x : numeros)
        if (x >= 1 && x <= n)
            choisis.append(x);
    std::sort(choisis.begin(), choisis.end());
    choisis.erase(std::unique(choisis.begin(), choisis.end()), choisis.end());
    if (choisis.isEmpty())
        return {Resultat::succes(), 0};

    // Each card kept first, in bank order; should one fail, the copies made are taken out again.
    corbeille::Contenu avant;
    if (Resultat r = corbeille::lire(dossierMedia, avant); !r)
        return {r, 0};
    const auto reprendre = [&](int gardees) {
        QList<int> retirees;
        for (int k = 1; k <= gardees; ++k)
            retirees.append(avant.nombre() + k);
        if (!retirees.isEmpty())
            corbeille::retirer(dossierMedia, retirees);
    };
    for (qsizetype k = 0; k < choisis.size(); ++k) {
        const int x = choisis[k];
        if (Resultat r = corbeille::garder(dossierMedia, banque.mid(qsizetype(x - 1) * T, T), date); !r) {
            reprendre(int(k));
            return {Resultat::echec(QStringLiteral("La fiche %1 n'a pas pu être gardée dans la corbeille, aucune fiche "
                                                   "n'est donc supprimée. %2")
                                        .arg(x)
                                        .arg(r.erreur)),
                    0};
        }
    }

    QByteArray reste;
    reste.reserve(banque.size() - choisis.size() * T);
    int suivante = 0;
    for (int i = 1; i <= n; ++i) {
        if (suivante < choisis.size() && choisis[suivante] == i) {
            ++suivante;
            continue;
        }
        reste.append(banque.constData() + qsizetype(i - 1) * T, T);
    }
    const QString temporaire = disque::voisin(reelle, cheminTmp);
    disque::Fd tmp(disque::creerNeuf(temporaire));
    const bool ok = tmp.get() >= 0 && disque::reprendreDroits(tmp.get(), droits)
                    && disque::ecrireTout(tmp.get(), reste.constData(), reste.size(), 0) && sf.vider(tmp.get()) == 0
                    && sf.renommer(disque::local(temporaire).constData(), disque::local(reelle).constData()) == 0;
    if (!ok) {
        const int err = errno;
        if (tmp.get() >= 0)
            sf.supprimer(disque::local(temporaire).constData());
        reprendre(int(choisis.size()));
        return {Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1 : %2").arg(temporaire, disque::raison(err))), 0};
    }
    disque::viderDossierDe(reelle);
    return {Resultat::succes(), int(choisis.size())};
}

// ---------------------------------------------------------------------------
// A selection as a bank of its own

Extrait::Extrait(const echanges::CheminsBanque &banque, const QList<int> &numeros)
    : m_dossier(std::make_unique<QTemporaryDir>()), m_banque(banque)
{
    const QString lecture = QStringLiteral("Impossible de lire le fichier %1 : %2");
    QFile source(banque.banque);
    if (!source.open(QIODevice::ReadOnly)) {
        m_resultat = Resultat::echec(lecture.arg(banque.banque, source.errorString()));
        return;
    }
    const int n = nombreDeFiches(source.size());
    m_numeros = numeros;
    std::sort(m_numeros.begin(), m_numeros.end());
    m_numeros.erase(std::unique(m_numeros.begin(), m_numeros.end()), m_numeros.end());
    m_numeros.removeIf([n](int x) { return x < 1 || x > n; });
    QByteArray cartes;
    cartes.reserve(m_numeros.size() * T);
    for (int x : std::as_const(m_numeros)) {
        if (!source.seek(qint64(x - 1) * T)) {
            m_resultat = Resultat::echec(lecture.arg(banque.banque, source.errorString()));
            return;
        }
        cartes += source.read(T).leftJustified(T, '\0');
    }
    m_banque.banque = m_dossier->filePath(QFileInfo(banque.banque).fileName());
    QFile extrait(m_banque.banque);
    if (!m_dossier->isValid() || !extrait.open(QIODevice::WriteOnly) || extrait.write(cartes) != cartes.size())
        m_resultat = Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1 : %2").arg(m_banque.banque, extrait.errorString()));
}

QString Extrait::renumeroter(const QString &texte) const
{
    const auto numero = [this](const QString &k) {
        const int i = k.toInt();
        return i >= 1 && i <= m_numeros.size() ? QString::number(m_numeros[i - 1]) : k;
    };
    // "fiche 2 : ...", and the lists of the reports: "3 fiche(s) perdent leur marque : 1, 2, 5".
    static const QRegularExpression fiche(QStringLiteral("\\b([Ff]iche) (\\d+)\\b"));
    static const QRegularExpression liste(QStringLiteral("^(\\d+ fiche\\(s\\).* : )(\\d+(?:, \\d+)*)(, …)?$"));
    if (const QRegularExpressionMatch m = liste.match(texte); m.hasMatch()) {
        QStringList l;
        for (const QString &k : m.captured(2).split(QStringLiteral(", ")))
            l << numero(k);
        return m.captured(1) + l.join(QStringLiteral(", ")) + m.captured(3);
    }
    QString r;
    qsizetype depuis = 0;
    for (auto it = fiche.globalMatch(texte); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        r += texte.mid(depuis, m.capturedStart() - depuis) + m.captured(1) + u' ' + numero(m.captured(2));
        depuis = m.capturedEnd();
    }
    return r + texte.mid(depuis);
}

ResultatTransfert transferer(const QString &source, const QString &destination, const QList<int> &numeros)
{
    const Extrait x({source, {}, {}}, numeros);
    if (!x.resultat())
        return {x.resultat(), 0, false};
    return ::transferer(x.banque().banque, destination, Selection::Toutes);
}

Resultat exporter(const echanges::CheminsBanque &banque, const QList<int> &numeros, const QString &fichier,
                  const echanges::OptionsExport &options, echanges::Rapport &rapport)
{
    const Extrait x(banque, numeros);
    if (!x.resultat())
        return x.resultat();
    const Resultat r = echanges::exporter(x.banque(), fichier, options, rapport);
    for (echanges::Remarque &m : rapport.remarques) {
        m.lieu = x.renumeroter(m.lieu);
        m.texte = x.renumeroter(m.texte);
    }
    return r;
}

} // namespace liste
