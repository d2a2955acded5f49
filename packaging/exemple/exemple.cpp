#include "exemple.h"

#include "store/cp1252.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace exemple {
namespace {

// Thrown inside lire() only, turned into its result there.
struct Refus {
    QString texte;
};

[[noreturn]] void refuser(const QString &texte) { throw Refus{texte}; }

void clesConnues(const QJsonObject &objet, const QStringList &connues, const QString &ou)
{
    for (const QString &cle : objet.keys())
        if (!connues.contains(cle))
            refuser(ou + QStringLiteral("unknown field \"") + cle + u'"');
}

// A text the editor shows and stores back byte for byte: the code page holds it, it has no
// spaces at its ends (the display trims them) and no line breaks (the boxes store CR LF).
QString texteStocke(const QJsonValue &v, const QString &champ, int largeur, bool vide, const QString &ou)
{
    if (!v.isString())
        refuser(ou + champ + QStringLiteral(" must be a text"));
    const QString t = v.toString();
    if (t.isEmpty() && !vide)
        refuser(ou + champ + QStringLiteral(" is empty"));
    if (t.startsWith(u' ') || t.endsWith(u' '))
        refuser(ou + champ + QStringLiteral(" has spaces at its ends"));
    for (QChar c : t)
        if (c.unicode() < 0x20)
            refuser(ou + champ + QStringLiteral(" holds a control character"));
    const QByteArray octets = cp1252::encode(t);
    if (cp1252::decode(octets) != t)
        refuser(ou + champ + QStringLiteral(" holds a character that Windows-1252 cannot store"));
    if (octets.size() > largeur)
        refuser(ou + champ + QStringLiteral(" is longer than %1 characters (%2)").arg(largeur).arg(octets.size()));
    return t;
}

int entier(const QJsonValue &v, const QString &champ, int min, int max, const QString &ou)
{
    const double d = v.toDouble(-1e9);
    if (!v.isDouble() || d != int(d) || d < min || d > max)
        refuser(ou + champ + QStringLiteral(" must be a whole number from %1 to %2").arg(min).arg(max));
    return int(d);
}

// Media codes by extension: pictures 10 to 13, sounds MID 1, WAV 2, MP3 3.
bool codeAccepte(const QString &nom, int code)
{
    const QString ext = nom.section(u'.', -1).toLower();
    if (ext == QLatin1String("jpg") || ext == QLatin1String("bmp"))
        return code >= 10 && code <= 13;
    if (ext == QLatin1String("mid"))
        return code == 1;
    if (ext == QLatin1String("wav"))
        return code == 2;
    if (ext == QLatin1String("mp3"))
        return code == 3;
    return false;
}

FicheQuestion fiche(const QJsonValue &v, int numero, int nbThemes, const QString &auteur,
                    const QStringList &mediasConnus, Banque &banque)
{
    const QString ou = QStringLiteral("card %1: ").arg(numero);
    if (!v.isObject())
        refuser(ou + QStringLiteral("must be an object"));
    const QJsonObject o = v.toObject();
    clesConnues(o, {QStringLiteral("theme"), QStringLiteral("question"), QStringLiteral("reponses"),
                    QStringLiteral("bonne"), QStringLiteral("commentaire"), QStringLiteral("marque"),
                    QStringLiteral("media"), QStringLiteral("code")},
                ou);

    FicheQuestion f;
    f.NumTheme = quint8(entier(o.value(u"theme"), QStringLiteral("theme"), 0, nbThemes - 1, ou));
    texte::stocker(f.Question, texteStocke(o.value(u"question"), QStringLiteral("question"), 200, false, ou));

    const QJsonValue r = o.value(u"reponses");
    if (!r.isArray() || r.toArray().size() != 3)
        refuser(ou + QStringLiteral("reponses must hold exactly three answers"));
    // The third answer's box takes at most 50 characters.
    const int largeurs[3] = {125, 125, 50};
    for (int k = 0; k < 3; ++k)
        texte::stocker(f.Reponse[k], texteStocke(r.toArray().at(k), QStringLiteral("answer %1").arg(k + 1),
                                                 largeurs[k], false, ou));

    const int bonne = entier(o.value(u"bonne"), QStringLiteral("bonne"), 1, 3, ou);
    for (int k = 0; k < 3; ++k)
        f.BonneReponse[k] = k + 1 == bonne ? -1 : 0;
    texte::stocker(f.Commentaire, texteStocke(o.value(u"commentaire"), QStringLiteral("commentaire"), 200, false, ou));

    const QJsonValue marque = o.value(u"marque");
    if (!marque.isUndefined() && !marque.isBool())
        refuser(ou + QStringLiteral("marque must be true or false"));
    f.Marque = marque.toBool() ? 1 : 0;
    texte::stocker(f.Auteur, auteur);

    const bool avecMedia = o.contains(u"media"), avecCode = o.contains(u"code");
    if (avecMedia != avecCode)
        refuser(ou + QStringLiteral("media and code go together"));
    texte::stocker(f.FichierMedia, QString());
    if (avecMedia) {
        const QString nom = texteStocke(o.value(u"media"), QStringLiteral("media"), 12, false, ou);
        static const QRegularExpression huitPointTrois(QStringLiteral("^[A-Za-z0-9_-]{1,8}\\.[A-Za-z0-9]{3}$"));
        if (!huitPointTrois.match(nom).hasMatch())
            refuser(ou + QStringLiteral("media \"") + nom + QStringLiteral("\" is not an 8.3 file name"));
        if (!mediasConnus.contains(nom))
            refuser(ou + QStringLiteral("media \"") + nom + QStringLiteral("\" is not one of the files made for the bank"));
        const int code = entier(o.value(u"code"), QStringLiteral("code"), 1, 13, ou);
        if (!codeAccepte(nom, code))
            refuser(ou + QStringLiteral("code %1 does not fit media \"").arg(code) + nom + u'"');
        // The media dialog previews pictures whose names end in lower case only.
        if (code >= 10 && !(nom.endsWith(QLatin1String(".jpg")) || nom.endsWith(QLatin1String(".bmp"))))
            refuser(ou + QStringLiteral("picture \"") + nom + QStringLiteral("\" must end in lower-case .jpg or .bmp"));
        texte::stocker(f.FichierMedia, nom);
        f.TailleImage = qint16(code);
        if (!banque.medias.contains(nom))
            banque.medias << nom;
    }
    return f;
}

void construire(const QByteArray &json, const QStringList &mediasConnus, Banque &banque)
{
    QJsonParseError erreur;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &erreur);
    if (erreur.error != QJsonParseError::NoError)
        refuser(QStringLiteral("not valid JSON at byte %1: ").arg(erreur.offset) + erreur.errorString());
    if (!doc.isObject())
        refuser(QStringLiteral("the source must be one JSON object"));
    const QJsonObject racine = doc.object();
    clesConnues(racine, {QStringLiteral("banque"), QStringLiteral("auteur"), QStringLiteral("themes"),
                         QStringLiteral("fiches")},
                {});

