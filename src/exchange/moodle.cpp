#include "exchange/formats.h"
#include "exchange/xml.h"

#include <QIODevice>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamWriter>
#include <vector>

namespace echanges {

// ---------------------------------------------------------------------------
// Writing

namespace {

void texteHtml(QXmlStreamWriter &x, const char *element, const QString &html)
{
    x.writeStartElement(QLatin1String(element));
    x.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
    x.writeTextElement(QStringLiteral("text"), pourXml(html));
    x.writeEndElement();
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
    QXmlStreamWriter x(&sortie);
    x.setAutoFormatting(true);
    x.setAutoFormattingIndent(2);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("quiz"));

    QList<int> sansBonne, introuvables, videos, tailles;
    int fait = 0;
    for (size_t g = 0; g < groupes.size(); ++g) {
        if (groupes[g].empty())
            continue;
        if (g > 0) {
            x.writeStartElement(QStringLiteral("question"));
            x.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
            x.writeStartElement(QStringLiteral("category"));
            x.writeTextElement(QStringLiteral("text"),
                               pourXml(QStringLiteral("$course$/top/") + categorieDeTheme(src.nomTheme(int(g) - 1))));
            x.writeEndElement();
            texteHtml(x, "info", QString());
            x.writeEndElement();
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

            x.writeStartElement(QStringLiteral("question"));
            x.writeAttribute(QStringLiteral("type"), QStringLiteral("multichoice"));
            x.writeStartElement(QStringLiteral("name"));
            x.writeTextElement(QStringLiteral("text"), pourXml(titreQuestion(n, c.question)));
            x.writeEndElement();
            x.writeStartElement(QStringLiteral("questiontext"));
            x.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
            x.writeTextElement(QStringLiteral("text"), pourXml(html));
            if (avecFichier) {
                x.writeStartElement(QStringLiteral("file"));
                x.writeAttribute(QStringLiteral("name"), pourXml(c.media));
                x.writeAttribute(QStringLiteral("path"), QStringLiteral("/"));
                x.writeAttribute(QStringLiteral("encoding"), QStringLiteral("base64"));
                x.writeCharacters(QString::fromLatin1(octets.toBase64()));
                x.writeEndElement();
            }
            x.writeEndElement();
            texteHtml(x, "generalfeedback", htmlDeTexte(c.commentaire));
            x.writeTextElement(QStringLiteral("defaultgrade"), QStringLiteral("1"));
            x.writeTextElement(QStringLiteral("penalty"), QStringLiteral("0.3333333"));
            x.writeTextElement(QStringLiteral("hidden"), QStringLiteral("0"));
            x.writeTextElement(QStringLiteral("single"), QStringLiteral("true"));
            x.writeTextElement(QStringLiteral("shuffleanswers"), melanger ? QStringLiteral("true") : QStringLiteral("false"));
            x.writeTextElement(QStringLiteral("answernumbering"), QStringLiteral("abc"));
            for (int k = 0; k < 3; ++k) {
                x.writeStartElement(QStringLiteral("answer"));
                x.writeAttribute(QStringLiteral("fraction"), k + 1 == c.bonne ? QStringLiteral("100") : QStringLiteral("0"));
                x.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
                x.writeTextElement(QStringLiteral("text"), pourXml(htmlDeTexte(c.reponses[size_t(k)])));
                texteHtml(x, "feedback", QString());
                x.writeEndElement();
            }
            if (c.marque || !c.auteur.isEmpty()) {
                x.writeStartElement(QStringLiteral("tags"));
                if (c.marque) {
                    x.writeStartElement(QStringLiteral("tag"));
                    x.writeTextElement(QStringLiteral("text"), QStringLiteral("marque"));
                    x.writeEndElement();
                }
                if (!c.auteur.isEmpty()) {
                    x.writeStartElement(QStringLiteral("tag"));
                    x.writeTextElement(QStringLiteral("text"), pourXml(QStringLiteral("auteur-") + c.auteur));
                    x.writeEndElement();
                }
                x.writeEndElement();
            }
            x.writeEndElement();
            if (progression && ++fait % 512 == 0 && !progression(fait, src.nombre()))
                return Resultat::echec(QStringLiteral("Exportation annulée."));
        }
    }
    x.writeEndElement();
    x.writeEndDocument();
    if (x.hasError())
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
