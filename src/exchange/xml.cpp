#include "exchange/xml.h"

#include <QHash>
#include <cctype>
#include <climits>
#include <cstring>
#include <libxml/xmlreader.h>

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

void ElementsXml::vider()
{
    ligne = 0;
    elements.clear();
    attributs.clear();
    textes.clear();
    octets.truncate(0);
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
    for (int a = el.debutAttributs; a < el.finAttributs; ++a)
        if (attributs[size_t(a)].nom == nom)
            return vue(attributs[size_t(a)].valeur) == valeur;
    return valeur.isEmpty();
}

QString ElementsXml::attribut(int e, QByteArrayView nom) const
{
    if (e < 0)
        return {};
    const Element &el = elements[size_t(e)];
    for (int a = el.debutAttributs; a < el.finAttributs; ++a)
        if (attributs[size_t(a)].nom == nom)
            return QString::fromUtf8(vue(attributs[size_t(a)].valeur));
    return {};
}

QByteArray ElementsXml::texteUtf8(int e) const
{
    QByteArray t;
    if (e < 0)
        return t;
    for (int k = elements[size_t(e)].premierTexte; k >= 0; k = textes[size_t(k)].suivant)
        t += vue(textes[size_t(k)].morceau);
    return t;
}

QString ElementsXml::texte(int e) const
{
    if (e < 0)
        return {};
    const Element &el = elements[size_t(e)];
    if (el.premierTexte >= 0 && el.premierTexte == el.dernierTexte)
        return QString::fromUtf8(vue(textes[size_t(el.premierTexte)].morceau));
    return el.premierTexte < 0 ? QString() : QString::fromUtf8(texteUtf8(e));
}

// ---------------------------------------------------------------------------

