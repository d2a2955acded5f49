// qzf trash, restore, duplicates and retheme: the recycle file, duplicates and themes changed in bulk.
#include "cli/qzf.h"
#include "cli/verbes.h"

#include "search/recherche.h"
#include "store/tablethemes.h"
#include "tidy/corbeille.h"
#include "tidy/doublons.h"
#include "tidy/menage.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qzf {
namespace {

const QString kBanque = QStringLiteral("the bank, a .qzf question file");

TableThemes themesDe(const QString &banque)
{
    const QFileInfo info(banque);
    TableThemes t;
    lireThemes(info.dir().filePath(nomFichierThemes(info.fileName())), t, false);
    return t;
}

QString nomTheme(const TableThemes &t, int theme)
{
    if (theme > 8)
        return QString::number(theme);
    const QString nom = texte::affiche(t.NomTheme[theme], TableThemes::Largeur);
    return nom.isEmpty() ? QString::number(theme) : nom;
}

QString date(qint64 secondes)
{
    if (secondes <= 0)
        return QStringLiteral("?");
    return QDateTime::fromSecsSinceEpoch(secondes, Qt::UTC).toString(Qt::ISODate);
}

int lister(const QString &banque, QTextStream &o, QTextStream &e)
{
    corbeille::Contenu c;
    if (Resultat r = corbeille::lire(corbeille::dossierMediaDe(banque), c); !r) {
        e << "qzf: " << r.erreur << '\n';
        return 1;
    }
    const TableThemes themes = themesDe(banque);
    for (int i = 1; i <= c.nombre(); ++i) {
        const char *enr = c.enregistrement(i);
        o << i << '\t' << date(c.dates[size_t(i - 1)]) << '\t' << nomTheme(themes, quint8(enr[offsets::NumTheme]))
          << '\t' << texte::affiche(enr + offsets::Question, 200) << '\n';
    }
    return c.nombre() > 0 ? 0 : 1;
}

int restaurer(const QCommandLineParser &p, QTextStream &o, QTextStream &e)
{
    const QStringList a = p.positionalArguments();
    const QString banque = a[0];
    if (!verifierBanque(banque, e))
        return 1;
    QList<int> numeros;
    for (const QString &n : a.mid(1)) {
        bool ok = false;
        const int v = n.toInt(&ok);
        if (!ok || v < 1)
            return erreurUsage(e, QStringLiteral("restore"), QStringLiteral("not a card number: ") + n);
        numeros << v;
    }
    int premiere = 0;
    const Resultat r = corbeille::restaurer(banque, menage::cheminTemporaire(banque), corbeille::dossierMediaDe(banque),
                                            numeros, &premiere);
    if (!r && premiere == 0) {
        e << "qzf: " << r.erreur << '\n';
        return 1;
    }
    std::sort(numeros.begin(), numeros.end());
    numeros.erase(std::unique(numeros.begin(), numeros.end()), numeros.end());
    QStringList places;
    for (qsizetype i = 0; i < numeros.size(); ++i)
        places << QString::number(premiere + int(i));
    o << "{\"restaurees\":[" << places.join(u',') << "]}\n";
    if (!r) {  // back in the bank, still in the recycle file
        e << "qzf: " << r.erreur << '\n';
        return 1;
    }
    return 0;
}

int doublonsVerbe(const QCommandLineParser &p, QTextStream &o, QTextStream &e)
{
    const QString banque = p.positionalArguments().at(0);
    double seuil = doublons::SeuilParDefaut;
    if (p.isSet(QStringLiteral("threshold"))) {
        bool ok = false;
        seuil = p.value(QStringLiteral("threshold")).toDouble(&ok);
        if (!ok || seuil <= 0 || seuil > 1)
            return erreurUsage(e, QStringLiteral("duplicates"), QStringLiteral("the threshold is a number above 0, at most 1"));
    }
    if (!verifierBanque(banque, e))
        return 1;
    Resultat r;
    const doublons::Analyse a = doublons::chercher(banque, seuil, &r);
    if (!r) {
        e << "qzf: " << r.erreur << '\n';
        return 1;
    }
    for (const doublons::Groupe &g : a.groupes) {
        QStringList n;
        for (int f : g.fiches)
            n << QString::number(f);
        o << (g.identique ? QStringLiteral("{\"kind\":\"same\"")
                          : QStringLiteral("{\"kind\":\"close\",\"score\":%1").arg(g.score, 0, 'f', 2))
          << ",\"cards\":[" << n.join(u',') << "]}\n";
    }
    return a.groupes.isEmpty() ? 1 : 0;
}

int rethemer(const QCommandLineParser &p, QTextStream &o, QTextStream &e)
{
    const QStringList a = p.positionalArguments();
    const QString banque = a[0];
    const bool marquees = p.isSet(QStringLiteral("marked")), texte = p.isSet(QStringLiteral("text"));
    if (marquees == texte)
        return erreurUsage(e, QStringLiteral("retheme"), QStringLiteral("give either --marked or --text TEXT"));
    if (!verifierBanque(banque, e))
        return 1;
    // THEME: 0 to 8, or a name of the bank's theme file (case ignored).
    int theme = -1;
    bool chiffre = false;
    const int v = a[1].toInt(&chiffre);
    if (chiffre && v >= 0 && v <= 8)
        theme = v;
    const TableThemes themes = themesDe(banque);
    for (int i = 0; i < 9 && theme < 0 && !chiffre; ++i)
        if (!themes.estBlanc(i) && texte::affiche(themes.NomTheme[i], TableThemes::Largeur).compare(a[1], Qt::CaseInsensitive) == 0)
            theme = i;
    if (theme < 0)
        return erreurUsage(e, QStringLiteral("retheme"), QStringLiteral("no theme ") + a[1] + QStringLiteral(" (0 to 8 or a theme name)"));
    const recherche::Critere critere = marquees ? recherche::Critere::marque()
                                                : recherche::Critere::texte(p.value(QStringLiteral("text")));
    const menage::Bilan b = menage::changerTheme(banque, menage::cheminTemporaire(banque), critere, theme);
    if (!b.resultat) {
        e << "qzf: " << b.resultat.erreur << '\n';
        return 1;
    }
    o << "{\"deplacees\":" << b.changees << ",\"comptes\":" << comptesEnJson(b.comptes) << "}\n";
    return 0;
}

} // namespace

