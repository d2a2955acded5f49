#include "exchange/xml.h"
#include "exchange/formats.h"
#include "store/cp1252.h"

#include <QStringDecoder>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace echanges {

QString NoeudXml::attribut(const QString &n) const
{
    for (const auto &[cle, valeur] : attributs)
        if (cle == n)
            return valeur;
    return {};
}

const NoeudXml *NoeudXml::enfant(const QString &chemin) const
{
    const NoeudXml *n = this;
    for (qsizetype debut = 0; debut <= chemin.size();) {
        qsizetype fin = chemin.indexOf(u'/', debut);
        if (fin < 0)
            fin = chemin.size();
        const QStringView niveau = QStringView(chemin).sliced(debut, fin - debut);
        debut = fin + 1;
        const NoeudXml *trouve = nullptr;
        for (const NoeudXml &f : n->fils)
            if (f.nom == niveau) {
                trouve = &f;
                break;
            }
        if (!trouve)
            return nullptr;
        n = trouve;
    }
    return n;
}

QList<const NoeudXml *> NoeudXml::enfants(const QString &chemin) const
{
    const qsizetype barre = chemin.lastIndexOf(u'/');
    const NoeudXml *parent = barre < 0 ? this : enfant(chemin.left(barre));
    const QStringView nomFils = QStringView(chemin).sliced(barre + 1);
    QList<const NoeudXml *> l;
    if (parent)
        for (const NoeudXml &f : parent->fils)
            if (f.nom == nomFils)
                l << &f;
    return l;
}

QString NoeudXml::texteDe(const QString &chemin) const
{
    const NoeudXml *n = enfant(chemin);
    return n ? n->texte : QString();
}

// ---------------------------------------------------------------------------

namespace {

bool blanc(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// The bytes a name starts with (1) and goes on with (2), one lookup a byte.
constexpr std::array<uchar, 256> kNom = [] {
    std::array<uchar, 256> t{};
    for (int u = 0; u < 256; ++u) {
        const bool debut = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
        const bool suite = debut || (u >= '0' && u <= '9') || u == '-' || u == '.';
        t[size_t(u)] = uchar((debut ? 1 : 0) | (suite ? 2 : 0));
    }
    return t;
}();
bool debutNom(char c) { return kNom[uchar(c)] & 1; }
bool suiteNom(char c) { return kNom[uchar(c)] & 2; }
bool caractereXml(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0x10FFFF);
}

// The character "&nom;" stands for; 0 when XML has no such reference.
char32_t reference(QByteArrayView nom)
{
    if (nom == "lt")
        return '<';
    if (nom == "gt")
        return '>';
    if (nom == "amp")
        return '&';
    if (nom == "quot")
        return '"';
    if (nom == "apos")
        return '\'';
    if (!nom.startsWith('#'))
        return 0;
    bool ok = false;
    const uint n = nom.startsWith("#x") ? nom.sliced(2).toByteArray().toUInt(&ok, 16) : nom.sliced(1).toByteArray().toUInt(&ok, 10);
    return ok && caractereXml(n) ? n : 0;
}

void ajouterUtf8(QByteArray &sortie, char32_t c)
{
    if (c < 0x80) {
        sortie += char(c);
    } else if (c < 0x800) {
        sortie += char(0xC0 | (c >> 6));
        sortie += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        sortie += char(0xE0 | (c >> 12));
        sortie += char(0x80 | ((c >> 6) & 0x3F));
        sortie += char(0x80 | (c & 0x3F));
    } else {
        sortie += char(0xF0 | (c >> 18));
        sortie += char(0x80 | ((c >> 12) & 0x3F));
        sortie += char(0x80 | ((c >> 6) & 0x3F));
        sortie += char(0x80 | (c & 0x3F));
    }
}

bool contient(QByteArrayView brut, char c)
{
    return !brut.isEmpty() && std::memchr(brut.data(), c, size_t(brut.size()));
}

bool aDecoder(QByteArrayView brut, bool attribut)
{
    if (contient(brut, '&'))
        return true;
    if (!attribut)
        return false;
    for (char c : brut)
        if (c == '\t' || c == '\n' || c == '\r')
            return true;
    return false;
}

// Text or an attribute value already checked, its references replaced, appended as UTF-8; in
// an attribute, each tab and line break becomes a space.
void decoderUtf8(QByteArrayView brut, bool attribut, QByteArray &sortie)
{
    qsizetype debut = 0;
    for (qsizetype i = 0; i < brut.size(); ++i) {
        const char c = brut[i];
        if (attribut && (c == '\t' || c == '\n' || c == '\r')) {
            sortie += brut.sliced(debut, i - debut);
            sortie += ' ';
            debut = i + 1;
            continue;
        }
        if (c != '&')
            continue;
        sortie += brut.sliced(debut, i - debut);
        const qsizetype pv = brut.indexOf(';', i + 1);
        ajouterUtf8(sortie, reference(brut.sliced(i + 1, pv - i - 1)));
        i = pv;
        debut = pv + 1;
    }
    sortie += brut.sliced(debut);
}

QString decoder(QByteArrayView brut, bool attribut)
{
    if (!aDecoder(brut, attribut))
        return QString::fromUtf8(brut);
    QByteArray t;
    t.reserve(brut.size());
    decoderUtf8(brut, attribut, t);
    return QString::fromUtf8(t);
}

QByteArrayView local(QByteArrayView nom)
{
    for (qsizetype i = nom.size(); i-- > 0;)
        if (nom[i] == ':')
            return nom.sliced(i + 1);
    return nom;
}

} // namespace

