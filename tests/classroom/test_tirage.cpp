// Which cards go in front of the class: the transfer's rules, themes, a draw that a seed
// repeats, and the versions of an exam.
#include "classroom/sujets.h"
#include "exchange/commun.h"

#include <QSet>
#include <QTest>

using namespace classe;
using essai::Banque;

namespace {

// Ten cards: card n asks "Qn"; marks on 3 and 6; themes alternate 0 and 1, card 10 is theme 2.
void dixCartes(Banque &b)
{
    QByteArray octets;
    for (int n = 1; n <= 10; ++n)
        octets += banque::fiche({QStringLiteral("Q%1").arg(n), n == 10 ? 2 : n % 2, 1 + n % 3,
                                 n == 3 || n == 6 ? 1 : 0,
                                 {QStringLiteral("a%1").arg(n), QStringLiteral("b%1").arg(n), QStringLiteral("c%1").arg(n)}})
                      .octets();
    banque::ecrire(b.chemins().banque, octets);
    banque::ecrireThemes(b.chemins().themes, {"Histoire", "Géographie", "Sciences"});
}

Question question(int fiche, const QStringList &reponses, int bonne)
{
    Question q;
    q.fiche = fiche;
    q.texte = QStringLiteral("Q%1").arg(fiche);
    q.reponses = reponses;
    q.bonne = bonne;
    return q;
}

QList<int> fiches(const QList<Question> &qs)
{
    QList<int> l;
    for (const Question &q : qs)
        l << q.fiche;
    return l;
}

} // namespace

class TestTirage : public QObject {
    Q_OBJECT
private slots:
    // A seed must give the same numbers on every machine and with every version of the
    // program: a teacher who keeps a seed gets the same exam again next year.
    void hasard_sameSeedSameNumbersEverywhere()
    {
        Hasard h(42);
        QList<quint64> v;
        for (int i = 0; i < 6; ++i)
            v << h.entre(1000);
        QCOMPARE(v, (QList<quint64>{413, 291, 858, 764, 250, 62}));
        QVERIFY(deriver(7, 1) != deriver(7, 2));
        QVERIFY(deriver(7, 1) != deriver(8, 1));
        QCOMPARE(h.entre(1), 0u);
    }