namespace {

constexpr int kProfondeurMax = 64;

QByteArrayView vueDe(const xmlChar *s)
{
    return s ? QByteArrayView(reinterpret_cast<const char *>(s), qsizetype(std::strlen(reinterpret_cast<const char *>(s))))
             : QByteArrayView();
}

QString texteDe(const xmlChar *s) { return QString::fromUtf8(vueDe(s)); }

bool blanc(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

struct LecteurXml::Etat {
    QByteArray octets;
    QString nomFichier;
    xmlTextReaderPtr lecteur = nullptr;
    bool asciiCompatible = true;  // positions can be found in the bytes themselves

    // The first fatal fault the parser reported.
    bool faute = false;
    int code = 0, ligne = 0, colonne = 0, valeur = 0, niveau = 0;
    QByteArray mot1, mot2, message;

    Resultat erreur;
    bool enErreur = false;
    bool racineVue = false;
    int typeNoeud = 0;

    // Start tags looked for in the bytes, and lines counted, from where the last one stood.
    qsizetype curseur = 0, posLigne = 0;
    qint64 ligneCurseur = 1;

    QHash<const xmlChar *, QString> noms;  // the reader's names are shared: one string each

    Etat(const QByteArray &contenu, QString nom) : octets(contenu), nomFichier(std::move(nom))
    {
        const QByteArrayView v(octets);
        asciiCompatible = !(v.startsWith("\xFF\xFE") || v.startsWith("\xFE\xFF")
                            || (v.size() >= 2 && (v[0] == 0 || v[1] == 0)));
        // No network, no DTD loaded, no entity replaced; the parser's size limits stay on.
        lecteur = xmlReaderForMemory(octets.constData(), int(qMin<qsizetype>(octets.size(), INT_MAX)), nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT);
        if (lecteur)
            xmlTextReaderSetStructuredErrorHandler(lecteur, &Etat::noter, this);
    }
    ~Etat()
    {
        if (lecteur)
            xmlFreeTextReader(lecteur);
    }

    static void noter(void *moi, xmlErrorPtr e)
    {
        // The first fault, unless a fatal one follows a lesser one the parser went on after (a
        // namespace not declared): that one stops the reading, and is what is told.
        auto *d = static_cast<Etat *>(moi);
        if (!e || e->level < XML_ERR_ERROR || (d->faute && (d->niveau == XML_ERR_FATAL || e->level < XML_ERR_FATAL)))
            return;
        d->faute = true;
        d->niveau = e->level;
        d->code = e->code;
        d->ligne = e->line;
        d->colonne = e->int2;
        d->valeur = e->int1;
        d->mot1 = e->str1;
        d->mot2 = e->str2;
        d->message = e->message;
    }

    // The line and column (in characters, from 1) of a byte offset.
    QPair<qint64, int> place(qsizetype position) const
    {
        position = qBound<qsizetype>(0, position, octets.size());
        const QByteArrayView v = QByteArrayView(octets).first(position);
        const qsizetype debut = v.lastIndexOf('\n') + 1;
        int colonne = 1;
        for (qsizetype i = debut; i < position; ++i)
            if ((uchar(octets[i]) & 0xC0) != 0x80)
                ++colonne;
        return {v.count('\n') + 1, colonne};
    }
    // The byte offset of a line and column the parser gave; -1 when it cannot be found.
    qsizetype position(qint64 ligne, int colonne) const
    {
        if (!asciiCompatible || ligne < 1 || colonne < 1)
            return -1;
        qsizetype p = 0;
        for (qint64 l = 1; l < ligne; ++l) {
            p = octets.indexOf('\n', p);
            if (p < 0)
                return -1;
            ++p;
        }
        for (int c = 1; c < colonne && p < octets.size(); ++c) {
            if (octets[p] == '\n')
                return p;
            ++p;
            while (p < octets.size() && (uchar(octets[p]) & 0xC0) == 0x80)
                ++p;
        }
        return p;
    }

    bool echouer(const QString &detail, qint64 ligne, int colonne)
    {
        if (enErreur)
            return false;
        erreur = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un XML valide (ligne %2, colonne %3) : %4.")
                                     .arg(nomFichier)
                                     .arg(ligne)
                                     .arg(qMax(1, colonne))
                                     .arg(detail));
        enErreur = true;
        return false;
    }
    bool echouer(const QString &detail, qsizetype position)
    {
        const auto [l, c] = place(position);
        return echouer(detail, l, c);
    }
    bool incomplet()
    {
        const auto [l, c] = place(qMax<qsizetype>(0, octets.size() - 1));  // its last character
        erreur = Resultat::echec(QStringLiteral("Le fichier %1 est incomplet : son XML s'arrête ligne %2, colonne %3, "
                                                "avant la fin du document.")
                                     .arg(nomFichier)
                                     .arg(l)
                                     .arg(c));
        enErreur = true;
        return false;
    }

    // The parser's fault in words.
    bool traduire()
    {
        if (enErreur)
            return false;
        if (!faute)
            return echouer(QStringLiteral("le document est illisible"), xmlTextReaderGetParserLineNumber(lecteur),
                           xmlTextReaderGetParserColumnNumber(lecteur));
        const QString m1 = QString::fromUtf8(mot1), m2 = QString::fromUtf8(mot2);
        const qsizetype p = position(ligne, colonne);
        const QByteArrayView tout(octets);
        if (const qsizetype dtd = asciiCompatible ? tout.indexOf("<!DOCTYPE") : -1; dtd >= 0 && (p < 0 || dtd < p))
            return echouer(QStringLiteral("les DTD ne sont pas prises en charge"), dtd);
        // An element starts somewhere, and the fault stands past the last byte: the document
        // stops before its end.
        bool element = false;
        for (qsizetype i = tout.indexOf('<'); i >= 0 && !element; i = tout.indexOf('<', i + 1))
            element = i + 1 < tout.size() && (std::isalpha(uchar(tout[i + 1])) || tout[i + 1] == '_' || uchar(tout[i + 1]) >= 0x80);
        const bool auBout = p >= 0 && (p >= tout.size() || tout.sliced(p).trimmed().isEmpty());
        switch (code) {
        case XML_ERR_DOCUMENT_EMPTY:
        case XML_ERR_DOCUMENT_END: {
            qsizetype i = qMax<qsizetype>(0, p);
            while (p >= 0 && i < tout.size() && blanc(tout[i]))
                ++i;
            if (p >= 0 && i < tout.size())
                return echouer(tout[i] == '<' && element ? QStringLiteral("un second élément racine commence ici")
                                                         : QStringLiteral("du texte se trouve hors de l'élément racine"),
                               i);
            if (!element)
                return echouer(QStringLiteral("le fichier ne contient aucun élément"), ligne, colonne);
            if (auBout)
                return incomplet();
            break;
        }
        case XML_ERR_TAG_NAME_MISMATCH:
        case XML_ERR_UNDECLARED_ENTITY:
        case XML_WAR_UNDECLARED_ENTITY:
        case XML_ERR_ATTRIBUTE_REDEFINED:
        case XML_ERR_INVALID_CHAR:
        case XML_ERR_INVALID_CHARREF:
            break;
        default:
            if (auBout && element)
                return incomplet();
        }
        switch (code) {
        case XML_ERR_UNDECLARED_ENTITY:
        case XML_WAR_UNDECLARED_ENTITY:
            return echouer(QStringLiteral("la référence &%1; n'existe pas en XML").arg(m1), ligne, colonne - int(mot1.size()) - 2);
        case XML_ERR_NAME_REQUIRED:
            if (message.contains("EntityRef"))
                return echouer(QStringLiteral("un « & » seul s'écrit &amp;"), ligne, colonne - 1);
            if (message.contains("StartTag"))
                return echouer(QStringLiteral("un « < » seul s'écrit &lt;"), ligne, colonne - 1);
            return echouer(QStringLiteral("un nom est attendu ici"), ligne, colonne);
        case XML_ERR_ATTRIBUTE_NOT_STARTED:
        case XML_ERR_ATTRIBUTE_WITHOUT_VALUE: {
            // The attribute's name stands before the "=".
            QByteArray nom = mot1;
            if (nom.isEmpty() && p > 0) {
                qsizetype i = p - 1;
                while (i > 0 && (blanc(octets[i]) || octets[i] == '='))
                    --i;
                const qsizetype fin = i + 1;
                while (i >= 0 && !blanc(octets[i]) && octets[i] != '<')
                    --i;
                nom = octets.mid(i + 1, fin - i - 1);
            }
            return echouer(QStringLiteral("la valeur de l'attribut %1 doit être entre guillemets").arg(QString::fromUtf8(nom)),
                           ligne, colonne);
        }
        case XML_ERR_ATTRIBUTE_REDEFINED:
            return echouer(QStringLiteral("l'attribut %1 est écrit deux fois").arg(m1), ligne, colonne);
        case XML_ERR_TAG_NAME_MISMATCH:
            return echouer(QStringLiteral("la balise de fin </%1> ne correspond pas à <%2>").arg(m2, m1), ligne,
                           colonne - int(mot2.size()) - 3);
        case XML_ERR_INVALID_CHAR:
        case XML_ERR_INVALID_CHARREF:
            if (message.startsWith("Input is not proper UTF-8"))
                return echouer(QStringLiteral("ce n'est pas de l'UTF-8 valide, l'encodage que le fichier annonce"), ligne, colonne);
            if (valeur > 0 && valeur < 0x20)
                return echouer(QStringLiteral("le caractère de contrôle %1 est interdit en XML").arg(valeur), ligne, colonne);
            return echouer(QStringLiteral("un caractère interdit en XML se trouve ici"), ligne, colonne);
        case XML_ERR_UNSUPPORTED_ENCODING:
        case XML_ERR_UNKNOWN_ENCODING:
            return echouer(QStringLiteral("l'encodage %1 n'est pas pris en charge").arg(m1), ligne, colonne);
        case XML_ERR_ENTITY_LOOP:
        case XML_ERR_ENTITY_PE_INTERNAL:
        case XML_ERR_ENTITYREF_SEMICOL_MISSING:
            return echouer(QStringLiteral("les entités déclarées ne sont pas prises en charge"), ligne, colonne);
        case XML_ERR_INTERNAL_ERROR:
        case XML_ERR_NO_MEMORY:
            if (message.contains("huge") || message.contains("Huge"))
                return echouer(QStringLiteral("un texte ou un nom dépasse la taille permise (10 millions de caractères)"),
                               ligne, colonne);
            if (code == XML_ERR_NO_MEMORY)
                return echouer(QStringLiteral("la mémoire est insuffisante"), ligne, colonne);
            break;
        case XML_ERR_COMMENT_NOT_FINISHED:
            return echouer(QStringLiteral("un commentaire n'est jamais fermé"), ligne, colonne);
        case XML_ERR_GT_REQUIRED:
            return echouer(QStringLiteral("« > » est attendu pour fermer la balise"), ligne, colonne);
        case XML_ERR_LT_IN_ATTRIBUTE:
            return echouer(QStringLiteral("« < » est interdit dans la valeur d'un attribut"), ligne, colonne);
        case XML_ERR_RESERVED_XML_NAME:
        case XML_ERR_XMLDECL_NOT_FINISHED:
        case XML_ERR_XMLDECL_NOT_STARTED:
            return echouer(QStringLiteral("la déclaration « <?xml ?> » n'est pas à sa place ou est mal écrite"), ligne, colonne);
        case XML_ERR_DOCTYPE_NOT_FINISHED:
        case XML_ERR_EXT_SUBSET_NOT_FINISHED:
            return echouer(QStringLiteral("les DTD ne sont pas prises en charge"), ligne, colonne);
        default: break;
        }
        return echouer(QStringLiteral("le document est mal formé (faute n° %1)").arg(code), ligne, colonne);
    }

    // The next node: 1, 0 at the end of the document, -1 on a fault (the message is ready).
    int lire()
    {
        if (enErreur)
            return -1;
        if (!lecteur)
            return echouer(QStringLiteral("la mémoire est insuffisante"), 1, 1), -1;
        const int r = xmlTextReaderRead(lecteur);
        if (r < 0)
            return traduire(), -1;
        if (r == 0) {
            if (!racineVue)
                return echouer(QStringLiteral("le fichier ne contient aucun élément"), place(octets.size()).first,
                               place(octets.size()).second),
                       -1;
            return 0;
        }
        typeNoeud = xmlTextReaderNodeType(lecteur);  // asked once: it looks for blanks in a text
        switch (typeNoeud) {
        case XML_READER_TYPE_DOCUMENT_TYPE: {
            // Its entities could make a small file grow beyond any memory, or read other files.
            const qsizetype p = asciiCompatible ? octets.indexOf("<!DOCTYPE") : -1;
            return (p >= 0 ? echouer(QStringLiteral("les DTD ne sont pas prises en charge"), p)
                           : echouer(QStringLiteral("les DTD ne sont pas prises en charge"),
                                     xmlTextReaderGetParserLineNumber(lecteur), 1)),
                   -1;
        }
        case XML_READER_TYPE_ENTITY_REFERENCE:
            return echouer(QStringLiteral("les entités déclarées ne sont pas prises en charge"),
                           xmlTextReaderGetParserLineNumber(lecteur), xmlTextReaderGetParserColumnNumber(lecteur)),
                   -1;
        case XML_READER_TYPE_ELEMENT:
            racineVue = true;
            trouverBalise();
            if (xmlTextReaderDepth(lecteur) > kProfondeurMax)
                return (balise >= 0 ? echouer(QStringLiteral("les éléments sont imbriqués trop profondément"), balise)
                                    : echouer(QStringLiteral("les éléments sont imbriqués trop profondément"),
                                              xmlTextReaderGetParserLineNumber(lecteur), 1)),
                       -1;
            break;
        default: break;
        }
        return 1;
    }

    int type() const { return typeNoeud; }
    int profondeur() const { return xmlTextReaderDepth(lecteur); }
    bool vide() const { return xmlTextReaderIsEmptyElement(lecteur) == 1; }
    QByteArrayView nomLocal() const { return vueDe(xmlTextReaderConstLocalName(lecteur)); }
    const QString &nomPartage()
    {
        const xmlChar *n = xmlTextReaderConstLocalName(lecteur);
        auto it = noms.find(n);
        if (it == noms.end())
            it = noms.insert(n, texteDe(n));
        return *it;
    }
    bool texte() const
    {
        const int t = type();
        return t == XML_READER_TYPE_TEXT || t == XML_READER_TYPE_CDATA;
    }
    bool blancs() const
    {
        const int t = type();
        return t == XML_READER_TYPE_WHITESPACE || t == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
    }
    // The attributes of the element the reader stands on, namespace declarations left out.
    template <typename F> void attributs(F &&f)
    {
        if (xmlTextReaderMoveToFirstAttribute(lecteur) != 1)
            return;
        do {
            if (xmlTextReaderIsNamespaceDecl(lecteur) != 1)
                f(xmlTextReaderConstLocalName(lecteur), xmlTextReaderConstValue(lecteur));
        } while (xmlTextReaderMoveToNextAttribute(lecteur) == 1);
        xmlTextReaderMoveToElement(lecteur);
    }

    // Where the start tag of the element the reader has just given stands, and its line. The
    // parser keeps lines in 16 bits and reads ahead of the node it gives: each tag is looked
    // for in the bytes, from the last one.
    qsizetype balise = -1;
    qint64 ligneDeBalise = 0;
    void trouverBalise()
    {
        balise = -1;
        ligneDeBalise = xmlGetLineNo(xmlTextReaderCurrentNode(lecteur));
        if (!asciiCompatible)
            return;
        const QByteArrayView nom = vueDe(xmlTextReaderConstName(lecteur));
        const char *o = octets.constData();
        const qsizetype n = octets.size();
        const QByteArrayView tout(octets);
        while (curseur < n) {
            const char *lt = static_cast<const char *>(std::memchr(o + curseur, '<', size_t(n - curseur)));
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
                curseur = saut < 0 ? i + 2 : saut + 2;
                continue;
            }
            curseur = i + 1;
            if (1 + nom.size() < reste.size() && reste.sliced(1).startsWith(nom)) {
                const char apres = reste[1 + nom.size()];
                if (blanc(apres) || apres == '>' || apres == '/') {
                    for (const char *p = o + posLigne, *fin = o + i;
                         (p = static_cast<const char *>(std::memchr(p, '\n', size_t(fin - p)))) != nullptr; ++p)
                        ++ligneCurseur;
                    posLigne = i;
                    balise = i;
                    ligneDeBalise = ligneCurseur;
                    return;
                }
            }
        }
    }

