#include "analyse/analyse.h"

#include "exchange/formats.h"
#include "store/disque.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <fcntl.h>
#include <unistd.h>

namespace analyse {

namespace {

// A results file holds a few thousand lines; a bigger one is not one.
constexpr qint64 kTailleMax = 64 * 1024 * 1024;

Resultat lireFichier(const QString &fichier, QByteArray &octets)
{
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly))
        return Resultat::echec(QStringLiteral("Impossible de lire « %1 » : %2").arg(fichier, f.errorString()));
    if (f.size() > kTailleMax)
        return Resultat::echec(QStringLiteral("« %1 » est trop grand pour être lu.").arg(fichier));
    octets = f.readAll();
    return Resultat::succes();
}

// "A" -> 1, "AB" or "?" -> Plusieurs, "" -> Aucune; -2 for what no reading gives.
int lettres(QStringView t)
{
    t = t.trimmed();
    if (t.isEmpty())
        return Aucune;
    if (t == u"?")
        return Plusieurs;
    for (QChar c : t)
        if (const char16_t u = c.toUpper().unicode(); u < u'A' || u > u'C')
            return -2;
    return t.size() == 1 ? t[0].toUpper().unicode() - u'A' + 1 : Plusieurs;
}

} // namespace

Resultat lireResultats(const QByteArray &octets, QList<LigneResultats> &sortie)
{
    QString texte = QString::fromUtf8(octets);
    if (texte.startsWith(QChar(0xFEFF)))
        texte.remove(0, 1);
    const QStringList lignes = texte.split(u'\n');
    QList<LigneResultats> l;
    int colCopie = -1, colEleve = -1, colNom = -1, colVersion = -1;
    QList<int> colQ;
    for (qsizetype n = 0; n < lignes.size(); ++n) {
        QString ligne = lignes[n];
        if (ligne.endsWith(u'\r'))
            ligne.chop(1);
        const QString ou = QStringLiteral("ligne %1").arg(n + 1);
        if (n == 0) {
            const QStringList tete = echanges::champsCsv(ligne, u';');
            colCopie = int(tete.indexOf(QStringLiteral("copie")));
            colEleve = int(tete.indexOf(QStringLiteral("eleve")));
            colNom = int(tete.indexOf(QStringLiteral("nom")));
            colVersion = int(tete.indexOf(QStringLiteral("version")));
            for (int q = 1; tete.contains(QStringLiteral("Q%1").arg(q)); ++q)
                colQ << int(tete.indexOf(QStringLiteral("Q%1").arg(q)));
            if (colCopie < 0 || colVersion < 0)
                return Resultat::echec(QStringLiteral("ligne 1 : l'en-tête des résultats est attendu "
                                                      "(copie;eleve;nom;version;note_sur_20;points;Q1;Q2;…)"));
            continue;
        }
        // An empty line is allowed only at the end.
        if (ligne.trimmed().isEmpty()) {
            bool fin = true;
            for (qsizetype m = n + 1; m < lignes.size() && fin; ++m)
                fin = lignes[m].trimmed().isEmpty();
            if (fin)
                break;
            return Resultat::echec(ou + QStringLiteral(" : ligne vide au milieu des résultats"));
        }
        const QStringList c = echanges::champsCsv(ligne, u';');
        LigneResultats r;
        r.ligne = int(n + 1);
        bool ok = false;
        r.copie = c.value(colCopie).trimmed().toInt(&ok);
        if (!ok || r.copie < 1)
            return Resultat::echec(ou + QStringLiteral(" : le numéro de copie « %1 » n'est pas un nombre entier positif")
                                            .arg(c.value(colCopie)));
        r.version = c.value(colVersion).trimmed().toInt(&ok);
        if (!ok || r.version < 1)
            return Resultat::echec(ou + QStringLiteral(" : la version « %1 » n'est pas un nombre entier positif")
                                            .arg(c.value(colVersion)));
        r.eleve = colEleve >= 0 ? c.value(colEleve).trimmed() : QString();
        r.nom = colNom >= 0 ? c.value(colNom).trimmed() : QString();
        for (qsizetype q = 0; q < colQ.size(); ++q) {
            const QString v = c.value(colQ[q]);
            if (lettres(v) == -2)
                return Resultat::echec(ou + QStringLiteral(", Q%1 : « %2 » n'est pas une réponse lue (A, B, C, AB…, ? ou rien)")
                                                .arg(q + 1)
                                                .arg(v));
            r.reponses << v.trimmed().toUpper();
        }
        l << r;
    }
    if (lignes.isEmpty() || lignes[0].trimmed().isEmpty())
        return Resultat::echec(QStringLiteral("ligne 1 : l'en-tête des résultats est attendu "
                                              "(copie;eleve;nom;version;note_sur_20;points;Q1;Q2;…)"));
    sortie = std::move(l);
    return Resultat::succes();
}

