#include "cli/qzf.h"
#include "cli/verbes.h"

#include "store/fichierquestions.h"
#include "store/json.h"
#include "store/reecriture.h"
#include "store/tablethemes.h"
#include "store/verrou.h"
#include "tidy/corbeille.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qzf {
namespace {

QString tableau(const QStringList &elements) { return u'[' + elements.join(u',') + u']'; }

} // namespace

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

namespace {

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
    if (!r.resultat && r.echec != ResultatClasser::Etape::CopieFinale) {
        erreurs << "qzf: " << r.resultat.erreur << '\n';
        return 1;
    }
    // Only the copy into base.tmp failed: the bank itself is sorted.
    if (!r.resultat)
        erreurs << "qzf: warning: " << banque << " is sorted, but base.tmp was not updated: " << r.resultat.erreur
                << '\n';
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
    // The card goes to the recycle file first; one that cannot be kept is not deleted.
    if (Resultat r = corbeille::supprimerEnGardant(banque, info.dir().filePath(QStringLiteral("BASE.TMP")), n,
                                                   corbeille::dossierMediaDe(banque),
                                                   QDateTime::currentSecsSinceEpoch());
        !r) {
        erreurs << "qzf: " << r.erreur << '\n';
        return 1;
    }
    sortie << "{\"supprimee\":" << n << ",\"restantes\":" << total - 1 << "}\n";
    return 0;
}

} // namespace

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

Verbe (*verbeGrade)() = nullptr;

namespace {

QList<Verbe> verbes()
{
    auto banque = [](QString resume, std::function<int(const QString &, QTextStream &, QTextStream &)> faire) {
        return Verbe{{}, QStringLiteral("BANK"), std::move(resume), {QStringLiteral("BANK")},
                     {QStringLiteral("the bank, a .qzf question file")}, {},
                     [faire](const QCommandLineParser &p, QTextStream &o, QTextStream &e) {
                         const QString b = p.positionalArguments().at(0);
                         return verifierBanque(b, e) ? faire(b, o, e) : 1;
                     }};
    };
    Verbe dumpV = banque(QStringLiteral("one JSON object per card, one per line, in file order"), dump);
    dumpV.nom = QStringLiteral("dump");
    Verbe themesV = banque(QStringLiteral("JSON array of the nine theme names of the bank's theme file\n"
                                          "(the .prm file beside BANK; a missing one gives nine empty names)"),
                           themes);
    themesV.nom = QStringLiteral("themes");
    Verbe sortV = banque(QStringLiteral("sorts the bank by theme through base.tmp beside it (which stays),\n"
                                        "then prints the cards written per theme as JSON"),
                         trier);
    sortV.nom = QStringLiteral("sort");
    Verbe deleteV{QStringLiteral("delete"), QStringLiteral("BANK N"),
                  QStringLiteral("removes card N, rebuilding the bank through BASE.TMP beside it;\n"
                                 "the card is kept in the recycle file first (see qzf trash)"),
                  {QStringLiteral("BANK"), QStringLiteral("N")},
                  {QStringLiteral("the bank, a .qzf question file"), QStringLiteral("the card to remove, from 1")},
                  {},
                  [](const QCommandLineParser &p, QTextStream &o, QTextStream &e) {
                      const QStringList a = p.positionalArguments();
                      return verifierBanque(a[0], e) ? supprimer(a[0], a[1], o, e) : 1;
                  }};
    QList<Verbe> liste{dumpV, themesV, sortV, deleteV, verbeFind(), verbeTransfer(), verbePrint(), verbeExport(),
                       verbeImport(), verbeQuiz(), verbeExam(), verbeTrash(), verbeRestore(), verbeDuplicates(),
                       verbeRetheme(), verbeList(), verbeStats()};
    if (verbeGrade)
        liste << verbeGrade();
    // The verbs that write a bank, and which of their arguments it is.
    const std::pair<const char *, int> ecrivains[] = {{"sort", 0},    {"delete", 0},  {"transfer", 1},
                                                      {"import", 1},  {"restore", 0}, {"retheme", 0}};
    for (Verbe &v : liste)
        for (const auto &[nom, indice] : ecrivains)
            if (v.nom == QLatin1String(nom))
                v.banqueEcrite = indice;
    return liste;
}

QString aideGenerale(const QList<Verbe> &liste)
{
    QString t = QStringLiteral("Usage: qzf VERB [OPTIONS] ARGUMENTS\n"
                               "Shows, searches and rewrites a bank of quiz cards (a .qzf question file) as it is stored.\n"
                               "\nVerbs (qzf VERB --help for each):\n");
    for (const Verbe &v : liste) {
        const QString tete = QStringLiteral("  ") + v.nom + u' ' + v.syntaxe;
        const QStringList lignes = v.resume.split(u'\n');
        // A synopsis too long for its column gets a line of its own, the summary below it.
        if (tete.size() > 30)
            t += tete + u'\n' + QString(31, u' ') + lignes[0] + u'\n';
        else
            t += tete.leftJustified(30) + u' ' + lignes[0] + u'\n';
        for (qsizetype i = 1; i < lignes.size(); ++i)
            t += QString(31, u' ') + lignes[i] + u'\n';
    }
    t += QStringLiteral("  --help                       this text\n"
                        "\nTexts are decoded from Windows-1252 up to their first zero byte and not trimmed.\n"
                        "Exit status: 0 on success, 1 when the bank cannot be read or written or nothing is\n"
                        "found, 2 on a usage error.\n");
    return t;
}

void preparer(QCommandLineParser &p, const Verbe &v)
{
    p.setApplicationDescription(v.resume);
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addHelpOption();
    for (qsizetype i = 0; i < v.positionnels.size(); ++i)
        p.addPositionalArgument(v.positionnels[i], v.descriptionsPositionnels.value(i), v.positionnels[i]);
    if (v.declarer)
        v.declarer(p);
}

// QCommandLineParser names the running program in its usage line; ours names the verb.
QString aideVerbe(const QCommandLineParser &p, const Verbe &v)
{
    QString t = p.helpText();
    const qsizetype fin = t.indexOf(u'\n');
    const qsizetype options = t.indexOf(QLatin1String(" [options]"));
    if (options >= 0 && options < fin)
        t.replace(0, options, QStringLiteral("Usage: qzf ") + v.nom);
    return t;
}

} // namespace

