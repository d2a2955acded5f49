#include "cli/verbes.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace qzf {

Verbe verbeFind()
{
    return {QStringLiteral("find"), QStringLiteral("BANK"), QStringLiteral("finds a card (not built yet)"),
            {QStringLiteral("BANK")}, {QStringLiteral("the bank, a .qzf question file")}, {},
            [](const QCommandLineParser &, QTextStream &, QTextStream &e) {
                e << "qzf find: not built yet\n";
                return 2;
            }};
}

} // namespace qzf
