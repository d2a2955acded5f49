#include "cli/verbes.h"
#include "exchange/echanges.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qzf {

namespace {

const QString kFormats = QStringLiteral("gift, moodle-xml, qti or csv");

} // namespace

Verbe verbeExport()
{
    return {QStringLiteral("export"), QStringLiteral("BANK --to FORMAT"),
            QStringLiteral("writes the bank as GIFT, Moodle XML, an IMS QTI 2.1 package or CSV\n"
                           "(with its themes and media), then prints the report"),
            {QStringLiteral("BANK")},
            {QStringLiteral("the bank, a .qzf question file")},
            [](QCommandLineParser &p) {
                p.addOption({QStringLiteral("to"), QStringLiteral("The format: ") + kFormats + u'.', QStringLiteral("FORMAT")});
                p.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                             QStringLiteral("The file to write; by default beside BANK, named after it\n"
                                            "(.gift, .xml, .zip or .csv)."),
                             QStringLiteral("OUT")});
                p.addOption({QStringLiteral("separator"), QStringLiteral("CSV: the field separator, ; (default) or ,"),
                             QStringLiteral("SEP"), QStringLiteral(";")});
                p.addOption({QStringLiteral("shuffle"),
                             QStringLiteral("Moodle XML and QTI: ask the platform to shuffle the answers.")});
            },
            [](const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs) {
                const QString banque = p.positionalArguments().at(0);
                if (!p.isSet(QStringLiteral("to")))
                    return erreurUsage(erreurs, QStringLiteral("export"), QStringLiteral("missing --to FORMAT"));
                const auto format = echanges::formatDepuisCle(p.value(QStringLiteral("to")));
                if (!format)
                    return erreurUsage(erreurs, QStringLiteral("export"),
                                       QStringLiteral("unknown format %1 (%2)").arg(p.value(QStringLiteral("to")), kFormats));
                const QString separateur = p.value(QStringLiteral("separator"));
                if (separateur != QLatin1String(";") && separateur != QLatin1String(","))
                    return erreurUsage(erreurs, QStringLiteral("export"),
                                       QStringLiteral("the separator is ; or , (not %1)").arg(separateur));
                if (!verifierBanque(banque, erreurs))
                    return 1;
                const QFileInfo info(banque);
                const QString cible = p.isSet(QStringLiteral("output"))
                                          ? p.value(QStringLiteral("output"))
                                          : info.dir().filePath(info.completeBaseName() + u'.' + echanges::extension(*format));
                echanges::OptionsExport options;
                options.format = *format;
                options.separateur = separateur.at(0);
                options.melanger = p.isSet(QStringLiteral("shuffle"));
                echanges::Rapport rapport;
                if (Resultat r = echanges::exporter(echanges::CheminsBanque::pres(banque), cible, options, rapport); !r) {
                    erreurs << "qzf export: " << r.erreur << '\n';
                    return 1;
                }
                sortie << rapport.texte();
                return 0;
            }};
}

Verbe verbeImport()
{
    return {QStringLiteral("import"), QStringLiteral("FILE BANK"),
            QStringLiteral("appends the multiple-choice questions of a GIFT, Moodle XML, CSV file or\n"
                           "IMS QTI 2.1 package to the bank (created when missing), then prints the\n"
                           "report; exit status 1 when nothing could be imported"),
            {QStringLiteral("FILE"), QStringLiteral("BANK")},
            {QStringLiteral("the file to import"), QStringLiteral("the bank, a .qzf question file")},
            [](QCommandLineParser &p) {
                p.addOption({QStringLiteral("from"),
                             QStringLiteral("The file's format: ") + kFormats + QStringLiteral("; guessed from its content by default."),
                             QStringLiteral("FORMAT")});
                p.addOption({QStringLiteral("three-answers"),
                             QStringLiteral("A question with four answers or more keeps its right answer and "
                                            "its first two wrong ones (the report names those left out); by "
                                            "default it is not imported.")});
            },
            [](const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs) {
                const QString fichier = p.positionalArguments().at(0);
                const QString banque = p.positionalArguments().at(1);
                echanges::OptionsImport options;
                options.troisReponses = p.isSet(QStringLiteral("three-answers"));
                std::optional<echanges::Format> &format = options.format;
                if (p.isSet(QStringLiteral("from"))) {
                    format = echanges::formatDepuisCle(p.value(QStringLiteral("from")));
                    if (!format)
                        return erreurUsage(erreurs, QStringLiteral("import"),
                                           QStringLiteral("unknown format %1 (%2)").arg(p.value(QStringLiteral("from")), kFormats));
                }
                if (!verifierBanque(fichier, erreurs))
                    return 1;
                if (QFileInfo::exists(banque) && !verifierBanque(banque, erreurs))
                    return 1;
                const echanges::ResultatImport r = echanges::importer(echanges::CheminsBanque::pres(banque), fichier, options);
                if (!r.resultat) {
                    erreurs << "qzf import: " << r.resultat.erreur << '\n';
                    return 1;
                }
                sortie << r.rapport.texte();
                return r.rapport.fiches > 0 ? 0 : 1;
            }};
}

} // namespace qzf
