#include "exchange/formats.h"
#include "exchange/xml.h"
#include "exchange/zip.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <QXmlStreamWriter>
#include <cerrno>
#include <utility>

namespace echanges {

namespace {

const QString kQti = QStringLiteral("http://www.imsglobal.org/xsd/imsqti_v2p1");
const QString kCp = QStringLiteral("http://www.imsglobal.org/xsd/imscp_v1p1");
const QString kXsi = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
const QString kChoix[3] = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};

QString lienMedia(const QString &nom)
{
    return QStringLiteral("media/") + QString::fromLatin1(QUrl::toPercentEncoding(nom));
}

// Plain text as XHTML content: <br/> for line breaks, non-breaking spaces where blanks would collapse.
void ecrireTexte(QXmlStreamWriter &x, const QString &texte)
{
    const QString t = pourXml(texte);
    QString morceau;
    const qsizetype n = t.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = t[i];
        if (c == u'\n') {
            x.writeCharacters(morceau);
            morceau.clear();
            x.writeEmptyElement(QStringLiteral("br"));
        } else if (c == u' ') {
            const bool seul = i > 0 && t[i - 1] != u' ' && t[i - 1] != u'\n' && i + 1 < n && t[i + 1] != u' '
                              && t[i + 1] != u'\n';
            morceau += seul ? QChar(u' ') : QChar(0xA0);
        } else {
            morceau += c;
        }
    }
    x.writeCharacters(morceau);
}

void valeurParDefaut(QXmlStreamWriter &x, const QString &identifiant, const QString &type, const QString &valeur)
{
    x.writeStartElement(QStringLiteral("outcomeDeclaration"));
    x.writeAttribute(QStringLiteral("identifier"), identifiant);
    x.writeAttribute(QStringLiteral("cardinality"), QStringLiteral("single"));
    x.writeAttribute(QStringLiteral("baseType"), type);
    if (!valeur.isEmpty()) {
        x.writeStartElement(QStringLiteral("defaultValue"));
        x.writeTextElement(QStringLiteral("value"), valeur);
        x.writeEndElement();
    }
    x.writeEndElement();
}

void fixerValeur(QXmlStreamWriter &x, const QString &identifiant, const QString &type, const QString &valeur)
{
    x.writeStartElement(QStringLiteral("setOutcomeValue"));
    x.writeAttribute(QStringLiteral("identifier"), identifiant);
    x.writeStartElement(QStringLiteral("baseValue"));
    x.writeAttribute(QStringLiteral("baseType"), type);
    x.writeCharacters(valeur);
    x.writeEndElement();
    x.writeEndElement();
}

