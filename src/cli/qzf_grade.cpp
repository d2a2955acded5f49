#include "cli/verbes.h"

#include "correction/scans.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace qzf {

namespace {

int grade(const QCommandLineParser &p, QTextStream &sortie, QTextStream &erreurs)
{
    const QString verbe = QStringLiteral("grade");
    const QStringList arguments = p.positionalArguments();
    const QString cle = arguments.at(0);
    auto echec = [&](const QString &texte) {
        erreurs << "qzf grade: " << texte << '\n';
        return 1;
    };
    classe::Corrige corrige;
    if (const Resultat r = classe::lireCorrige(cle, corrige); !r)
        return echec(r.erreur);
    QList<correction::Eleve> eleves;
    if (p.isSet(QStringLiteral("classe")))
        if (const Resultat r = correction::lireClasse(p.value(QStringLiteral("classe")), eleves); !r)
            return echec(r.erreur);

    correction::Correction c = correction::corriger(corrige, arguments.mid(1));
    for (const QString &e : c.erreurs)
        erreurs << "qzf grade: " << e << '\n';
    const QStringList ignorees = c.ignorees();
    for (const QString &e : ignorees)
        erreurs << "qzf grade: " << e << '\n';
    if (c.copies.isEmpty())
        return echec(QStringLiteral("aucune feuille de réponses de cet examen dans les pages lues."));
    if (p.isSet(QStringLiteral("decisions")))
        if (const Resultat r = correction::appliquerDecisions(p.value(QStringLiteral("decisions")), c.copies, corrige); !r)
            return echec(r.erreur);
    for (const QString &e : correction::nommer(c.copies, eleves))
        erreurs << "qzf grade: " << e << '\n';
    const QStringList doutes = correction::doutes(c.copies);
    for (const QString &e : doutes)
        erreurs << "qzf grade: " << e << '\n';

    QString resultats = p.value(QStringLiteral("output"));
    if (resultats.isEmpty())
        resultats = classe::aCoteDuCorrige(cle, QStringLiteral(".resultats.csv"));
    if (const Resultat r = correction::ecrireResultats(resultats, c.copies, corrige); !r)
        return echec(r.erreur);
    QJsonObject resume{{QStringLiteral("pages"), int(c.scans.size())},
                       {QStringLiteral("copies"), int(c.copies.size())},
                       {QStringLiteral("skipped"), int(ignorees.size())},
                       {QStringLiteral("doubtful"), int(doutes.size())},
                       {QStringLiteral("results"), resultats}};
    if (p.isSet(QStringLiteral("annote"))) {
        const QString annote = p.value(QStringLiteral("annote"));
        if (const Resultat r = correction::ecrireCopiesAnnotees(annote, c, corrige); !r)
            return echec(r.erreur);
        resume.insert(QStringLiteral("annotated"), annote);
    }
    sortie << QJsonDocument(resume).toJson(QJsonDocument::Compact) << '\n';
    Q_UNUSED(verbe);
    return 0;
}

} // namespace

Verbe verbeGradeAvecImages()
{
    return {QStringLiteral("grade"), QStringLiteral("KEY SCAN... [-o RESULTS.csv]"),
            QStringLiteral("marks scanned answer sheets (PDF, PNG, JPEG or TIFF) against the exam's key\n"
                           "(NAME.corrige.json from qzf exam --answer-sheet); writes one line per copy"),
            {QStringLiteral("KEY"), QStringLiteral("SCAN")},
            {QStringLiteral("the exam's key, NAME.corrige.json"),
             QStringLiteral("the scanned pages: PDF files or pictures, in any order")},
            [](QCommandLineParser &p) {
                p.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                             QStringLiteral("the results file, \";\"-separated UTF-8 (by default NAME.resultats.csv\n"
                                            "beside KEY): copie;eleve;nom;version;note_sur_20;points;Q1;Q2;..."),
                             QStringLiteral("FILE")});
                p.addOption({QStringLiteral("classe"),
                             QStringLiteral("the class list, \"numero;nom;prenom;classe\": names each copy\n"
                                            "from the student number read"),
                             QStringLiteral("FILE")});
                p.addOption({QStringLiteral("annote"),
                             QStringLiteral("also writes every answer sheet read, with the boxes read outlined\n"
                                            "(green right, red wrong, orange doubtful) and the mark, as a PDF"),
                             QStringLiteral("FILE")});
                p.addOption({QStringLiteral("decisions"),
                             QStringLiteral("the teacher's decisions on doubtful answers, one per line:\n"
                                            "\"copie;question;letters\" (letters A, B, C, or nothing for none)\n"
                                            "or \"copie;eleve;NUMBER\""),
                             QStringLiteral("FILE")});
            },
            grade,
            true};
}

} // namespace qzf
