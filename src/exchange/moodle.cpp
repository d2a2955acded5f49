#include "exchange/formats.h"
#include "exchange/xml.h"

#include "store/cp1252.h"

#include <QHash>
#include <QIODevice>
#include <QRegularExpression>
#include <QUrl>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace echanges {

// ---------------------------------------------------------------------------
// Writing

namespace {

// Written by hand rather than with QXmlStreamWriter, whose many small conversions cost more
// than twice the time a bank-sized export is allowed. The texts of the cards go from their
// stored Windows-1252 bytes to escaped UTF-8 in one pass, into one buffer.

// The bytes gathered for the file, handed to the device in large pieces.
class Sortie {
public:
    explicit Sortie(QIODevice &appareil) : m_appareil(appareil) { m_octets.resize(1 << 20); }

    // Room for n more bytes; the pointer to write them to.
    char *place(qsizetype n)
    {
        if (m_taille + n > m_octets.size())
            m_octets.resize(qMax(m_octets.size() * 2, m_taille + n));
        return m_octets.data() + m_taille;
    }
    void avancer(char *fin) { m_taille = fin - m_octets.constData(); }
    void ajouter(QByteArrayView o)
    {
        char *p = place(o.size());
        std::memcpy(p, o.data(), size_t(o.size()));
        m_taille += o.size();
    }
    void ajouterTexte(const QString &t) { ajouter(QByteArrayView(t.toUtf8())); }
    qsizetype taille() const { return m_taille; }
    bool vider()
    {
        const bool ok = m_appareil.write(m_octets.constData(), m_taille) == m_taille;
        if (!ok)
            m_erreur = errno;
        m_taille = 0;
        return ok;
    }
    int erreur() const { return m_erreur; }

private:
    QIODevice &m_appareil;
    QByteArray m_octets;
    qsizetype m_taille = 0;
    int m_erreur = 0;
};

template <size_t N> char *copier(char *p, const char (&litteral)[N])
{
    std::memcpy(p, litteral, N - 1);
    return p + N - 1;
}

// Each Windows-1252 byte as UTF-8: length, then up to three bytes.
struct Utf8 {
    std::array<std::array<char, 4>, 256> t;
    Utf8()
    {
        for (int o = 0; o < 256; ++o) {
            const char16_t c = cp1252::versUnicode(uchar(o));
            auto &x = t[size_t(o)];
            if (c < 0x80) {
                x = {1, char(c), 0, 0};
            } else if (c < 0x800) {
                x = {2, char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F)), 0};
            } else {
                x = {3, char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
            }
        }
    }
};
const Utf8 kUtf8;

char *utf8(char *p, uchar o)
{
    const auto &x = kUtf8.t[o];
    std::memcpy(p, x.data() + 1, 3);
    return p + x[0];
}

// A stored field as the card shows it: up to its first zero byte, spaces removed at both
// ends, and with `sauts`, CR LF and CR as LF. Into `t`, at most `largeur` bytes.
int champ(const char *c, int largeur, bool sauts, char *t)
{
    const void *zero = std::memchr(c, 0, size_t(largeur));
    int fin = zero ? int(static_cast<const char *>(zero) - c) : largeur, debut = 0;
    while (debut < fin && c[debut] == ' ')
        ++debut;
    while (fin > debut && c[fin - 1] == ' ')
        --fin;
    int n = 0;
    for (int i = debut; i < fin; ++i) {
        if (sauts && c[i] == '\r') {
            t[n++] = '\n';
            if (i + 1 < fin && c[i + 1] == '\n')
                ++i;
        } else {
            t[n++] = c[i];
        }
    }
    return n;
}

// Plain text as XML text: the controls XML forbids dropped, & < > escaped. At most 5 bytes a byte.
char *texteXml(char *p, const char *t, int n)
{
    for (int i = 0; i < n; ++i) {
        const uchar c = uchar(t[i]);
        switch (c) {
        case '&': p = copier(p, "&amp;"); break;
        case '<': p = copier(p, "&lt;"); break;
        case '>': p = copier(p, "&gt;"); break;
        case '\t': case '\n': case '\r': *p++ = char(c); break;
        default:
            if (c >= 0x20)
                p = utf8(p, c);
        }
    }
    return p;
}