    // The element the reader stands on, whole, into `arbre`.
    bool lireElement(ElementsXml &arbre)
    {
        std::vector<int> pile, derniers;  // open elements, and the last child of each
        auto ouvrir = [&] {
            const int e = int(arbre.elements.size());
            ElementsXml::Element el;
            el.nom = nomLocal();
            el.debutAttributs = int(arbre.attributs.size());
            attributs([&](const xmlChar *nom, const xmlChar *valeur) {
                const QByteArrayView v = vueDe(valeur);
                arbre.attributs.push_back({vueDe(nom), {arbre.octets.size(), v.size()}});
                arbre.octets += v;
            });
            el.finAttributs = int(arbre.attributs.size());
            if (!pile.empty()) {
                int &dernier = derniers.back();
                if (dernier < 0)
                    arbre.elements[size_t(pile.back())].premierFils = e;
                else
                    arbre.elements[size_t(dernier)].suivant = e;
                dernier = e;
            }
            arbre.elements.push_back(el);
            if (!vide()) {
                pile.push_back(e);
                derniers.push_back(-1);
            }
        };
        ouvrir();
        while (!pile.empty()) {
            if (const int r = lire(); r <= 0)
                return r < 0 ? false : incomplet();
            if (type() == XML_READER_TYPE_ELEMENT) {
                ouvrir();
            } else if (type() == XML_READER_TYPE_END_ELEMENT) {
                pile.pop_back();
                derniers.pop_back();
            } else if (texte()) {
                const QByteArrayView v = vueDe(xmlTextReaderConstValue(lecteur));
                const int t = int(arbre.textes.size());
                arbre.textes.push_back({{arbre.octets.size(), v.size()}, -1});
                arbre.octets += v;
                ElementsXml::Element &el = arbre.elements[size_t(pile.back())];
                if (el.dernierTexte < 0)
                    el.premierTexte = t;
                else
                    arbre.textes[size_t(el.dernierTexte)].suivant = t;
                el.dernierTexte = t;
            }
        }
        return true;
    }