// ---------------------------------------------------------------------------

void ElementsXml::vider()
{
    ligne = 0;
    elements.clear();
    attributs.clear();
    textes.clear();
}

int ElementsXml::enfant(int e, QByteArrayView nom) const
{
    if (e < 0)
        return -1;
    for (int f = elements[size_t(e)].premierFils; f >= 0; f = elements[size_t(f)].suivant)
        if (elements[size_t(f)].nom == nom)
            return f;
    return -1;
}

void ElementsXml::enfants(int e, QByteArrayView nom, std::vector<int> &sortie) const
{
    sortie.clear();
    if (e < 0)
        return;
    for (int f = elements[size_t(e)].premierFils; f >= 0; f = elements[size_t(f)].suivant)
        if (elements[size_t(f)].nom == nom)
            sortie.push_back(f);
}

bool ElementsXml::attributVaut(int e, QByteArrayView nom, QByteArrayView valeur) const
{
    if (e < 0)
        return false;
    const Element &el = elements[size_t(e)];
    for (int a = el.debutAttributs; a < el.finAttributs; ++a) {
        const Attribut &x = attributs[size_t(a)];
        if (x.nom != nom)
            continue;
        if (!aDecoder(x.valeur, true))
            return x.valeur == valeur;
        QByteArray t;
        decoderUtf8(x.valeur, true, t);
        return t == valeur;
    }
    return valeur.isEmpty();
}

QString ElementsXml::attribut(int e, QByteArrayView nom) const
{
    if (e < 0)
        return {};
    const Element &el = elements[size_t(e)];
    for (int a = el.debutAttributs; a < el.finAttributs; ++a)
        if (attributs[size_t(a)].nom == nom)
            return decoder(attributs[size_t(a)].valeur, true);
    return {};
}

QByteArray ElementsXml::texteUtf8(int e) const
{
    QByteArray t;
    if (e < 0)
        return t;
    for (int k = elements[size_t(e)].premierTexte; k >= 0; k = textes[size_t(k)].suivant) {
        const Texte &x = textes[size_t(k)];
        if (x.cdata)
            t += x.brut;
        else
            decoderUtf8(x.brut, false, t);
    }
    return t;
}

QString ElementsXml::texte(int e) const
{
    if (e < 0)
        return {};
    const Element &el = elements[size_t(e)];
    if (el.premierTexte >= 0 && el.premierTexte == el.dernierTexte) {
        const Texte &x = textes[size_t(el.premierTexte)];
        return x.cdata ? QString::fromUtf8(x.brut) : decoder(x.brut, false);
    }
    return el.premierTexte < 0 ? QString() : QString::fromUtf8(texteUtf8(e));
}

// ---------------------------------------------------------------------------

LecteurXml::LecteurXml(const QByteArray &contenu, QString nomFichier)
    : m_octets(contenu), m_nomFichier(std::move(nomFichier))
{
}