// Plain text as the HTML that shows it (as htmlDeTexte writes it), then as XML text.
// At most 10 bytes a byte.
char *htmlXml(char *p, const char *t, int n)
{
    for (int i = 0; i < n; ++i) {
        const uchar c = uchar(t[i]);
        switch (c) {
        case '&': p = copier(p, "&amp;amp;"); break;
        case '<': p = copier(p, "&amp;lt;"); break;
        case '>': p = copier(p, "&amp;gt;"); break;
        case '"': p = copier(p, "&amp;quot;"); break;
        case '\n': p = copier(p, "&lt;br&gt;"); break;
        case '\t': p = copier(p, "&amp;#9;"); break;
        case ' ':
            // Only a lone blank between two words stays as it is: a browser collapses the others.
            if (i > 0 && t[i - 1] != ' ' && t[i - 1] != '\n' && i + 1 < n && t[i + 1] != ' ' && t[i + 1] != '\n')
                *p++ = ' ';
            else
                p = copier(p, "&amp;nbsp;");
            break;
        default:
            if (c >= 0x20)
                p = utf8(p, c);
        }
    }
    return p;
}

// "Q0042 Quelle est la capitale" (as titreQuestion makes it), as XML text.
char *titreXml(char *p, int numero, const char *t, int n)
{
    char chiffres[16];
    const int k = std::snprintf(chiffres, sizeof chiffres, "Q%04d", numero);
    std::memcpy(p, chiffres, size_t(k));
    p += k;
    int taille = k;  // in characters: one a byte
    for (int i = 0; i < n;) {
        while (i < n && (t[i] == ' ' || t[i] == '\n'))
            ++i;
        int fin = i;
        while (fin < n && t[fin] != ' ' && t[fin] != '\n')
            ++fin;
        if (fin == i || taille + 1 + (fin - i) > 60)
            break;
        *p++ = ' ';
        p = texteXml(p, t + i, fin - i);
        taille += 1 + (fin - i);
        i = fin;
    }
    return p;
}

// The controls XML forbids dropped, & < > escaped.
QString texteXml(const QString &texte)
{
    const QString t = pourXml(texte);
    QString o;
    o.reserve(t.size());
    for (QChar c : t) {
        switch (c.unicode()) {
        case u'&': o += QLatin1String("&amp;"); break;
        case u'<': o += QLatin1String("&lt;"); break;
        case u'>': o += QLatin1String("&gt;"); break;
        default: o += c;
        }
    }
    return o;
}

QString attributXml(const QString &texte)
{
    QString o;
    for (QChar c : pourXml(texte)) {
        switch (c.unicode()) {
        case u'&': o += QLatin1String("&amp;"); break;
        case u'<': o += QLatin1String("&lt;"); break;
        case u'>': o += QLatin1String("&gt;"); break;
        case u'"': o += QLatin1String("&quot;"); break;
        case u'\t': o += QLatin1String("&#9;"); break;
        case u'\n': o += QLatin1String("&#10;"); break;
        case u'\r': o += QLatin1String("&#13;"); break;
        default: o += c;
        }
    }
    return o;
}

} // namespace

