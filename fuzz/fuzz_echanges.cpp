// Any bytes as a file to import (one target per format, the reader chosen by LECTEUR): the
// reader never crashes, and what it accepts is what the import step expects, a question
// with three non-empty answers and one right answer, texts cleaned of what a card cannot hold.
#include "exchange/formats.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "verifier.h"

namespace {

bool propre(const QString &t)
{
    if (t != t.trimmed())
        return false;
    for (QChar c : t)
        if ((c.unicode() < 0x20 && c != u'\n' && c != u'\t') || c.unicode() == 0xA0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *donnees, size_t taille)
{
    const QByteArray contenu(reinterpret_cast<const char *>(donnees), qsizetype(taille));
    const echanges::Lecture l = echanges::LECTEUR(contenu, QStringLiteral("essai"));
    if (!l.resultat) {
        VERIFIER(!l.resultat.erreur.isEmpty());
        return 0;
    }
    for (const echanges::Question &q : l.questions) {
        VERIFIER(q.bonne >= 1 && q.bonne <= 3);
        VERIFIER(!q.question.isEmpty() || !q.media.isEmpty());
        VERIFIER(propre(q.question) && propre(q.commentaire));
        for (const QString &r : q.reponses)
            VERIFIER(!r.isEmpty() && propre(r));
        VERIFIER(!q.lieu.isEmpty());
        if (q.mediaEmbarque)
            VERIFIER(q.codeMedia == 1 || q.codeMedia == 2 || q.codeMedia == 3 || q.codeMedia == 10);
    }
    for (const echanges::Remarque &r : l.remarques)
        VERIFIER(!r.texte.isEmpty());
    return 0;
}