qint64 LecteurXml::ligneA(qsizetype position)
{
    position = qBound<qsizetype>(0, position, m_octets.size());
    if (position < m_posLigne) {
        m_posLigne = 0;
        m_ligne = 1;
    }
    const char *d = m_octets.constData();
    for (const char *p = d + m_posLigne, *fin = d + position;
         (p = static_cast<const char *>(std::memchr(p, '\n', size_t(fin - p)))) != nullptr; ++p)
        ++m_ligne;
    m_posLigne = position;
    return m_ligne;
}

int LecteurXml::colonneA(qsizetype position)
{
    position = qBound<qsizetype>(0, position, m_octets.size());
    qsizetype debut = position;
    while (debut > 0 && m_octets[debut - 1] != '\n')
        --debut;
    int colonne = 1;
    for (qsizetype i = debut; i < position; ++i)
        if ((uchar(m_octets[i]) & 0xC0) != 0x80)
            ++colonne;
    return colonne;
}

bool LecteurXml::erreur(const QString &detail, qsizetype position)
{
    if (m_enErreur)
        return false;
    const qsizetype p = position < 0 ? m_pos : position;
    m_erreur = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un XML valide (ligne %2, colonne %3) : %4.")
                                   .arg(m_nomFichier)
                                   .arg(ligneA(p))
                                   .arg(colonneA(p))
                                   .arg(detail));
    m_enErreur = true;
    return false;
}

bool LecteurXml::incomplet()
{
    if (m_enErreur)
        return false;
    const qsizetype p = qMax<qsizetype>(0, m_octets.size() - 1);  // its last character
    m_erreur = Resultat::echec(QStringLiteral("Le fichier %1 est incomplet : son XML s'arrête ligne %2, colonne %3, "
                                              "avant la fin du document.")
                                   .arg(m_nomFichier)
                                   .arg(ligneA(p))
                                   .arg(colonneA(p)));
    m_enErreur = true;
    return false;
}

QString LecteurXml::nomLocal(QByteArrayView nom)
{
    nom = local(nom);
    auto it = m_noms.constFind(nom);
    if (it == m_noms.constEnd())
        it = m_noms.insert(nom, QString::fromUtf8(nom));
    return *it;
}

bool LecteurXml::verifier(QByteArrayView brut)
{
    const qsizetype origine = brut.data() - m_octets.constData();
    if (!contient(brut, '&'))
        return true;
    for (qsizetype i = brut.indexOf('&'); i >= 0; i = brut.indexOf('&', i + 1)) {
        const qsizetype pv = brut.indexOf(';', i + 1);
        if (pv < 0 || pv - i > 12)
            return erreur(QStringLiteral("un « & » seul s'écrit &amp;"), origine + i);
        const QByteArrayView nom = brut.sliced(i + 1, pv - i - 1);
        if (reference(nom) == 0)
            return erreur(QStringLiteral("la référence &%1; n'existe pas en XML").arg(QString::fromUtf8(nom)), origine + i);
        i = pv;
    }
    return true;
}

