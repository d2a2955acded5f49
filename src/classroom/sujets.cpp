#include "classroom/sujets.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace classe {

EcrireSujets ecrireSujetsPdf = nullptr;

QString dateEnFrancais(const QDate &date)
{
    static const char *const mois[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                       "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
    if (!date.isValid())
        return {};
    const QString jour = date.day() == 1 ? QStringLiteral("1er") : QString::number(date.day());
    return jour + u' ' + QString::fromUtf8(mois[date.month() - 1]) + u' ' + QString::number(date.year());
}

Sujets preparerSujets(const echanges::CheminsBanque &banque, const Choix &choix, const OptionsSujets &options)
{
    Sujets s;
    s.tirage = tirer(banque, choix);
    s.titre = options.titre.trimmed().isEmpty() ? titreParDefaut(banque) : options.titre.trimmed();
    s.date = options.date.trimmed().isEmpty() ? dateEnFrancais(QDate::currentDate()) : options.date.trimmed();
    s.dossierMedias = banque.medias;
    if (s.tirage.resultat && !s.tirage.questions.isEmpty())
        s.versions = versions(s.tirage.questions, qBound(1, options.versions, VersionsMax), choix.graine);
    s.banque = QFileInfo(banque.banque).absoluteFilePath();
    s.graine = choix.graine;
    s.feuilleReponses = options.feuilleReponses;
    s.chiffresEleve = options.feuilleReponses ? qBound(0, options.chiffresEleve, ChiffresEleveMax) : 0;
    s.examen = identifiantExamen(s);
    return s;
}

QString identifiantExamen(const Sujets &s)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    // Each part ends with a zero byte: "ab" + "c" and "a" + "bc" differ.
    for (const QString &partie : {s.titre, s.date, QString::number(s.graine), QString::number(s.versions.size())}) {
        h.addData(partie.toUtf8());
        h.addData(QByteArrayView("\0", 1));
    }
    for (const Question &q : s.tirage.questions)
        h.addData(QByteArray::number(q.fiche) + ',');
    // Upper case: the QR code then holds only characters of its compact alphanumeric mode.
    return QString::fromLatin1(h.result().toHex().left(10)).toUpper();
}

Corrige corrigeDesSujets(const Sujets &s)
{
    Corrige c;
    c.examen = s.examen;
    c.titre = s.titre;
    c.banque = s.banque;
    c.graine = s.graine;
    for (qsizetype v = 0; v < s.versions.size(); ++v) {
        VersionCorrigee version{int(v + 1), {}};
        for (qsizetype i = 0; i < s.versions[v].size(); ++i) {
            const Question &q = s.versions[v][i];
            version.questions << QuestionCorrigee{int(i + 1), q.fiche, q.texte, q.reponses, q.origines, q.bonne};
        }
        c.versions << version;
    }
    return c;
}

QString corrige(const QList<Question> &version)
{
    QString t;
    for (const Question &q : version)
        t += lettre(q.bonne);
    return t;
}

} // namespace classe
