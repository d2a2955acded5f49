#pragma once
#include "cli/qzf.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTextStream>

// qzf run in this process; the streams flush into the strings as they go out of scope.
inline int lancer(const QStringList &arguments, QString &out, QString &err)
{
    QTextStream sortie(&out), erreurs(&err);
    return qzf::executer(arguments, sortie, erreurs);
}

// The text of a PDF laid out as on the page.
inline QString pdfEnTexte(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