bool LecteurXml::prologue()
{
    m_prologueLu = true;
    const QByteArrayView v(m_octets);
    if (v.startsWith("\xFF\xFE") || v.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(v.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString t = utf16.decode(v.sliced(2));
        if (utf16.hasError())
            return erreur(QStringLiteral("ce n'est pas de l'UTF-16 valide"), 0);
        m_octets = t.toUtf8();
    } else if (v.startsWith("\xEF\xBB\xBF")) {
        m_octets.remove(0, 3);
    }
    if (m_octets.startsWith("<?xml")) {
        const qsizetype fin = m_octets.indexOf("?>");
        if (fin < 0)
            return incomplet();
        const QByteArray declaration = m_octets.left(fin);
        const qsizetype e = declaration.indexOf("encoding");
        if (e >= 0) {
            const qsizetype q1 = declaration.indexOf('"', e) >= 0 ? declaration.indexOf('"', e) : declaration.indexOf('\'', e);
            const qsizetype q2 = q1 < 0 ? -1 : declaration.indexOf(declaration[q1], q1 + 1);
            const QByteArray encodage = q2 < 0 ? QByteArray() : declaration.mid(q1 + 1, q2 - q1 - 1).toLower();
            if (encodage == "iso-8859-1" || encodage == "latin1" || encodage == "iso-8859-15" || encodage == "windows-1252"
                || encodage == "cp1252" || encodage == "us-ascii") {
                m_octets = cp1252::decode(m_octets).toUtf8();
            } else if (!encodage.isEmpty() && encodage != "utf-8" && encodage != "utf8") {
                QStringDecoder autre(encodage.constData());
                if (!autre.isValid())
                    return erreur(QStringLiteral("l'encodage « %1 » n'est pas pris en charge").arg(QString::fromLatin1(encodage)), e);
                const QString t = autre.decode(m_octets);
                if (autre.hasError())
                    return erreur(QStringLiteral("le texte n'est pas écrit dans l'encodage « %1 »").arg(QString::fromLatin1(encodage)), 0);
                m_octets = t.toUtf8();
            }
        }
        m_pos = m_octets.indexOf("?>") + 2;
    }
    // One pass for both: the controls XML forbids, and UTF-8 where a byte above 127 begins.
    const char *d = m_octets.constData();
    const qsizetype n = m_octets.size();
    for (qsizetype i = 0; i < n; ++i) {
        // Many bytes at a time up to the next control or byte above 127.
#if defined(__SSE2__)
        // As signed bytes, both are below 0x20.
        while (i + 16 <= n) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
            const int masque = _mm_movemask_epi8(_mm_cmplt_epi8(x, _mm_set1_epi8(0x20)));
            if (masque != 0) {
                i += qCountTrailingZeroBits(uint(masque));
                break;
            }
            i += 16;
        }
#else
        while (i + 8 <= n) {
            quint64 x;
            std::memcpy(&x, d + i, 8);
            constexpr quint64 uns = 0x0101010101010101ull, hauts = 0x8080808080808080ull;
            if (((x | (x - 0x20 * uns)) & hauts) != 0)
                break;
            i += 8;
        }
#endif
        if (i >= n)
            break;
        const uchar c = uchar(d[i]);
        if (c >= 0x20 && c < 0x80)
            continue;
        if (c < 0x20) {
            if (c != '\t' && c != '\n' && c != '\r')
                return erreur(QStringLiteral("le caractère de contrôle %1 est interdit en XML").arg(int(c)), i);
            continue;
        }
        const qsizetype longueur = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (utf8Invalide(QByteArrayView(d + i, qMin(longueur, n - i))) >= 0)
            return erreur(QStringLiteral("ce n'est pas de l'UTF-8 valide, l'encodage que le fichier annonce"), i);
        i += longueur - 1;
    }
    return true;
}

