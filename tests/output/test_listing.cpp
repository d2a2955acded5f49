// The printed listing, line for line, as the printer receives it.
#include "output/listing.h"
#include "support/banque.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

using L = QStringList;
const QString douze(12, u' ');

// Every line as a string; a font size as <taille n>.
struct Releve : listing::Sortie {
    L lignes;
    void ligne(const QString &texte) override { lignes << texte; }
    void taillePolice(int points) override { lignes << QStringLiteral("<taille %1>").arg(points); }
};

QString champ(const QString &t, int largeur) { return t.leftJustified(largeur, u' ', true); }

} // namespace

class TestListing : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    L lister(const QByteArray &octets, listing::Forme forme, Selection selection = Selection::Toutes,
             const QString &nom = "BASE.QZF")
    {
        const QString chemin = m_dir.filePath(nom);
        if (!banque::ecrire(chemin, octets))
            return {"<pas écrit>"};
        Releve r;
        const listing::ResultatListing res = listing::imprimer(chemin, nom, forme, selection, r);
        if (!res.resultat)
            return {res.resultat.erreur};
        return r.lignes;
    }

private slots:
    void heading_namesCountAndBankForTheDialog_data()
    {
        QTest::addColumn<int>("forme");
        QTest::addColumn<int>("cartes");
        QTest::addColumn<QString>("tete");
        QTest::newRow("quick, 12") << int(listing::Forme::Rapide) << 12 << "EDITION ORBELIN - LE FICHIER CONTIENT : 12 QUESTIONS";
        QTest::newRow("detailed, empty") << int(listing::Forme::Detaillee) << 0
                                         << "EDITION ORBELIN - LE FICHIER CONTIENT : 0 QUESTIONS";
        QTest::newRow("light, 12") << int(listing::Forme::Allegee) << 12
                                   << "EDITION ORBELIN - LE FICHIER BASE.QZF CONTIENT : 12 QUESTIONS";
        QTest::newRow("complete, 1") << int(listing::Forme::Complete) << 1
                                     << "EDITION ORBELIN - LE FICHIER BASE.QZF CONTIENT : 1 QUESTIONS";
    }
    void heading_namesCountAndBankForTheDialog()
    {
        QFETCH(int, forme);
        QFETCH(int, cartes);
        QByteArray b;
        for (int i = 0; i < cartes; ++i)
            b += banque::fiche({"Q"}).octets();
        const L lignes = lister(b, listing::Forme(forme));
        QCOMPARE(lignes.size(), 3 + cartes * (forme == 0 || forme == 2 ? 1 : forme == 1 ? 3 : 4));
        QTEST(lignes[0], "tete");
        QCOMPARE(lignes.mid(1, 2), (L{"", "<taille 7>"}));
    }

    void cardBlock_exactLines_data()
    {
        QTest::addColumn<QByteArray>("carte");
        QTest::addColumn<L>("detaillee");  // the lines of card 1 in the detailed form
        const QString q = champ("Quelle heure est-il ?", 200), c = champ("Midi", 200);
        const QString nonante = QString(88, u'r') + "és";
        QTest::newRow("only answer 2, good")
            << banque::fiche({"Quelle heure est-il ?", 0, 2, 0, {"", "Midi pile"}, "Midi"}).octets()
            << L{" 1 )" + q, douze + " 1 Rép=>" + champ("Midi pile", 70), c};
        QTest::newRow("three answers in order")
            << banque::fiche({"Quelle heure est-il ?", 0, 3, 0, {"Une", "Deux", "Trois"}, "Midi"}).octets()
            << L{" 1 )" + q,
                 douze + " 0 -" + champ("Une", 70) + douze + " 1 -" + champ("Deux", 70) + douze + " 2 Rép=>"
                     + champ("Trois", 70),
                 c};
        QTest::newRow("answer of 90 characters cut to 70")
            << banque::fiche({"Q", 0, 1, 0, {nonante}}).octets()
            << L{" 1 )" + champ("Q", 200), douze + " 0 Rép=>" + nonante.left(70), champ("", 200)};
        QTest::newRow("no answer, never written") << QByteArray(803, '\0') << L{" 1 )", "", ""};
        QTest::newRow("blank answer skipped, text before a zero byte kept")
            << QByteArray(200, ' ') + QByteArray("   \0xyz", 7).leftJustified(125, ' ') + QByteArray(" a\0", 3).leftJustified(250, ' ')
                   + QByteArray(200, '\x80').leftJustified(228, '\0')
            << L{" 1 )" + QString(200, u' '), douze + " 1 - a", QString(200, QChar(0x20AC))};
        QTest::newRow("good flag other than -1 is not good")
            << banque::octets({{"Q", 0, 0, 0, {"A"}}}).replace(775, 2, QByteArray("\x01\x00", 2))
            << L{" 1 )" + champ("Q", 200), douze + " 0 -" + champ("A", 70), champ("", 200)};
    }
    void cardBlock_exactLines()
    {
        QFETCH(QByteArray, carte);
        QFETCH(L, detaillee);
        QCOMPARE(lister(carte, listing::Forme::Detaillee).mid(3), detaillee);
        QCOMPARE(lister(carte, listing::Forme::Complete).mid(3), detaillee + L{""});
        QCOMPARE(lister(carte, listing::Forme::Rapide).mid(3), detaillee.mid(0, 1));
        QCOMPARE(lister(carte, listing::Forme::Allegee).mid(3), detaillee.mid(0, 1));
        QCOMPARE(banque::lire(m_dir.filePath("BASE.QZF")), carte);
    }

    void dialogSelection_printsChosenCardsWithTheirNumbers_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<int>("forme");
        QTest::addColumn<L>("questions");
        QTest::newRow("light, marked") << 1 << int(listing::Forme::Allegee) << L{" 2 )B", " 4 )D"};
        QTest::newRow("light, between marks") << 2 << int(listing::Forme::Allegee) << L{" 2 )B", " 3 )C", " 4 )D"};
        QTest::newRow("quick ignores the selection") << 1 << int(listing::Forme::Rapide)
                                                     << L{" 1 )A", " 2 )B", " 3 )C", " 4 )D", " 5 )E"};
    }
    void dialogSelection_printsChosenCardsWithTheirNumbers()
    {
        QFETCH(int, selection);
        QFETCH(int, forme);
        const QByteArray b = banque::octets({{"A"}, {"B", 0, 1, 1}, {"C"}, {"D", 0, 1, 1}, {"E"}});
        L lignes = lister(b, listing::Forme(forme), Selection(selection)).mid(3);
        for (QString &l : lignes)
            l = l.trimmed().prepend(u' ');
        QTEST(lignes, "questions");
    }

    void shortLastRecord_countsAsACard()
    {
        const L lignes = lister(banque::octets({{"A"}, {"B"}}).left(803 + 10), listing::Forme::Rapide);
        QCOMPARE(lignes, (L{"EDITION ORBELIN - LE FICHIER CONTIENT : 2 QUESTIONS", "", "<taille 7>",
                            " 1 )" + champ("A", 200), " 2 )B" + QString(9, u' ')}));
    }

    void missingBank_saysSoAndListsNothing()
    {
        Releve r;
        const listing::ResultatListing res =
            listing::imprimer(m_dir.filePath("ABSENT.QZF"), "ABSENT.QZF", listing::Forme::Rapide, Selection::Toutes, r);
        QVERIFY(!res.resultat.ok);
        QCOMPARE(res.resultat.erreur, "Impossible de lire le fichier " + m_dir.filePath("ABSENT.QZF")
                                          + " : fichier ou dossier introuvable.");
        QCOMPARE(r.lignes, L{});
    }

    void textStream_writesEachLineAndTypedLineBreaks()
    {
        QString sortie;
        {
            QTextStream flux(&sortie);
            listing::SortieFlux s(flux);
            s.ligne("a\r\nb");
            s.taillePolice(7);
            s.ligne(QString());
            s.ligne("c\rd");
        }
        QCOMPARE(sortie, "a\nb\n\nc\nd\n");
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "test_listing.moc"