    // New banks get names of at most 8 characters in the editor.
    banque.nom = racine.value(u"banque").toString();
    static const QRegularExpression nomBanque(QStringLiteral("^[A-Za-z0-9_-]{1,8}$"));
    if (!nomBanque.match(banque.nom).hasMatch())
        refuser(QStringLiteral("banque must be a name of 1 to 8 letters or digits"));
    const QString auteur = texteStocke(racine.value(u"auteur"), QStringLiteral("auteur"), 5, true, {});

    const QJsonArray noms = racine.value(u"themes").toArray();
    if (noms.isEmpty() || noms.size() > TableThemes::NbThemes)
        refuser(QStringLiteral("themes must hold 1 to 9 names"));
    TableThemes table;
    for (int i = 0; i < TableThemes::NbThemes; ++i)
        table.fixerNom(i, i < noms.size() ? texteStocke(noms.at(i), QStringLiteral("theme %1").arg(i), 27, false, {})
                                          : QString());
    banque.themes = QByteArray(TableThemes::Taille, '\0');
    table.versOctets(banque.themes.data());

    const QJsonArray cartes = racine.value(u"fiches").toArray();
    if (cartes.isEmpty() || cartes.size() > 32767)
        refuser(QStringLiteral("fiches must hold 1 to 32767 cards"));
    int themePrecedent = 0;
    banque.fiches.clear();
    banque.medias.clear();
    for (int i = 0; i < cartes.size(); ++i) {
        const FicheQuestion f = fiche(cartes.at(i), i + 1, int(noms.size()), auteur, mediasConnus, banque);
        // Kept in theme order, the bank comes out of the sort at quit as it went in.
        if (f.NumTheme < themePrecedent)
            refuser(QStringLiteral("card %1: theme %2 after theme %3: keep the cards in theme order")
                        .arg(i + 1)
                        .arg(f.NumTheme)
                        .arg(themePrecedent));
        themePrecedent = f.NumTheme;
        banque.fiches += f.octets();
    }
}

} // namespace

Resultat lire(const QByteArray &json, const QStringList &mediasConnus, Banque &banque)
{
    try {
        construire(json, mediasConnus, banque);
    } catch (const Refus &r) {
        banque = {};
        return Resultat::echec(r.texte);
    }
    return Resultat::succes();
}

} // namespace exemple