LecteurXml::Jeton LecteurXml::lireJeton()
{
    if (m_enErreur)
        return Jeton::Erreur;
    const char *d = m_octets.constData();
    const qsizetype n = m_octets.size();
    const QByteArrayView tout(m_octets);
    auto nomA = [&](qsizetype i) -> qsizetype {  // the end of a name starting at i, or i when none
        if (i >= n || !debutNom(d[i]))
            return i;
        qsizetype j = i + 1;
        while (j < n && suiteNom(d[j]))
            ++j;
        return j;
    };
    for (;;) {
        if (m_pos >= n) {
            if (!m_pile.empty())
                return incomplet(), Jeton::Erreur;
            if (!m_racineVue)
                return erreur(QStringLiteral("le fichier ne contient aucun élément")), Jeton::Erreur;
            return Jeton::FinDocument;
        }
        m_debutJeton = m_pos;
        if (d[m_pos] != '<') {
            const char *lt = static_cast<const char *>(std::memchr(d + m_pos, '<', size_t(n - m_pos)));
            const qsizetype fin = lt ? lt - d : n;
            const QByteArrayView brut = tout.sliced(m_pos, fin - m_pos);
            qsizetype i = 0;
            while (i < brut.size() && blanc(brut[i]))
                ++i;
            if (m_pile.empty()) {
                if (i < brut.size())
                    return erreur(QStringLiteral("du texte se trouve hors de l'élément racine"), m_pos + i), Jeton::Erreur;
                m_pos = fin;
                continue;
            }
            m_texteBlanc = i == brut.size();
            m_cdata = false;
            m_texte = brut;
            if (!m_texteBlanc && !verifier(brut))
                return Jeton::Erreur;
            m_pos = fin;
            return Jeton::Texte;
        }
        const char apres = m_pos + 1 < n ? d[m_pos + 1] : '\0';
        if (apres == '!') {
            const QByteArrayView reste = tout.sliced(m_pos);
            if (reste.startsWith("<!--")) {
                const qsizetype fin = tout.indexOf("-->", m_pos + 4);
                if (fin < 0)
                    return incomplet(), Jeton::Erreur;
                m_pos = fin + 3;
                continue;
            }
            if (reste.startsWith("<![CDATA[")) {
                if (m_pile.empty())
                    return erreur(QStringLiteral("une section CDATA se trouve hors de l'élément racine")), Jeton::Erreur;
                const qsizetype fin = tout.indexOf("]]>", m_pos + 9);
                if (fin < 0)
                    return incomplet(), Jeton::Erreur;
                m_texte = tout.sliced(m_pos + 9, fin - m_pos - 9);
                m_cdata = true;
                m_texteBlanc = false;
                m_pos = fin + 3;
                return Jeton::Texte;
            }
            if (reste.startsWith("<!DOCTYPE")) {
                if (m_racineVue)
                    return erreur(QStringLiteral("une déclaration DOCTYPE se trouve après l'élément racine")), Jeton::Erreur;
                const qsizetype fin = tout.indexOf('>', m_pos);
                const qsizetype crochet = tout.indexOf('[', m_pos);
                if (crochet >= 0 && (fin < 0 || crochet < fin))
                    return erreur(QStringLiteral("les DTD ne sont pas prises en charge")), Jeton::Erreur;
                if (fin < 0)
                    return incomplet(), Jeton::Erreur;
                m_pos = fin + 1;
                continue;
            }
            return erreur(QStringLiteral("une déclaration « <! » est inattendue ici")), Jeton::Erreur;
        }
        if (apres == '?') {
            const qsizetype fin = tout.indexOf("?>", m_pos + 2);
            if (fin < 0)
                return incomplet(), Jeton::Erreur;
            m_pos = fin + 2;
            continue;
        }
        if (apres == '/') {
            const qsizetype finNom = nomA(m_pos + 2);
            if (finNom == m_pos + 2)
                return (m_pos + 2 >= n ? incomplet() : erreur(QStringLiteral("un nom d'élément est attendu après « </ »"))),
                       Jeton::Erreur;
            const QByteArrayView nom = tout.sliced(m_pos + 2, finNom - m_pos - 2);
            qsizetype i = finNom;
            while (i < n && blanc(d[i]))
                ++i;
            if (i >= n)
                return incomplet(), Jeton::Erreur;
            if (d[i] != '>')
                return erreur(QStringLiteral("« > » est attendu pour fermer la balise </%1>").arg(QString::fromUtf8(nom)), i),
                       Jeton::Erreur;
            if (m_pile.empty())
                return erreur(QStringLiteral("la balise de fin </%1> ne ferme aucun élément").arg(QString::fromUtf8(nom))),
                       Jeton::Erreur;
            if (m_pile.back() != nom)
                return erreur(QStringLiteral("la balise de fin </%1> ne correspond pas à <%2>")
                                  .arg(QString::fromUtf8(nom), QString::fromUtf8(m_pile.back()))),
                       Jeton::Erreur;
            m_pile.pop_back();
            m_racineFermee = m_pile.empty();
            m_nom = nom;
            m_pos = i + 1;
            return Jeton::Fin;
        }
        // A start tag.
        const qsizetype finNom = nomA(m_pos + 1);
        if (finNom == m_pos + 1)
            return (m_pos + 1 >= n ? incomplet() : erreur(QStringLiteral("un « < » seul s'écrit &lt;"))), Jeton::Erreur;
        if (m_racineFermee)
            return erreur(QStringLiteral("un second élément racine commence ici")), Jeton::Erreur;
        m_nom = tout.sliced(m_pos + 1, finNom - m_pos - 1);
        m_attributs.clear();
        qsizetype i = finNom;
        for (;;) {
            const qsizetype avant = i;
            while (i < n && blanc(d[i]))
                ++i;
            if (i >= n)
                return incomplet(), Jeton::Erreur;
            if (d[i] == '>') {
                m_vide = false;
                ++i;
                break;
            }
            if (d[i] == '/') {
                if (i + 1 >= n)
                    return incomplet(), Jeton::Erreur;
                if (d[i + 1] != '>')
                    return erreur(QStringLiteral("« > » est attendu après « / »"), i + 1), Jeton::Erreur;
                m_vide = true;
                i += 2;
                break;
            }
            const qsizetype finAttribut = nomA(i);
            if (i == avant || finAttribut == i)
                return erreur(QStringLiteral("un nom d'attribut est attendu dans la balise <%1>").arg(QString::fromUtf8(m_nom)), i),
                       Jeton::Erreur;
            const QByteArrayView attribut = tout.sliced(i, finAttribut - i);
            i = finAttribut;
            while (i < n && blanc(d[i]))
                ++i;
            if (i >= n)
                return incomplet(), Jeton::Erreur;
            if (d[i] != '=')
                return erreur(QStringLiteral("« = » est attendu après l'attribut %1").arg(QString::fromUtf8(attribut)), i),
                       Jeton::Erreur;
            ++i;
            while (i < n && blanc(d[i]))
                ++i;
            if (i >= n)
                return incomplet(), Jeton::Erreur;
            if (d[i] != '"' && d[i] != '\'')
                return erreur(QStringLiteral("la valeur de l'attribut %1 doit être entre guillemets").arg(QString::fromUtf8(attribut)), i),
                       Jeton::Erreur;
            const char *guillemet = static_cast<const char *>(std::memchr(d + i + 1, d[i], size_t(n - i - 1)));
            if (!guillemet)
                return incomplet(), Jeton::Erreur;
            const QByteArrayView valeur = tout.sliced(i + 1, guillemet - d - i - 1);
            if (const qsizetype lt = valeur.indexOf('<'); lt >= 0)
                return erreur(QStringLiteral("« < » est interdit dans la valeur de l'attribut %1").arg(QString::fromUtf8(attribut)),
                              i + 1 + lt),
                       Jeton::Erreur;
            if (!verifier(valeur))
                return Jeton::Erreur;
            i = guillemet - d + 1;
            if (attribut != "xmlns" && !attribut.startsWith("xmlns:"))
                m_attributs.push_back({local(attribut), valeur});
        }
        m_pos = i;
        m_racineVue = true;
        if (m_vide)
            m_racineFermee = m_pile.empty();
        else
            m_pile.push_back(m_nom);
        return Jeton::Debut;
    }
}

