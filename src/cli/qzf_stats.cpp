#include "cli/verbes.h"

#include "analyse/analyse.h"
#include "exchange/echanges.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace qzf {

namespace {

bool estPage(const QString &fichier)
{
    const QString ext = QFileInfo(fichier).suffix().toLower();
    return ext == QLatin1String("html") || ext == QLatin1String("htm");
}

int stats(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    const QString verbe = QStringLiteral("stats");
    const QStringList a = p.positionalArguments();
    const bool quiz = estPage(a[0]);
    if (!quiz && a.size() > 2)
        return erreurUsage(erreurs, verbe, QStringLiteral("a key takes one results file (unexpected argument %1)").arg(a[2]));
    if (quiz && p.isSet(QStringLiteral("history")) && !p.isSet(QStringLiteral("bank")))
        return erreurUsage(erreurs, verbe, QStringLiteral("--history with a quiz page needs --bank"));
    auto echec = [&](const Resultat &r) {
        erreurs << "qzf stats: " << r.erreur << '\n';
        return 1;
    };

    analyse::Epreuve epreuve;
    if (quiz) {
        analyse::PageQuiz page;
        if (Resultat r = analyse::lirePageQuiz(a[0], page); !r)
            return echec(r);
        for (const QString &f : a.mid(1))
            if (Resultat r = analyse::ajouterResultatQuiz(f, page); !r)
                return echec(r);
        epreuve = std::move(page.epreuve);
    } else {
        classe::Corrige corrige;
        QList<analyse::LigneResultats> lignes;
        if (Resultat r = classe::lireCorrige(a[0], corrige); !r)
            return echec(r);
        if (Resultat r = analyse::lireResultats(a[1], lignes); !r)
            return echec(r);
        if (Resultat r = analyse::epreuveDepuisCorrige(corrige, lignes, epreuve); !r)
            return echec(Resultat::echec(QStringLiteral("« %1 », %2.").arg(QFileInfo(a[1]).fileName(), r.erreur)));
    }

    analyse::Analyse resultat = analyse::analyser(epreuve);
    const QString banque = p.isSet(QStringLiteral("bank")) ? p.value(QStringLiteral("bank")) : epreuve.banque;
    const QDateTime maintenant = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    if (!banque.isEmpty()) {
        const QString medias = echanges::CheminsBanque::pres(banque).medias;
        analyse::joindreHistorique(medias, resultat, maintenant);
        if (p.isSet(QStringLiteral("history")))
            if (Resultat r = analyse::ecrireHistorique(medias, resultat, maintenant); !r)
                return echec(r);
    }
    sortie << (p.isSet(QStringLiteral("json")) ? analyse::enJson(resultat) + u'\n' : analyse::enTexte(resultat));
    return 0;
}

} // namespace

Verbe verbeStats()
{
    Verbe v{QStringLiteral("stats"), QStringLiteral("KEY RESULTS | PAGE ANSWERS..."),
            QStringLiteral("which questions worked: for each card the share right, its discrimination,\n"
                           "the answers chosen and warnings; mean, median, spread and KR-20 of the test.\n"
                           "From an exam's key (NAME.corrige.json) and its RESULTS.csv, or from a quiz\n"
                           "page and the answer files its students saved"),
            {QStringLiteral("SOURCE"), QStringLiteral("RESULTS")},
            {QStringLiteral("the exam's key (.corrige.json) or the quiz page (.html)"),
             QStringLiteral("the marking's RESULTS.csv, or one or more NAME-quiz.json answer files")},
            [](QCommandLineParser &p) {
                p.addOption({QStringLiteral("json"), QStringLiteral("one JSON object instead of the French table")});
                p.addOption({QStringLiteral("history"),
                             QStringLiteral("keeps this analysis in the bank's media folder (analyses.csv),\n"
                                            "so that the next one shows each card's previous p and r;\n"
                                            "without it the history is only read")});
                p.addOption({QStringLiteral("bank"),
                             QStringLiteral("the bank of the cards, whose media folder keeps the history\n"
                                            "(by default the bank the key names)"),
                             QStringLiteral("BANK")});
            },
            stats};
    v.dernierRepete = true;
    return v;
}

} // namespace qzf
