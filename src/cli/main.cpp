#include "cli/qzf.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef QZF_PDF
#include "classroom/sujets_pdf.h"
#include "cli/verbes.h"
#include "output/mise_en_page.h"

#include <QGuiApplication>

// Only `print --pdf`, `exam` and `grade` draw pages, which needs Qt Gui (offscreen: no window is shown).
static bool pagesDemandees(int argc, char **argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "exam") == 0 || std::strcmp(argv[1], "grade") == 0))
        return true;
    if (argc < 2 || std::strcmp(argv[1], "print") != 0)
        return false;
    for (int i = 2; i < argc; ++i)
        for (const char *o : {"--pdf", "-pdf"})
            if (std::strncmp(argv[i], o, std::strlen(o)) == 0
                && (argv[i][std::strlen(o)] == '\0' || argv[i][std::strlen(o)] == '='))
                return true;
    return false;
}
#endif

int main(int argc, char **argv)
{
    std::unique_ptr<QCoreApplication> application;
#ifdef QZF_PDF
    listing::imprimerPdf = &imprimerEnPdf;
    classe::ecrireSujetsPdf = &classe::ecrireSujets;
    qzf::verbeGrade = &qzf::verbeGradeAvecImages;
    if (pagesDemandees(argc, argv)) {
        // Qt's notes about the desktop it runs on (no runtime folder...) are not the tool's output.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &texte) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", qPrintable(texte));
        });
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    if (!application)
        application = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
    QTextStream sortie(stdout);
    QTextStream erreurs(stderr);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    const int statut = qzf::executer(arguments, sortie, erreurs);
    sortie.flush();
    erreurs.flush();
    return statut;
}