QString LecteurXml::texteJeton() const
{
    return m_cdata ? QString::fromUtf8(m_texte) : decoder(m_texte, false);
}

bool LecteurXml::lireNoeud(NoeudXml &noeud, int profondeur)
{
    noeud.nom = nomLocal(m_nom);
    noeud.ligne = ligneA(m_debutJeton);
    noeud.attributs.reserve(qsizetype(m_attributs.size()));
    for (const ElementsXml::Attribut &a : m_attributs)
        noeud.attributs.append({nomLocal(a.nom), decoder(a.valeur, true)});
    if (profondeur > 64)
        return erreur(QStringLiteral("les éléments sont imbriqués trop profondément"), m_debutJeton);
    if (m_vide)
        return true;
    for (;;) {
        switch (lireJeton()) {
        case Jeton::Debut:
            noeud.fils.emplace_back();
            if (!lireNoeud(noeud.fils.back(), profondeur + 1))
                return false;
            break;
        case Jeton::Fin: return true;
        case Jeton::Texte: {
            // Blanks between elements, many in an indented file, all stand for one blank.
            const QString t = m_texteBlanc ? QStringLiteral(" ") : texteJeton();
            if (!m_texteBlanc)  // an element's own text leaves out the blanks around its children
                noeud.texte += t;
            if (!noeud.fils.empty() && noeud.fils.back().nom.isEmpty())
                noeud.fils.back().texte += t;
            else
                noeud.fils.push_back({QString(), t, {}, {}, 0});
            break;
        }
        case Jeton::FinDocument: return incomplet();
        case Jeton::Erreur: return false;
        }
    }
}

