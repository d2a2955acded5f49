#include "cli/qzf.h"

#include "store/fichierquestions.h"
#include "store/reecriture.h"
#include "store/tablethemes.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qzf {
namespace {

const char *const kAide =
    "Usage: qzf VERB BANK [ARGUMENTS]\n"
    "Shows and rewrites a bank of quiz cards (a .qzf question file) as it is stored.\n"
    "\n"
    "Verbs:\n"
    "  dump BANK       one JSON object per card, one per line, in file order\n"
    "  themes BANK     JSON array of the nine theme names of the bank's theme file\n"
    "                  (the .prm file beside BANK; a missing one gives nine empty names)\n"
    "  sort BANK       sorts the bank by theme through base.tmp beside it (which stays),\n"
    "                  then prints the cards written per theme as JSON\n"
    "  delete BANK N   removes card N, rebuilding the bank through BASE.TMP beside it\n"
    "  --help          this text\n"
    "\n"
    "Texts are decoded from Windows-1252 up to their first zero byte and not trimmed.\n"
    "Exit status: 0 on success, 1 when the bank cannot be read or written, 2 on a usage error.\n";

QString tableau(const QStringList &elements) { return u'[' + elements.join(u',') + u']'; }

bool verifierBanque(const QString &banque, QTextStream &erreurs)
{
    QFileInfo info(banque);
    if (!info.exists()) {
        erreurs << "qzf: " << banque << ": no such file\n";
        return false;
    }
    if (!info.isFile() || !info.isReadable()) {
        erreurs << "qzf: " << banque << ": not a readable file\n";
        return false;
    }
    return true;
}

int dump(const QString &banque, QTextStream &sortie, QTextStream &erreurs)
{
    FichierQuestions f;
    if (Resultat r = f.ouvrir(banque, FichierQuestions::Mode::Lecture); !r) {
        erreurs << "qzf: " << r.erreur << '\n';
        return 1;
    }
    const int n = f.nombre();
    for (int i = 1; i <= n; ++i)
        sortie << ficheEnJson(i, f.lire(i)) << '\n';
    return 0;
}

int themes(const QString &banque, QTextStream &sortie, QTextStream &erreurs)
{
    const QFileInfo info(banque);
    const QString chemin = info.dir().filePath(nomFichierThemes(info.fileName()));
    TableThemes table;
    if (Resultat r = lireThemes(chemin, table, false); !r) {
        erreurs << "qzf: " << r.erreur << '\n';
        return 1;
    }
    QStringList noms;
    for (int i = 0; i < TableThemes::NbThemes; ++i)
        noms << chaineJson(table.nom(i));
    sortie << tableau(noms) << '\n';
    return 0;
}

int trier(const QString &banque, QTextStream &sortie, QTextStream &erreurs)
{
    const QFileInfo info(banque);
    const ResultatClasser r = classerParTheme(banque, info.dir().filePath(QStringLiteral("base.tmp")));
    if (!r.resultat) {
        erreurs << "qzf: " << r.resultat.erreur << '\n';
        return 1;
    }
    sortie << comptesEnJson(r.ecrits) << '\n';
    return 0;
}

int supprimer(const QString &banque, const QString &numero, QTextStream &sortie, QTextStream &erreurs)
{
    bool ok = false;
    const int n = numero.toInt(&ok);
    FichierQuestions f;
    if (Resultat r = f.ouvrir(banque, FichierQuestions::Mode::Lecture); !r) {
        erreurs << "qzf: " << r.erreur << '\n';
        return 1;
    }
    const int total = f.nombre();
    f.fermer();
    if (!ok || n < 1 || n > total) {
        erreurs << "qzf: " << banque << ": no card " << numero << " (the bank holds " << total << ")\n";
        return 1;
    }
    if (total <= 1) {
        erreurs << "qzf: " << banque << ": the last card of a bank cannot be deleted\n";
        return 1;
    }
    const QFileInfo info(banque);
    if (Resultat r = supprimerFiche(banque, info.dir().filePath(QStringLiteral("BASE.TMP")), n); !r) {
        erreurs << "qzf: " << r.erreur << '\n';
        return 1;
    }
    sortie << "{\"supprimee\":" << n << ",\"restantes\":" << total - 1 << "}\n";
    return 0;
}

} // namespace

