#include "cli/verbes.h"

#include "output/listing.h"
#include "output/transfert.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <optional>

namespace qzf {

namespace {

const QString kAll = QStringLiteral("all"), kMarked = QStringLiteral("marked"),
              kBetween = QStringLiteral("between-marks");

// The one selection option given; none when several or none are.
std::optional<Selection> selectionDonnee(const QCommandLineParser &p, bool parDefautToutes, QString *erreur)
{
    std::optional<Selection> s;
    int n = 0;
    for (const auto &[nom, valeur] : {std::pair{kAll, Selection::Toutes}, std::pair{kMarked, Selection::Marquees},
                                      std::pair{kBetween, Selection::EntreMarques}})
        if (p.isSet(nom)) {
            s = valeur;
            ++n;
        }
    if (n > 1) {
        *erreur = QStringLiteral("choose one of --all, --marked, --between-marks");
        return std::nullopt;
    }
    if (n == 0) {
        if (parDefautToutes)
            return Selection::Toutes;
        *erreur = QStringLiteral("choose --all, --marked or --between-marks");
    }
    return s;
}

void declarerSelection(QCommandLineParser &p, const QString &quoi)
{
    p.addOption({kAll, QStringLiteral("every card") + quoi});
    p.addOption({kMarked, QStringLiteral("the cards whose mark is not 0")});
    p.addOption({kBetween, QStringLiteral("the cards from a mark up to and including the next one;\n"
                                          "a last mark without a partner runs to the last card")});
}

int transfer(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    QString erreur;
    const std::optional<Selection> s = selectionDonnee(p, false, &erreur);
    if (!s)
        return erreurUsage(erreurs, QStringLiteral("transfer"), erreur);
    const QString source = p.positionalArguments().at(0), destination = p.positionalArguments().at(1);
    if (!verifierBanque(source, erreurs))
        return 1;
    const QFileInfo src(source), dst(destination);
    if (dst.exists() && src.canonicalFilePath() == dst.canonicalFilePath()) {
        erreurs << "qzf: " << destination << ": the destination is the source bank itself\n";
        return 1;
    }
    const ResultatTransfert r = transferer(source, destination, *s);
    if (!r.resultat) {
        erreurs << "qzf: " << r.resultat.erreur << '\n';
        return 1;
    }
    for (const QString &ligne : r.mediasNonCopies)
        erreurs << "qzf: " << ligne << '\n';
    sortie << r.copiees << '\n';
    return 0;
}

int print(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    const QString verbe = QStringLiteral("print");
    const std::pair<const char *, listing::Forme> formes[] = {{"quick", listing::Forme::Rapide},
                                                              {"detailed", listing::Forme::Detaillee},
                                                              {"light", listing::Forme::Allegee},
                                                              {"complete", listing::Forme::Complete}};
    std::optional<listing::Forme> forme;
    for (const auto &[nom, f] : formes) {
        if (!p.isSet(QLatin1String(nom)))
            continue;
        if (forme)
            return erreurUsage(erreurs, verbe, QStringLiteral("choose one of --quick, --detailed, --light, --complete"));
        forme = f;
    }
    if (!forme)
        return erreurUsage(erreurs, verbe, QStringLiteral("choose --quick, --detailed, --light or --complete"));
    QString erreur;
    const std::optional<Selection> s = selectionDonnee(p, true, &erreur);
    if (!s)
        return erreurUsage(erreurs, verbe, erreur);
    const bool dialogue = *forme == listing::Forme::Allegee || *forme == listing::Forme::Complete;
    if (!dialogue && *s != Selection::Toutes)
        return erreurUsage(erreurs, verbe, QStringLiteral("--quick and --detailed list every card"));
    const QString banque = p.positionalArguments().at(0);
    if (!verifierBanque(banque, erreurs))
        return 1;
    const QString nom = QFileInfo(banque).fileName();

    if (p.isSet(QStringLiteral("pdf"))) {
        if (!listing::imprimerPdf) {
            erreurs << "qzf: this build of qzf cannot write PDF files\n";
            return 1;
        }
        const listing::ResultatListing r =
            listing::imprimerPdf(p.value(QStringLiteral("pdf")), banque, nom, *forme, *s, {});
        if (!r.resultat) {
            erreurs << "qzf: " << r.resultat.erreur << '\n';
            return 1;
        }
        sortie << r.imprimees << '\n';
        return 0;
    }
    listing::SortieFlux texte(sortie);
    const listing::ResultatListing r = listing::imprimer(banque, nom, *forme, *s, texte);
    if (!r.resultat) {
        erreurs << "qzf: " << r.resultat.erreur << '\n';
        return 1;
    }
    return 0;
}

} // namespace

Verbe verbeTransfer()
{
    return {QStringLiteral("transfer"), QStringLiteral("SRC DEST --all|--marked|--between-marks"),
            QStringLiteral("appends the chosen cards of SRC to DEST (created when missing), their mark\n"
                           "set to 0, in one flushed write; prints the number of cards written"),
            {QStringLiteral("SRC"), QStringLiteral("DEST")},
            {QStringLiteral("the bank the cards come from, only read"),
             QStringLiteral("the bank they are appended to")},
            [](QCommandLineParser &p) { declarerSelection(p, QString()); },
            transfer};
}

Verbe verbePrint()
{
    return {QStringLiteral("print"), QStringLiteral("BANK --quick|--detailed|--light|--complete"),
            QStringLiteral("the printed listing of the bank, as UTF-8 text lines on standard output,\n"
                           "or as a PDF file with --pdf FILE"),
            {QStringLiteral("BANK")},
            {QStringLiteral("the bank, a .qzf question file")},
            [](QCommandLineParser &p) {
                p.addOption({QStringLiteral("quick"), QStringLiteral("the main window's quick listing: the questions")});
                p.addOption({QStringLiteral("detailed"),
                             QStringLiteral("the main window's detailed listing: questions, answers, comments")});
                p.addOption({QStringLiteral("light"),
                             QStringLiteral("the output dialog's light listing (heading with the bank's name)")});
                p.addOption({QStringLiteral("complete"),
                             QStringLiteral("the output dialog's complete listing, with answers and comments")});
                declarerSelection(p, QStringLiteral(" (the default; --light and --complete may choose)"));
                p.addOption({QStringLiteral("pdf"), QStringLiteral("writes the listing as pages into FILE"),
                             QStringLiteral("FILE")});
            },
            print};
}

} // namespace qzf