bool LecteurXml::lireElement(ElementsXml &arbre, int profondeur)
{
    const int e = int(arbre.elements.size());
    {
        ElementsXml::Element el;
        el.nom = local(m_nom);
        el.debutAttributs = int(arbre.attributs.size());
        arbre.attributs.insert(arbre.attributs.end(), m_attributs.begin(), m_attributs.end());
        el.finAttributs = int(arbre.attributs.size());
        arbre.elements.push_back(el);
    }
    if (profondeur > 64)
        return erreur(QStringLiteral("les éléments sont imbriqués trop profondément"), m_debutJeton);
    if (m_vide)
        return true;
    int dernierFils = -1;
    for (;;) {
        switch (lireJeton()) {
        case Jeton::Debut: {
            const int f = int(arbre.elements.size());
            if (dernierFils < 0)
                arbre.elements[size_t(e)].premierFils = f;
            else
                arbre.elements[size_t(dernierFils)].suivant = f;
            dernierFils = f;
            if (!lireElement(arbre, profondeur + 1))
                return false;
            break;
        }
        case Jeton::Fin: return true;
        case Jeton::Texte: {
            if (m_texteBlanc)
                break;
            const int t = int(arbre.textes.size());
            arbre.textes.push_back({m_texte, m_cdata, -1});
            ElementsXml::Element &el = arbre.elements[size_t(e)];
            if (el.dernierTexte < 0)
                el.premierTexte = t;
            else
                arbre.textes[size_t(el.dernierTexte)].suivant = t;
            el.dernierTexte = t;
            break;
        }
        case Jeton::FinDocument: return incomplet();
        case Jeton::Erreur: return false;
        }
    }
}

bool LecteurXml::sauterElement()
{
    for (int profondeur = 1; profondeur > 0;) {
        switch (lireJeton()) {
        case Jeton::Debut:
            if (!m_vide)
                ++profondeur;
            break;
        case Jeton::Fin: --profondeur; break;
        case Jeton::Texte: break;
        case Jeton::FinDocument: return incomplet();
        case Jeton::Erreur: return false;
        }
    }
    return true;
}

bool LecteurXml::racine(const QString &attendu, const QString &format, Resultat &resultat)
{
    if (!m_prologueLu && !prologue()) {
        resultat = m_erreur;
        return false;
    }
    for (;;) {
        switch (lireJeton()) {
        case Jeton::Debut: {
            const QString nom = nomLocal(m_nom);
            if (nom == attendu)
                return true;
            resultat = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un fichier %2 : son élément racine est "
                                                      "« %3 » (ligne %4), « %5 » est attendu.")
                                           .arg(m_nomFichier, format, nom)
                                           .arg(ligneA(m_debutJeton))
                                           .arg(attendu));
            return false;
        }
        case Jeton::Texte:
        case Jeton::Fin: continue;
        case Jeton::FinDocument:
        case Jeton::Erreur: resultat = m_erreur; return false;
        }
    }
}

bool LecteurXml::suivant(QByteArrayView nom, ElementsXml &element)
{
    for (;;) {
        switch (lireJeton()) {
        case Jeton::Debut:
            if (local(m_nom) != nom) {
                if (!m_vide && !sauterElement())
                    return false;
                continue;
            }
            element.vider();
            element.ligne = ligneA(m_debutJeton);
            return lireElement(element, 0);
        case Jeton::Texte: continue;
        case Jeton::Fin:
        case Jeton::FinDocument:
        case Jeton::Erreur: return false;
        }
    }
}

bool LecteurXml::fin(Resultat &resultat)
{
    for (;;) {
        switch (lireJeton()) {
        case Jeton::FinDocument: return true;
        case Jeton::Erreur: resultat = m_erreur; return false;
        default: continue;
        }
    }
}

bool LecteurXml::arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat)
{
    LecteurXml l(contenu, nomFichier);
    if (!l.prologue()) {
        resultat = l.m_erreur;
        return false;
    }
    for (;;) {
        switch (l.lireJeton()) {
        case Jeton::Debut:
            if (!l.lireNoeud(racine, 0)) {
                resultat = l.m_erreur;
                return false;
            }
            return l.fin(resultat);
        case Jeton::FinDocument:
        case Jeton::Erreur: resultat = l.m_erreur; return false;
        default: continue;
        }
    }
}

} // namespace echanges