QString chaineJson(const QString &texte)
{
    QString s;
    s.reserve(texte.size() + 2);
    s += u'"';
    for (QChar c : texte) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"': s += QLatin1String("\\\""); break;
        case u'\\': s += QLatin1String("\\\\"); break;
        case u'\n': s += QLatin1String("\\n"); break;
        case u'\r': s += QLatin1String("\\r"); break;
        case u'\t': s += QLatin1String("\\t"); break;
        default:
            if (u < 0x20 || (u >= 0x7F && u < 0xA0))
                s += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
            else
                s += c;
        }
    }
    s += u'"';
    return s;
}

QString ficheEnJson(int numero, const FicheQuestion &f)
{
    QStringList reponses, bonnes;
    for (int k = 0; k < 3; ++k) {
        reponses << chaineJson(texte::brut(f.Reponse[k]));
        bonnes << QString::number(f.BonneReponse[k]);
    }
    // Joined piece by piece: a chain of arg() calls would read a "%1" typed in a text as a placeholder.
    return QLatin1String("{\"n\":") + QString::number(numero)
        + QLatin1String(",\"Question\":") + chaineJson(texte::brut(f.Question))
        + QLatin1String(",\"Reponse\":") + tableau(reponses)
        + QLatin1String(",\"Commentaire\":") + chaineJson(texte::brut(f.Commentaire))
        + QLatin1String(",\"BonneReponse\":") + tableau(bonnes)
        + QLatin1String(",\"NumTheme\":") + QString::number(f.NumTheme)
        + QLatin1String(",\"Marque\":") + QString::number(f.Marque)
        + QLatin1String(",\"Auteur\":") + chaineJson(texte::brut(f.Auteur))
        + QLatin1String(",\"FichierMedia\":") + chaineJson(texte::brut(f.FichierMedia))
        + QLatin1String(",\"TailleImage\":") + QString::number(f.TailleImage) + u'}';
}

QString comptesEnJson(const ComptesThemes &c)
{
    QStringList parTheme;
    int total = c.horsThemes;
    for (int n : c.parTheme) {
        parTheme << QString::number(n);
        total += n;
    }
    return QStringLiteral("{\"parTheme\":%1,\"horsThemes\":%2,\"total\":%3}")
        .arg(tableau(parTheme))
        .arg(c.horsThemes)
        .arg(total);
}

int executer(const QStringList &a, QTextStream &sortie, QTextStream &erreurs)
{
    if (a.size() == 1 && (a[0] == QLatin1String("--help") || a[0] == QLatin1String("-h"))) {
        sortie << kAide;
        return 0;
    }
    const QString verbe = a.value(0);
    const qsizetype attendus = verbe == QLatin1String("delete") ? 3 : 2;
    const bool connu = verbe == QLatin1String("dump") || verbe == QLatin1String("themes")
                       || verbe == QLatin1String("sort") || verbe == QLatin1String("delete");
    if (!connu || a.size() != attendus) {
        erreurs << "qzf: usage: qzf dump|themes|sort BANK, qzf delete BANK N (see qzf --help)\n";
        return 2;
    }
    if (!verifierBanque(a[1], erreurs))
        return 1;
    if (verbe == QLatin1String("dump"))
        return dump(a[1], sortie, erreurs);
    if (verbe == QLatin1String("themes"))
        return themes(a[1], sortie, erreurs);
    if (verbe == QLatin1String("sort"))
        return trier(a[1], sortie, erreurs);
    return supprimer(a[1], a[2], sortie, erreurs);
}

} // namespace qzf
