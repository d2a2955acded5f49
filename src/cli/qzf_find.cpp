#include "cli/verbes.h"

#include "search/recherche.h"
#include "store/fichierquestions.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace qzf {
namespace {

const QString kFind = QStringLiteral("find");

int chercher(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    using recherche::Option;
    const std::pair<const char *, Option> criteres[] = {
        {"number", Option::Numero}, {"text", Option::Texte}, {"mark", Option::Marque}, {"media", Option::Media}};
    int donnes = 0;
    recherche::Demande demande;
    for (const auto &[nom, option] : criteres) {
        if (p.isSet(QLatin1String(nom))) {
            ++donnes;
            demande.option = option;
        }
    }
    if (donnes != 1)
        return erreurUsage(erreurs, kFind, QStringLiteral("give exactly one of --number, --text, --mark, --media"));
    demande.numero = p.value(QStringLiteral("number"));
    demande.texte = p.value(QStringLiteral("text"));
    demande.sansAccents = p.isSet(QStringLiteral("fold"));
    if (demande.sansAccents && demande.option != Option::Texte)
        return erreurUsage(erreurs, kFind, QStringLiteral("--fold goes with --text"));

    bool entier = false;
    const int depuis = p.value(QStringLiteral("from")).toInt(&entier);
    if (!entier)
        return erreurUsage(erreurs, kFind, QStringLiteral("--from takes a card number"));

    const QString banque = p.positionalArguments().at(0);
    if (!verifierBanque(banque, erreurs))
        return 1;
    int nbFiches = 0;
    {
        FichierQuestions f;
        if (Resultat r = f.ouvrir(banque, FichierQuestions::Mode::Lecture); !r) {
            erreurs << "qzf: " << r.erreur << '\n';
            return 1;
        }
        nbFiches = f.nombre();
    }
    // An empty bank still shows card 1 (blank) in the editor.
    if (depuis < 1 || depuis > qMax(nbFiches, 1))
        return erreurUsage(erreurs, kFind,
                           QStringLiteral("--from %1 is not between 1 and %2").arg(depuis).arg(qMax(nbFiches, 1)));

    const recherche::Conclusion c = recherche::rechercher(banque, demande, depuis, nbFiches);
    if (!c.lecture) {
        erreurs << "qzf: " << c.lecture.erreur << '\n';
        return 1;
    }
    if (!c.message.isEmpty()) {
        erreurs << c.message << '\n';
        return 1;
    }
    sortie << c.numFiche << '\n';
    return 0;
}

} // namespace

Verbe verbeFind()
{
    Verbe v;
    v.nom = kFind;
    v.syntaxe = QStringLiteral("BANK CRITERION");
    v.resume = QStringLiteral(
        "the card the search window goes to from card --from N (1 by default), by one\n"
        "criterion: --number TEXT, --text TEXT, --mark or --media; prints its number");
    v.positionnels = {QStringLiteral("BANK")};
    v.descriptionsPositionnels = {QStringLiteral("the bank, a .qzf question file")};
    v.declarer = [](QCommandLineParser &p) {
        p.addOption({QStringLiteral("number"),
                     QStringLiteral("the card of that number, read as the window reads it (\" 7 \", \"7abc\", \"2.5\")"),
                     QStringLiteral("TEXT")});
        p.addOption({QStringLiteral("text"),
                     QStringLiteral("the next card whose question contains TEXT, as typed (not trimmed), "
                                    "small and capital letters alike"),
                     QStringLiteral("TEXT")});
        p.addOption({QStringLiteral("fold"),
                     QStringLiteral("with --text: accents, cedillas and the ligatures oe, ae set aside\n"
                                    "(\"prefecture\" finds \"préfecture\", \"coeur\" finds \"cœur\")")});
        p.addOption({QStringLiteral("mark"), QStringLiteral("the next marked card")});
        p.addOption({QStringLiteral("media"), QStringLiteral("the next card with a sound or picture file")});
        p.addOption({QStringLiteral("from"),
                     QStringLiteral("the card on screen, from 1; the search goes on from card 1 after the last"),
                     QStringLiteral("N"), QStringLiteral("1")});
    };
    v.executer = chercher;
    return v;
}

} // namespace qzf