    void tirer_takesTheCardsOfTheChoice_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<QList<int>>("themes");
        QTest::addColumn<QList<int>>("attendues");
        QTest::newRow("all") << 0 << QList<int>{} << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("marked") << 1 << QList<int>{} << QList<int>{3, 6};
        QTest::newRow("between marks") << 2 << QList<int>{} << QList<int>{3, 4, 5, 6};
        QTest::newRow("one theme") << 0 << QList<int>{1} << QList<int>{1, 3, 5, 7, 9};
        QTest::newRow("two themes") << 0 << QList<int>{0, 2} << QList<int>{2, 4, 6, 8, 10};
        // The range still runs from mark to mark; the theme then keeps its own cards.
        QTest::newRow("between marks of one theme") << 2 << QList<int>{0} << QList<int>{4, 6};
        QTest::newRow("a theme no card has") << 0 << QList<int>{5} << QList<int>{};
    }
    void tirer_takesTheCardsOfTheChoice()
    {
        QFETCH(int, selection);
        QFETCH(QList<int>, themes);
        Banque b;
        dixCartes(b);
        Choix c;
        c.selection = Selection(selection);
        c.themes = themes;
        const Tirage t = tirer(b.chemins(), c);
        QVERIFY(t.resultat);
        QTEST(fiches(t.questions), "attendues");
        QCOMPARE(t.prises, t.questions.size());
    }

    void tirer_cardAsStudentsSeeIt()
    {
        Banque b;
        b.poser({{"  Deux lignes\r\nici  ", 1, 3, 0, {" Paris ", "", "Lyon"}, "Un commentaire", "", "carte.jpg", 12}},
                {"Histoire", "Géo & co"});
        const Tirage t = tirer(b.chemins(), {});
        QCOMPARE(t.questions.size(), 1);
        const Question &q = t.questions[0];
        QCOMPARE(q.texte, "Deux lignes\nici");
        // The empty second answer is not offered; the good one (the third) follows.
        QCOMPARE(q.reponses, (QStringList{"Paris", "Lyon"}));
        QCOMPARE(q.origines, (QList<int>{1, 3}));
        QCOMPARE(q.bonne, 1);
        QCOMPARE(q.commentaire, "Un commentaire");
        QCOMPARE(q.theme, "Géo & co");
        QCOMPARE(q.media, "carte.jpg");
        QCOMPARE(q.codeMedia, 12);
        QVERIFY(t.remarques.isEmpty());
    }

    void tirer_cardsThatCannotBeAskedAreLeftOutAndSaid()
    {
        Banque b;
        b.poser({{"Sans bonne réponse", 0, 0, 0, {"a", "b", "c"}},
                 {"Bonne réponse vide", 0, 2, 0, {"a", "", "c"}},
                 {"", 0, 1, 0, {"a", "b", "c"}},
                 {"Bonne", 0, 1, 0, {"a", "b", "c"}}});
        const Tirage t = tirer(b.chemins(), {});
        QCOMPARE(fiches(t.questions), QList<int>{4});
        QCOMPARE(t.remarques, (QStringList{"fiche 1 : aucune bonne réponse n'est cochée, fiche laissée de côté",
                                           "fiche 2 : la bonne réponse est vide, fiche laissée de côté",
                                           "fiche 3 : la question est vide, fiche laissée de côté"}));
    }

    void tirer_drawIsRepeatedBySeedAndKeepsBankOrder()
    {
        Banque b;
        dixCartes(b);
        Choix c;
        c.nombre = 4;
        for (quint64 g = 1; g <= 12; ++g) {
            c.graine = g;
            const QList<int> un = fiches(tirer(b.chemins(), c).questions);
            QCOMPARE(fiches(tirer(b.chemins(), c).questions), un);
            QCOMPARE(un.size(), 4);
            QVERIFY(std::is_sorted(un.begin(), un.end()));
            QCOMPARE(QSet<int>(un.begin(), un.end()).size(), 4);
        }
        c.nombre = 50;  // more than there are: all of them
        QCOMPARE(tirer(b.chemins(), c).questions.size(), 10);
    }

    void versions_shuffledDifferentlyWithTheSameQuestions_data()
    {
        QTest::addColumn<int>("nombre");
        QTest::addColumn<int>("versions");
        QTest::newRow("two versions") << 10 << 2;
        QTest::newRow("five versions of two questions") << 2 << 5;
        QTest::newRow("many versions") << 10 << 26;
    }
    void versions_shuffledDifferentlyWithTheSameQuestions()
    {
        QFETCH(int, nombre);
        QFETCH(int, versions);
        Banque b;
        dixCartes(b);
        Choix c;
        c.nombre = nombre;
        c.graine = 99;
        const QList<Question> qs = tirer(b.chemins(), c).questions;
        const QList<QList<Question>> v = classe::versions(qs, versions, 99);
        QCOMPARE(v.size(), versions);
        QCOMPARE(classe::versions(qs, versions, 99), v);
        for (qsizetype i = 0; i < v.size(); ++i) {
            QList<int> memes = fiches(v[i]);
            std::sort(memes.begin(), memes.end());
            QCOMPARE(memes, fiches(qs));
            for (const Question &q : v[i]) {
                const Question &origine = *std::find_if(qs.begin(), qs.end(), [&](const Question &o) { return o.fiche == q.fiche; });
                QCOMPARE(q.reponses.value(q.bonne), origine.reponses.value(origine.bonne));
                // Each answer still knows its number on the card.
                for (qsizetype k = 0; k < q.reponses.size(); ++k)
                    QCOMPARE(q.reponses[k], origine.reponses.value(origine.origines.indexOf(q.origines.value(k))));
                QStringList a = q.reponses, o = origine.reponses;
                a.sort();
                o.sort();
                QCOMPARE(a, o);
            }
            for (qsizetype j = 0; j < i; ++j)
                QVERIFY2(v[i] != v[j], qPrintable(QStringLiteral("versions %1 and %2").arg(i + 1).arg(j + 1)));
        }
    }

    void versions_oneQuestionOfOneAnswerCannotDiffer()
    {
        const Question q = question(1, {"oui"}, 0);
        QCOMPARE(classe::versions({q}, 3, 1), QList<QList<Question>>(3, {q}));
    }

    void corrige_lettersOfTheGoodAnswersInOrder()
    {
        QCOMPARE(corrige({question(1, {"x", "y", "z"}, 2), question(2, {"x", "y"}, 0), question(3, {"x", "y", "z"}, 1)}), "CAB");
    }

    void dateEnFrancais_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("texte");
        QTest::newRow("first of the month") << QDate(2026, 3, 1) << "1er mars 2026";
        QTest::newRow("accented months") << QDate(2025, 2, 14) << "14 février 2025";
        QTest::newRow("invalid") << QDate() << "";
    }
    void dateEnFrancais()
    {
        QFETCH(QDate, date);
        QTEST(classe::dateEnFrancais(date), "texte");
    }
};

QTEST_GUILESS_MAIN(TestTirage)
#include "test_tirage.moc"
