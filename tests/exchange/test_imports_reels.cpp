// Files from elsewhere: hostile XML, inputs built to cost time or memory, the habits of the
// platforms that write GIFT and Moodle XML, and the failures an import meets on disk.
#include "commun.h"
#include "cli/qzf.h"
#include "exchange/zip.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTextStream>
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

QByteArray utf16(const QString &t, bool petitBoutiste)
{
    QByteArray o = petitBoutiste ? "\xFF\xFE" : "\xFE\xFF";
    for (QChar c : t) {
        const char16_t u = c.unicode();
        o += petitBoutiste ? char(u & 0xFF) : char(u >> 8);
        o += petitBoutiste ? char(u >> 8) : char(u & 0xFF);
    }
    return o;
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
        QTest::newRow("a text past the limit") << "<quiz>\n<question>" + QByteArray(10000001, 'a') + "</question></quiz>"
                                               << "(ligne 2, colonne 10000012) : un texte ou un nom dépasse la taille permise (10 "
                                                  "millions de caractères).";
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
        QTest::newRow("-> in a multiple-choice answer") << QByteArray("Q{=a->b ~c ~d}") << L{"Q|a->b|c|d|1||"};
        QTest::newRow("-> in every right answer") << QByteArray("Q{=a->1 =b->2 =c->3}") << L{"ligne 1 : question d'association"};
        QTest::newRow("CR alone ends lines") << QByteArray("$CATEGORY: S\r\rA{=1 ~2 ~3}\r\rB{~1 =2 ~3}\r")
                                             << L{"A|1|2|3|1||S", "B|1|2|3|2||S"};
    }
    void gift_readAsPlatformsWriteIt()
    {
        QFETCH(QByteArray, gift);
        QFETCH(QStringList, attendu);
        QCOMPARE(essai::resumes(lireGift(gift, "q.gift")), attendu);
    }

    void gift_exportWritesNoMarkerOrQuestionByAccident()
    {
        essai::Banque b;
        b.poser({{"[html]<b>", 0, 1, 0, {"[plain]a", "b->c", "d"}}}, {"T\r\n::X::Y{=a~b~c}"});
        Rapport r;
        const QString fichier = b.chemin("e.gift");
        QVERIFY(exporter(b.chemins(), fichier, {}, r));
        const QByteArray gift = banque::lire(fichier);
        QCOMPARE(gift, "$CATEGORY: T ::X::Y{=a~b~c}\n\n::Q0001::[plain][html]<b>{\n\t=[plain][plain]a\n\t~b->c\n\t~d\n}\n\n");
        QCOMPARE(essai::resumes(lireGift(gift, "e.gift")), L{"[html]<b>|[plain]a|b->c|d|1||T ::X::Y{=a~b~c}"});
    }

    void answers_threeKeptForACard_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<bool>("trois");
        QTest::addColumn<QList<int>>("mauvaises");  // chosen for the question at "ligne 1"
        QTest::addColumn<QStringList>("attendu");
        const int gift = int(Format::Gift), xml = int(Format::MoodleXml);
        QTest::newRow("partial credit") << gift << QByteArray("Q{=a ~%50%b ~c}") << false << QList<int>{}
                                        << L{"Q|a|b|c|1||", "ligne 1 : crédit partiel mis de côté, compté faux : réponse 2 (50 %)"};
        QTest::newRow("partial credit, Moodle") << xml << moodle(choix("Q", {{"33.5", "a"}, {"100", "b"}, {"-50", "c"}}))
                                                << false << QList<int>{}
                                                << L{"Q|a|b|c|2||", "question « sans nom » (ligne 3) : crédit partiel mis de "
                                                                    "côté, compté faux : réponse 1 (33,5 %)"};
        QTest::newRow("two whole grades") << gift << QByteArray("Q{=a =%100%b ~c}") << false << QList<int>{}
                                          << L{"ligne 1 : 2 bonnes réponses au lieu d'une"};
        QTest::newRow("five answers, left out") << gift << QByteArray("Q{=a ~b ~c ~d ~e}") << false << QList<int>{}
                                                << L{"ligne 1 : 5 réponses au lieu de 3"};
        QTest::newRow("five answers, reduced") << gift << QByteArray("Q{=a ~b ~c ~d ~e}") << true << QList<int>{}
                                               << L{"Q|a|b|c|1||", "ligne 1 : réduite : réponses 4 et 5 laissées"};
        QTest::newRow("right answer last") << gift << QByteArray("Q{~a ~b ~c =d}") << true << QList<int>{}
                                           << L{"Q|a|b|d|3||", "ligne 1 : réduite : réponse 3 laissée"};
        QTest::newRow("wrong answers chosen") << gift << QByteArray("Q{~a =b ~c ~d}") << true << QList<int>{3, 0}
                                              << L{"Q|a|b|d|2||", "ligne 1 : réduite : réponse 3 laissée"};
        QTest::newRow("a right one chosen as wrong") << gift << QByteArray("Q{~a =b ~c ~d}") << true << QList<int>{1, 3}
                                                     << L{"Q|a|b|c|2||", "ligne 1 : réduite : réponse 4 laissée"};
        QTest::newRow("true/false stays out") << gift << QByteArray("Q{T}") << true << QList<int>{}
                                              << L{"ligne 1 : question vrai/faux"};
        QTest::newRow("four answers, Moodle") << xml << moodle(choix("Q", {{"0", "a"}, {"0", "b"}, {"0", "c"}, {"100", "d"}}))
                                              << true << QList<int>{}
                                              << L{"Q|a|b|d|3||", "question « sans nom » (ligne 3) : réduite : réponse 3 laissée"};
    }
    void answers_threeKeptForACard()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, contenu);
        QFETCH(bool, trois);
        QFETCH(QList<int>, mauvaises);
        QFETCH(QStringList, attendu);
        OptionsImport options;
        options.troisReponses = trois;
        if (!mauvaises.isEmpty())
            options.mauvaises.insert("ligne 1", {mauvaises[0], mauvaises[1]});
        QCOMPARE(essai::resumes(lire(Format(format), contenu, "f", options)), attendu);
    }

    void answers_qzfReducesOnlyWhenAsked()
    {
        essai::Banque b;
        const QString f = b.fichier("q.gift", "Q {=a ~b ~c ~d}\n");
        for (const bool trois : {false, true}) {
            QString o, e;
            QTextStream so(&o), se(&e);
            QStringList arguments{"import", f, b.chemins().banque};
            if (trois)
                arguments << "--three-answers";
            QCOMPARE(qzf::executer(arguments, so, se), trois ? 0 : 1);
            so.flush();
            QVERIFY2(o.contains(trois ? "Ce que le format ne garde pas (1) :\n  ligne 1 : réduite : réponse 4 laissée\n"
                                      : "Questions non importées (1) :\n  ligne 1 : 4 réponses au lieu de 3\n"),
                     qPrintable(o));
        }
        QCOMPARE(b.nombre(), 1);
    }

    void moodle_olderPicturesComeIn_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("media");
        QTest::addColumn<QStringList>("remarques");
        QTest::newRow("carried") << QByteArray("<image>images/vue.jpg</image><image_base64>SlBF\nRw==</image_base64>")
                                 << "vue.jpg=JPEG" << L{};
        QTest::newRow("not carried") << QByteArray("<image>vue.jpg</image>") << "="
                                     << L{"question « sans nom » (ligne 3) : vue.jpg est cité mais absent du fichier"};
        QTest::newRow("a kind not shown") << QByteArray("<image>vue.png</image><image_base64>UE5H</image_base64>") << "="
                                          << L{"question « sans nom » (ligne 3) : vue.png n'est pas gardé : l'éditeur montre "
                                               "les images BMP et JPEG et les sons MID, WAV et MP3"};
    }
    void moodle_olderPicturesComeIn()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, media);
        QFETCH(QStringList, remarques);
        QByteArray q = choix("Q", kTrois);
        q.insert(q.indexOf("<answer"), image);
        const Lecture l = lireMoodle(moodle(q), "q.xml");
        QCOMPARE(l.questions.size(), 1);
        QCOMPARE(l.questions.first().media + '=' + QString::fromLatin1(l.questions.first().octetsMedia), media);
        QCOMPARE(essai::resumes({Resultat::succes(), {}, l.remarques}), remarques);
    }

    void themes_nameCutKeepsNoBlankAtItsEnd_data()
    {
        QTest::addColumn<QString>("categorie");
        QTest::addColumn<QString>("theme");
        QTest::newRow("a tab") << "Histoire et géographie des\tmondes" << "Histoire et géographie des";
        QTest::newRow("a line break") << "Histoire et géographie des\nmondes" << "Histoire et géographie des";
        QTest::newRow("a non-breaking space") << QString("Histoire et géographie des") + QChar(0xA0) + "mondes"
                                              << "Histoire et géographie des";
    }
    void themes_nameCutKeepsNoBlankAtItsEnd()
    {
        QFETCH(QString, categorie);
        QFETCH(QString, theme);
        essai::Banque b;
        Lecture l;
        Question q;
        q.question = "Q";
        q.reponses = {"a", "b", "c"};
        q.bonne = 1;
        q.categorie = categorie;
        l.questions << q;
        QVERIFY(ajouter(b.chemins(), l).resultat);
        QCOMPARE(b.themes(), L{theme});
    }

    void csv_noCellRunsAsAFormula()
    {
        essai::Banque b;
        b.poser({{"=SOMME(A1)", 0, 1, 0, {"+1", "-2", "@x"}, "-1 point"}, {"Q", 0, 2, 0, {"a", "b", "c"}}});
        Rapport r;
        const QString fichier = b.chemin("e.csv");
        QVERIFY(exporter(b.chemins(), fichier, {Format::Csv}, r));
        const QByteArray csv = banque::lire(fichier);
        QVERIFY2(csv.contains("\r\n1;'=SOMME(A1);'+1;'-2;'@x;1;'-1 point;1;;0;;;\r\n2;Q;a;b;c;2;;1;;0;;;\r\n"), csv.constData());
        QCOMPARE(r.lignes(Remarque::Genre::Note).first(),
                 "1 fiche(s) ont un texte qui commence par =, +, -, @, une tabulation ou un retour chariot : une apostrophe "
                 "le précède, pour qu'un tableur ne l'exécute pas comme une formule : 1");
        QCOMPARE(essai::resumes(lireCsv(csv, "e.csv")), L({"=SOMME(A1)|+1|-2|@x|1|-1 point|", "Q|a|b|c|2||"}));
    }

    void media_exportTakesNoLink_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("Moodle XML") << int(Format::MoodleXml);
        QTest::newRow("QTI") << int(Format::Qti);
        QTest::newRow("GIFT") << int(Format::Gift);
    }
    void media_exportTakesNoLink()
    {
        QFETCH(int, format);
        essai::Banque b;
        b.poser({{"Q", 0, 1, 0, {"a", "b", "c"}, {}, {}, "vue.jpg", 10}});
        const QString secret = b.fichier("secret.txt", "SECRETSECRET");
        QDir().mkpath(b.chemins().medias);
        QVERIFY(QFile::link(secret, QDir(b.chemins().medias).filePath("vue.jpg")));
        Rapport r;
        const QString fichier = b.chemin("e.out");
        QVERIFY(exporter(b.chemins(), fichier, {Format(format)}, r));
        const QByteArray sortie = banque::lire(fichier);
        QVERIFY(!sortie.contains("SECRETSECRET") && !sortie.contains(QByteArray("SECRETSECRET").toBase64()));
        QCOMPARE(r.lignes(Remarque::Genre::Media),
                 Format(format) == Format::Gift
                     ? L{}
                     : L{"1 fiche(s) dont l'image ou le son manque au dossier des médias, exportées sans : 1"});
    }

    void media_importWritesThroughNoLink()
    {
        essai::Banque b;
        QDir().mkpath(b.chemins().medias);
        const QString ailleurs = b.chemin("ailleurs.jpg");
        QVERIFY(QFile::link(ailleurs, QDir(b.chemins().medias).filePath("vue.jpg")));  // leads nowhere
        QByteArray q = choix("&lt;img src=\"@@PLUGINFILE@@/vue.jpg\"&gt;", kTrois);
        q.insert(q.indexOf("</questiontext>"), "<file name=\"vue.jpg\" encoding=\"base64\">SlBFRw==</file>");
        const ResultatImport r = importer(b.chemins(), b.fichier("q.xml", moodle(q)));
        QVERIFY2(r.resultat, qPrintable(r.resultat.erreur));
        QVERIFY(!QFileInfo::exists(ailleurs));
        QCOMPARE(b.lireMedia("vue1.jpg"), "JPEG");
        QCOMPARE(r.rapport.lignes(Remarque::Genre::Media),
                 L{"question « sans nom » (ligne 3) : vue.jpg enregistré sous vue1.jpg : un autre fichier porte déjà ce nom"});
    }

    void messages_aFailedImportLeavesNoFolder()
    {
        essai::Banque b;
        b.poser({{"Q", 0, 1, 0, {"a", "b", "c"}}});
        QFile::setPermissions(b.chemins().banque, QFile::ReadOwner | QFile::ReadGroup);
        QByteArray q = choix("&lt;img src=\"@@PLUGINFILE@@/vue.jpg\"&gt;", kTrois);
        q.insert(q.indexOf("</questiontext>"), "<file name=\"vue.jpg\" encoding=\"base64\">SlBFRw==</file>");
        const ResultatImport r = importer(b.chemins(), b.fichier("q.xml", moodle(q)));
        QVERIFY(!r.resultat);
        QVERIFY2(!QFileInfo::exists(b.chemins().medias), qPrintable(r.resultat.erreur));
        QCOMPARE(b.nombre(), 1);
    }

    void messages_fileNamesShownEscaped()
    {
        essai::Banque b;
        const ResultatImport r = importer(b.chemins(), b.fichier("q\n\x1b[2J.gift", "Q {=a ~b ~c}\n"));
        QCOMPARE(r.rapport.titre, "Importation de q\\n\\x1B[2J.gift (GIFT) dans la banque BASE.QZF");
    }

    void messages_aFullDiskIsSaidSo()
    {
        struct Plein : QIODevice {
            Plein() { open(WriteOnly); }
            qint64 readData(char *, qint64) override { return -1; }
            qint64 writeData(const char *, qint64) override
            {
                errno = ENOSPC;
                return -1;
            }
        };
        SourceBanque src;
        src.depuisOctets(banque::octets({{"Q", 0, 1, 0, {"a", "b", "c"}}}), TableThemes(), QString());
        for (const Format f : {Format::Gift, Format::MoodleXml, Format::Qti, Format::Csv}) {
            Plein plein;
            Rapport r;
            QCOMPARE(ecrire(src, plein, {f}, r).erreur, "Impossible d'écrire le fichier : le disque est plein");
        }
    }

    void messages_damagedPackageInFrench_data()
    {
        QTest::addColumn<int>("octet");  // changed in the package
        QTest::addColumn<QString>("message");
        QTest::newRow("an entry's name") << 30 << "Le paquet p.zip est endommagé : son sommaire ne correspond pas à son contenu.";
        QTest::newRow("its compression method") << 8 << "Le paquet p.zip est endommagé : son sommaire ne correspond pas à son contenu.";
    }
    void messages_damagedPackageInFrench()
    {
        QFETCH(int, octet);
        QFETCH(QString, message);
        QByteArray p = paquet({{"imsmanifest.xml", manifeste({})}});
        p[octet] = char(p[octet] ^ 0x55);
        QCOMPARE(lireQti(p, "p.zip").resultat.erreur, message);
    }

    void messages_exportNotOverABanksTemporaryFile_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::newRow("import") << "BASE.QZF.import";
        QTest::newRow("rewrite") << "BASE.QZF.nouveau";
        QTest::newRow("journal") << "BASE.QZF.jnl";
        QTest::newRow("themes rewrite") << "BASE.PRM.nouveau";
    }
    void messages_exportNotOverABanksTemporaryFile()
    {
        QFETCH(QString, nom);
        essai::Banque b;
        b.poser({{"Q", 0, 1, 0, {"a", "b", "c"}}});
        Rapport r;
        const QString fichier = QFileInfo(b.chemins().banque).dir().filePath(nom.replace("BASE.PRM", QFileInfo(b.chemins().themes).fileName()));
        QCOMPARE(exporter(b.chemins(), fichier, {}, r).erreur,
                 "Le fichier " + fichier + " appartient à la banque BASE.QZF : choisissez un autre nom pour l'exportation.");
        QVERIFY(!QFileInfo::exists(fichier));
    }

    void text_utf16BehindItsMark_data()
    {
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<int>("format");  // as guessed
        QTest::addColumn<QStringList>("attendu");
        QTest::newRow("GIFT, little end first") << utf16("Q été 😀 {=a ~b ~c}\n", true) << int(Format::Gift)
                                                << L{"Q été 😀|a|b|c|1||"};
        QTest::newRow("CSV, big end first") << utf16("Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\r\nQ;a;b;c;2\r\n", false)
                                            << int(Format::Csv) << L{"Q|a|b|c|2||"};
        QTest::newRow("half a pair alone") << utf16(QString("A {=1 ~2 ~3}\n\nB ") + QChar(0xD800) + " {=1 ~2 ~3}", true)
                                           << int(Format::Gift)
                                           << L{"ERREUR Le fichier f n'est pas de l'UTF-16 valide (ligne 3) : la moitié d'une "
                                                "paire de substitution s'y trouve seule."};
        QTest::newRow("a low half first") << utf16(QString("Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\n") + QChar(0xDC00), false)
                                          << int(Format::Csv)
                                          << L{"ERREUR Le fichier f n'est pas de l'UTF-16 valide (ligne 2) : la moitié d'une "
                                               "paire de substitution s'y trouve seule."};
    }
    void text_utf16BehindItsMark()
    {
        QFETCH(QByteArray, contenu);
        QFETCH(int, format);
        QFETCH(QStringList, attendu);
        QCOMPARE(int(deviner(contenu, "f").value_or(Format::Qti)), format);
        QCOMPARE(essai::resumes(lire(Format(format), contenu, "f")), attendu);
    }
};

QTEST_GUILESS_MAIN(TestImportsReels)
#include "test_imports_reels.moc"
