// The search rules on banks laid on disk: the typed card number, the text, mark and media
// tests, the two passes with the wrap, and reading the bank by blocks.
#include "search/recherche.h"
#include "support/banque.h"
#include "support/lancer.h"

#include <QTemporaryDir>
#include <QTest>

using recherche::Option;

namespace {

constexpr int T = 803;
const QString kAucune = QStringLiteral("Pas d'occurrence trouvée!");

// A card as the editor stores it (Qk, answers and comment of spaces, no media), with raw
// bytes laid over it.
QByteArray carte(const QString &question, std::initializer_list<std::pair<int, QByteArray>> poses = {})
{
    QByteArray r = banque::fiche({question}).octets();
    for (const auto &[offset, octets] : poses)
        r.replace(offset, octets.size(), octets);
    return r;
}

QByteArray marquees(int n, const QList<int> &marques, const QByteArray &marque = "\x01")
{
    QByteArray b;
    for (int k = 1; k <= n; ++k)
        b += marques.contains(k) ? carte(QStringLiteral("Q%1").arg(k), {{782, marque}}) : carte(QStringLiteral("Q%1").arg(k));
    return b;
}

QByteArray questions(const QStringList &q)
{
    QByteArray b;
    for (const QString &t : q)
        b += carte(t);
    return b;
}

// Card k holds the 12 bytes of champs[k - 1] as its media name.
QByteArray medias(const QList<QByteArray> &champs)
{
    QByteArray b;
    for (qsizetype k = 0; k < champs.size(); ++k)
        b += carte(QStringLiteral("Q%1").arg(k + 1), {{789, champs[k].leftJustified(12, ' ', true)}});
    return b;
}

} // namespace

class TestRecherche : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString banque(const QByteArray &octets)
    {
        const QString chemin = m_dir.filePath(QStringLiteral("BASE.QZF"));
        if (!banque::ecrire(chemin, octets))
            qFatal("cannot write the bank");
        return chemin;
    }