Resultat lireResultats(const QString &fichier, QList<LigneResultats> &lignes)
{
    QByteArray octets;
    if (Resultat r = lireFichier(fichier, octets); !r)
        return r;
    if (Resultat r = lireResultats(octets, lignes); !r)
        return Resultat::echec(QStringLiteral("« %1 », %2.").arg(QFileInfo(fichier).fileName(), r.erreur));
    return Resultat::succes();
}

Resultat epreuveDepuisCorrige(const classe::Corrige &corrige, const QList<LigneResultats> &lignes, Epreuve &sortie)
{
    Epreuve e;
    e.titre = corrige.titre;
    e.banque = corrige.banque;
    e.bareme = corrige.bareme;
    // Every card of every version, in the bank's order.
    QMap<int, const classe::QuestionCorrigee *> cartes;
    for (const classe::VersionCorrigee &v : corrige.versions)
        for (const classe::QuestionCorrigee &q : v.questions)
            if (!cartes.contains(q.fiche))
                cartes.insert(q.fiche, &q);
    QHash<int, int> rang;
    for (auto it = cartes.cbegin(); it != cartes.cend(); ++it) {
        const classe::QuestionCorrigee &q = **it;
        rang.insert(it.key(), int(e.fiches.size()));
        e.fiches << it.key();
        e.questions << q.question;
        QStringList reponses(3);
        for (qsizetype i = 0; i < q.reponses.size(); ++i)
            if (const int o = q.origines.value(i, int(i + 1)); o >= 1 && o <= 3)
                reponses[o - 1] = q.reponses[i];
        e.reponses << reponses;
        e.bonnes << q.origines.value(q.bonne, q.bonne + 1);
    }
    for (const LigneResultats &l : lignes) {
        const classe::VersionCorrigee *v = corrige.version(l.version);
        if (!v)
            return Resultat::echec(QStringLiteral("ligne %1 : la version %2 n'est pas dans le corrigé").arg(l.ligne).arg(l.version));
        Copie c;
        c.nom = !l.nom.isEmpty() ? l.nom : !l.eleve.isEmpty() ? l.eleve : QStringLiteral("copie %1").arg(l.copie);
        c.choix = QList<qint8>(e.fiches.size(), Aucune);
        for (const classe::QuestionCorrigee &q : v->questions) {
            const int x = lettres(l.reponses.value(q.numero - 1));
            qint8 choix = qint8(x);
            if (x >= 1) {
                if (x > q.reponses.size())
                    return Resultat::echec(QStringLiteral("ligne %1, Q%2 : la case %3 n'existe pas, la question a %4 réponses")
                                               .arg(l.ligne)
                                               .arg(q.numero)
                                               .arg(l.reponses.value(q.numero - 1))
                                               .arg(q.reponses.size()));
                choix = qint8(q.origines.value(x - 1, x));
            }
            c.choix[rang.value(q.fiche)] = choix;
        }
        e.copies << c;
    }
    sortie = std::move(e);
    return Resultat::succes();
}

// ---------------------------------------------------------------------------
// Quiz pages

