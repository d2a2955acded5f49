#pragma once
#include <QString>
#include <QStringList>

class QTextStream;
struct FicheQuestion;
struct ComptesThemes;

namespace qzf {

// One card as one line of JSON: texts up to their first zero byte, not trimmed.
QString ficheEnJson(int numero, const FicheQuestion &fiche);
QString comptesEnJson(const ComptesThemes &comptes);

// Runs the tool on its arguments (without the program name); returns the exit status.
int executer(const QStringList &arguments, QTextStream &sortie, QTextStream &erreurs);

} // namespace qzf
