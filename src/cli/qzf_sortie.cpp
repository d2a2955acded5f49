#include "cli/verbes.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace qzf {

Verbe verbeTransfer()
{
    return {QStringLiteral("transfer"), QStringLiteral("SRC DEST"), QStringLiteral("copies cards (not built yet)"),
            {QStringLiteral("SRC"), QStringLiteral("DEST")}, {}, {},
            [](const QCommandLineParser &, QTextStream &, QTextStream &e) {
                e << "qzf transfer: not built yet\n";
                return 2;
            }};
}

Verbe verbePrint()
{
    return {QStringLiteral("print"), QStringLiteral("BANK"), QStringLiteral("prints a listing (not built yet)"),
            {QStringLiteral("BANK")}, {}, {},
            [](const QCommandLineParser &, QTextStream &, QTextStream &e) {
                e << "qzf print: not built yet\n";
                return 2;
            }};
}

} // namespace qzf
