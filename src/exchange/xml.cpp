#include "exchange/xml.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <libxml/xmlreader.h>

namespace echanges {

namespace {

constexpr int kProfondeurMax = 64;

QByteArrayView vue(const xmlChar *s) { return QByteArrayView(reinterpret_cast<const char *>(s)); }

bool blanc(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

LecteurXml::LecteurXml(const QByteArray &contenu, QString nomFichier)
    : m_octets(contenu), m_nomFichier(std::move(nomFichier))
{
    const QByteArrayView v(m_octets);
    m_ascii = !(v.startsWith("\xFF\xFE") || v.startsWith("\xFE\xFF") || (v.size() >= 2 && (v[0] == 0 || v[1] == 0)));
    // No network, no DTD loaded, no entity replaced; the parser's size limits stay on.
    m_lecteur = xmlReaderForMemory(m_octets.constData(), int(qMin<qsizetype>(m_octets.size(), INT_MAX)), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
    if (m_lecteur)
        xmlTextReaderSetStructuredErrorHandler(m_lecteur, &LecteurXml::noter, this);
}

LecteurXml::~LecteurXml()
{
    if (m_lecteur)
        xmlFreeTextReader(m_lecteur);
}

void LecteurXml::noter(void *moi, _xmlError *e)
{
    // The first fault, unless a fatal one follows a lesser one the parser went on after (a
    // namespace not declared): that one stops the reading, and is what is told.
    Faute &f = static_cast<LecteurXml *>(moi)->m_faute;
    if (e && e->level >= XML_ERR_ERROR && (!f.vue || (f.niveau != XML_ERR_FATAL && e->level == XML_ERR_FATAL)))
        f = {true, e->code, e->level, e->line, e->int2, e->int1, e->str1, e->str2, e->message};
}

bool LecteurXml::lire()
{
    if (!m_erreur)
        return false;
    if (!m_lecteur)
        return echouer(QStringLiteral("la mémoire est insuffisante"), 1, 1);
    const int r = xmlTextReaderRead(m_lecteur);
    if (r < 0)
        return traduire();
    if (r == 0)
        return m_racineVue ? false : echouer(QStringLiteral("le fichier ne contient aucun élément"), m_octets.size());
    m_type = xmlTextReaderNodeType(m_lecteur);  // asked once: it looks for blanks in a text
    if (m_type == XML_READER_TYPE_DOCUMENT_TYPE) {
        // Its entities could make a small file grow beyond any memory, or read other files.
        const qsizetype p = m_ascii ? m_octets.indexOf("<!DOCTYPE") : -1;
        const QString dtd = QStringLiteral("les DTD ne sont pas prises en charge");
        return p >= 0 ? echouer(dtd, p) : echouer(dtd, xmlTextReaderGetParserLineNumber(m_lecteur), 1);
    }
    if (m_type == XML_READER_TYPE_ENTITY_REFERENCE)
        return echouer(QStringLiteral("les entités déclarées ne sont pas prises en charge"),
                       xmlTextReaderGetParserLineNumber(m_lecteur), xmlTextReaderGetParserColumnNumber(m_lecteur));
    if (m_type == XML_READER_TYPE_ELEMENT) {
        m_racineVue = true;
        trouverBalise();
        if (xmlTextReaderDepth(m_lecteur) > kProfondeurMax) {
            const QString profond = QStringLiteral("les éléments sont imbriqués trop profondément");
            return m_balise >= 0 ? echouer(profond, m_balise) : echouer(profond, xmlTextReaderGetParserLineNumber(m_lecteur), 1);
        }
    }
    return true;
}

bool LecteurXml::racine(Resultat &resultat)
{
    while (lire())
        if (estElement())
            return true;
    resultat = m_erreur;
    return false;
}

bool LecteurXml::enfant(int parent)
{
    if (estElement() && profondeur() == parent && vide())
        return false;
    while (lire()) {
        if (estElement() && profondeur() == parent + 1)
            return true;
        if (m_type == XML_READER_TYPE_END_ELEMENT && profondeur() == parent)
            return false;
    }
    return false;
}

void LecteurXml::sauter()
{
    if (estElement() && !vide())
        for (const int p = profondeur(); lire() && profondeur() > p;) {
        }
}

QByteArrayView LecteurXml::texteUtf8()
{
    m_texte.resize(0);
    if (estElement() && !vide())
        for (const int p = profondeur(); lire() && profondeur() > p;)
            if (estTexte() && profondeur() == p + 1)
                m_texte += valeur();
    return m_texte;
}

bool LecteurXml::fin(Resultat &resultat)
{
    while (lire()) {
    }
    if (!m_erreur)
        resultat = m_erreur;
    return m_erreur.ok;
}

bool LecteurXml::estElement() const { return m_type == XML_READER_TYPE_ELEMENT; }
bool LecteurXml::estTexte() const { return m_type == XML_READER_TYPE_TEXT || m_type == XML_READER_TYPE_CDATA; }
bool LecteurXml::estBlanc() const
{
    return m_type == XML_READER_TYPE_WHITESPACE || m_type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
}
int LecteurXml::profondeur() const { return xmlTextReaderDepth(m_lecteur); }
bool LecteurXml::vide() const { return xmlTextReaderIsEmptyElement(m_lecteur) == 1; }
QByteArrayView LecteurXml::nom() const { return vue(xmlTextReaderConstLocalName(m_lecteur)); }
QByteArrayView LecteurXml::valeur() const { return vue(xmlTextReaderConstValue(m_lecteur)); }

QByteArrayView LecteurXml::attributUtf8(QByteArrayView n)
{
    QByteArrayView v;
    if (xmlTextReaderMoveToFirstAttribute(m_lecteur) != 1)
        return v;
    do {
        if (xmlTextReaderIsNamespaceDecl(m_lecteur) != 1 && vue(xmlTextReaderConstLocalName(m_lecteur)) == n) {
            v = valeur();  // held by the element or the reader until the next node
            break;
        }
    } while (xmlTextReaderMoveToNextAttribute(m_lecteur) == 1);
    xmlTextReaderMoveToElement(m_lecteur);
    return v;
}

QString LecteurXml::attribut(QByteArrayView n) { return QString::fromUtf8(attributUtf8(n)); }
bool LecteurXml::attributVaut(QByteArrayView n, QByteArrayView valeur) { return attributUtf8(n) == valeur; }

// Where the start tag of the element the reader has just given stands, and its line. The parser
// keeps lines in 16 bits and reads ahead of the node it gives: each tag is looked for in the
// bytes, from the last one.
void LecteurXml::trouverBalise()
{
    m_balise = -1;
    const QByteArrayView tout(m_octets), nom = vue(xmlTextReaderConstName(m_lecteur));
    const char *o = tout.data();
    while (m_ascii && m_curseur < tout.size()) {
        const char *lt = static_cast<const char *>(std::memchr(o + m_curseur, '<', size_t(tout.size() - m_curseur)));
        if (!lt)
            break;
        const qsizetype i = lt - o;
        const QByteArrayView reste = tout.sliced(i);
        if (reste.size() > 1 && (reste[1] == '!' || reste[1] == '?')) {
            qsizetype saut = -1;
            if (reste.startsWith("<!--"))
                saut = tout.indexOf("-->", i + 4);
            else if (reste.startsWith("<![CDATA["))
                saut = tout.indexOf("]]>", i + 9);
            else if (reste[1] == '?')
                saut = tout.indexOf("?>", i + 2);
            m_curseur = saut < 0 ? i + 2 : saut + 2;
            continue;
        }
        m_curseur = i + 1;
        if (1 + nom.size() < reste.size() && reste.sliced(1).startsWith(nom)
            && (blanc(reste[1 + nom.size()]) || reste[1 + nom.size()] == '>' || reste[1 + nom.size()] == '/')) {
            for (const char *p = o + m_posLigne; (p = static_cast<const char *>(std::memchr(p, '\n', size_t(lt - p)))); ++p)
                ++m_ligneCurseur;
            m_posLigne = m_balise = i;
            m_ligne = m_ligneCurseur;
            return;
        }
    }
    m_ligne = xmlGetLineNo(xmlTextReaderCurrentNode(m_lecteur));
}

// The line and column (in characters, from 1) of a byte offset.
std::pair<qint64, int> LecteurXml::place(qsizetype position) const
{
    position = qBound<qsizetype>(0, position, m_octets.size());
    const QByteArrayView v = QByteArrayView(m_octets).first(position);
    int colonne = 1;
    for (qsizetype i = v.lastIndexOf('\n') + 1; i < position; ++i)
        colonne += (uchar(v[i]) & 0xC0) != 0x80;
    return {v.count('\n') + 1, colonne};
}

// The byte offset of a line and column the parser gave; -1 when it cannot be found.
qsizetype LecteurXml::position(qint64 ligne, int colonne) const
{
    if (!m_ascii || ligne < 1 || colonne < 1)
        return -1;
    qsizetype p = 0;
    for (qint64 l = 1; l < ligne; ++l)
        if ((p = m_octets.indexOf('\n', p) + 1) == 0)
            return -1;
    for (int c = 1; c < colonne && p < m_octets.size() && m_octets[p] != '\n'; ++c)
        for (++p; p < m_octets.size() && (uchar(m_octets[p]) & 0xC0) == 0x80;)
            ++p;
    return p;
}

bool LecteurXml::echouer(const QString &detail, qint64 ligne, int colonne)
{
    if (m_erreur)
        m_erreur = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un XML valide (ligne %2, colonne %3) : %4.")
                                       .arg(m_nomFichier)
                                       .arg(ligne)
                                       .arg(qMax(1, colonne))
                                       .arg(detail));
    return false;
}

bool LecteurXml::echouer(const QString &detail, qsizetype position)
{
    const auto [l, c] = place(position);
    return echouer(detail, l, c);
}

bool LecteurXml::incomplet()
{
    const auto [l, c] = place(qMax<qsizetype>(0, m_octets.size() - 1));  // its last character
    m_erreur = Resultat::echec(QStringLiteral("Le fichier %1 est incomplet : son XML s'arrête ligne %2, colonne %3, "
                                              "avant la fin du document.")
                                   .arg(m_nomFichier)
                                   .arg(l)
                                   .arg(c));
    return false;
}

// The parser's fault in words.
bool LecteurXml::traduire()
{
    const Faute &f = m_faute;
    if (!m_erreur)
        return false;
    if (!f.vue)
        return echouer(QStringLiteral("le document est illisible"), xmlTextReaderGetParserLineNumber(m_lecteur),
                       xmlTextReaderGetParserColumnNumber(m_lecteur));
    auto dire = [&](const QString &detail, int decalage = 0) { return echouer(detail, f.ligne, f.colonne - decalage); };
    const qsizetype p = position(f.ligne, f.colonne);
    const QByteArrayView tout(m_octets);
    if (const qsizetype dtd = m_ascii ? tout.indexOf("<!DOCTYPE") : -1; dtd >= 0 && (p < 0 || dtd < p))
        return echouer(QStringLiteral("les DTD ne sont pas prises en charge"), dtd);
    // An element starts somewhere, and the fault stands past the last byte: the document stops
    // before its end, unless the fault is one told as it is.
    bool element = false;
    for (qsizetype i = tout.indexOf('<'); i >= 0 && !element; i = tout.indexOf('<', i + 1))
        element = i + 1 < tout.size() && (std::isalpha(uchar(tout[i + 1])) || tout[i + 1] == '_' || uchar(tout[i + 1]) >= 0x80);
    const bool auBout = p >= 0 && (p >= tout.size() || tout.sliced(p).trimmed().isEmpty());
    if (f.code == XML_ERR_DOCUMENT_EMPTY || f.code == XML_ERR_DOCUMENT_END) {
        qsizetype i = qMax<qsizetype>(0, p);
        while (p >= 0 && i < tout.size() && blanc(tout[i]))
            ++i;
        if (p >= 0 && i < tout.size())
            return echouer(tout[i] == '<' && element ? QStringLiteral("un second élément racine commence ici")
                                                     : QStringLiteral("du texte se trouve hors de l'élément racine"),
                           i);
        if (!element)
            return dire(QStringLiteral("le fichier ne contient aucun élément"));
        if (auBout)
            return incomplet();
    } else if (auBout && element && f.code != XML_ERR_TAG_NAME_MISMATCH && f.code != XML_ERR_UNDECLARED_ENTITY
               && f.code != XML_WAR_UNDECLARED_ENTITY && f.code != XML_ERR_ATTRIBUTE_REDEFINED
               && f.code != XML_ERR_INVALID_CHAR && f.code != XML_ERR_INVALID_CHARREF) {
        return incomplet();
    }
    static const std::pair<int, const char *> simples[] = {
        {XML_ERR_ENTITY_LOOP, "les entités déclarées ne sont pas prises en charge"},
        {XML_ERR_ENTITY_PE_INTERNAL, "les entités déclarées ne sont pas prises en charge"},
        {XML_ERR_ENTITYREF_SEMICOL_MISSING, "les entités déclarées ne sont pas prises en charge"},
        {XML_ERR_COMMENT_NOT_FINISHED, "un commentaire n'est jamais fermé"},
        {XML_ERR_GT_REQUIRED, "« > » est attendu pour fermer la balise"},
        {XML_ERR_LT_IN_ATTRIBUTE, "« < » est interdit dans la valeur d'un attribut"},
        {XML_ERR_RESERVED_XML_NAME, "la déclaration « <?xml ?> » n'est pas à sa place ou est mal écrite"},
        {XML_ERR_XMLDECL_NOT_FINISHED, "la déclaration « <?xml ?> » n'est pas à sa place ou est mal écrite"},
        {XML_ERR_XMLDECL_NOT_STARTED, "la déclaration « <?xml ?> » n'est pas à sa place ou est mal écrite"},
        {XML_ERR_DOCTYPE_NOT_FINISHED, "les DTD ne sont pas prises en charge"},
        {XML_ERR_EXT_SUBSET_NOT_FINISHED, "les DTD ne sont pas prises en charge"},
    };
    for (const auto &[code, texte] : simples)
        if (f.code == code)
            return dire(QString::fromUtf8(texte));
    const QString m1 = QString::fromUtf8(f.mot1);
    switch (f.code) {
    case XML_ERR_UNDECLARED_ENTITY:
    case XML_WAR_UNDECLARED_ENTITY:
        return dire(QStringLiteral("la référence &%1; n'existe pas en XML").arg(m1), int(f.mot1.size()) + 2);
    case XML_ERR_NAME_REQUIRED:
        if (f.message.contains("EntityRef"))
            return dire(QStringLiteral("un « & » seul s'écrit &amp;"), 1);
        if (f.message.contains("StartTag"))
            return dire(QStringLiteral("un « < » seul s'écrit &lt;"), 1);
        return dire(QStringLiteral("un nom est attendu ici"));
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE: {
        // The attribute's name stands before the "=".
        QByteArray nom = f.mot1;
        if (nom.isEmpty() && p > 0) {
            qsizetype i = p - 1;
            while (i > 0 && (blanc(m_octets[i]) || m_octets[i] == '='))
                --i;
            const qsizetype fin = i + 1;
            while (i >= 0 && !blanc(m_octets[i]) && m_octets[i] != '<')
                --i;
            nom = m_octets.mid(i + 1, fin - i - 1);
        }
        return dire(QStringLiteral("la valeur de l'attribut %1 doit être entre guillemets").arg(QString::fromUtf8(nom)));
    }
    case XML_ERR_ATTRIBUTE_REDEFINED:
        return dire(QStringLiteral("l'attribut %1 est écrit deux fois").arg(m1));
    case XML_ERR_TAG_NAME_MISMATCH:
        return dire(QStringLiteral("la balise de fin </%1> ne correspond pas à <%2>").arg(QString::fromUtf8(f.mot2), m1),
                    int(f.mot2.size()) + 3);
    case XML_ERR_INVALID_CHAR:
    case XML_ERR_INVALID_CHARREF:
        if (f.message.startsWith("Input is not proper UTF-8"))
            return dire(QStringLiteral("ce n'est pas de l'UTF-8 valide, l'encodage que le fichier annonce"));
        if (f.valeur > 0 && f.valeur < 0x20)
            return dire(QStringLiteral("le caractère de contrôle %1 est interdit en XML").arg(f.valeur));
        return dire(QStringLiteral("un caractère interdit en XML se trouve ici"));
    case XML_ERR_UNSUPPORTED_ENCODING:
    case XML_ERR_UNKNOWN_ENCODING:
        return dire(QStringLiteral("l'encodage %1 n'est pas pris en charge").arg(m1));
    case XML_ERR_INTERNAL_ERROR:
    case XML_ERR_NO_MEMORY:
        if (f.message.contains("huge") || f.message.contains("Huge"))
            return dire(QStringLiteral("un texte ou un nom dépasse la taille permise (10 millions de caractères)"));
        if (f.code == XML_ERR_NO_MEMORY)
            return dire(QStringLiteral("la mémoire est insuffisante"));
        break;
    default: break;
    }
    return dire(QStringLiteral("le document est mal formé (faute n° %1)").arg(f.code));
}

} // namespace echanges