Resultat ecrireMoodle(const SourceBanque &src, QIODevice &sortie, bool melanger, Rapport &rapport,
                      const Progression &progression)
{
    std::array<std::vector<int>, 10> groupes;
    for (int n = 1; n <= src.nombre(); ++n) {
        const int t = src.theme(n);
        groupes[size_t(t <= 8 && !src.nomTheme(t).isEmpty() ? t + 1 : 0)].push_back(n);
    }
    Sortie o(sortie);
    o.ajouter("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n");

    BilanExport bilan;
    int fait = 0;
    // A card's texts as shown, one buffer each, and the room their XML takes at most.
    char question[sizeof FicheQuestion::Question], reponses[3][sizeof FicheQuestion::Reponse[0]],
        commentaire[sizeof FicheQuestion::Commentaire], auteur[sizeof FicheQuestion::Auteur];
    constexpr qsizetype placeCarte = 10 * qsizetype(sizeof question * 2 + sizeof reponses + sizeof commentaire
                                                    + sizeof auteur) + 2048;
    for (size_t g = 0; g < groupes.size(); ++g) {
        if (groupes[g].empty())
            continue;
        if (g > 0)
            o.ajouterTexte(QLatin1String("  <question type=\"category\">\n    <category>\n      <text>")
                      + texteXml(QStringLiteral("$course$/top/") + categorieDeTheme(src.nomTheme(int(g) - 1)))
                      + QLatin1String("</text>\n    </category>\n    <info format=\"html\">\n      <text></text>\n"
                                      "    </info>\n  </question>\n"));
        for (int n : groupes[g]) {
            const FicheQuestion f = src.fiche(n);
            const int bonne = bonneReponse(f);
            if (bonne == 0)
                bilan.sansBonne << n;
            const int nQuestion = champ(f.Question, sizeof f.Question, true, question);
            int nReponses[3];
            for (size_t k = 0; k < 3; ++k)
                nReponses[k] = champ(f.Reponse[k], sizeof f.Reponse[k], true, reponses[k]);
            const int nCommentaire = champ(f.Commentaire, sizeof f.Commentaire, true, commentaire);
            const int nAuteur = champ(f.Auteur, sizeof f.Auteur, false, auteur);
            const QString nomMedia = texte::affiche(f.FichierMedia);
            const int codeMedia = nomMedia.isEmpty() ? 0 : f.TailleImage;

            QString suiteHtml;  // the picture or sound, after the question's text
            QByteArray octets;
            bool avecFichier = false;
            if (!nomMedia.isEmpty() && (media::estSon(codeMedia) || media::estImage(codeMedia))) {
                if (!src.lireMedia(nomMedia, octets)) {
                    bilan.introuvables << n;
                } else {
                    avecFichier = true;
                    const QString lien = QStringLiteral("@@PLUGINFILE@@/") + QString::fromLatin1(QUrl::toPercentEncoding(nomMedia));
                    suiteHtml = media::estImage(codeMedia)
                                    ? QStringLiteral("<img src=\"%1\" alt=\"%2\">").arg(lien, htmlDeTexte(nomMedia))
                                    : QStringLiteral("<audio controls src=\"%1\"></audio>").arg(lien);
                    if (codeMedia > media::Image)
                        bilan.tailles << n;
                }
            } else if (!nomMedia.isEmpty() && codeMedia == media::Video) {
                bilan.videos << n;
            }

            char *p = o.place(placeCarte);
            p = copier(p, "  <question type=\"multichoice\">\n    <name>\n      <text>");
            p = titreXml(p, n, question, nQuestion);
            p = copier(p, "</text>\n    </name>\n    <questiontext format=\"html\">\n      <text>");
            char *const debutHtml = p;
            p = htmlXml(p, question, nQuestion);
            if (avecFichier) {
                const bool texteAvant = p != debutHtml;
                o.avancer(p);
                if (texteAvant)
                    o.ajouter("&lt;br&gt;");
                o.ajouterTexte(texteXml(suiteHtml));
                o.ajouter("</text>\n      <file name=\"");
                o.ajouterTexte(attributXml(nomMedia));
                o.ajouter("\" path=\"/\" encoding=\"base64\">");
                o.ajouter(octets.toBase64());
                o.ajouter("</file>\n");
                p = o.place(placeCarte);
            } else {
                p = copier(p, "</text>\n");
            }
            p = copier(p, "    </questiontext>\n    <generalfeedback format=\"html\">\n      <text>");
            p = htmlXml(p, commentaire, nCommentaire);
            p = copier(p, "</text>\n    </generalfeedback>\n    <defaultgrade>1</defaultgrade>\n"
                          "    <penalty>0.3333333</penalty>\n    <hidden>0</hidden>\n    <single>true</single>\n");
            p = melanger ? copier(p, "    <shuffleanswers>true</shuffleanswers>\n")
                         : copier(p, "    <shuffleanswers>false</shuffleanswers>\n");
            p = copier(p, "    <answernumbering>abc</answernumbering>\n");
            for (int k = 0; k < 3; ++k) {
                p = k + 1 == bonne ? copier(p, "    <answer fraction=\"100\" format=\"html\">\n      <text>")
                                   : copier(p, "    <answer fraction=\"0\" format=\"html\">\n      <text>");
                p = htmlXml(p, reponses[k], nReponses[k]);
                p = copier(p, "</text>\n    </answer>\n");
            }
            if (f.Marque != 0 || nAuteur > 0) {
                p = copier(p, "    <tags>\n");
                if (f.Marque != 0)
                    p = copier(p, "      <tag>\n        <text>marque</text>\n      </tag>\n");
                if (nAuteur > 0) {
                    p = copier(p, "      <tag>\n        <text>auteur-");
                    p = texteXml(p, auteur, nAuteur);
                    p = copier(p, "</text>\n      </tag>\n");
                }
                p = copier(p, "    </tags>\n");
            }
            p = copier(p, "  </question>\n");
            o.avancer(p);
            if (o.taille() >= (1 << 20) - placeCarte && !o.vider())
                return echecEcriture(sortie, o.erreur());
            if (progression && ++fait % 512 == 0 && !progression(fait, src.nombre()))
                return Resultat::echec(QStringLiteral("Exportation annulée."));
        }
    }
    o.ajouter("</quiz>\n");
    if (!o.vider())
        return echecEcriture(sortie, o.erreur());

    bilan.rapporter(rapport, src.nombre());
    return Resultat::succes();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

QString typeEnClair(const QString &type)
{
    static const std::pair<const char *, const char *> types[] = {
        {"truefalse", "question vrai/faux"},
        {"shortanswer", "question à réponse courte"},
        {"numerical", "question numérique"},
        {"essay", "question ouverte, sans réponses proposées"},
        {"matching", "question d'association"},
        {"cloze", "question à trous (cloze)"},
        {"multianswer", "question à trous (cloze)"},
        {"description", "description, sans réponses"},
        {"calculated", "question calculée"},
        {"calculatedsimple", "question calculée"},
        {"calculatedmulti", "question calculée"},
        {"ddwtos", "question de glisser-déposer"},
        {"gapselect", "question à menus déroulants"},
        {"multichoiceset", "question à réponses multiples"},
    };
    for (const auto &[cle, texte] : types)
        if (type == QLatin1String(cle))
            return QString::fromUtf8(texte);
    return QStringLiteral("question de type « %1 »").arg(type);
}

// The percentage of the grade an answer gives; the two most common without a conversion.
double fraction(const QString &f)
{
    if (f == QLatin1String("0"))
        return 0;
    if (f == QLatin1String("100"))
        return 100;
    return f.toDouble();  // 0 when it is no number
}

struct Reference {
    QString nom;
    bool image = false;
};

QList<Reference> references(const QString &html)
{
    if (!html.contains(QLatin1String("@@PLUGINFILE@@")))
        return {};
    static const QRegularExpression re(
        QStringLiteral(R"(<\s*(img|audio|source|embed|object|a|video)\b[^>]*?\b(?:src|href|data)\s*=\s*["']@@PLUGINFILE@@/([^"'?#]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QList<Reference> refs;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        refs.append({QUrl::fromPercentEncoding(m.captured(2).toUtf8()), m.captured(1).compare(QLatin1String("img"), Qt::CaseInsensitive) == 0});
    }
    return refs;
}

// <e format="…"><text>…</text></e>: the text of its first <text>, read as the format says.
struct TexteMoodle {
    QString texte;
    bool vu = false, brut = false;
    QString enClair() const { return !vu ? QString() : brut ? nettoyer(texte) : nettoyer(texteDeHtml(texte)); }
};

// The reader on <e>: its format and its first <text>; `autre` is given each of e's other children.
template <typename F> void lireTexte(LecteurXml &l, TexteMoodle &t, F &&autre)
{
    t.vu = true;
    t.brut = l.attributVaut("format", "plain_text") || l.attributVaut("format", "markdown");
    bool texteLu = false;
    for (const int p = l.profondeur(); l.enfant(p);) {
        if (l.nom() != "text") {
            autre();
        } else if (!texteLu) {
            t.texte = l.texte();
            texteLu = true;
        }
    }
}
void lireTexte(LecteurXml &l, TexteMoodle &t)
{
    lireTexte(l, t, [] {});
}

// What a <question> holds that a card can take; of each child, the first.
struct QuestionMoodle {
    QString type;
    qint64 ligne = 0;
    TexteMoodle nom, categorie, enonce, commentaire;
    QHash<QString, QByteArray> fichiers;  // carried by the text, by name: the first of a name wins
    struct Reponse {
        double fraction = 0;
        TexteMoodle texte, retour;
    };
    QList<Reponse> reponses;
    QStringList tags;
    QString image;
    QByteArray base64;  // of the image; empty when it is not carried
};

// The reader on <question>, through its end.
void lireQuestion(LecteurXml &l, QuestionMoodle &q)
{
    q.type = l.attribut("type");
    q.ligne = l.ligne();
    bool tags = false, image = false, base64 = false;
    for (const int p = l.profondeur(); l.enfant(p);) {
        const QByteArrayView n = l.nom();
        if (n == "answer") {
            QuestionMoodle::Reponse &r = q.reponses.emplace_back();
            r.fraction = fraction(l.attribut("fraction"));
            lireTexte(l, r.texte, [&] {
                if (l.nom() == "feedback" && !r.retour.vu)
                    lireTexte(l, r.retour);
            });
        } else if (n == "name" && !q.nom.vu) {
            lireTexte(l, q.nom);
        } else if (n == "questiontext" && !q.enonce.vu) {
            lireTexte(l, q.enonce, [&] {
                if (l.nom() != "file")
                    return;
                if (const QString nom = l.attribut("name"); !q.fichiers.contains(nom))
                    q.fichiers.insert(nom, l.texteUtf8().toByteArray());
            });
        } else if (n == "generalfeedback" && !q.commentaire.vu) {
            lireTexte(l, q.commentaire);
        } else if (n == "category" && !q.categorie.vu) {
            lireTexte(l, q.categorie);
        } else if (n == "tags" && !tags) {
            tags = true;
            for (const int t = l.profondeur(); l.enfant(t);) {
                TexteMoodle tag;
                if (l.nom() == "tag") {
                    lireTexte(l, tag);
                    q.tags << tag.texte.trimmed();
                }
            }
        } else if (n == "image" && !image) {
            image = true;
            q.image = l.texte().trimmed();
        } else if (n == "image_base64" && !base64) {
            base64 = true;
            q.base64 = l.texteUtf8().toByteArray();
        }
    }
}

} // namespace

Lecture lireMoodle(const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options)
{
    Lecture lecture;
    LecteurXml l(contenu, nomFichier);
    if (!l.racine(lecture.resultat))
        return lecture;
    if (l.nom() != "quiz") {
        lecture.resultat = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un fichier Moodle XML : son élément "
                                                          "racine est « %2 » (ligne %3), « quiz » est attendu.")
                                               .arg(nomFichier, QString::fromUtf8(l.nom()))
                                               .arg(l.ligne()));
        return lecture;
    }

    QString theme;
    QList<double> fractions;
    while (l.enfant(0)) {
        if (l.nom() != "question")
            continue;
        QuestionMoodle q;
        lireQuestion(l, q);
        if (!l.ok())
            break;
        const QString nom = nettoyer(q.nom.texte);
        const QString lieu = QStringLiteral("question « ") + (nom.isEmpty() ? QStringLiteral("sans nom") : nom)
                             + QStringLiteral(" » (ligne ") + QString::number(q.ligne) + u')';
        if (lecture.pleine(lieu))
            return lecture;
        auto ignorer = [&](const QString &raison) { lecture.remarques.append({Remarque::Genre::Ignoree, lieu, raison}); };
        if (q.type == QLatin1String("category")) {
            theme = themeDeCategorie(q.categorie.texte.trimmed());
            continue;
        }
        if (q.type != QLatin1String("multichoice")) {
            ignorer(typeEnClair(q.type));
            continue;
        }
        fractions.clear();
        for (const QuestionMoodle::Reponse &r : q.reponses)
            fractions << r.fraction;
        const ChoixReponses choisies = choisirReponses(fractions, options, lieu);
        noterLongue(options, lieu, fractions, [&] { return q.enonce.enClair(); },
                    [&](int k) { return q.reponses[k].texte.enClair(); });
        if (!choisies.refus.isEmpty()) {
            ignorer(choisies.refus);
            continue;
        }
        Question c;
        c.lieu = lieu;
        c.categorie = theme;
        c.bonne = choisies.bonne;
        c.question = q.enonce.enClair();
        bool vide = false, commentaires = false;
        for (size_t k = 0; k < 3; ++k) {
            const QuestionMoodle::Reponse &r = q.reponses[choisies.gardees[k]];
            c.reponses[k] = r.texte.enClair();
            vide = vide || c.reponses[k].isEmpty();
            commentaires = commentaires || !r.retour.enClair().isEmpty();
        }
        c.commentaire = q.commentaire.enClair();
        for (const QString &t : std::as_const(q.tags)) {
            if (t.compare(QLatin1String("marque"), Qt::CaseInsensitive) == 0)
                c.marque = true;
            else if (t.startsWith(QLatin1String("auteur-"), Qt::CaseInsensitive))
                c.auteur = t.mid(7);
        }
        // The first picture or sound the text shows, from the files it carries.
        auto attacher = [&](const QString &nom, const QByteArray *base64) {
            const QString raison = !base64 ? QStringLiteral("%1 est cité mais absent du fichier").arg(nom) : refusMedia(nom, c);
            if (!raison.isEmpty()) {
                lecture.remarques.append({Remarque::Genre::Media, lieu, raison});
                return;
            }
            c.media = nom;
            c.codeMedia = codePourFichier(nom);
            // Characters outside the base64 alphabet are skipped: the UTF-8 bytes of any other
            // character are, as they were read.
            c.octetsMedia = QByteArray::fromBase64(*base64);
            c.mediaEmbarque = true;
        };
        for (const Reference &r : references(q.enonce.texte)) {
            const auto f = q.fichiers.constFind(r.nom);
            attacher(r.nom, f == q.fichiers.constEnd() ? nullptr : &*f);
        }
        // Files of an older Moodle carry the picture beside the text, its name in <image>.
        if (!q.image.isEmpty())
            attacher(q.image.section(u'/', -1), q.base64.isEmpty() ? nullptr : &q.base64);
        if (c.question.isEmpty() && c.media.isEmpty()) {
            ignorer(QStringLiteral("question sans texte"));
            continue;
        }
        if (vide) {
            ignorer(QStringLiteral("une des réponses est vide"));
            continue;
        }
        for (const QString &note : choisies.notes)
            lecture.remarques.append({Remarque::Genre::Perte, lieu, note});
        if (commentaires)
            lecture.remarques.append({Remarque::Genre::Perte, lieu,
                                      QStringLiteral("les commentaires propres à chaque réponse ne sont pas gardés")});
        lecture.questions.append(std::move(c));
    }
    if (!l.fin(lecture.resultat))
        lecture.questions.clear();
    return lecture;
}

} // namespace echanges
