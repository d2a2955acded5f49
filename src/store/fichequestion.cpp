#include "store/fichequestion.h"
#include "store/cp1252.h"

#include <cstring>

namespace texte {

void stocker(char *champ, int largeur, const QString &valeur)
{
    const QByteArray octets = cp1252::encode(valeur);
    const int n = int(qMin<qsizetype>(octets.size(), largeur));
    std::memcpy(champ, octets.constData(), size_t(n));
    std::memset(champ + n, ' ', size_t(largeur - n));
}

Perte perte(const QString &valeur, int largeur)
{
    Perte p;
    qsizetype octets = 0;
    for (qsizetype i = 0; i < valeur.size(); ++i, ++octets) {
        char32_t c = valeur.at(i).unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            continue;
        qsizetype n = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < valeur.size() && valeur.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(valeur.at(i), valeur.at(i + 1));
            n = 2;
        }
        if (cp1252::versOctet(c) < 0 && !p.horsPage.contains(valeur.mid(i, n)))
            p.horsPage += valeur.mid(i, n);
        i += n - 1;
    }
    p.coupes = qMax<qsizetype>(0, octets - largeur);
    return p;
}

QString brut(const char *champ, int largeur)
{
    const void *zero = std::memchr(champ, 0, size_t(largeur));
    const qsizetype n = zero ? static_cast<const char *>(zero) - champ : largeur;
    return cp1252::decode(champ, n);
}

QString sansEspaces(const QString &valeur)
{
    qsizetype debut = 0, fin = valeur.size();
    while (debut < fin && valeur.at(debut) == u' ')
        ++debut;
    while (fin > debut && valeur.at(fin - 1) == u' ')
        --fin;
    return valeur.mid(debut, fin - debut);
}

} // namespace texte

namespace {

void poser16(char *p, qint16 v)
{
    const auto u = quint16(v);
    p[0] = char(u & 0xFF);
    p[1] = char(u >> 8);
}

qint16 lire16(const char *p)
{
    return qint16(quint16(quint8(p[0])) | quint16(quint8(p[1])) << 8);
}

} // namespace

FicheQuestion FicheQuestion::depuisOctets(const char *octets, qsizetype n)
{
    char b[Taille] = {};
    if (n > 0)
        std::memcpy(b, octets, size_t(qMin<qsizetype>(n, Taille)));
    FicheQuestion f;
    std::memcpy(f.Question, b + offsets::Question, sizeof f.Question);
    std::memcpy(f.Reponse, b + offsets::Reponse, sizeof f.Reponse);
    std::memcpy(f.Commentaire, b + offsets::Commentaire, sizeof f.Commentaire);
    for (int k = 0; k < 3; ++k)
        f.BonneReponse[k] = lire16(b + offsets::BonneReponse + 2 * k);
    f.NumTheme = quint8(b[offsets::NumTheme]);
    f.Marque = lire16(b + offsets::Marque);
    std::memcpy(f.Auteur, b + offsets::Auteur, sizeof f.Auteur);
    std::memcpy(f.FichierMedia, b + offsets::FichierMedia, sizeof f.FichierMedia);
    f.TailleImage = lire16(b + offsets::TailleImage);
    return f;
}

void FicheQuestion::versOctets(char *b) const
{
    std::memcpy(b + offsets::Question, Question, sizeof Question);
    std::memcpy(b + offsets::Reponse, Reponse, sizeof Reponse);
    std::memcpy(b + offsets::Commentaire, Commentaire, sizeof Commentaire);
    for (int k = 0; k < 3; ++k)
        poser16(b + offsets::BonneReponse + 2 * k, BonneReponse[k]);
    b[offsets::NumTheme] = char(NumTheme);
    poser16(b + offsets::Marque, Marque);
    std::memcpy(b + offsets::Auteur, Auteur, sizeof Auteur);
    std::memcpy(b + offsets::FichierMedia, FichierMedia, sizeof FichierMedia);
    poser16(b + offsets::TailleImage, TailleImage);
}

QByteArray FicheQuestion::octets() const
{
    QByteArray b(Taille, Qt::Uninitialized);
    versOctets(b.data());
    return b;
}
