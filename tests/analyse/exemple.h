#pragma once
// The class worked out by hand for the analysis tests: cards 4, 7, 9 and 12 in two versions
// (the second one shuffled, answers included), six copies. Card 4 everybody gets right, card
// 12 nobody; copies 1, 2 and 5 tie at the top, 4 and 6 at the bottom: 1 and 2 make the upper
// group, 6 and 3 the lower one.
#include "classroom/corrige.h"

#include <QByteArray>

namespace exemple {

inline classe::QuestionCorrigee question(int numero, int fiche, QList<int> origines, int bonne)
{
    classe::QuestionCorrigee q;
    q.numero = numero;
    q.fiche = fiche;
    q.question = QStringLiteral("Question de la fiche %1 ?").arg(fiche);
    for (int o : origines)
        q.reponses << QStringLiteral("réponse %1 de la fiche %2").arg(o).arg(fiche);
    q.origines = origines;
    q.bonne = bonne;
    return q;
}

inline classe::Corrige corrige(const QString &banque)
{
    classe::Corrige c;
    c.examen = QStringLiteral("0123456789");
    c.titre = QStringLiteral("Contrôle");
    c.banque = banque;
    c.versions = {{1, {question(1, 4, {1, 2, 3}, 0), question(2, 7, {1, 2, 3}, 1), question(3, 9, {1, 2, 3}, 2),
                       question(4, 12, {1, 2, 3}, 0)}},
                  {2, {question(1, 12, {2, 3, 1}, 2), question(2, 9, {3, 1, 2}, 0), question(3, 7, {1, 3, 2}, 2),
                       question(4, 4, {3, 2, 1}, 2)}}};
    return c;
}

// As the marking writes it, CRLF and a last empty line included.
inline const QByteArray kResultats = "copie;eleve;nom;version;note_sur_20;points;Q1;Q2;Q3;Q4\r\n"
                                     "1;1001;;1;15;3;A;B;C;B\r\n"
                                     "2;1002;;2;15;3;A;A;C;C\r\n"
                                     "3;;\"Élève; trois\";1;5;1;A;C;;C\r\n"
                                     "4;1004;;2;10;2;B;AB;C;C\r\n"
                                     "5;1005;;1;15;3;A;B;C;?\r\n"
                                     "6;1006;;1;10;2;A;A;C;B\r\n"
                                     "\r\n";

// What qzf stats --json says of it.
inline const QString kJson =
    "{\"copies\": 6, \"moyenne\": 11.6667, \"mediane\": 12.5, \"ecart_type\": 3.7268, \"kr20\": 0.2667, \"questions\": [\n"
    "  {\"fiche\": 4, \"p\": 1, \"r\": null, \"d\": 0, \"choix\": {\"1\": 6, \"2\": 0, \"3\": 0, \"vide\": 0}, "
    "\"alertes\": [\"trop facile\"]},\n"
    "  {\"fiche\": 7, \"p\": 0.6667, \"r\": 0.25, \"d\": 1, \"choix\": {\"1\": 1, \"2\": 4, \"3\": 1, \"vide\": 0}, "
    "\"alertes\": []},\n"
    "  {\"fiche\": 9, \"p\": 0.6667, \"r\": 0.25, \"d\": 0.5, \"choix\": {\"1\": 0, \"2\": 0, \"3\": 4, \"vide\": 2}, "
    "\"alertes\": []},\n"
    "  {\"fiche\": 12, \"p\": 0, \"r\": null, \"d\": 0, \"choix\": {\"1\": 0, \"2\": 3, \"3\": 2, \"vide\": 1}, "
    "\"alertes\": [\"trop difficile\", \"à revoir\"]}\n"
    "]}\n";

} // namespace exemple