Resultat lirePageQuiz(const QByteArray &page, PageQuiz &sortie)
{
    const QByteArray debut = "<script type=\"application/json\" id=\"donnees\">";
    const qsizetype i = page.indexOf(debut);
    const qsizetype fin = i < 0 ? -1 : page.indexOf("</script>", i);
    if (fin < 0)
        return Resultat::echec(QStringLiteral("ce n'est pas une page de quiz écrite par Orbelin"));
    const QJsonObject o = QJsonDocument::fromJson(page.mid(i + debut.size(), fin - i - debut.size())).object();
    if (!o.value(QStringLiteral("questions")).isArray())
        return Resultat::echec(QStringLiteral("ce n'est pas une page de quiz écrite par Orbelin"));
    if (o.value(QStringLiteral("id")).toString().isEmpty())
        return Resultat::echec(QStringLiteral("cette page de quiz ne sait pas enregistrer les réponses "
                                              "(elle a été écrite par une version plus ancienne d'Orbelin)"));
    PageQuiz q;
    q.id = o.value(QStringLiteral("id")).toString();
    q.titre = o.value(QStringLiteral("titre")).toString();
    q.epreuve.titre = q.titre;
    QMap<int, QJsonObject> cartes;
    for (const QJsonValue &v : o.value(QStringLiteral("questions")).toArray())
        cartes.insert(v.toObject().value(QStringLiteral("f")).toInt(), v.toObject());
    for (auto it = cartes.cbegin(); it != cartes.cend(); ++it) {
        const QJsonArray r = it->value(QStringLiteral("r")).toArray(), origines = it->value(QStringLiteral("o")).toArray();
        const int b = it->value(QStringLiteral("b")).toInt();
        QStringList reponses(3);
        for (qsizetype k = 0; k < r.size(); ++k)
            if (const int n = origines.at(k).toInt(int(k + 1)); n >= 1 && n <= 3)
                reponses[n - 1] = r.at(k).toString();
        q.epreuve.fiches << it.key();
        q.epreuve.questions << it->value(QStringLiteral("q")).toString();
        q.epreuve.reponses << reponses;
        q.epreuve.bonnes << origines.at(b).toInt(b + 1);
    }
    sortie = std::move(q);
    return Resultat::succes();
}

Resultat lirePageQuiz(const QString &fichier, PageQuiz &quiz)
{
    QByteArray octets;
    if (Resultat r = lireFichier(fichier, octets); !r)
        return r;
    if (Resultat r = lirePageQuiz(octets, quiz); !r)
        return Resultat::echec(QStringLiteral("« %1 » : %2.").arg(QFileInfo(fichier).fileName(), r.erreur));
    return Resultat::succes();
}

Resultat ajouterResultatQuiz(const QByteArray &json, PageQuiz &quiz)
{
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    if (!o.value(QStringLiteral("reponses")).isObject() || o.value(QStringLiteral("quiz")).toString().isEmpty())
        return Resultat::echec(QStringLiteral("ce n'est pas un fichier de réponses d'une page de quiz"));
    if (o.value(QStringLiteral("quiz")).toString() != quiz.id)
        return Resultat::echec(QStringLiteral("ces réponses viennent d'une autre page de quiz"));
    const QJsonObject reponses = o.value(QStringLiteral("reponses")).toObject();
    Copie c;
    c.nom = o.value(QStringLiteral("nom")).toString();
    if (c.nom.isEmpty())
        c.nom = QStringLiteral("copie %1").arg(quiz.epreuve.copies.size() + 1);
    for (int fiche : std::as_const(quiz.epreuve.fiches)) {
        const QJsonValue v = reponses.value(QString::number(fiche));
        if (!v.isNull() && !v.isUndefined() && (!v.isDouble() || v.toInt() < 1 || v.toInt() > 3 || v.toDouble() != v.toInt()))
            return Resultat::echec(QStringLiteral("la réponse à la fiche %1 doit être 1, 2, 3 ou null").arg(fiche));
        c.choix << qint8(v.isDouble() ? v.toInt() : Aucune);
    }
    quiz.epreuve.copies << c;
    return Resultat::succes();
}

