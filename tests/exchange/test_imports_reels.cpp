// Files from elsewhere: hostile XML, inputs built to cost time or memory, the habits of the
// platforms that write GIFT and Moodle XML, and the failures an import meets on disk.
#include "commun.h"
#include "exchange/zip.h"

#include <QElapsedTimer>
#include <QTest>
#include <sys/resource.h>

using namespace echanges;
using L = QStringList;

namespace {

QByteArray moodle(const QByteArray &questions)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n" + questions + "</quiz>\n";
}

QByteArray choix(const QByteArray &texte, const QList<QPair<QByteArray, QByteArray>> &reponses)
{
    QByteArray q = "<question type=\"multichoice\"><questiontext format=\"html\"><text>" + texte + "</text></questiontext>";
    for (const auto &[fraction, r] : reponses)
        q += "<answer fraction=\"" + fraction + "\"><text>" + r + "</text></answer>";
    return q + "</question>\n";
}

const QList<QPair<QByteArray, QByteArray>> kTrois = {{"100", "a"}, {"0", "b"}, {"0", "c"}};

QByteArray item(const QByteArray &corps)
{
    return "<assessmentItem xmlns=\"http://www.imsglobal.org/xsd/imsqti_v2p1\" identifier=\"I\" title=\"T\">"
           "<responseDeclaration identifier=\"R\" cardinality=\"single\"><correctResponse><value>A</value>"
           "</correctResponse></responseDeclaration><itemBody>" + corps + "<choiceInteraction responseIdentifier=\"R\" "
           "maxChoices=\"1\"><simpleChoice identifier=\"A\">a</simpleChoice><simpleChoice identifier=\"B\">b"
           "</simpleChoice><simpleChoice identifier=\"C\">c</simpleChoice></choiceInteraction></itemBody></assessmentItem>";
}

QByteArray paquet(const QList<QPair<QString, QByteArray>> &entrees)
{
    ArchiveEcrite zip;
    for (const auto &[nom, octets] : entrees)
        zip.ajouter(nom, octets, false);
    QByteArray o;
    QString erreur;
    zip.terminer(o, erreur);
    return o;
}

QByteArray manifeste(const QStringList &items)
{
    QByteArray m = "<manifest><resources>";
    for (const QString &i : items)
        m += "<resource type=\"imsqti_item_xmlv2p1\" href=\"" + i.toUtf8() + "\"/>";
    return m + "</resources></manifest>";
}

long pointeMemoireKo()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace

class TestImportsReels : public QObject {
    Q_OBJECT

private slots:
    // First: the peak of memory the process reached is what is measured.
    void bounds_aLineOfSeparatorsAloneStaysSmall()
    {
        const long avant = pointeMemoireKo();
        const Lecture l = lireCsv("Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\nQ;a;b;c;1" + QByteArray(40 << 20, ';'),
                                  "f.csv");
        QCOMPARE(l.questions.size(), 1);
        QVERIFY2(pointeMemoireKo() - avant < (400 << 10), qPrintable(QString::number(pointeMemoireKo() - avant)));
    }