Verbe verbeTrash()
{
    return {QStringLiteral("trash"), QStringLiteral("BANK"),
            QStringLiteral("lists the cards deleted from the bank, kept in its recycle file:\n"
                           "index, date of deletion (UTC), theme, question, tab-separated"),
            {QStringLiteral("BANK")}, {kBanque}, {},
            [](const QCommandLineParser &p, QTextStream &o, QTextStream &e) {
                const QString b = p.positionalArguments().at(0);
                return verifierBanque(b, e) ? lister(b, o, e) : 1;
            }};
}

Verbe verbeRestore()
{
    Verbe v{QStringLiteral("restore"), QStringLiteral("BANK N..."),
            QStringLiteral("puts deleted cards N... (as qzf trash numbers them) back at the end of\n"
                           "the bank in one rewrite, and takes them out of the recycle file"),
            {QStringLiteral("BANK"), QStringLiteral("N")},
            {kBanque, QStringLiteral("recycle file indexes, from 1")}, {}, restaurer};
    v.dernierRepete = true;
    return v;
}

Verbe verbeDuplicates()
{
    return {QStringLiteral("duplicates"), QStringLiteral("BANK"),
            QStringLiteral("groups of cards whose questions are the same once case, accents and\n"
                           "punctuation are set aside (\"same\"), and of cards whose question and\n"
                           "answers are alike (\"close\"), one JSON object per group"),
            {QStringLiteral("BANK")}, {kBanque},
            [](QCommandLineParser &p) {
                p.addOption({QStringLiteral("threshold"),
                             QStringLiteral("likeness from which two cards are close, above 0, at most 1 (default 0.8)"),
                             QStringLiteral("T")});
            },
            doublonsVerbe};
}

Verbe verbeRetheme()
{
    return {QStringLiteral("retheme"), QStringLiteral("BANK THEME"),
            QStringLiteral("moves the marked cards, or those whose question contains TEXT, to\n"
                           "THEME (0 to 8 or its name) in one rewrite of the bank"),
            {QStringLiteral("BANK"), QStringLiteral("THEME")},
            {kBanque, QStringLiteral("the theme: 0 to 8, or its name in the bank's theme file")},
            [](QCommandLineParser &p) {
                p.addOption({QStringLiteral("marked"), QStringLiteral("the marked cards")});
                p.addOption({QStringLiteral("text"), QStringLiteral("the cards whose question contains TEXT (case ignored)"),
                             QStringLiteral("TEXT")});
            },
            rethemer};
}

} // namespace qzf
