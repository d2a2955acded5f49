#include "classroom/sujets.h"

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
    return s;
}

QString corrige(const QList<Question> &version)
{
    QString t;
    for (const Question &q : version)
        t += lettre(q.bonne);
    return t;
}

} // namespace classe
