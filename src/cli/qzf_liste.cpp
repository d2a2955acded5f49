#include "cli/verbes.h"

#include "liste/liste.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace qzf {
namespace {

const QString kList = QStringLiteral("list");
const QStringList kColonnes = {QStringLiteral("number"), QStringLiteral("theme"),  QStringLiteral("question"),
                               QStringLiteral("answer"), QStringLiteral("mark"),   QStringLiteral("author"),
                               QStringLiteral("media")};

int lister(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    liste::Filtre filtre;
    filtre.texte = p.value(QStringLiteral("text"));
    filtre.sansAccents = p.isSet(QStringLiteral("ignore-accents")) || p.isSet(QStringLiteral("fold"));
    filtre.marquees = p.isSet(QStringLiteral("marked"));
    filtre.media = p.isSet(QStringLiteral("media"));
    filtre.bonneDouteuse = p.isSet(QStringLiteral("doubtful"));
    const QString theme = p.value(QStringLiteral("theme"));
    bool entier = false;
    if (p.isSet(QStringLiteral("theme"))) {
        filtre.theme = theme.toInt(&entier);
        if (entier && (filtre.theme < 0 || filtre.theme > 8))
            return erreurUsage(erreurs, kList, QStringLiteral("--theme takes a theme number from 0 to 8, or its name"));
    }
    liste::Tri tri;
    if (p.isSet(QStringLiteral("sort"))) {
        QString c = p.value(QStringLiteral("sort"));
        tri.descendant = c.startsWith(u'-');
        const qsizetype k = kColonnes.indexOf(tri.descendant ? c.mid(1) : c);
        if (k < 0)
            return erreurUsage(erreurs, kList,
                               QStringLiteral("--sort takes one of %1, with - before it for the reverse order")
                                   .arg(kColonnes.join(QStringLiteral(", "))));
        tri.colonne = liste::Colonne(k);
    }

    const QString banque = p.positionalArguments().at(0);
    if (!verifierBanque(banque, erreurs))
        return 1;
    QFile f(banque);
    if (!f.open(QIODevice::ReadOnly)) {
        erreurs << "qzf: " << QStringLiteral("Impossible de lire le fichier %1 : %2").arg(banque, f.errorString()) << '\n';
        return 1;
    }
    const QByteArray octets = f.readAll();
    const QFileInfo info(banque);
    TableThemes themes;
    if (Resultat r = lireThemes(info.dir().filePath(nomFichierThemes(info.fileName())), themes, false); !r) {
        erreurs << "qzf: " << r.erreur << '\n';
        return 1;
    }
    if (p.isSet(QStringLiteral("theme")) && !entier) {
        filtre.theme = -1;
        for (int i = 0; i < TableThemes::NbThemes && filtre.theme < 0; ++i)
            if (!themes.estBlanc(i) && liste::nomTheme(themes, i).compare(theme.trimmed(), Qt::CaseInsensitive) == 0)
                filtre.theme = i;
        if (filtre.theme < 0) {
            erreurs << "qzf " << kList << ": " << banque << ": no theme " << theme << '\n';
            return 1;
        }
    }
    const liste::Index index(octets);
    for (int n : liste::lignes(index, filtre, tri, themes)) {
        const QByteArray enr = octets.mid(qsizetype(n - 1) * FicheQuestion::Taille, FicheQuestion::Taille)
                                   .leftJustified(FicheQuestion::Taille, '\0');
        sortie << liste::colonnes(n, enr.constData(), themes).join(u'\t') << '\n';
    }
    return 0;
}

} // namespace

Verbe verbeList()
{
    Verbe v;
    v.nom = kList;
    v.syntaxe = QStringLiteral("BANK [FILTERS]");
    v.resume = QStringLiteral(
        "the rows of the list window, one card a line, tab-separated: number, theme,\n"
        "question, good answer, mark, author, media");
    v.positionnels = {QStringLiteral("BANK")};
    v.descriptionsPositionnels = {QStringLiteral("the bank, a .qzf question file")};
    v.declarer = [](QCommandLineParser &p) {
        p.addOption({QStringLiteral("text"),
                     QStringLiteral("cards whose question, answers or comment contain TEXT, small and capital letters alike"),
                     QStringLiteral("TEXT")});
        p.addOption({QStringLiteral("ignore-accents"), QStringLiteral("--text finds letters with or without their accents")});
        p.addOption({QStringLiteral("fold"), QStringLiteral("the same as --ignore-accents, as qzf find says it")});
        p.addOption({QStringLiteral("theme"), QStringLiteral("cards of theme N, 0 to 8, or of the theme of that name"),
                     QStringLiteral("N")});
        p.addOption({QStringLiteral("marked"), QStringLiteral("marked cards only")});
        p.addOption({QStringLiteral("media"), QStringLiteral("cards with a picture or a sound")});
        p.addOption({QStringLiteral("doubtful"), QStringLiteral("cards with no good answer or several")});
        p.addOption({QStringLiteral("sort"),
                     QStringLiteral("number, theme, question, answer, mark, author or media; -COLUMN for the reverse order"),
                     QStringLiteral("COLUMN")});
    };
    v.executer = lister;
    return v;
}

} // namespace qzf
