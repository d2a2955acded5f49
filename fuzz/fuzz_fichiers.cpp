// Any bytes as a bank file, as the journal beside a bank, or as a theme file, read from a real
// disk the way an opening reads them (the reader chosen by LECTEUR). Nothing crashes, every
// card of the file is read as its own bytes, a journal is played whole or not at all and never
// stays behind, and a theme file is read as its first 340 bytes.
#include "store/disque.h"
#include "store/fichierquestions.h"
#include "store/tablethemes.h"

#include <QByteArray>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include "verifier.h"

namespace {

// A folder of our own in memory where the machine has one: a disk would slow every run.
const QString &dossier()
{
    static const QString d = [] {
        char modele[] = "/dev/shm/orbelin-fuzz-XXXXXX";
        char *cree = ::mkdtemp(modele);
        if (!cree) {
            std::strcpy(modele, "/tmp/orbelin-fuzz-XXXXXX");
            cree = ::mkdtemp(modele);
        }
        VERIFIER(cree != nullptr);
        return QString::fromLocal8Bit(cree);
    }();
    return d;
}

void poser(const QString &chemin, const QByteArray &octets)
{
    QFile f(chemin);
    VERIFIER(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    VERIFIER(f.write(octets) == octets.size());
}

QByteArray lireTout(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

[[maybe_unused]] void banque(const QByteArray &octets)
{
    const QString chemin = dossier() + QStringLiteral("/BASE.QZF");
    poser(chemin, octets);
    FichierQuestions f;
    VERIFIER(f.ouvrir(chemin, FichierQuestions::Mode::Lecture));
    const int n = f.nombre();
    VERIFIER(n == nombreDeFiches(octets.size()));
    for (int i : {0, 1, 2, n - 1, n, n + 1}) {
        const QByteArray lu = f.lire(i).octets();
        QByteArray attendu(FicheQuestion::Taille, '\0');
        if (i >= 1 && i <= n) {
            const QByteArray tranche = octets.mid(qsizetype(i - 1) * FicheQuestion::Taille, FicheQuestion::Taille);
            attendu.replace(0, tranche.size(), tranche);
        }
        VERIFIER(lu == attendu);
    }
    const ComptesThemes c = f.compterThemes();
    int total = c.horsThemes;
    for (int t : c.parTheme)
        total += t;
    VERIFIER(total == n);
}

[[maybe_unused]] void journal(const QByteArray &octets)
{
    // A bank of two cards whose bytes are all 'A', and the input as its journal.
    const QString chemin = dossier() + QStringLiteral("/BASE.QZF");
    const QByteArray avant(2 * FicheQuestion::Taille, 'A');
    poser(chemin, avant);
    poser(disque::cheminJournal(chemin), octets);
    reprendreBanque(chemin);
    VERIFIER(!QFile::exists(disque::cheminJournal(chemin)));
    const QByteArray apres = lireTout(chemin);
    // Untouched, cut back, or one stretch of at most a record written over it.
    if (apres.size() < avant.size()) {
        VERIFIER(apres == avant.left(apres.size()));
        return;
    }
    qsizetype premier = 0, dernier = apres.size();
    while (premier < avant.size() && apres.at(premier) == avant.at(premier))
        ++premier;
    while (dernier > premier && dernier <= avant.size() && apres.at(dernier - 1) == 'A')
        --dernier;
    VERIFIER(dernier - premier <= FicheQuestion::Taille || apres.size() > avant.size());
}

[[maybe_unused]] void themes(const QByteArray &octets)
{
    const QString chemin = dossier() + QStringLiteral("/BASE.prm");
    poser(chemin, octets);
    TableThemes t;
    VERIFIER(lireThemes(chemin, t, false));
    char lus[TableThemes::Taille];
    t.versOctets(lus);
    QByteArray attendu(TableThemes::Taille, '\0');
    attendu.replace(0, qMin<qsizetype>(octets.size(), TableThemes::Taille), octets.left(TableThemes::Taille));
    VERIFIER(QByteArray(lus, TableThemes::Taille) == attendu);
    for (int i = 0; i < TableThemes::NbThemes; ++i)
        VERIFIER(t.nom(i).size() <= TableThemes::Largeur);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LECTEUR(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
