#include "classroom/corrige.h"

#include "classroom/page_quiz.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QVariantList>
#include <cmath>

namespace classe {

namespace {

const QString kLettres = QStringLiteral("ABC");

QVariantList origines(const QuestionCorrigee &q)
{
    QVariantList l;
    for (qsizetype i = 0; i < q.reponses.size(); ++i)
        l << (i < q.origines.size() ? q.origines[i] : int(i + 1));
    return l;
}

double arrondi(double v) { return std::round(v * 100) / 100; }

QJsonObject rect(const RectMm &r, QJsonObject o = {})
{
    o.insert(QStringLiteral("x_mm"), arrondi(r.x));
    o.insert(QStringLiteral("y_mm"), arrondi(r.y));
    o.insert(QStringLiteral("l_mm"), arrondi(r.l));
    o.insert(QStringLiteral("h_mm"), arrondi(r.h));
    return o;
}

// Reading: every field is checked, and the first one wrong is named.
class Lecture {
public:
    QString erreur;

    bool ok() const { return erreur.isEmpty(); }
    void faute(const QString &ou, const QString &quoi)
    {
        if (erreur.isEmpty())
            erreur = QStringLiteral("%1 : %2").arg(ou, quoi);
    }
    QJsonValue champ(const QJsonObject &o, const QString &nom, const QString &ou)
    {
        const QJsonValue v = o.value(nom);
        if (v.isUndefined())
            faute(ou, QStringLiteral("« %1 » manque").arg(nom));
        return v;
    }
    double nombre(const QJsonObject &o, const QString &nom, const QString &ou, double min = -1e9, double max = 1e9)
    {
        const QJsonValue v = champ(o, nom, ou);
        if (!v.isUndefined() && (!v.isDouble() || v.toDouble() < min || v.toDouble() > max))
            faute(ou, QStringLiteral("« %1 » n'est pas un nombre attendu").arg(nom));
        return v.toDouble();
    }
    int entier(const QJsonObject &o, const QString &nom, const QString &ou, int min, int max)
    {
        const double d = nombre(o, nom, ou, min, max);
        if (ok() && d != std::floor(d))
            faute(ou, QStringLiteral("« %1 » n'est pas un nombre entier").arg(nom));
        // Once a fault is found the reading goes on only to be dropped: no number out of range
        // is turned into an int.
        return d >= min && d <= max ? int(d) : min;
    }
    QString texte(const QJsonObject &o, const QString &nom, const QString &ou)
    {
        const QJsonValue v = champ(o, nom, ou);
        if (!v.isUndefined() && !v.isString())
            faute(ou, QStringLiteral("« %1 » n'est pas un texte").arg(nom));
        return v.toString();
    }
    QJsonArray liste(const QJsonObject &o, const QString &nom, const QString &ou)
    {
        const QJsonValue v = champ(o, nom, ou);
        if (!v.isUndefined() && !v.isArray())
            faute(ou, QStringLiteral("« %1 » n'est pas une liste").arg(nom));
        return v.toArray();
    }
    int lettre(const QJsonObject &o, const QString &nom, const QString &ou)
    {
        const QString t = texte(o, nom, ou);
        const int i = t.size() == 1 ? int(kLettres.indexOf(t)) : -1;
        if (ok() && i < 0)
            faute(ou, QStringLiteral("« %1 » doit valoir A, B ou C").arg(nom));
        return i;
    }
    RectMm rect(const QJsonValue &v, const QString &ou)
    {
        const QJsonObject o = v.toObject();
        if (!v.isObject())
            faute(ou, QStringLiteral("un rectangle est attendu"));
        return {nombre(o, QStringLiteral("x_mm"), ou, -1000, 1000), nombre(o, QStringLiteral("y_mm"), ou, -1000, 1000),
                nombre(o, QStringLiteral("l_mm"), ou, 0, 1000), nombre(o, QStringLiteral("h_mm"), ou, 0, 1000)};
    }
};

} // namespace

const VersionCorrigee *Corrige::version(int v) const
{
    for (const VersionCorrigee &x : versions)
        if (x.version == v)
            return &x;
    return nullptr;
}

const PageFeuille *Corrige::page(int v, int p) const
{
    for (const PageFeuille &x : pages)
        if (x.version == v && x.page == p)
            return &x;
    return nullptr;
}

QString fichierCorrige(const QString &pdf)
{
    QString base = pdf;
    if (base.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        base.chop(4);
    return base + QStringLiteral(".corrige.json");
}

QString aCoteDuCorrige(const QString &corrige, const QString &fin)
{
    QString base = corrige;
    for (const QString &e : {QStringLiteral(".corrige.json"), QStringLiteral(".json")})
        if (base.endsWith(e, Qt::CaseInsensitive)) {
            base.chop(e.size());
            break;
        }
    return base + fin;
}

QByteArray versJson(const Corrige &c)
{
    QJsonObject o;
    o.insert(QStringLiteral("examen"), c.examen);
    o.insert(QStringLiteral("titre"), c.titre);
    o.insert(QStringLiteral("banque"), c.banque);
    // A seed beyond what a JSON number holds exactly travels as a text.
    if (c.graine < (quint64(1) << 53))
        o.insert(QStringLiteral("graine"), double(c.graine));
    else
        o.insert(QStringLiteral("graine"), QString::number(c.graine));
    o.insert(QStringLiteral("bareme"), QJsonObject{{QStringLiteral("bonne"), c.bareme.bonne},
                                                  {QStringLiteral("fausse"), c.bareme.fausse},
                                                  {QStringLiteral("vide"), c.bareme.vide}});
    QJsonArray versions;
    for (const VersionCorrigee &v : c.versions) {
        QJsonArray questions;
        for (const QuestionCorrigee &q : v.questions)
            questions.append(QJsonObject{{QStringLiteral("numero"), q.numero},
                                         {QStringLiteral("fiche"), q.fiche},
                                         {QStringLiteral("question"), q.question},
                                         {QStringLiteral("reponses"), QJsonArray::fromStringList(q.reponses)},
                                         {QStringLiteral("origines"), QJsonArray::fromVariantList(origines(q))},
                                         {QStringLiteral("bonne"), QString(kLettres.at(q.bonne))}});
        versions.append(QJsonObject{{QStringLiteral("version"), v.version}, {QStringLiteral("questions"), questions}});
    }
    o.insert(QStringLiteral("versions"), versions);
    QJsonArray pages;
    for (const PageFeuille &p : c.pages) {
        QJsonArray reperes, cases, numero;
        for (const RectMm &r : p.reperes)
            reperes.append(rect(r));
        for (const CaseFeuille &k : p.cases)
            cases.append(rect(k.rect, {{QStringLiteral("question"), k.question},
                                       {QStringLiteral("reponse"), QString(kLettres.at(k.reponse))}}));
        for (const CaseChiffre &k : p.numeroEleve)
            numero.append(rect(k.rect, {{QStringLiteral("chiffre"), k.chiffre}, {QStringLiteral("valeur"), k.valeur}}));
        pages.append(QJsonObject{{QStringLiteral("version"), p.version},
                                 {QStringLiteral("page"), p.page},
                                 {QStringLiteral("largeur_mm"), arrondi(p.largeur)},
                                 {QStringLiteral("hauteur_mm"), arrondi(p.hauteur)},
                                 {QStringLiteral("reperes"), reperes},
                                 {QStringLiteral("qr"), rect(p.qr)},
                                 {QStringLiteral("cases"), cases},
                                 {QStringLiteral("numero_eleve"), numero}});
    }
    o.insert(QStringLiteral("pages"), pages);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

Resultat depuisJson(const QByteArray &json, Corrige &sortie)
{
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(json, &e);
    if (e.error != QJsonParseError::NoError)
        return Resultat::echec(QStringLiteral("ce n'est pas un fichier JSON lisible (%1, octet %2)")
                                   .arg(e.errorString())
                                   .arg(e.offset));
    if (!d.isObject())
        return Resultat::echec(QStringLiteral("ce n'est pas le corrigé d'un examen"));
    const QJsonObject o = d.object();
    Lecture l;
    const QString racine = QStringLiteral("corrigé");
    Corrige c;
    c.examen = l.texte(o, QStringLiteral("examen"), racine);
    c.titre = o.value(QStringLiteral("titre")).toString();
    c.banque = o.value(QStringLiteral("banque")).toString();
    const QJsonValue g = o.value(QStringLiteral("graine"));
    // Beyond 2^53 a seed is written as a text; a number past what 64 bits hold is not a seed.
    if (g.isDouble() && (g.toDouble() < 0 || g.toDouble() >= 18446744073709551616.0))
        l.faute(racine, QStringLiteral("« graine » n'est pas un nombre attendu"));
    c.graine = g.isString() ? g.toString().toULongLong() : l.ok() ? quint64(g.toDouble()) : 0;
    if (o.contains(QStringLiteral("bareme"))) {
        const QJsonObject b = o.value(QStringLiteral("bareme")).toObject();
        const QString ou = QStringLiteral("barème");
        c.bareme.bonne = l.nombre(b, QStringLiteral("bonne"), ou, -1000, 1000);
        c.bareme.fausse = l.nombre(b, QStringLiteral("fausse"), ou, -1000, 1000);
        c.bareme.vide = l.nombre(b, QStringLiteral("vide"), ou, -1000, 1000);
    }
    for (const QJsonValue &vv : l.liste(o, QStringLiteral("versions"), racine)) {
        const QJsonObject v = vv.toObject();
        VersionCorrigee version;
        version.version = l.entier(v, QStringLiteral("version"), QStringLiteral("versions"), 1, 1000);
        const QString ou = QStringLiteral("version %1").arg(version.version);
        for (const QJsonValue &qv : l.liste(v, QStringLiteral("questions"), ou)) {
            const QJsonObject q = qv.toObject();
            QuestionCorrigee question;
            question.numero = l.entier(q, QStringLiteral("numero"), ou, 1, 100000);
            const QString ouq = QStringLiteral("%1, question %2").arg(ou).arg(question.numero);
            question.fiche = l.entier(q, QStringLiteral("fiche"), ouq, 0, 32767);
            question.question = q.value(QStringLiteral("question")).toString();
            for (const QJsonValue &r : l.liste(q, QStringLiteral("reponses"), ouq))
                question.reponses << r.toString();
            // Without the card's numbers, the answers are taken as printed in the card's order.
            const QJsonArray origines = q.value(QStringLiteral("origines")).toArray();
            for (qsizetype i = 0; i < question.reponses.size(); ++i) {
                const int n = i < origines.size() ? origines[i].toInt() : int(i + 1);
                if (l.ok() && (n < 1 || n > 3))
                    l.faute(ouq, QStringLiteral("« origines » doit donner des numéros de 1 à 3"));
                question.origines << n;
            }
            question.bonne = l.lettre(q, QStringLiteral("bonne"), ouq);
            if (l.ok() && question.bonne >= qMax<qsizetype>(question.reponses.size(), 1) && !question.reponses.isEmpty())
                l.faute(ouq, QStringLiteral("la bonne réponse n'est pas parmi les réponses"));
            version.questions << question;
        }
        if (l.ok() && c.version(version.version))
            l.faute(ou, QStringLiteral("cette version est donnée deux fois"));
        c.versions << version;
    }
    for (const QJsonValue &pv : l.liste(o, QStringLiteral("pages"), racine)) {
        const QJsonObject p = pv.toObject();
        PageFeuille page;
        page.version = l.entier(p, QStringLiteral("version"), QStringLiteral("pages"), 1, 1000);
        page.page = l.entier(p, QStringLiteral("page"), QStringLiteral("pages"), 1, 1000000);
        const QString ou = QStringLiteral("page %1").arg(page.page);
        page.largeur = l.nombre(p, QStringLiteral("largeur_mm"), ou, 10, 1000);
        page.hauteur = l.nombre(p, QStringLiteral("hauteur_mm"), ou, 10, 1000);
        const QJsonArray reperes = l.liste(p, QStringLiteral("reperes"), ou);
        if (l.ok() && reperes.size() != 4)
            l.faute(ou, QStringLiteral("il faut quatre repères"));
        for (qsizetype i = 0; i < qMin<qsizetype>(4, reperes.size()); ++i)
            page.reperes[size_t(i)] = l.rect(reperes[i], ou);
        page.qr = l.rect(l.champ(p, QStringLiteral("qr"), ou), ou);
        for (const QJsonValue &kv : l.liste(p, QStringLiteral("cases"), ou)) {
            const QJsonObject k = kv.toObject();
            page.cases << CaseFeuille{l.entier(k, QStringLiteral("question"), ou, 1, 100000),
                                      l.lettre(k, QStringLiteral("reponse"), ou), l.rect(kv, ou)};
        }
        for (const QJsonValue &kv : p.value(QStringLiteral("numero_eleve")).toArray()) {
            const QJsonObject k = kv.toObject();
            page.numeroEleve << CaseChiffre{l.entier(k, QStringLiteral("chiffre"), ou, 1, 10),
                                            l.entier(k, QStringLiteral("valeur"), ou, 0, 9), l.rect(kv, ou)};
        }
        if (l.ok() && !c.version(page.version))
            l.faute(ou, QStringLiteral("la version %1 n'est pas dans le corrigé").arg(page.version));
        c.pages << page;
    }
    if (!l.ok())
        return Resultat::echec(l.erreur);
    sortie = std::move(c);
    return Resultat::succes();
}

Resultat lireCorrige(const QString &fichier, Corrige &c)
{
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly))
        return Resultat::echec(QStringLiteral("Impossible de lire « %1 » : %2").arg(fichier, f.errorString()));
    // A key is a few hundred kilobytes at most; a bigger file is not one.
    if (f.size() > 64 * 1024 * 1024)
        return Resultat::echec(QStringLiteral("« %1 » n'est pas le corrigé d'un examen : fichier trop grand").arg(fichier));
    const Resultat r = depuisJson(f.readAll(), c);
    if (!r)
        return Resultat::echec(QStringLiteral("« %1 » n'est pas un corrigé lisible : %2").arg(QFileInfo(fichier).fileName(), r.erreur));
    return r;
}

Resultat ecrireCorrige(const QString &fichier, const Corrige &c)
{
    QSaveFile f(fichier);
    if (!f.open(QIODevice::WriteOnly) || f.write(versJson(c)) < 0 || !f.commit())
        return Resultat::echec(texteEcritureImpossible(fichier, f.errorString()));
    return Resultat::succes();
}

QString texteQr(const QString &examen, int version, int page)
{
    return QStringLiteral("ORBELIN:%1:%2:%3").arg(examen).arg(version).arg(page);
}

bool lireQr(const QString &texte, QString *examen, int *version, int *page)
{
    const QStringList p = texte.split(u':');
    if (p.size() != 4 || p[0] != QStringLiteral("ORBELIN") || p[1].isEmpty())
        return false;
    bool a = false, b = false;
    const int v = p[2].toInt(&a), n = p[3].toInt(&b);
    if (!a || !b || v < 1 || n < 1)
        return false;
    *examen = p[1];
    *version = v;
    *page = n;
    return true;
}

} // namespace classe