private slots:
    void numero_data()
    {
        QTest::addColumn<QString>("tape");
        QTest::addColumn<int>("attendu");  // 0: refused
        const std::pair<const char *, int> cas[] = {
            {"12", 12}, {"11.6", 12}, {"12.4", 0}, {"12.6", 0}, {"2.5", 2}, {"3.5", 4}, {"0.6", 0}, {"0", 0},
            {"", 0}, {" 7 ", 7}, {"7abc", 7}, {"011", 11}, {"abc", 0}, {"   ", 0}, {"1.5", 2}, {"0.5", 0},
            {"+5", 5}, {"-5", 0}, {"-0", 0}, {"1e1", 10}, {"1.2E1", 12}, {"1.3e1", 0}, {"25e-1", 2},
            {"5e-1", 0}, {"1e", 1}, {"1e+", 1}, {"3E+1x", 0}, {"1.1e+1", 11}, {".5e1", 5}, {"7.", 7},
            {"4.5.1", 4}, {"1,5", 1}, {"- 3", 0}, {"+ 3", 0}, {"1 2", 1}, {"12.0000001", 0}, {"1e400", 0},
            {"1e-400", 0}, {"000000000000000000000000000000000000000009", 9}, {"e5", 0}, {".", 0}, {"+", 0},
        };
        for (const auto &[tape, attendu] : cas)
            QTest::newRow(*tape ? tape : "(empty)") << QString::fromLatin1(tape) << attendu;
    }
    void numero()
    {
        QFETCH(QString, tape);
        QFETCH(int, attendu);
        // A number search reads nothing from the bank: the path need not exist.
        const recherche::Conclusion c =
            recherche::rechercher(m_dir.filePath("ABSENT.QZF"), {Option::Numero, tape, "texte"}, 3, 12);
        QVERIFY(c.lecture.ok);
        QCOMPARE(c.numFiche, attendu ? attendu : 3);
        QCOMPARE(c.message, attendu ? QString() : QStringLiteral("La fiche numéro ") + tape + " n'existe pas!");
    }

    void passes_data()
    {
        QTest::addColumn<QByteArray>("cartes");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("texte");
        QTest::addColumn<int>("courante");
        QTest::addColumn<int>("nbFiches");  // -1: the cards of the file
        QTest::addColumn<int>("attendu");   // the card shown afterwards
        QTest::addColumn<bool>("trouve");
        const int M = int(Option::Marque), X = int(Option::Texte), D = int(Option::Media);
        const QByteArray six = marquees(6, {});
        auto ligne = [](const char *nom, const QByteArray &cartes, int option, const QString &texte, int courante,
                        int attendu, bool trouve, int nb = -1) {
            QTest::newRow(nom) << cartes << option << texte << courante << nb << attendu << trouve;
        };
        // Marks.
        ligne("mark: card 1 only, on 1", marquees(6, {1}), M, {}, 1, 1, false);
        ligne("mark: card 5 only, on 5", marquees(6, {5}), M, {}, 5, 5, true);
        ligne("mark: the next one", marquees(6, {2, 4, 5}), M, {}, 2, 4, true);
        ligne("mark: wraps from the last", marquees(6, {2, 3}), M, {}, 6, 2, true);
        ligne("mark: none", six, M, {}, 3, 3, false);
        ligne("mark: any non-zero value", marquees(3, {3}, QByteArray("\0\x01", 2)), M, {}, 1, 3, true);
        // Texts.
        ligne("empty text: the next card", six, X, "", 3, 4, true);
        ligne("empty text: one-card bank", six.left(T), X, "", 1, 1, false);
        const QByteArray villes = questions({"Quelle est la capitale de la Suède ?", "Paris?", "Aller à Paris",
                                             "Un été à PARIS", "L'ŒUVRE de Zola", "Château fort"});
        ligne("capitals find small letters", villes, X, "CAPITALE", 2, 1, true);
        ligne("small letters find capitals", villes, X, "paris", 4, 2, true);
        ligne("accented capitals", villes, X, "ÉTÉ", 1, 4, true);
        ligne("small oe finds capital OE", villes, X, "œuvre", 1, 5, true);
        ligne("ending in a space", villes, X, "Paris ", 1, 3, true);
        ligne("not in any question", villes, X, "Berlin", 2, 2, false);
        const QByteArray ailleurs = carte("Q1") + carte("Q2", {{200, "Stockholm"}, {575, "Oslo"}});
        ligne("word in an answer only", ailleurs, X, "stockholm", 1, 1, false);
        ligne("word in the comment only", ailleurs, X, "oslo", 1, 1, false);
        // The question's last bytes do not run on into the first answer.
        const QByteArray bord = carte(QString(197, u'x') + "abc", {{200, "def"}}) + carte("Q2");
        ligne("at the very end of the field", bord, X, "ABC", 2, 1, true);
        ligne("never across into the answer", bord, X, "abcd", 2, 2, false);
        ligne("longer than the question", bord, X, QString(201, u'x'), 2, 2, false);
        const QByteArray special = questions({"Q1", "a?b", "Š et Ÿ", "ß"}) + carte("", {{0, QByteArray("un\0deux", 7)}});
        ligne("a character the code page lacks", special, X, "aΩb", 1, 1, false);
        ligne("a question mark is a character", special, X, "A?B", 1, 2, true);
        ligne("caron and diaeresis capitals", special, X, "š ET ÿ", 1, 3, true);
        ligne("capital sharp s", special, X, "ẞ", 1, 4, true);
        ligne("zero bytes are bytes", special, X, "deux", 1, 5, true);
        // Media.
        const QByteArray vide(12, ' ');
        ligne("media: zero bytes count", medias({vide, vide, QByteArray(12, '\0'), vide}), D, {}, 1, 3, true);
        ligne("media: spaces do not count", medias({vide, vide, vide}), D, {}, 2, 2, false);
        ligne("media: a name with spaces around", medias({vide, "  photo.jpg ", vide}), D, {}, 3, 2, true);
        ligne("media: one zero byte among spaces", medias({vide, QByteArray("     \0      ", 12), vide}), D, {}, 1, 2, true);
        // A new card not yet written: the count is one above the file, the card reads as zeros.
        ligne("unwritten card: no mark", marquees(3, {}), M, {}, 4, 4, false, 4);
        ligne("unwritten card: zero media name", medias({vide, vide}), D, {}, 3, 3, true, 3);
        ligne("unwritten card: a text", questions({"Q1", "Q2"}), X, "q", 3, 1, true, 3);
        // A last card cut short reads its missing bytes as zeros.
        const QByteArray court = six.left(2 * T) + carte("tronquée").left(100);
        ligne("short last card: its text", court, X, "TRONQUÉE", 1, 3, true);
        ligne("short last card: its zero media name", court, D, {}, 1, 3, true);
        // Nothing to read.
        ligne("empty bank: mark", {}, M, {}, 1, 1, false, 0);
    }
    void passes()
    {
        QFETCH(QByteArray, cartes);
        QFETCH(int, option);
        QFETCH(QString, texte);
        QFETCH(int, courante);
        QFETCH(int, nbFiches);
        const QString chemin = banque(cartes);
        if (nbFiches < 0)
            nbFiches = int((cartes.size() + T - 1) / T);
        const recherche::Conclusion c =
            recherche::rechercher(chemin, {Option(option), QStringLiteral("1"), texte}, courante, nbFiches);
        QVERIFY(c.lecture.ok);
        QTEST(c.numFiche, "attendu");
        QFETCH(bool, trouve);
        QCOMPARE(c.message, trouve ? QString() : kAucune);
        QCOMPARE(banque::lire(chemin), cartes);
    }

    // The same text searched with the accents set aside, and as typed; 0 when no card has it.
    void sansAccents_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::addColumn<int>("plie");
        QTest::addColumn<int>("tel");
        const std::tuple<const char *, const char *, int, int> cas[] = {
            {"accent left out", "prefecture", 1, 0},
            {"accents kept, capitals", "PRÉFECTURE", 1, 1},
            {"oe for the ligature", "coeur", 2, 0},
            {"capital ligature", "CŒUR", 2, 2},
            {"ligature for oe", "œil", 3, 0},
            {"cedilla, capital C", "ca va", 4, 0},
            {"cedilla inside", "GARCON", 4, 0},
            {"ae for the ligature", "caesar", 5, 0},
            {"diaeresis", "noel", 5, 0},
            {"accents the code page lacks", "tōkyō", 6, 0},
            {"combining accents as typed", "e\u0301le\u0300ve", 7, 0},
            {"a ligature at the very end of the field", "xxoe", 8, 0},
            {"never across into the answer", "oeuvre", 0, 0},
            {"a letter without accent kept apart", "aΩb", 0, 0},
        };
        for (const auto &[nom, texte, plie, tel] : cas)
            QTest::newRow(nom) << QString::fromUtf8(texte) << plie << tel;
    }
    void sansAccents()
    {
        QFETCH(QString, texte);
        const QByteArray cartes = questions({"La préfecture", "Le cœur", "Un oeil", "Ça va, garçon ?", "Cæsar à NOËL",
                                             "Tokyo", "Élève"})
                                  + carte(QString(199, u'x') + u'Œ', {{200, "uvre"}}) + carte("Q9");
        const QString chemin = banque(cartes);
        for (const bool plier : {true, false}) {
            recherche::Demande d{Option::Texte, {}, texte, plier};
            const recherche::Conclusion c = recherche::rechercher(chemin, d, 9, 9);
            QVERIFY(c.lecture.ok);
            QFETCH(int, plie);
            QFETCH(int, tel);
            const int attendu = plier ? plie : tel;
            QCOMPARE(c.numFiche, attendu ? attendu : 9);
            QCOMPARE(c.message, attendu ? QString() : kAucune);
        }
    }

    // qzf find --fold: the same search from the command line.
    void qzfFind_sansAccents_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("statut");
        QTest::addColumn<QString>("sortie");
        QTest::addColumn<QString>("erreurs");
        QTest::newRow("text without accents") << QStringList{"--text", "UN ETE A NIMES", "--fold"} << 0 << "2\n" << "";
        QTest::newRow("the same text, accents kept") << QStringList{"--text", "UN ETE A NIMES"} << 1 << ""
                                                     << kAucune + '\n';
        QTest::newRow("fold without a text") << QStringList{"--mark", "--fold"} << 2 << ""
                                             << "qzf find: --fold goes with --text (see qzf find --help)\n";
    }
    void qzfFind_sansAccents()
    {
        QFETCH(QStringList, options);
        const QString chemin = banque(questions({"Q1", "Un été à Nîmes", "Q3"}));
        QString out, err;
        QTEST(lancer(QStringList{"find", chemin} + options, out, err), "statut");
        QTEST(out, "sortie");
        QTEST(err, "erreurs");
    }

    // Banks of several reading blocks: a match in any block, on either side of a block's edge.
    void blocs_data()
    {
        QTest::addColumn<int>("nb");
        QTest::addColumn<QList<int>>("marques");
        QTest::addColumn<int>("courante");
        QTest::addColumn<int>("attendu");
        QTest::newRow("last of block 1") << 4000 << QList<int>{1306} << 1 << 1306;
        QTest::newRow("first of block 2") << 4000 << QList<int>{1307} << 1 << 1307;
        QTest::newRow("first of block 3 after the current") << 4000 << QList<int>{10, 2613} << 1400 << 2613;
        QTest::newRow("the very last") << 4000 << QList<int>{4000} << 2 << 4000;
        QTest::newRow("wrap into block 2") << 4000 << QList<int>{1500} << 3999 << 1500;
        QTest::newRow("wrap to the current card") << 4000 << QList<int>{3000} << 3000 << 3000;
        QTest::newRow("full bank, wrap") << 32767 << QList<int>{20000} << 32767 << 20000;
    }
    void blocs()
    {
        QFETCH(int, nb);
        QFETCH(QList<int>, marques);
        QFETCH(int, courante);
        const QString chemin = banque(marquees(nb, marques));
        const recherche::Issue i = recherche::suivante(chemin, recherche::Critere::marque(), courante, nb);
        QVERIFY(i.resultat.ok);
        QTEST(i.fiche, "attendu");
    }

    void unreadableBank_saysWhyAndKeepsCard()
    {
        const QString absent = m_dir.filePath("ABSENT.QZF");
        const recherche::Conclusion c = recherche::rechercher(absent, {Option::Marque, {}, {}}, 2, 5);
        QVERIFY(!c.lecture.ok);
        QVERIFY2(c.lecture.erreur.startsWith("Impossible de lire le fichier " + absent + " : "),
                 qPrintable(c.lecture.erreur));
        QCOMPARE(c.numFiche, 2);
        QCOMPARE(c.message, QString());
    }
};

QTEST_GUILESS_MAIN(TestRecherche)
#include "test_recherche.moc"
