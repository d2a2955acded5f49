// Any bytes as a card record, as a theme table, as Windows-1252 text and as typed text:
// nothing read is lost or changed, stored texts keep their widths, and a card's JSON line parses.
#include "cli/qzf.h"
#include "store/cp1252.h"
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "verifier.h"

namespace {

// The bytes a record or table of `taille` bytes is read from: the input, cut or zero-padded.
QByteArray complete(const char *octets, qsizetype n, qsizetype taille)
{
    QByteArray b(taille, '\0');
    std::memcpy(b.data(), octets, size_t(qMin(n, taille)));
    return b;
}

QByteArray jusquAuZero(const char *champ, int largeur)
{
    const void *zero = std::memchr(champ, 0, size_t(largeur));
    return QByteArray(champ, zero ? static_cast<const char *>(zero) - champ : largeur);
}

void verifierFiche(const char *octets, qsizetype n)
{
    const FicheQuestion f = FicheQuestion::depuisOctets(octets, n);
    VERIFIER(f.octets() == complete(octets, n, FicheQuestion::Taille));

    const QString json = qzf::ficheEnJson(7, f);
    VERIFIER(json.startsWith(QLatin1String("{\"n\":7,\"Question\":\"")) && json.endsWith(u'}'));
    VERIFIER(!json.contains(u'\n'));
    QJsonParseError erreur;
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8(), &erreur).object();
    VERIFIER(erreur.error == QJsonParseError::NoError);
    VERIFIER(o.value(QLatin1String("Question")).toString() == texte::brut(f.Question));
    VERIFIER(o.value(QLatin1String("Commentaire")).toString() == texte::brut(f.Commentaire));
    VERIFIER(o.value(QLatin1String("Auteur")).toString() == texte::brut(f.Auteur));
    VERIFIER(o.value(QLatin1String("FichierMedia")).toString() == texte::brut(f.FichierMedia));
    const QJsonArray reponses = o.value(QLatin1String("Reponse")).toArray();
    const QJsonArray bonnes = o.value(QLatin1String("BonneReponse")).toArray();
    VERIFIER(reponses.size() == 3 && bonnes.size() == 3);
    for (int k = 0; k < 3; ++k) {
        VERIFIER(reponses.at(k).toString() == texte::brut(f.Reponse[k]));
        VERIFIER(bonnes.at(k).toInt(1 << 20) == f.BonneReponse[k]);
    }
    VERIFIER(o.value(QLatin1String("NumTheme")).toInt(-1) == f.NumTheme);
    VERIFIER(o.value(QLatin1String("Marque")).toInt(1 << 20) == f.Marque);
    VERIFIER(o.value(QLatin1String("TailleImage")).toInt(1 << 20) == f.TailleImage);
    VERIFIER(o.size() == 10);

    // A field's text, stored back, gives the field's bytes up to its first zero, then spaces.
    const QString question = texte::brut(f.Question);
    VERIFIER(cp1252::encode(question) == jusquAuZero(f.Question, 200));
    const QString affiche = texte::affiche(f.Question);
    VERIFIER(!affiche.startsWith(u' ') && !affiche.endsWith(u' ') && question.contains(affiche));
}

void verifierTable(const char *octets, qsizetype n)
{
    TableThemes t = TableThemes::depuisOctets(octets, n);
    char sortie[TableThemes::Taille];
    t.versOctets(sortie);
    VERIFIER(QByteArray(sortie, TableThemes::Taille) == complete(octets, n, TableThemes::Taille));

    for (int i = -1; i <= TableThemes::NbSlots; ++i) {  // one slot beyond each end
        const QString nom = t.nom(i);
        const bool blanc = t.estBlanc(i);
        if (i < 0 || i >= TableThemes::NbSlots) {
            VERIFIER(nom.isEmpty() && blanc);
            continue;
        }
        const QByteArray slot = jusquAuZero(t.NomTheme[i], TableThemes::Largeur);
        VERIFIER(cp1252::encode(nom) == slot);
        VERIFIER(blanc == (slot.count(' ') == slot.size()));
    }

    // Storing each name again pads it with spaces and touches nothing else.
    const int slot = n > 0 ? quint8(octets[0]) % TableThemes::NbSlots : 0;
    const QByteArray nom = jusquAuZero(t.NomTheme[slot], TableThemes::Largeur);
    t.fixerNom(slot, t.nom(slot));
    char apres[TableThemes::Taille];
    t.versOctets(apres);
    QByteArray attendu = complete(octets, n, TableThemes::Taille);
    attendu.replace(slot * TableThemes::Largeur, TableThemes::Largeur,
                    nom + QByteArray(TableThemes::Largeur - nom.size(), ' '));
    VERIFIER(QByteArray(apres, TableThemes::Taille) == attendu);
}

void verifierTexte(const char *octets, qsizetype n)
{
    // Every byte string survives decoding and encoding.
    const QByteArray brut(octets, n);
    const QString texte = cp1252::decode(brut);
    VERIFIER(texte.size() == n);
    VERIFIER(cp1252::encode(texte) == brut);

    // The input read as UTF-16, as typed text: one byte per code point, in a field of any width.
    const QString tape(reinterpret_cast<const QChar *>(octets), n / 2);
    const QByteArray code = cp1252::encode(tape);
    VERIFIER(code.size() == tape.toUcs4().size());
    VERIFIER(cp1252::encode(cp1252::decode(code)) == code);
    const int largeur = n > 0 ? quint8(octets[n - 1]) % 210 : 0;
    QByteArray champ(largeur + 1, '\x55');
    texte::stocker(champ.data(), largeur, tape);
    const qsizetype gardes = qMin<qsizetype>(code.size(), largeur);
    VERIFIER(champ.left(gardes) == code.left(gardes));
    VERIFIER(champ.mid(gardes, largeur - gardes) == QByteArray(largeur - gardes, ' '));
    VERIFIER(champ.at(largeur) == '\x55');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *octets = reinterpret_cast<const char *>(data);
    const auto n = qsizetype(size);
    verifierFiche(octets, n);
    verifierTable(octets, n);
    verifierTexte(octets, n);
    return 0;
}
