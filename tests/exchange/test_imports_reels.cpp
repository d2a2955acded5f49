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
using essai::moodle;
using essai::utf16;
using essai::exporter;
using L = QStringList;

namespace {

QByteArray choix(const QByteArray &texte, const QList<QPair<QByteArray, QByteArray>> &reponses)
{
    QByteArray q = "<question type=\"multichoice\"><questiontext format=\"html\"><text>" + texte + "</text></questiontext>";
    for (const auto &[fraction, r] : reponses)
        q += "<answer fraction=\"" + fraction + "\"><text>" + r + "</text></answer>";
    return q + "</question>\n";
}

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
        QTest::newRow("a text past the limit") << "<quiz>\n<question>" + QByteArray(10000001, 'a') + "</question></quiz>"
                                               << "(ligne 2, colonne 10000012) : un texte ou un nom dépasse la taille permise (10 "
                                                  "millions de caractères).";
        QTest::newRow("a DOCTYPE repeated") << QByteArray("<!DOCTYPE quiz>\n").repeated(200000) + "<quiz/>"
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

    // A picture many items show is read from the package once, its bytes shared by every question.
    void bounds_aPictureSharedByItemsIsReadOnce()
    {
        const QStringList items{"q1.xml", "q2.xml"};
        const QByteArray p = paquet({{"q1.xml", item("<img src=\"vue.jpg\"/>")}, {"q2.xml", item("<img src=\"vue.jpg\"/>")},
                                     {"vue.jpg", QByteArray(1 << 20, 'J')}, {"imsmanifest.xml", manifeste(items + items)}});
        const Lecture l = lireQti(p, "p.zip");
        QVERIFY2(l.resultat, qPrintable(l.resultat.erreur));
        QCOMPARE(l.questions.size(), 2);
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
        QTest::newRow("Moodle XML")
            << int(Format::MoodleXml)
            << "<quiz>\n"
                   + QByteArray("<question type=\"multichoice\"><name><text>n</text></name><questiontext><text>Q</text>"
                                "</questiontext><answer fraction=\"100\"><text>a</text></answer><answer fraction=\"0\">"
                                "<text>b</text></answer><answer fraction=\"0\"><text>c</text></answer></question>\n")
                         .repeated(32768 + 5)
                   + "</quiz>\n"
            << "question « n » (ligne 32769)";
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


    void gift_exportWritesNoMarkerOrQuestionByAccident()
    {
        essai::Banque b;
        b.poser({{"[html]<b>", 0, 1, 0, {"[plain]a", "b->c", "d"}}}, {"T\r\n::X::Y{=a~b~c}"});
        const QByteArray gift = exporter(b, {});
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
        QTest::newRow("five answers, reduced") << gift << QByteArray("Q{=a ~b ~c ~d ~e}") << true << QList<int>{}
                                               << L{"Q|a|b|c|1||", "ligne 1 : réduite : réponses 4 et 5 laissées"};
        QTest::newRow("wrong answers chosen") << gift << QByteArray("Q{~a =b ~c ~d}") << true << QList<int>{3, 0}
                                              << L{"Q|a|b|d|2||", "ligne 1 : réduite : réponse 3 laissée"};
        QTest::newRow("a right one chosen as wrong") << gift << QByteArray("Q{~a =b ~c ~d}") << true << QList<int>{1, 3}
                                                     << L{"Q|a|b|c|2||", "ligne 1 : réduite : réponse 4 laissée"};
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

    // Without the option, qzf leaves such a question out as the reader does.
    void answers_qzfReducesWhenAsked()
    {
        essai::Banque b;
        QString o, e;
        QTextStream so(&o), se(&e);
        QCOMPARE(qzf::executer({"import", b.fichier("q.gift", "Q {=a ~b ~c ~d}\n"), b.chemins().banque, "--three-answers"}, so, se), 0);
        so.flush();
        QVERIFY2(o.contains("Ce que le format ne garde pas (1) :\n  ligne 1 : réduite : réponse 4 laissée\n"), qPrintable(o));
        QCOMPARE(b.nombre(), 1);
    }

    void themes_nameCutKeepsNoBlankAtItsEnd_data()
    {
        QTest::addColumn<QString>("categorie");
        QTest::addColumn<QString>("theme");
        QTest::newRow("a tab") << "Histoire et géographie des\tmondes" << "Histoire et géographie des";
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
        const QByteArray csv = exporter(b, {Format::Csv}, &r);
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
        const QByteArray sortie = exporter(b, {Format(format)}, &r);
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
        const ResultatImport r = importer(b.chemins(), b.fichier("q.xml", moodle(essai::image("vue.jpg", "JPEG"))));
        QVERIFY2(r.resultat, qPrintable(r.resultat.erreur));
        QVERIFY(!QFileInfo::exists(ailleurs));
        QCOMPARE(b.lireMedia("vue1.jpg"), "JPEG");
        QCOMPARE(r.rapport.lignes(Remarque::Genre::Media),
                 L{"question « vue.jpg » (ligne 3) : vue.jpg enregistré sous vue1.jpg : un autre fichier porte déjà ce nom"});
    }

    void messages_aFailedImportLeavesNoFolder()
    {
        essai::Banque b;
        b.poser({{"Q", 0, 1, 0, {"a", "b", "c"}}});
        QFile::setPermissions(b.chemins().banque, QFile::ReadOwner | QFile::ReadGroup);
        const ResultatImport r = importer(b.chemins(), b.fichier("q.xml", moodle(essai::image("vue.jpg", "JPEG"))));
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

    void messages_exportNotOverABanksTemporaryFile_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::newRow("the bank itself") << "BASE.QZF";
        QTest::newRow("import") << "BASE.QZF.import";
        QTest::newRow("themes rewrite") << "BASE.PRM.nouveau";
    }
    void messages_exportNotOverABanksTemporaryFile()
    {
        QFETCH(QString, nom);
        essai::Banque b;
        b.poser({{"Q", 0, 1, 0, {"a", "b", "c"}}});
        const QByteArray avant = b.octets();
        Rapport r;
        const QString fichier = QFileInfo(b.chemins().banque).dir().filePath(nom.replace("BASE.PRM", QFileInfo(b.chemins().themes).fileName()));
        QCOMPARE(exporter(b.chemins(), fichier, {}, r).erreur,
                 "Le fichier " + fichier + " appartient à la banque BASE.QZF : choisissez un autre nom pour l'exportation.");
        QCOMPARE(QFileInfo::exists(fichier), nom == "BASE.QZF");
        QCOMPARE(b.octets(), avant);
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
