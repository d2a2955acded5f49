#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class QCommandLineParser;
class QTextStream;

namespace qzf {

// One verb of the tool. Each verb reads its own options with QCommandLineParser and has
// its own --help; the positional arguments are checked before `executer` runs.
struct Verbe {
    QString nom;
    QString syntaxe;      // e.g. "BANK N", shown in qzf --help
    QString resume;       // one line for qzf --help
    QStringList positionnels;  // names of the positional arguments, all required
    QStringList descriptionsPositionnels;
    std::function<void(QCommandLineParser &)> declarer;  // adds the verb's options (may be empty)
    std::function<int(const QCommandLineParser &, QTextStream &sortie, QTextStream &erreurs)> executer;
    bool dernierRepete = false;  // the last positional argument may be given several times
    // The positional argument naming the bank the verb writes, -1 for a verb that only reads:
    // the tool holds that bank's lock while the verb runs and refuses a bank someone else holds.
    int banqueEcrite = -1;
};

// Prints "qzf VERB: TEXT" and the pointer to the verb's help; returns the usage status 2.
int erreurUsage(QTextStream &erreurs, const QString &verbe, const QString &texte);
// The checks every verb that reads a bank makes first: it exists and is a readable file.
bool verifierBanque(const QString &banque, QTextStream &erreurs);

// Verbs defined beside the subsystems they drive.
Verbe verbeFind();
Verbe verbeTransfer();
Verbe verbePrint();
Verbe verbeExport();
Verbe verbeImport();
Verbe verbeQuiz();
Verbe verbeExam();
Verbe verbeTrash();
Verbe verbeRestore();
Verbe verbeDuplicates();
Verbe verbeRetheme();
Verbe verbeList();
Verbe verbeStats();
// Marking scans reads pictures, which needs Qt Gui: qzf's program sets it; it stays null
// where only Qt Core is linked.
extern Verbe (*verbeGrade)();
Verbe verbeGradeAvecImages();

} // namespace qzf
