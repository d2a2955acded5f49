#include "exchange/formats.h"
#include "exchange/xml.h"

#include <QIODevice>
#include <QRegularExpression>
#include <QUrl>
#include <vector>

namespace echanges {

// ---------------------------------------------------------------------------
// Writing

namespace {

// Written by hand rather than with QXmlStreamWriter, whose many small conversions cost more
// than twice the time a bank-sized export is allowed.
void texteXml(QString &o, QStringView t)
{
    qsizetype debut = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c != u'&' && c != u'<' && c != u'>')
            continue;
        o += t.sliced(debut, i - debut);
        o += c == u'&' ? QLatin1String("&amp;") : c == u'<' ? QLatin1String("&lt;") : QLatin1String("&gt;");
        debut = i + 1;
    }
    o += t.sliced(debut);
}

void attributXml(QString &o, QStringView t)
{
    for (QChar c : t) {
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
}

// <element format="html"><text>...</text></element>, at an indentation of `retrait` spaces.
void texteHtml(QString &o, int retrait, QLatin1String element, const QString &html)
{
    const QString marge(retrait, u' ');
    o += marge + u'<' + element + QLatin1String(" format=\"html\">\n") + marge + QLatin1String("  <text>");
    texteXml(o, pourXml(html));
    o += QLatin1String("</text>\n") + marge + QLatin1String("</") + element + QLatin1String(">\n");
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
    // Gathered in a string that goes to the file as UTF-8 in large pieces.
    QString o = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n");
    auto vider = [&] {
        const QByteArray octets = o.toUtf8();
        o.truncate(0);
        return sortie.write(octets) == octets.size();
    };

    QList<int> sansBonne, introuvables, videos, tailles;
    int fait = 0;
    for (size_t g = 0; g < groupes.size(); ++g) {
        if (groupes[g].empty())
            continue;
        if (g > 0) {
            o += QLatin1String("  <question type=\"category\">\n    <category>\n      <text>");
            texteXml(o, pourXml(QStringLiteral("$course$/top/") + categorieDeTheme(src.nomTheme(int(g) - 1))));
            o += QLatin1String("</text>\n    </category>\n");
            texteHtml(o, 4, QLatin1String("info"), QString());
            o += QLatin1String("  </question>\n");
        }
        for (int n : groupes[g]) {
            const Carte c = src.carte(n);
            if (c.bonne == 0)
                sansBonne << n;
            QString html = htmlDeTexte(c.question);
            QByteArray octets;
            bool avecFichier = false;
            if (!c.media.isEmpty() && (media::estSon(c.codeMedia) || media::estImage(c.codeMedia))) {
                if (!src.lireMedia(c.media, octets)) {
                    introuvables << n;
                } else {
                    avecFichier = true;
                    const QString lien = QStringLiteral("@@PLUGINFILE@@/") + QString::fromLatin1(QUrl::toPercentEncoding(c.media));
                    if (!html.isEmpty())
                        html += QLatin1String("<br>");
                    html += media::estImage(c.codeMedia)
                                ? QStringLiteral("<img src=\"%1\" alt=\"%2\">").arg(lien, htmlDeTexte(c.media))
                                : QStringLiteral("<audio controls src=\"%1\"></audio>").arg(lien);
                    if (c.codeMedia > media::Image)
                        tailles << n;
                }
            } else if (!c.media.isEmpty() && c.codeMedia == media::Video) {
                videos << n;
            }

            o += QLatin1String("  <question type=\"multichoice\">\n    <name>\n      <text>");
            texteXml(o, pourXml(titreQuestion(n, c.question)));
            o += QLatin1String("</text>\n    </name>\n    <questiontext format=\"html\">\n      <text>");
            texteXml(o, pourXml(html));
            o += QLatin1String("</text>\n");
            if (avecFichier) {
                o += QLatin1String("      <file name=\"");
                attributXml(o, pourXml(c.media));
                o += QLatin1String("\" path=\"/\" encoding=\"base64\">") + QLatin1String(octets.toBase64())
                     + QLatin1String("</file>\n");
            }
            o += QLatin1String("    </questiontext>\n");
            texteHtml(o, 4, QLatin1String("generalfeedback"), htmlDeTexte(c.commentaire));
            o += QLatin1String("    <defaultgrade>1</defaultgrade>\n    <penalty>0.3333333</penalty>\n"
                               "    <hidden>0</hidden>\n    <single>true</single>\n");
            o += melanger ? QLatin1String("    <shuffleanswers>true</shuffleanswers>\n")
                          : QLatin1String("    <shuffleanswers>false</shuffleanswers>\n");
            o += QLatin1String("    <answernumbering>abc</answernumbering>\n");
            for (int k = 0; k < 3; ++k) {
                o += k + 1 == c.bonne ? QLatin1String("    <answer fraction=\"100\" format=\"html\">\n      <text>")
                                      : QLatin1String("    <answer fraction=\"0\" format=\"html\">\n      <text>");
                texteXml(o, pourXml(htmlDeTexte(c.reponses[size_t(k)])));
                o += QLatin1String("</text>\n    </answer>\n");
            }
            if (c.marque || !c.auteur.isEmpty()) {
                o += QLatin1String("    <tags>\n");
                if (c.marque)
                    o += QLatin1String("      <tag>\n        <text>marque</text>\n      </tag>\n");
                if (!c.auteur.isEmpty()) {
                    o += QLatin1String("      <tag>\n        <text>auteur-");
                    texteXml(o, pourXml(c.auteur));
                    o += QLatin1String("</text>\n      </tag>\n");
                }
                o += QLatin1String("    </tags>\n");
            }
            o += QLatin1String("  </question>\n");
            if (o.size() >= (1 << 19) && !vider())
                return Resultat::echec(QStringLiteral("Impossible d'écrire le fichier : %1").arg(sortie.errorString()));
            if (progression && ++fait % 512 == 0 && !progression(fait, src.nombre()))
                return Resultat::echec(QStringLiteral("Exportation annulée."));
        }
    }
    o += QLatin1String("</quiz>\n");
    if (!vider())
        return Resultat::echec(QStringLiteral("Impossible d'écrire le fichier : %1").arg(sortie.errorString()));

    rapport.fiches = src.nombre();
    rapport.resume << QStringLiteral("%1 fiche(s) exportée(s).").arg(src.nombre());
    if (!introuvables.isEmpty())
        rapport.ajouter(Remarque::Genre::Media, {},
                        QStringLiteral("%1 fiche(s) dont l'image ou le son manque au dossier des médias, exportées "
                                       "sans : %2")
                            .arg(introuvables.size())
                            .arg(listeNumeros(introuvables)));
    if (!videos.isEmpty())
        rapport.ajouter(Remarque::Genre::Perte, {},
                        QStringLiteral("%1 fiche(s) perdent leur vidéo : %2").arg(videos.size()).arg(listeNumeros(videos)));
    if (!tailles.isEmpty())
        rapport.ajouter(Remarque::Genre::Perte, {},
                        QStringLiteral("%1 fiche(s) perdent la taille d'affichage de leur image : %2")
                            .arg(tailles.size())
                            .arg(listeNumeros(tailles)));
    if (!sansBonne.isEmpty())
        rapport.ajouter(Remarque::Genre::Note, {},
                        QStringLiteral("%1 fiche(s) sans bonne réponse, exportées sans réponse juste : %2")
                            .arg(sansBonne.size())
                            .arg(listeNumeros(sansBonne)));
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

QString texteSelonFormat(const NoeudXml *n)
{
    if (!n)
        return {};
    const QString format = n->attribut(QStringLiteral("format"));
    const QString t = n->texteDe(QStringLiteral("text"));
    if (format == QLatin1String("plain_text") || format == QLatin1String("markdown"))
        return nettoyer(t);
    return nettoyer(texteDeHtml(t));
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

} // namespace

Lecture lireMoodle(const QByteArray &contenu, const QString &nomFichier)
{
    Lecture lecture;
    LecteurXml lecteur(contenu, nomFichier);
    lecteur.sansNoeudsTexte();  // the HTML of a Moodle file is text, not elements
    if (!lecteur.racine(QStringLiteral("quiz"), QStringLiteral("Moodle XML"), lecture.resultat))
        return lecture;

    QString categorie;
    NoeudXml q;
    while (lecteur.suivant(QStringLiteral("question"), q)) {
        const QString type = q.attribut(QStringLiteral("type"));
        const QString nom = nettoyer(q.texteDe(QStringLiteral("name/text")));
        const QString lieu = QStringLiteral("question « %1 » (ligne %2)").arg(nom.isEmpty() ? QStringLiteral("sans nom") : nom).arg(q.ligne);
        auto ignorer = [&](const QString &raison) { lecture.remarques.append({Remarque::Genre::Ignoree, lieu, raison}); };
        if (type == QLatin1String("category")) {
            categorie = themeDeCategorie(q.texteDe(QStringLiteral("category/text")).trimmed());
            continue;
        }
        if (type != QLatin1String("multichoice")) {
            ignorer(typeEnClair(type));
            continue;
        }
        QList<const NoeudXml *> reponses = q.enfants(QStringLiteral("answer"));
        int justes = 0, bonne = 0;
        for (qsizetype k = 0; k < reponses.size(); ++k)
            if (reponses[k]->attribut(QStringLiteral("fraction")).toDouble() > 0) {
                ++justes;
                bonne = int(k) + 1;
            }
        if (reponses.size() != 3) {
            ignorer(QStringLiteral("%1 réponses au lieu de 3").arg(reponses.size()));
            continue;
        }
        if (justes == 0) {
            ignorer(QStringLiteral("aucune bonne réponse"));
            continue;
        }
        if (justes > 1) {
            ignorer(QStringLiteral("%1 bonnes réponses au lieu d'une").arg(justes));
            continue;
        }
        Question c;
        c.lieu = lieu;
        c.categorie = categorie;
        c.bonne = bonne;
        const NoeudXml *texteQ = q.enfant(QStringLiteral("questiontext"));
        c.question = texteSelonFormat(texteQ);
        bool vide = false, commentaires = false;
        for (int k = 0; k < 3; ++k) {
            c.reponses[size_t(k)] = texteSelonFormat(reponses[k]);
            vide = vide || c.reponses[size_t(k)].isEmpty();
            commentaires = commentaires || !texteSelonFormat(reponses[k]->enfant(QStringLiteral("feedback"))).isEmpty();
        }
        c.commentaire = texteSelonFormat(q.enfant(QStringLiteral("generalfeedback")));
        for (const NoeudXml *tag : q.enfants(QStringLiteral("tags/tag"))) {
            const QString t = tag->texteDe(QStringLiteral("text")).trimmed();
            if (t.compare(QLatin1String("marque"), Qt::CaseInsensitive) == 0)
                c.marque = true;
            else if (t.startsWith(QLatin1String("auteur-"), Qt::CaseInsensitive))
                c.auteur = t.mid(7);
        }
        // The first picture or sound the text shows, from the files it carries.
        if (texteQ) {
            const QString html = texteQ->texteDe(QStringLiteral("text"));
            QList<const NoeudXml *> fichiers = texteQ->enfants(QStringLiteral("file"));
            for (const Reference &r : references(html)) {
                const auto f = std::find_if(fichiers.begin(), fichiers.end(),
                                            [&](const NoeudXml *x) { return x->attribut(QStringLiteral("name")) == r.nom; });
                QString raison;
                if (f == fichiers.end())
                    raison = QStringLiteral("%1 est cité mais absent du fichier").arg(r.nom);
                else if (codePourFichier(r.nom) == 0)
                    raison = QStringLiteral("%1 n'est pas gardé : l'éditeur montre les images BMP et JPEG et les sons MID, "
                                            "WAV et MP3")
                                 .arg(r.nom);
                else if (!c.media.isEmpty())
                    raison = QStringLiteral("%1 n'est pas gardé : une fiche n'a qu'une image ou qu'un son").arg(r.nom);
                if (!raison.isEmpty()) {
                    lecture.remarques.append({Remarque::Genre::Media, lieu, raison});
                    continue;
                }
                c.media = r.nom;
                c.codeMedia = codePourFichier(r.nom);
                c.octetsMedia = QByteArray::fromBase64((*f)->texte.toLatin1());
                c.mediaEmbarque = true;
            }
        }
        if (c.question.isEmpty() && c.media.isEmpty()) {
            ignorer(QStringLiteral("question sans texte"));
            continue;
        }
        if (vide) {
            ignorer(QStringLiteral("une des réponses est vide"));
            continue;
        }
        if (commentaires)
            lecture.remarques.append({Remarque::Genre::Perte, lieu,
                                      QStringLiteral("les commentaires propres à chaque réponse ne sont pas gardés")});
        lecture.questions << c;
    }
    if (!lecteur.fin(lecture.resultat))
        lecture.questions.clear();
    return lecture;
}

} // namespace echanges
