#include "cli/verbes.h"

#include "classroom/page_quiz.h"
#include "classroom/sujets.h"
#include "store/fichequestion.h"
#include "store/json.h"
#include "store/tablethemes.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <optional>

namespace qzf {

namespace {

const QString kAll = QStringLiteral("all"), kMarked = QStringLiteral("marked"),
              kBetween = QStringLiteral("between-marks"), kTheme = QStringLiteral("theme"),
              kCount = QStringLiteral("count"), kSeed = QStringLiteral("seed"), kTitle = QStringLiteral("title"),
              kOutput = QStringLiteral("output");

void declarerChoix(QCommandLineParser &p, const QString &defaut)
{
    p.addOption({{QStringLiteral("o"), kOutput},
                 QStringLiteral("The file to write; by default beside BANK, named after it (") + defaut + u')',
                 QStringLiteral("FILE")});
    p.addOption({kAll, QStringLiteral("every card (the default)")});
    p.addOption({kMarked, QStringLiteral("the cards whose mark is not 0")});
    p.addOption({kBetween, QStringLiteral("the cards from a mark up to and including the next one;\n"
                                          "a last mark without a partner runs to the last card")});
    p.addOption({kTheme,
                 QStringLiteral("only the cards of this theme: its index 0 to 8 (as qzf dump shows it)\n"
                                "or its name; repeat the option for several themes"),
                 QStringLiteral("THEME")});
    p.addOption({kCount, QStringLiteral("N of the chosen cards drawn at random"), QStringLiteral("N")});
    p.addOption({kSeed, QStringLiteral("the number that repeats the draw and every shuffle\n"
                                       "(by default one is drawn, and printed)"),
                 QStringLiteral("N")});
    p.addOption({kTitle, QStringLiteral("the title shown (by default the bank's name)"), QStringLiteral("TEXT")});
}

// The choice from the options; a usage error returns 2 through `statut`, a bank that
// cannot be read 1.
std::optional<classe::Choix> lireChoix(const QCommandLineParser &p, const QString &verbe, const QString &banque,
                                       QTextStream &erreurs, int *statut)
{
    *statut = 2;
    classe::Choix c;
    int n = 0;
    for (const auto &[nom, valeur] : {std::pair{kAll, Selection::Toutes}, std::pair{kMarked, Selection::Marquees},
                                      std::pair{kBetween, Selection::EntreMarques}})
        if (p.isSet(nom)) {
            c.selection = valeur;
            ++n;
        }
    if (n > 1) {
        erreurUsage(erreurs, verbe, QStringLiteral("choose one of --all, --marked, --between-marks"));
        return std::nullopt;
    }
    if (p.isSet(kCount)) {
        bool ok = false;
        c.nombre = p.value(kCount).toInt(&ok);
        if (!ok || c.nombre < 1) {
            erreurUsage(erreurs, verbe, QStringLiteral("--count takes a whole number from 1 (not %1)").arg(p.value(kCount)));
            return std::nullopt;
        }
    }
    if (p.isSet(kSeed)) {
        bool ok = false;
        c.graine = p.value(kSeed).toULongLong(&ok);
        if (!ok) {
            erreurUsage(erreurs, verbe,
                        QStringLiteral("--seed takes a whole number from 0 (not %1)").arg(p.value(kSeed)));
            return std::nullopt;
        }
    } else {
        c.graine = classe::graineAuHasard();
    }
    const QStringList themes = p.values(kTheme);
    if (!themes.isEmpty()) {
        *statut = 1;
        if (!verifierBanque(banque, erreurs))
            return std::nullopt;
        TableThemes table;
        if (Resultat r = lireThemes(echanges::CheminsBanque::pres(banque).themes, table, false); !r) {
            erreurs << "qzf " << verbe << ": " << r.erreur << '\n';
            return std::nullopt;
        }
        for (const QString &t : themes) {
            bool estNombre = false;
            const int index = t.toInt(&estNombre);
            int trouve = estNombre && index >= 0 && index <= 8 ? index : -1;
            for (int i = 0; trouve < 0 && i < TableThemes::NbThemes; ++i)
                if (!table.estBlanc(i) && texte::sansEspaces(table.nom(i)).compare(t.trimmed(), Qt::CaseInsensitive) == 0)
                    trouve = i;
            if (trouve < 0) {
                erreurs << "qzf " << verbe << ": " << banque << ": no theme " << t << '\n';
                return std::nullopt;
            }
            if (!c.themes.contains(trouve))
                c.themes << trouve;
        }
    }
    *statut = 0;
    return c;
}

QString cible(const QCommandLineParser &p, const QString &banque, const QString &suffixe)
{
    if (p.isSet(kOutput))
        return p.value(kOutput);
    const QFileInfo info(banque);
    return info.dir().filePath(info.completeBaseName() + suffixe);
}

int finir(const QString &verbe, const classe::ResultatSortie &r, const QString &resume, QTextStream &sortie,
          QTextStream &erreurs)
{
    for (const QString &l : r.remarques)
        erreurs << "qzf " << verbe << ": " << l << '\n';
    if (!r.resultat) {
        erreurs << "qzf " << verbe << ": " << r.resultat.erreur << '\n';
        return 1;
    }
    sortie << resume << '\n';
    return 0;
}

int quiz(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    const QString verbe = QStringLiteral("quiz"), banque = p.positionalArguments().at(0);
    int statut = 0;
    const std::optional<classe::Choix> choix = lireChoix(p, verbe, banque, erreurs, &statut);
    if (!choix)
        return statut;
    if (!verifierBanque(banque, erreurs))
        return 1;
    classe::OptionsQuiz options;
    options.titre = p.value(kTitle);
    options.melanger = p.isSet(QStringLiteral("shuffle"));
    const classe::ResultatSortie r =
        classe::ecrireQuiz(echanges::CheminsBanque::pres(banque), *choix, options, cible(p, banque, QStringLiteral("-quiz.html")));
    return finir(verbe, r, QStringLiteral("{\"questions\":%1,\"seed\":%2}").arg(r.questions).arg(choix->graine), sortie,
                 erreurs);
}

int exam(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    const QString verbe = QStringLiteral("exam"), banque = p.positionalArguments().at(0);
    int statut = 0;
    const std::optional<classe::Choix> choix = lireChoix(p, verbe, banque, erreurs, &statut);
    if (!choix)
        return statut;
    classe::OptionsSujets options;
    options.titre = p.value(kTitle);
    options.date = p.value(QStringLiteral("date"));
    bool ok = false;
    options.versions = p.value(QStringLiteral("versions")).toInt(&ok);
    if (!ok || options.versions < 1 || options.versions > classe::VersionsMax)
        return erreurUsage(erreurs, verbe,
                           QStringLiteral("--versions takes a whole number from 1 to %1 (not %2)")
                               .arg(classe::VersionsMax)
                               .arg(p.value(QStringLiteral("versions"))));
    options.feuilleReponses = p.isSet(QStringLiteral("answer-sheet"));
    if (p.isSet(QStringLiteral("student-number"))) {
        options.chiffresEleve = p.value(QStringLiteral("student-number")).toInt(&ok);
        if (!ok || options.chiffresEleve < 1 || options.chiffresEleve > classe::ChiffresEleveMax)
            return erreurUsage(erreurs, verbe,
                               QStringLiteral("--student-number takes a whole number from 1 to %1 (not %2)")
                                   .arg(classe::ChiffresEleveMax)
                                   .arg(p.value(QStringLiteral("student-number"))));
        options.feuilleReponses = true;
    }
    if (!verifierBanque(banque, erreurs))
        return 1;
    if (!classe::ecrireSujetsPdf) {
        erreurs << "qzf: this build of qzf cannot write PDF files\n";
        return 1;
    }
    const classe::ResultatSortie r = classe::ecrireSujetsPdf(echanges::CheminsBanque::pres(banque), *choix, options,
                                                             cible(p, banque, QStringLiteral("-sujets.pdf")), {});
    return finir(verbe, r,
                 QStringLiteral("{\"questions\":%1,\"versions\":%2,\"pages\":%3,\"seed\":%4%5}")
                     .arg(r.questions)
                     .arg(options.versions)
                     .arg(r.pages)
                     .arg(choix->graine)
                     .arg(r.corrige.isEmpty() ? QString() : QStringLiteral(",\"key\":") + chaineJson(r.corrige)),
                 sortie, erreurs);
}

} // namespace

Verbe verbeQuiz()
{
    return {QStringLiteral("quiz"), QStringLiteral("BANK [-o FILE]"),
            QStringLiteral("writes the chosen cards as one web page students take in a browser, offline\n"
                           "(pictures and sounds inside); prints the questions written and the seed"),
            {QStringLiteral("BANK")},
            {QStringLiteral("the bank, a .qzf question file")},
            [](QCommandLineParser &p) {
                declarerChoix(p, QStringLiteral("BANK-quiz.html"));
                p.addOption({QStringLiteral("shuffle"),
                             QStringLiteral("questions and answers in a random order, shuffled again\n"
                                            "each time the quiz is started over")});
            },
            quiz};
}

Verbe verbeExam()
{
    return {QStringLiteral("exam"), QStringLiteral("BANK [-o FILE] [--versions K] [--answer-sheet] [--student-number DIGITS]"),
            QStringLiteral("writes exam sheets as an A4 PDF: K versions shuffled differently, each with\n"
                           "its grid of boxes, then their answer keys; prints what it wrote and the seed.\n"
                           "With --answer-sheet, each version ends with an answer sheet a scanner reads\n"
                           "instead of the grid, and its key NAME.corrige.json is written beside NAME.pdf\n"
                           "(\"key\" in the line printed)"),
            {QStringLiteral("BANK")},
            {QStringLiteral("the bank, a .qzf question file")},
            [](QCommandLineParser &p) {
                declarerChoix(p, QStringLiteral("BANK-sujets.pdf"));
                p.addOption({QStringLiteral("versions"),
                             QStringLiteral("how many versions, 1 to %1 (default 1)").arg(classe::VersionsMax),
                             QStringLiteral("K"), QStringLiteral("1")});
                p.addOption({QStringLiteral("date"), QStringLiteral("the date printed (by default today's, in French)"),
                             QStringLiteral("TEXT")});
                p.addOption({QStringLiteral("answer-sheet"),
                             QStringLiteral("an answer sheet per version, to scan, and its key beside the PDF")});
                p.addOption({QStringLiteral("student-number"),
                             QStringLiteral("a student number of DIGITS digits (1 to %1) on the answer sheet;"
                                            " implies --answer-sheet")
                                 .arg(classe::ChiffresEleveMax),
                             QStringLiteral("DIGITS")});
            },
            exam};
}

} // namespace qzf