    // The element the reader stands on, whole, as a tree.
    bool lireNoeud(NoeudXml &racine)
    {
        std::vector<NoeudXml *> pile;
        auto ouvrir = [&](NoeudXml &n) {
            n.nom = nomPartage();
            n.ligne = ligneDeBalise;
            attributs([&](const xmlChar *nom, const xmlChar *valeur) {
                const auto it = noms.constFind(nom);
                n.attributs.append({it != noms.constEnd() ? *it : *noms.insert(nom, texteDe(nom)), texteDe(valeur)});
            });
            if (!vide())
                pile.push_back(&n);
        };
        ouvrir(racine);
        while (!pile.empty()) {
            if (const int r = lire(); r <= 0)
                return r < 0 ? false : incomplet();
            NoeudXml &haut = *pile.back();
            if (type() == XML_READER_TYPE_ELEMENT) {
                haut.fils.emplace_back();
                ouvrir(haut.fils.back());
            } else if (type() == XML_READER_TYPE_END_ELEMENT) {
                pile.pop_back();
            } else if (texte() || blancs()) {
                // Blanks between elements, many in an indented file, all stand for one blank;
                // an element's own text leaves them out.
                const QString t = blancs() ? QStringLiteral(" ") : texteDe(xmlTextReaderConstValue(lecteur));
                if (!blancs())
                    haut.texte += t;
                if (!haut.fils.empty() && haut.fils.back().nom.isEmpty())
                    haut.fils.back().texte += t;
                else
                    haut.fils.push_back({QString(), t, {}, {}, 0});
            }
        }
        return true;
    }
};