Resultat ajouterResultatQuiz(const QString &fichier, PageQuiz &quiz)
{
    QByteArray octets;
    if (Resultat r = lireFichier(fichier, octets); !r)
        return r;
    if (Resultat r = ajouterResultatQuiz(octets, quiz); !r)
        return Resultat::echec(QStringLiteral("« %1 » : %2.").arg(QFileInfo(fichier).fileName(), r.erreur));
    return Resultat::succes();
}

bool estResultatDe(const QString &fichier, const QString &id)
{
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024)
        return false;
    return QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("quiz")).toString() == id;
}

// ---------------------------------------------------------------------------
// History: "fiche;date;p;r;copies", one line per card and analysis, dates in UTC.

QString fichierHistorique(const QString &dossierMedia) { return QDir(dossierMedia).filePath(QStringLiteral("analyses.csv")); }

void joindreHistorique(const QString &dossierMedia, Analyse &a, const QDateTime &avant)
{
    QFile f(fichierHistorique(dossierMedia));
    if (!f.open(QIODevice::ReadOnly))
        return;
    QHash<int, Precedent> derniers;
    // A line cut short by a crash during an append is no analysis: it is skipped.
    for (const QByteArray &ligne : f.readAll().split('\n')) {
        const QList<QByteArray> c = ligne.trimmed().split(';');
        if (c.size() != 5)
            continue;
        bool a1 = false, a2 = false, a3 = false;
        const int fiche = c[0].toInt(&a1);
        Precedent p;
        p.date = QDateTime::fromString(QString::fromLatin1(c[1]), Qt::ISODate);
        p.p = c[2].toDouble(&a2);
        c[4].toInt(&a3);
        if (!c[3].isEmpty())
            p.r = c[3].toDouble();
        if (!a1 || !a2 || !a3 || !p.date.isValid() || p.date > avant)
            continue;
        if (!derniers.contains(fiche) || derniers[fiche].date <= p.date)
            derniers.insert(fiche, p);
    }
    for (Question &q : a.questions)
        if (auto it = derniers.constFind(q.fiche); it != derniers.cend())
            q.precedent = *it;
}

Resultat ecrireHistorique(const QString &dossierMedia, const Analyse &a, const QDateTime &date)
{
    const QString fichier = fichierHistorique(dossierMedia);
    auto echec = [&](int err) {
        return Resultat::echec(QStringLiteral("Impossible de garder l'analyse dans %1 : %2.")
                                   .arg(QDir::toNativeSeparators(fichier), disque::raison(err)));
    };
    if (!QDir().mkpath(dossierMedia))
        return echec(EACCES);
    const QString jour = date.toUTC().toString(Qt::ISODate);
    QByteArray lignes;
    for (const Question &q : a.questions)
        lignes += QStringLiteral("%1;%2;%3;%4;%5\n")
                      .arg(q.fiche)
                      .arg(jour, QString::number(q.p, 'g', 12), q.r ? QString::number(*q.r, 'g', 12) : QString())
                      .arg(a.copies)
                      .toLatin1();
    const bool nouveau = !QFileInfo::exists(fichier);
    disque::Fd fd(::open(disque::local(fichier).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        return echec(errno);
    // A line left unfinished by a crash stays a line of its own.
    const qint64 taille = ::lseek(fd.get(), 0, SEEK_END);
    char dernier = '\n';
    if (taille > 0 && ::pread(fd.get(), &dernier, 1, taille - 1) != 1)
        dernier = '\n';
    if (dernier != '\n')
        lignes.prepend('\n');
    if (!disque::ecrireJusquauBout(lignes.size(), [&](qint64 fait) {
            return ::write(fd.get(), lignes.constData() + fait, size_t(lignes.size() - fait));
        }))
        return echec(errno);
    if (::fdatasync(fd.get()) != 0)
        return echec(errno);
    if (nouveau && !disque::viderDossierDe(fichier))
        return echec(errno);
    return Resultat::succes();
}

} // namespace analyse