    void xml_hostileDocumentsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("message");
        QTest::newRow("external entity") << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE quiz [<!ENTITY x SYSTEM "
                                                       "\"file:///etc/passwd\">]>\n<quiz>&x;</quiz>")
                                         << "(ligne 2, colonne 1) : les DTD ne sont pas prises en charge.";
        QTest::newRow("external DTD") << QByteArray("<!DOCTYPE quiz SYSTEM \"http://example.org/q.dtd\"><quiz/>")
                                      << "(ligne 1, colonne 1) : les DTD ne sont pas prises en charge.";
        QByteArray rires = "<!DOCTYPE quiz [<!ENTITY r0 \"ha\">";
        for (int i = 1; i < 10; ++i)
            rires += QStringLiteral("<!ENTITY r%1 \"%2\">").arg(i).arg(QStringLiteral("&r%1;").arg(i - 1).repeated(10)).toUtf8();
        QTest::newRow("entities that grow") << rires + "]><quiz>&r9;</quiz>"
                                            << "(ligne 1, colonne 1) : les DTD ne sont pas prises en charge.";
        QTest::newRow("a DOCTYPE many times") << QByteArray("<!DOCTYPE quiz>").repeated(200000) + "<quiz/>"
                                              << "(ligne 1, colonne 1) : les DTD ne sont pas prises en charge.";
        QTest::newRow("too deep") << "<quiz>" + QByteArray("<a>").repeated(100) + QByteArray("</a>").repeated(100) + "</quiz>"
                                  << "(ligne 1, colonne 199) : les éléments sont imbriqués trop profondément.";
    }
    void xml_hostileDocumentsAreRefused()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, message);
        QElapsedTimer montre;
        montre.start();
        const Lecture l = lireMoodle(xml, "q.xml");
        QCOMPARE(l.resultat.erreur, "Le fichier q.xml n'est pas un XML valide " + message);
        QVERIFY(l.questions.isEmpty());
        QVERIFY2(montre.elapsed() < 1000, qPrintable(QString::number(montre.elapsed())));
    }

    void xml_questionLinesPastTheParsersCount()
    {
        const QByteArray loin = QByteArray("<!-- -->\n").repeated(70000);
        const Lecture l = lireMoodle(moodle(loin + "<!-- <question> -->\n" + choix("Q", {{"100", "a"}})), "q.xml");
        QCOMPARE(essai::resumes(l), L{"question « sans nom » (ligne 70004) : 1 réponses au lieu de 3"});
    }

    void bounds_timeFollowsTheInput_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("remarques");
        QTest::newRow("GIFT, 2 MB of lone &") << int(Format::Gift) << "::t::[html]" + QByteArray(2 << 20, '&') + "{=a~b~c}"
                                               << 1 << 0;
        QTest::newRow("Moodle, 2 MB of &amp;") << int(Format::MoodleXml)
                                               << moodle(choix(QByteArray("&amp;").repeated(2 << 20), kTrois)) << 1 << 0;
        QByteArray images, fichiers;
        for (int i = 0; i < 20000; ++i) {
            images += "&lt;img src=\"@@PLUGINFILE@@/f" + QByteArray::number(i) + ".jpg\"&gt;";
            fichiers += "<file name=\"f" + QByteArray::number(i) + ".jpg\" encoding=\"base64\">QQ==</file>";
        }
        QByteArray q = choix(images, kTrois);
        q.insert(q.indexOf("</questiontext>"), fichiers);
        QTest::newRow("Moodle, 20 000 pictures") << int(Format::MoodleXml) << moodle(q) << 1 << 19999;
        QList<QPair<QString, QByteArray>> entrees;
        QStringList items;
        for (int i = 0; i < 90000; ++i)
            entrees.append({QStringLiteral("e%1.txt").arg(i), QByteArray()});
        for (int i = 0; i < 2000; ++i) {
            items << QStringLiteral("q%1.xml").arg(i);
            entrees.append({items.last(), item("<img src=\"vue.jpg\"/>")});
        }
        entrees.append({QStringLiteral("vue.jpg"), QByteArray(1 << 20, 'J')});
        entrees.append({QStringLiteral("imsmanifest.xml"), manifeste(items + items)});
        QTest::newRow("QTI, 92 000 entries, one picture") << int(Format::Qti) << paquet(entrees) << 2000 << 0;
    }
    void bounds_timeFollowsTheInput()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, contenu);
        QFETCH(int, questions);
        QFETCH(int, remarques);
        QElapsedTimer montre;
        montre.start();
        const Lecture l = lire(Format(format), contenu, "f");
        const qint64 ms = montre.elapsed();
        QVERIFY2(l.resultat, qPrintable(l.resultat.erreur));
        QCOMPARE(l.questions.size(), questions);
        QCOMPARE(l.remarques.size(), remarques);
        QVERIFY2(ms < 2000, qPrintable(QString::number(ms)));
        // Each picture is read from the package once, its bytes shared by every question.
        if (Format(format) == Format::Qti)
            QCOMPARE(l.questions.last().octetsMedia.constData(), l.questions.first().octetsMedia.constData());
    }

    void bounds_readingStopsWhereABankIsFull_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<QString>("lieu");
        QTest::newRow("GIFT") << int(Format::Gift) << QByteArray("Q{=a~b~c}\n\n").repeated(32768 + 5) << "ligne 65535";
        QTest::newRow("CSV") << int(Format::Csv)
                             << "Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\n" + QByteArray("Q;a;b;c;1\n").repeated(32768 + 5)
                             << "ligne 32769";
    }
    void bounds_readingStopsWhereABankIsFull()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, contenu);
        QFETCH(QString, lieu);
        const Lecture l = lire(Format(format), contenu, "f");
        QCOMPARE(l.questions.size(), 32767);
        QCOMPARE(essai::resumes({Resultat::succes(), {}, l.remarques}),
                 L{lieu + " : lecture arrêtée : 32767 questions lues, autant qu'une banque peut en tenir ; la suite du "
                          "fichier n'est pas lue"});
    }


    void gift_readAsPlatformsWriteIt_data()
    {
        QTest::addColumn<QByteArray>("gift");
        QTest::addColumn<QStringList>("attendu");
        QTest::newRow("format markers before texts, answers and feedback")
            << QByteArray("::T::[moodle]Q <b>x</b>{=[html]<i>a</i> ~[plain]<b> ~[markdown]*c* ####[HTML]<p>vu</p>}")
            << L{"Q x|a|<b>|*c*|1|vu|"};
        QTest::newRow("a bracket that is no marker") << QByteArray("[2] Q{=a ~[b] ~c}") << L{"[2] Q|a|[b]|c|1||"};
        QTest::newRow("HTML without a marker") << QByteArray("Où est <b>Paris</b>&nbsp;?{=a&amp;b ~b ~c}")
                                               << L{"Où est Paris ?|a&b|b|c|1||"};
        QTest::newRow("~= opens one right answer") << QByteArray("Q{~=a ~b ~c}") << L{"Q|a|b|c|1||"};
        QTest::newRow("CR alone ends lines") << QByteArray("$CATEGORY: S\r\rA{=1 ~2 ~3}\r\rB{~1 =2 ~3}\r")
                                             << L{"A|1|2|3|1||S", "B|1|2|3|2||S"};
    }
    void gift_readAsPlatformsWriteIt()
    {
        QFETCH(QByteArray, gift);
        QFETCH(QStringList, attendu);
        QCOMPARE(essai::resumes(lireGift(gift, "q.gift")), attendu);
    }

    void gift_exportWritesNoMarkerMatchingOrQuestionByAccident()
    {
        essai::Banque b;
        b.poser({{"[html]<b>", 0, 1, 0, {"[plain]a", "b->c", "d"}}}, {"T\r\n::X::Y{=a~b~c}"});
        Rapport r;
        const QString fichier = b.chemin("e.gift");
        QVERIFY(exporter(b.chemins(), fichier, {}, r));
        const QByteArray gift = banque::lire(fichier);
        QCOMPARE(gift, "$CATEGORY: T ::X::Y{=a~b~c}\n\n::Q0001::[plain]\\[html]<b>{\n\t=\\[plain]a\n\t~b-\\>c\n\t~d\n}\n\n");
        QCOMPARE(essai::resumes(lireGift(gift, "e.gift")), L{"[html]<b>|[plain]a|b->c|d|1||T ::X::Y{=a~b~c}"});
    }
};

QTEST_GUILESS_MAIN(TestImportsReels)
#include "test_imports_reels.moc"