LecteurXml::LecteurXml(const QByteArray &contenu, QString nomFichier)
    : d(std::make_unique<Etat>(contenu, std::move(nomFichier)))
{
}

LecteurXml::~LecteurXml() = default;

bool LecteurXml::racine(const QString &attendu, const QString &format, Resultat &resultat)
{
    for (;;) {
        if (d->lire() <= 0) {
            resultat = d->erreur;
            return false;
        }
        if (d->type() != XML_READER_TYPE_ELEMENT)
            continue;
        const QString nom = d->nomPartage();
        if (nom == attendu)
            return true;
        resultat = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un fichier %2 : son élément racine est "
                                                  "« %3 » (ligne %4), « %5 » est attendu.")
                                       .arg(d->nomFichier, format, nom)
                                       .arg(d->ligneDeBalise)
                                       .arg(attendu));
        return false;
    }
}

bool LecteurXml::suivant(QByteArrayView nom, ElementsXml &element)
{
    for (;;) {
        if (d->lire() <= 0)
            return false;
        const int type = d->type(), profondeur = d->profondeur();
        if (type == XML_READER_TYPE_END_ELEMENT && profondeur == 0)
            return false;
        if (type != XML_READER_TYPE_ELEMENT || profondeur != 1)
            continue;
        if (d->nomLocal() != nom) {
            // Read through rather than skipped, so that a fault inside is still found.
            if (d->vide())
                continue;
            while (true) {
                if (d->lire() <= 0)
                    return false;
                if (d->type() == XML_READER_TYPE_END_ELEMENT && d->profondeur() == 1)
                    break;
            }
            continue;
        }
        element.vider();
        element.ligne = d->ligneDeBalise;
        return d->lireElement(element);
    }
}

bool LecteurXml::fin(Resultat &resultat)
{
    for (;;) {
        const int r = d->lire();
        if (r == 0)
            return true;
        if (r < 0) {
            resultat = d->erreur;
            return false;
        }
    }
}

bool LecteurXml::arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat)
{
    LecteurXml l(contenu, nomFichier);
    for (;;) {
        if (l.d->lire() <= 0) {
            resultat = l.d->erreur;
            return false;
        }
        if (l.d->type() != XML_READER_TYPE_ELEMENT)
            continue;
        if (!l.d->lireNoeud(racine)) {
            resultat = l.d->erreur;
            return false;
        }
        return l.fin(resultat);
    }
}

} // namespace echanges