QByteArray item(int numero, const Carte &c, bool avecMedia, bool melanger)
{
    QByteArray octets;
    QXmlStreamWriter x(&octets);
    x.setAutoFormatting(true);
    x.setAutoFormattingIndent(2);
    x.writeStartDocument();
    x.writeDefaultNamespace(kQti);
    x.writeNamespace(kXsi, QStringLiteral("xsi"));
    x.writeStartElement(kQti, QStringLiteral("assessmentItem"));
    x.writeAttribute(kXsi, QStringLiteral("schemaLocation"),
                     kQti + QStringLiteral(" http://www.imsglobal.org/xsd/qti/qtiv2p1/imsqti_v2p1.xsd"));
    x.writeAttribute(QStringLiteral("identifier"), numeroQuestion(numero));
    x.writeAttribute(QStringLiteral("title"), pourXml(titreQuestion(numero, c.question)));
    x.writeAttribute(QStringLiteral("adaptive"), QStringLiteral("false"));
    x.writeAttribute(QStringLiteral("timeDependent"), QStringLiteral("false"));

    x.writeStartElement(QStringLiteral("responseDeclaration"));
    x.writeAttribute(QStringLiteral("identifier"), QStringLiteral("RESPONSE"));
    x.writeAttribute(QStringLiteral("cardinality"), QStringLiteral("single"));
    x.writeAttribute(QStringLiteral("baseType"), QStringLiteral("identifier"));
    if (c.bonne >= 1 && c.bonne <= 3) {
        x.writeStartElement(QStringLiteral("correctResponse"));
        x.writeTextElement(QStringLiteral("value"), kChoix[c.bonne - 1]);
        x.writeEndElement();
    }
    x.writeEndElement();
    valeurParDefaut(x, QStringLiteral("SCORE"), QStringLiteral("float"), QStringLiteral("0"));
    valeurParDefaut(x, QStringLiteral("MAXSCORE"), QStringLiteral("float"), QStringLiteral("1"));
    if (!c.commentaire.isEmpty())
        valeurParDefaut(x, QStringLiteral("FEEDBACK"), QStringLiteral("identifier"), QString());

    x.writeStartElement(QStringLiteral("itemBody"));
    if (!c.question.isEmpty()) {
        x.writeStartElement(QStringLiteral("p"));
        ecrireTexte(x, c.question);
        x.writeEndElement();
    }
    if (avecMedia) {
        x.writeStartElement(QStringLiteral("p"));
        if (media::estImage(c.codeMedia)) {
            x.writeEmptyElement(QStringLiteral("img"));
            x.writeAttribute(QStringLiteral("src"), lienMedia(c.media));
            x.writeAttribute(QStringLiteral("alt"), pourXml(c.media));
        } else {
            x.writeStartElement(QStringLiteral("object"));
            x.writeAttribute(QStringLiteral("data"), lienMedia(c.media));
            x.writeAttribute(QStringLiteral("type"), typeMime(c.media));
            x.writeCharacters(pourXml(c.media));
            x.writeEndElement();
        }
        x.writeEndElement();
    }
    x.writeStartElement(QStringLiteral("choiceInteraction"));
    x.writeAttribute(QStringLiteral("responseIdentifier"), QStringLiteral("RESPONSE"));
    x.writeAttribute(QStringLiteral("shuffle"), melanger ? QStringLiteral("true") : QStringLiteral("false"));
    x.writeAttribute(QStringLiteral("maxChoices"), QStringLiteral("1"));
    for (int k = 0; k < 3; ++k) {
        x.writeStartElement(QStringLiteral("simpleChoice"));
        x.writeAttribute(QStringLiteral("identifier"), kChoix[k]);
        ecrireTexte(x, c.reponses[size_t(k)]);
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndElement();  // itemBody

    // The rules of the match_correct template written out, and one more that shows the
    // comment: a feedback needs its outcome set, which the template alone never does.
    x.writeStartElement(QStringLiteral("responseProcessing"));
    x.writeStartElement(QStringLiteral("responseCondition"));
    x.writeStartElement(QStringLiteral("responseIf"));
    x.writeStartElement(QStringLiteral("match"));
    x.writeEmptyElement(QStringLiteral("variable"));
    x.writeAttribute(QStringLiteral("identifier"), QStringLiteral("RESPONSE"));
    x.writeEmptyElement(QStringLiteral("correct"));
    x.writeAttribute(QStringLiteral("identifier"), QStringLiteral("RESPONSE"));
    x.writeEndElement();
    fixerValeur(x, QStringLiteral("SCORE"), QStringLiteral("float"), QStringLiteral("1"));
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("responseElse"));
    fixerValeur(x, QStringLiteral("SCORE"), QStringLiteral("float"), QStringLiteral("0"));
    x.writeEndElement();
    x.writeEndElement();
    if (!c.commentaire.isEmpty())
        fixerValeur(x, QStringLiteral("FEEDBACK"), QStringLiteral("identifier"), QStringLiteral("COMMENTAIRE"));
    x.writeEndElement();

    if (!c.commentaire.isEmpty()) {
        x.writeStartElement(QStringLiteral("modalFeedback"));
        x.writeAttribute(QStringLiteral("outcomeIdentifier"), QStringLiteral("FEEDBACK"));
        x.writeAttribute(QStringLiteral("showHide"), QStringLiteral("show"));
        x.writeAttribute(QStringLiteral("identifier"), QStringLiteral("COMMENTAIRE"));
        ecrireTexte(x, c.commentaire);
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndDocument();
    return octets;
}

// An identifier (xsd:ID) from a bank's name: letters, digits, "-", "_" and ".".
QString identifiant(const QString &nom)
{
    QString id;
    for (QChar c : nom)
        id += (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'-' || c == u'_' || c == u'.' ? c : QChar(u'_');
    return QStringLiteral("BANQUE-") + id;
}

} // namespace

Resultat ecrireQti(const SourceBanque &src, QIODevice &sortie, bool melanger, Rapport &rapport,
                   const Progression &progression)
{
    ArchiveEcrite zip;
    QByteArray manifeste;
    QXmlStreamWriter m(&manifeste);
    m.setAutoFormatting(true);
    m.setAutoFormattingIndent(2);
    m.writeStartDocument();
    m.writeDefaultNamespace(kCp);
    m.writeNamespace(kXsi, QStringLiteral("xsi"));
    m.writeStartElement(kCp, QStringLiteral("manifest"));
    m.writeAttribute(QStringLiteral("identifier"), identifiant(src.nomBanque()));
    m.writeAttribute(kXsi, QStringLiteral("schemaLocation"), kCp + QStringLiteral(" http://www.imsglobal.org/xsd/imscp_v1p1.xsd"));
    m.writeStartElement(QStringLiteral("metadata"));
    m.writeTextElement(QStringLiteral("schema"), QStringLiteral("QTIv2.1 Package"));
    m.writeTextElement(QStringLiteral("schemaversion"), QStringLiteral("1.0.0"));
    m.writeEndElement();
    m.writeEmptyElement(QStringLiteral("organizations"));
    m.writeStartElement(QStringLiteral("resources"));

    QSet<QString> mediasAjoutes;
    BilanExport bilan;
    for (int n = 1; n <= src.nombre(); ++n) {
        const Carte c = src.carte(n);
        bool avecMedia = false;
        if (!c.media.isEmpty() && (media::estSon(c.codeMedia) || media::estImage(c.codeMedia))) {
            QByteArray octets;
            if (mediasAjoutes.contains(c.media)) {
                avecMedia = true;
            } else if (src.lireMedia(c.media, octets)) {
                zip.ajouter(QStringLiteral("media/") + c.media, octets, false);
                mediasAjoutes.insert(c.media);
                avecMedia = true;
            } else {
                bilan.introuvables << n;
            }
        } else if (!c.media.isEmpty() && c.codeMedia == media::Video) {
            bilan.videos << n;
        }
        if (!c.categorie.isEmpty())
            bilan.themes << n;
        if (c.marque)
            bilan.marques << n;
        if (!c.auteur.isEmpty())
            bilan.initiales << n;
        if (c.bonne == 0)
            bilan.sansBonne << n;
        const QString fichier = numeroQuestion(n) + QStringLiteral(".xml");
        zip.ajouter(fichier, item(n, c, avecMedia, melanger), true);
        m.writeStartElement(QStringLiteral("resource"));
        m.writeAttribute(QStringLiteral("identifier"), QStringLiteral("RES-") + numeroQuestion(n));
        m.writeAttribute(QStringLiteral("type"), QStringLiteral("imsqti_item_xmlv2p1"));
        m.writeAttribute(QStringLiteral("href"), fichier);
        m.writeEmptyElement(QStringLiteral("file"));
        m.writeAttribute(QStringLiteral("href"), fichier);
        if (avecMedia) {
            m.writeEmptyElement(QStringLiteral("file"));
            m.writeAttribute(QStringLiteral("href"), lienMedia(c.media));
        }
        m.writeEndElement();
        if (progression && n % 256 == 0 && !progression(n, src.nombre()))
            return Resultat::echec(QStringLiteral("Exportation annulée."));
    }
    m.writeEndElement();
    m.writeEndElement();
    m.writeEndDocument();
    zip.ajouter(QStringLiteral("imsmanifest.xml"), manifeste, true);

    QByteArray paquet;
    QString erreur;
    if (!zip.terminer(paquet, erreur))
        return Resultat::echec(QStringLiteral("Impossible de construire le paquet zip : %1").arg(erreur));
    if (sortie.write(paquet) != paquet.size())
        return echecEcriture(sortie, errno);

    bilan.rapporter(rapport, src.nombre());
    return Resultat::succes();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

// The first interaction of an item's body; only a choice is read.
struct Interaction {
    QString nom, reponse, maxChoix, invite;
    bool avecInvite = false;
    QList<QPair<QString, QString>> choix;  // identifier, text
};

struct Corps {
    TexteVisible texte;
    int interactions = 0;
    Interaction *premiere = nullptr;  // filled with the first interaction met; none: only counted
    QStringList medias;               // src of img, data of object, in order
};

void parcourir(LecteurXml &l, Corps &c);

QString texteDe(LecteurXml &l)
{
    Corps c;
    parcourir(l, c);
    return nettoyer(c.texte.resultat());
}

void interaction(LecteurXml &l, Corps &c)
{
    Interaction *i = ++c.interactions == 1 ? c.premiere : nullptr;
    if (i)
        i->nom = QString::fromUtf8(l.nom());
    if (!i || l.nom() != "choiceInteraction")
        return l.sauter();
    i->reponse = l.attribut("responseIdentifier");
    i->maxChoix = l.attribut("maxChoices");
    for (const int p = l.profondeur(); l.enfant(p);) {
        if (l.nom() == "simpleChoice") {
            const QString id = l.attribut("identifier");
            i->choix.append({id, texteDe(l)});
        } else if (l.nom() == "prompt" && !i->avecInvite) {
            i->avecInvite = true;
            i->invite = texteDe(l);
        }
    }
}

// The visible text of the XHTML content of the element the reader stands on, through its end,
// without its interactions and feedback.
void parcourir(LecteurXml &l, Corps &c)
{
    if (l.vide())
        return;
    for (const int p = l.profondeur(); l.lire() && l.profondeur() > p;) {
        if (l.estBlanc() || l.estTexte()) {
            c.texte.texte(l.estBlanc() ? QString(u' ') : QString::fromUtf8(l.valeur()));
            continue;
        }
        if (!l.estElement())
            continue;
        const QByteArrayView n = l.nom();
        if (n.endsWith("Interaction")) {
            interaction(l, c);
        } else if (n == "feedbackBlock" || n == "feedbackInline" || n == "rubricBlock" || n == "templateBlock"
                   || n == "templateInline") {
            l.sauter();
        } else if (n == "br") {
            c.texte.saut();
            l.sauter();
        } else if (n == "img" || n == "object") {
            c.medias << l.attribut(n == "img" ? "src" : "data");
            l.sauter();  // an object's content is what stands in for it
        } else {
            const bool bloc = n == "p" || n == "div" || n == "li" || n == "blockquote" || n == "pre" || n == "prompt"
                              || n.startsWith('h');
            if (bloc)
                c.texte.bloc();
            parcourir(l, c);
            if (bloc)
                c.texte.bloc();
        }
    }
}

QString dossierDe(const QString &chemin)
{
    const qsizetype barre = chemin.lastIndexOf(u'/');
    return barre < 0 ? QString() : chemin.left(barre + 1);
}

QString resoudre(const QString &dossier, const QString &href)
{
    const QString decode = QUrl::fromPercentEncoding(href.toUtf8());
    if (decode.contains(QLatin1String("://")))
        return {};
    return cheminDansPaquet(dossier + decode);
}

} // namespace

Lecture lireQti(const QByteArray &contenu, const QString &nomFichier, const OptionsImport &options)
{
    Lecture lecture;
    ArchiveLue zip;
    if (!zip.ouvrir(contenu, nomFichier, lecture.resultat))
        return lecture;

    // The items the manifest lists; without a manifest, every XML file of the package.
    QStringList items;
    QSet<QString> dejaListes;
    if (zip.contient(QStringLiteral("imsmanifest.xml"))) {
        QByteArray octets;
        if (!zip.lire(QStringLiteral("imsmanifest.xml"), octets, lecture.resultat))
            return lecture;
        LecteurXml l(octets, nomFichier + QStringLiteral(" (imsmanifest.xml)"));
        if (!l.racine(lecture.resultat))
            return lecture;
        const QString racine = QString::fromUtf8(l.nom());
        QList<QPair<QString, QString>> ressources;  // type, href
        for (bool vues = false; racine == QLatin1String("manifest") && l.enfant(0);) {
            if (l.nom() != "resources" || std::exchange(vues, true))
                continue;
            while (l.enfant(1))
                if (l.nom() == "resource")
                    ressources.append({l.attribut("type"), l.attribut("href")});
        }
        if (!l.fin(lecture.resultat))
            return lecture;
        if (racine != QLatin1String("manifest")) {
            lecture.resultat = Resultat::echec(QStringLiteral("Le paquet %1 n'est pas un paquet IMS : son imsmanifest.xml "
                                                              "commence par « %2 » au lieu de « manifest ».")
                                                   .arg(nomFichier, racine));
            return lecture;
        }
        for (const auto &[type, href] : std::as_const(ressources)) {
            if (type.startsWith(QLatin1String("imsqti_item_xmlv2p")) && !href.isEmpty()) {
                const QString chemin = resoudre(QString(), href);
                if (chemin.isEmpty() || !zip.contient(chemin))
                    lecture.remarques.append({Remarque::Genre::Ignoree, QStringLiteral("ressource %1").arg(href),
                                              QStringLiteral("fichier absent du paquet")});
                else if (!dejaListes.contains(chemin)) {  // an item listed twice is read once
                    dejaListes.insert(chemin);
                    items << chemin;
                }
            } else if (type.startsWith(QLatin1String("imsqti_test")) || type.startsWith(QLatin1String("imsqti_assessment"))) {
                lecture.remarques.append({Remarque::Genre::Note, QStringLiteral("ressource %1").arg(href),
                                          QStringLiteral("un test QTI : seules ses questions sont importées")});
            }
        }
    } else {
        for (const QString &nom : zip.noms())
            if (nom.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
                items << nom;
    }

    QHash<QString, QByteArray> medias;
    for (const QString &chemin : items) {
        if (lecture.pleine(chemin))
            break;
        QByteArray octets;
        if (!zip.lire(chemin, octets, lecture.resultat))
            return lecture;
        LecteurXml l(octets, QStringLiteral("%1 (%2)").arg(nomFichier, chemin));
        if (!l.racine(lecture.resultat))
            return lecture;
        const QString racine = QString::fromUtf8(l.nom());
        if (racine != QLatin1String("assessmentItem")) {
            if (!l.fin(lecture.resultat))
                return lecture;
            if (zip.contient(QStringLiteral("imsmanifest.xml")))  // else some other XML file of the package
                lecture.remarques.append({Remarque::Genre::Ignoree, chemin,
                                          QStringLiteral("« %1 » n'est pas une question QTI").arg(racine)});
            continue;
        }
        const QString titre = l.attribut("title"), identifiant = l.attribut("identifier");
        struct Declaration {
            QString identifiant, cardinalite;
            QStringList justes;
        };
        QList<Declaration> declarations;
        QStringList commentaires;
        Interaction choix;
        Corps corps;
        corps.premiere = &choix;
        bool avecCorps = false;
        while (l.enfant(0)) {
            if (l.nom() == "responseDeclaration") {
                Declaration &d = declarations.emplace_back();
                d.identifiant = l.attribut("identifier");
                d.cardinalite = l.attribut("cardinality");
                for (bool vue = false; l.enfant(1);)
                    if (l.nom() == "correctResponse" && !std::exchange(vue, true))
                        while (l.enfant(2))
                            if (l.nom() == "value")
                                d.justes << l.texte().trimmed();
            } else if (l.nom() == "itemBody" && !std::exchange(avecCorps, true)) {
                parcourir(l, corps);
            } else if (l.nom() == "modalFeedback") {
                if (const QString t = texteDe(l); !t.isEmpty())
                    commentaires << t;
            }
        }
        if (!l.fin(lecture.resultat))
            return lecture;
        const QString lieu = QStringLiteral("question « %1 » (%2)").arg(titre.isEmpty() ? identifiant : titre, chemin);
        auto ignorer = [&](const QString &raison) { lecture.remarques.append({Remarque::Genre::Ignoree, lieu, raison}); };
        if (!avecCorps) {
            ignorer(QStringLiteral("question sans contenu"));
            continue;
        }
        if (corps.interactions != 1) {
            ignorer(corps.interactions == 0 ? QStringLiteral("aucune interaction")
                                            : QStringLiteral("%1 interactions dans une question").arg(corps.interactions));
            continue;
        }
        if (choix.nom != QLatin1String("choiceInteraction")) {
            ignorer(QStringLiteral("interaction « %1 » (seul le choix multiple est importé)").arg(choix.nom));
            continue;
        }
        const Declaration *declaration = nullptr;
        for (const Declaration &d : std::as_const(declarations))
            if (d.identifiant == choix.reponse)
                declaration = &d;
        if ((!choix.maxChoix.isEmpty() && choix.maxChoix != QLatin1String("1"))
            || (declaration && declaration->cardinalite != QLatin1String("single"))) {
            ignorer(QStringLiteral("plusieurs réponses peuvent être cochées"));
            continue;
        }
        const QStringList justes = declaration ? declaration->justes : QStringList();
        QList<double> fractions;
        for (const auto &[id, texte] : std::as_const(choix.choix))
            fractions << (justes.contains(id) ? 100 : 0);
        // The answers the response declares right, whether or not each names a choice.
        ChoixReponses choisies = choisirReponses(fractions, options, lieu);
        noterLongue(options, lieu, fractions, [&] { return nettoyer(corps.texte.resultat()); },
                    [&](int k) { return choix.choix[k].second; });
        if (choisies.refus == QLatin1String("aucune bonne réponse") && justes.size() == 1)
            choisies.refus = QStringLiteral("la bonne réponse « %1 » n'est aucune des réponses").arg(justes.first());
        else if (justes.size() > 1 && choisies.refus.isEmpty())
            choisies.refus = QStringLiteral("%1 bonnes réponses au lieu d'une").arg(justes.size());
        if (!choisies.refus.isEmpty()) {
            ignorer(choisies.refus);
            continue;
        }
        Question q;
        q.lieu = lieu;
        q.bonne = choisies.bonne;
        bool vide = false;
        for (size_t k = 0; k < 3; ++k) {
            q.reponses[k] = choix.choix[choisies.gardees[k]].second;
            vide = vide || q.reponses[k].isEmpty();
        }
        q.question = nettoyer(corps.texte.resultat());
        if (!choix.invite.isEmpty())
            q.question = q.question.isEmpty() ? choix.invite : q.question + u'\n' + choix.invite;
        q.commentaire = commentaires.join(u'\n');

        const QString dossier = dossierDe(chemin);
        for (const QString &href : corps.medias) {
            const QString cible = resoudre(dossier, href);
            QString raison;
            const QString nom = QFileInfo(cible).fileName();
            if (cible.isEmpty() || !zip.contient(cible))
                raison = QStringLiteral("%1 est cité mais absent du paquet").arg(href);
            else
                raison = refusMedia(nom, q);
            if (!raison.isEmpty()) {
                lecture.remarques.append({Remarque::Genre::Media, lieu, raison});
                continue;
            }
            // A picture many items show is read from the package once, its bytes shared.
            if (const auto lu = medias.constFind(cible); lu != medias.constEnd()) {
                q.octetsMedia = *lu;
            } else {
                if (!zip.lire(cible, q.octetsMedia, lecture.resultat))
                    return lecture;
                medias.insert(cible, q.octetsMedia);
            }
            q.media = nom;
            q.codeMedia = codePourFichier(nom);
            q.mediaEmbarque = true;
        }
        if (q.question.isEmpty() && q.media.isEmpty()) {
            ignorer(QStringLiteral("question sans texte"));
            continue;
        }
        if (vide) {
            ignorer(QStringLiteral("une des réponses est vide"));
            continue;
        }
        for (const QString &note : choisies.notes)
            lecture.remarques.append({Remarque::Genre::Perte, lieu, note});
        lecture.questions << q;
    }
    return lecture;
}

} // namespace echanges