int erreurUsage(QTextStream &erreurs, const QString &verbe, const QString &texte)
{
    erreurs << "qzf " << verbe << ": " << texte << " (see qzf " << verbe << " --help)\n";
    return 2;
}

int executer(const QStringList &a, QTextStream &sortie, QTextStream &erreurs)
{
    const QList<Verbe> liste = verbes();
    const QString nom = a.value(0);
    if (a.size() == 1 && (nom == QLatin1String("--help") || nom == QLatin1String("-h"))) {
        sortie << aideGenerale(liste);
        return 0;
    }
    auto v = std::find_if(liste.begin(), liste.end(), [&](const Verbe &x) { return x.nom == nom; });
    if (v == liste.end()) {
        erreurs << "qzf: unknown verb " << (nom.isEmpty() ? QStringLiteral("(none)") : nom) << " (see qzf --help)\n";
        return 2;
    }
    QCommandLineParser p;
    preparer(p, *v);
    if (!p.parse(QStringList{QStringLiteral("qzf")} + a.mid(1)))
        return erreurUsage(erreurs, v->nom, p.errorText());
    if (p.isSet(QStringLiteral("help"))) {
        sortie << aideVerbe(p, *v);
        return 0;
    }
    const qsizetype n = p.positionalArguments().size();
    if (n < v->positionnels.size() || (n > v->positionnels.size() && !v->dernierRepete))
        return erreurUsage(erreurs, v->nom,
                           n < v->positionnels.size()
                               ? QStringLiteral("missing ") + v->positionnels.mid(n).join(u' ')
                               : QStringLiteral("unexpected argument ") + p.positionalArguments().at(v->positionnels.size()));
    verrou::Verrou cle;
    if (v->banqueEcrite >= 0 && cle.prendre(p.positionalArguments().at(v->banqueEcrite)) == verrou::Verrou::Etat::Tenu) {
        erreurs << "qzf: " << cle.message() << " Elle n'a pas été modifiée.\n";
        return 1;
    }
    return v->executer(p, sortie, erreurs);
}

} // namespace qzf
