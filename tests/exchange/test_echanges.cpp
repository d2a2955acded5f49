// Export and import of banks, format by format, through the window-free code: exact bytes
// written, what each reader takes and skips, and the common import step on disk.
#include "commun.h"
#include "exchange/zip.h"

#include <QTest>

using namespace echanges;
using essai::Banque;
using essai::moodle;
using essai::exporter;
using essai::image;
using L = QStringList;

namespace {

OptionsExport en(Format f, QChar separateur = u';')
{
    OptionsExport o;
    o.format = f;
    o.separateur = separateur;
    return o;
}

// A bank whose texts hold every character GIFT escapes, a line break, a theme name with a
// slash, a card of a theme without a name, a mark and initials.
void banqueAEchapper(Banque &b)
{
    b.poser({{"Combien font {2}=~#:\\ ?\r\nDeux lignes", 1, 2, 1, {"a=b", "c~d", "e#f"}, "Voir {cours}", "JD"},
             {"Capitale de la France ?", 0, 1, 0, {"Paris", "Lyon", "Nice"}},
             {"Sans thème", 2, 3, 0, {"x", "y", "z"}}},
            {"Histoire", "Sciences/Techniques"});
}

QByteArray choixMoodle(const QByteArray &nom, const QList<QPair<int, QByteArray>> &reponses,
                       const QByteArray &texte = "Texte", const QByteArray &type = "multichoice")
{
    QByteArray q = "<question type=\"" + type + "\">\n<name><text>" + nom + "</text></name>\n"
                   "<questiontext format=\"html\"><text>" + texte + "</text></questiontext>\n";
    for (const auto &[fraction, t] : reponses)
        q += "<answer fraction=\"" + QByteArray::number(fraction) + "\"><text>" + t + "</text></answer>\n";
    return q + "</question>\n";
}

} // namespace

class TestEchanges : public QObject {
    Q_OBJECT
private slots:
    // ---------------------------------------------------------------- GIFT
    void gift_exportEscapesAndGroupsByTheme()
    {
        Banque b;
        banqueAEchapper(b);
        Rapport r;
        QCOMPARE(QString::fromUtf8(exporter(b, en(Format::Gift), &r)),
                 QStringLiteral("::Q0003::[plain]Sans thème{\n\t~x\n\t~y\n\t=z\n}\n\n"
                                "$CATEGORY: Histoire\n\n"
                                "::Q0002::[plain]Capitale de la France ?{\n\t=Paris\n\t~Lyon\n\t~Nice\n}\n\n"
                                "$CATEGORY: Sciences//Techniques\n\n"
                                "::Q0001::[plain]Combien font \\{2\\}\\=\\~\\#\\:\\\\ ?\\nDeux lignes{\n"
                                "\t~a\\=b\n\t=c\\~d\n\t~e\\#f\n\t####Voir \\{cours\\}\n}\n\n"));
        QCOMPARE(r.lignes(Remarque::Genre::Perte),
                 L({"1 fiche(s) perdent leur marque : 1", "1 fiche(s) perdent les initiales de leur auteur : 1"}));
    }

    void gift_readsEachKindOfQuestion_data()
    {
        QTest::addColumn<QByteArray>("gift");
        QTest::addColumn<QStringList>("attendu");
        QTest::newRow("true/false, short answer, numeric, essay, matching, description")
            << QByteArray("::V::Le ciel est bleu {T}\n\nCapitale ? {=Paris =paris}\n\nCombien ? {#3:1}\n\n"
                          "Racontez. {}\n\nAssociez {=a -> 1 =b -> 2 =c -> 3}\n\nJuste du texte\n")
            << L{"ligne 1 : question vrai/faux", "ligne 3 : question à réponse courte", "ligne 5 : question numérique",
                 "ligne 7 : question ouverte, sans réponses proposées", "ligne 9 : question d'association",
                 "ligne 11 : texte sans réponses (description)"};
        QTest::newRow("four answers, two right by weight, none right, an empty answer")
            << QByteArray("Q1 {=a ~b ~c ~d}\n\nQ2 {~%50%a ~%50%b ~c}\n\nQ3 {~a ~b ~c}\n\nQ4 {=a ~ ~c}\n")
            << L{"ligne 1 : 4 réponses au lieu de 3", "ligne 3 : 2 bonnes réponses au lieu d'une",
                 "ligne 5 : aucune bonne réponse", "ligne 7 : une des réponses est vide"};
        QTest::newRow("comments, category path, html, escapes, feedback per answer")
            << QByteArray("// exporté le lundi\n$CATEGORY: $course$/top/Géo//Histoire\n\n"
                          "::T1::[html]<p>Où est <b>Paris</b>&nbsp;?</p>{\n=En France#Bien\n~En Italie\n~En Espagne\n"
                          "####C'est \\{facile\\}\\nvraiment\n}\n")
            << L{"Où est Paris ?|En France|En Italie|En Espagne|1|C'est {facile} vraiment|Géo/Histoire",
                 "ligne 4 : les commentaires propres à chaque réponse ne sont pas gardés"};
        QTest::newRow("missing word, right answer last, plain category, CR LF lines")
            << QByteArray("$CATEGORY: Sciences\r\n\r\nLe chat est {~noir ~blanc =gris} ce soir.\r\n")
            << L{"Le chat est _____ ce soir.|noir|blanc|gris|3||Sciences"};
        // As the platforms that write GIFT write it.
        QTest::newRow("format markers before texts, answers and feedback")
            << QByteArray("::T::[moodle]Q <b>x</b>{=[html]<i>a</i> ~[plain]<b> ~[markdown]*c* ####[HTML]<p>vu</p>}")
            << L{"Q x|a|<b>|*c*|1|vu|"};
        QTest::newRow("a bracket that is no marker") << QByteArray("[2] Q{=a ~[b] ~c}") << L{"[2] Q|a|[b]|c|1||"};
        QTest::newRow("HTML without a marker") << QByteArray("Où est <b>Paris</b>&nbsp;?{=a&amp;b ~b ~c}")
                                               << L{"Où est Paris ?|a&b|b|c|1||"};
        QTest::newRow("~= opens one right answer") << QByteArray("Q{~=a ~b ~c}") << L{"Q|a|b|c|1||"};
        QTest::newRow("-> in a multiple-choice answer") << QByteArray("Q{=a->b ~c ~d}") << L{"Q|a->b|c|d|1||"};
        QTest::newRow("CR alone ends lines") << QByteArray("$CATEGORY: S\r\rA{=1 ~2 ~3}\r\rB{~1 =2 ~3}\r")
                                             << L{"A|1|2|3|1||S", "B|1|2|3|2||S"};
        QTest::newRow("cut after an opening brace")
            << QByteArray("Q1 {=a ~b ~c}\n\n::Q2::Deux {\n=a\n~b\n")
            << L{"ERREUR Le fichier q.gift est incomplet ou n'est pas un fichier GIFT : l'accolade « { » de la ligne 3 n'est "
                 "jamais fermée."};
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("Q1 {=a ~b ~c}\n\nQu'est-ce qu'un \xe9l\xe9phant ? {=a ~b ~c}\n")
            << L{"ERREUR Le fichier q.gift n'est pas écrit en UTF-8 (ligne 3) : un fichier GIFT doit l'être."};
    }
    void gift_readsEachKindOfQuestion()
    {
        QFETCH(QByteArray, gift);
        QFETCH(QStringList, attendu);
        QCOMPARE(essai::resumes(lireGift(gift, "q.gift")), attendu);
    }

    // ---------------------------------------------------------------- Moodle XML
    void moodle_reads_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QStringList>("attendu");
        const QByteArray reponses = "<answer fraction=\"100\"><text>a</text></answer><answer fraction=\"0\"><text>b</text></answer>"
                                    "<answer fraction=\"0\"><text>c</text></answer>";
        QTest::newRow("skips what is not one of three, keeps the rest")
            << moodle("<question type=\"category\"><category><text>$course$/top/Défaut//Autre/Géographie</text></category></question>\n"
                      + choixMoodle("Vrai ou faux", {{100, "true"}, {0, "false"}}, "Le ciel est bleu", "truefalse")
                      + choixMoodle("Quatre", {{100, "a"}, {0, "b"}, {0, "c"}, {0, "d"}})
                      + choixMoodle("Deux justes", {{50, "a"}, {50, "b"}, {0, "c"}})
                      + "<question type=\"multichoice\"><name><text>Bonne</text></name>\n"
                        "<questiontext format=\"html\"><text><![CDATA[<p>Quel fleuve<br>passe à <i>Paris</i>&nbsp;?</p>"
                        "<p><img src=\"@@PLUGINFILE@@/carte%20de%20France.jpg\" alt=\"\"></p>]]></text>\n"
                        "<file name=\"carte de France.jpg\" path=\"/\" encoding=\"base64\">SlBFRw==</file></questiontext>\n"
                        "<generalfeedback format=\"plain_text\"><text>La Seine &lt;évidemment&gt;</text></generalfeedback>\n"
                        "<answer fraction=\"0\" format=\"html\"><text>La Loire</text></answer>\n"
                        "<answer fraction=\"100\" format=\"html\"><text>La &amp;lt;Seine&amp;gt;</text>"
                        "<feedback format=\"html\"><text>Oui</text></feedback></answer>\n"
                        "<answer fraction=\"-50\" format=\"html\"><text>Le Rhône</text></answer>\n"
                        "<tags><tag><text>marque</text></tag><tag><text>auteur-AB</text></tag></tags></question>\n")
            << L{"Quel fleuve/passe à Paris ?|La Loire|La <Seine>|Le Rhône|2|La Seine <évidemment>|Géographie|"
                 "carte de France.jpg/10/JPEG|marque|AB",
                 "question « Vrai ou faux » (ligne 4) : question vrai/faux",
                 "question « Quatre » (ligne 10) : 4 réponses au lieu de 3",
                 "question « Deux justes » (ligne 18) : 2 bonnes réponses au lieu d'une",
                 "question « Bonne » (ligne 25) : les commentaires propres à chaque réponse ne sont pas gardés"};
        QTest::newRow("fractions as a number reads them")
            << moodle("<question type=\"multichoice\"><questiontext><text>Q</text></questiontext>"
                      "<answer fraction=\"-0\"><text>a</text></answer><answer fraction=\" 1e2 \"><text>b</text></answer>"
                      "<answer fraction=\"0.000\"><text>c</text></answer></question>"
                      "<question type=\"multichoice\"><questiontext><text>R</text></questiontext>"
                      "<answer fraction=\"abc\"><text>a</text></answer><answer fraction=\"-50\"><text>b</text></answer>"
                      "<answer fraction=\"0.001\"><text>c</text></answer></question>")
            << L{"Q|a|b|c|2||", "R|a|b|c|3||"};
        QTest::newRow("a text in pieces, blanks between elements left out")
            << moodle("<question type=\"multichoice\"><name><text>N</text></name><questiontext format=\"html\"><text>un "
                      "<![CDATA[<b>deux</b>]]> <x/> &amp;nbsp;trois</text></questiontext>" + reponses + "</question>")
            << L{"un deux  trois|a|b|c|1||"};
        QTest::newRow("a name holding %1 and %2 keeps them")
            << moodle("<question type=\"truefalse\"><name><text>100%1 sûr %2</text></name></question>")
            << L{"question « 100%1 sûr %2 » (ligne 3) : question vrai/faux"};
        QTest::newRow("file bytes from every piece of its text")
            << moodle("<question type=\"multichoice\"><questiontext format=\"html\"><text><![CDATA[<img src=\"@@PLUGINFILE@@/a.jpg\">]]>"
                      "</text><file name=\"a.jpg\" encoding=\"base64\">SlB<![CDATA[FR]]>&#119;\n==</file></questiontext>" + reponses
                      + "</question>")
            << L{"|a|b|c|1|||a.jpg/10/JPEG"};
        auto ancienne = [](const QByteArray &image) {  // a picture as older versions carry it
            QByteArray q = choixMoodle("N", {{100, "a"}, {0, "b"}, {0, "c"}});
            return moodle(q.insert(q.indexOf("<answer"), image));
        };
        QTest::newRow("older picture, carried")
            << ancienne("<image>images/vue.jpg</image><image_base64>SlBF\nRw==</image_base64>") << L{"Texte|a|b|c|1|||vue.jpg/10/JPEG"};
        QTest::newRow("older picture, not carried")
            << ancienne("<image>vue.jpg</image>")
            << L{"Texte|a|b|c|1||", "question « N » (ligne 3) : vue.jpg est cité mais absent du fichier"};
        QTest::newRow("older picture of a kind not shown")
            << ancienne("<image>vue.png</image><image_base64>UE5H</image_base64>")
            << L{"Texte|a|b|c|1||", "question « N » (ligne 3) : vue.png n'est pas gardé : l'éditeur montre les images BMP et JPEG "
                                    "et les sons MID, WAV et MP3"};
        const QByteArray ete = choixMoodle("N", {{100, "\xe9t\xe9"}, {0, "b"}, {0, "c"}});
        QTest::newRow("Latin-1 declared") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<quiz>\n" + ete + "</quiz>"
                                          << L{"Texte|été|b|c|1||"};
        QTest::newRow("UTF-16 with its mark") << essai::utf16("<quiz>\n" + QString::fromLatin1(ete) + "</quiz>", true)
                                              << L{"Texte|été|b|c|1||"};
        const QString invalide = "ERREUR Le fichier quiz.xml n'est pas un XML valide ";
        QTest::newRow("an HTML entity") << QByteArray("<quiz>&nbsp;</quiz>")
                                        << L{invalide + "(ligne 1, colonne 7) : la référence &nbsp; n'existe pas en XML."};
        QTest::newRow("a lone ampersand") << QByteArray("<quiz>\n x & y</quiz>")
                                          << L{invalide + "(ligne 2, colonne 4) : un « & » seul s'écrit &amp;."};
        QTest::newRow("not UTF-8") << QByteArray("<quiz>\xe9</quiz>")
                                   << L{invalide + "(ligne 1, colonne 7) : ce n'est pas de l'UTF-8 valide, l'encodage que le "
                                                   "fichier annonce."};
        const QByteArray entier = moodle(choixMoodle("Une", {{100, "a"}, {0, "b"}, {0, "c"}}));
        QTest::newRow("cut in the middle")
            << entier.left(entier.indexOf("<answer fraction=\"0\">") + 12)
            << L{"ERREUR Le fichier quiz.xml est incomplet : son XML s'arrête ligne 7, colonne 12, avant la fin du document."};
        QTest::newRow("not Moodle")
            << QByteArray("<?xml version=\"1.0\"?>\n<html><body/></html>")
            << L{"ERREUR Le fichier quiz.xml n'est pas un fichier Moodle XML : son élément racine est « html » (ligne 2), "
                 "« quiz » est attendu."};
        QTest::newRow("mismatched tag")
            << QByteArray("<quiz><question type=\"x\"></quiz>")
            << L{"ERREUR Le fichier quiz.xml n'est pas un XML valide (ligne 1, colonne 26) : la balise de fin </quiz> ne "
                 "correspond pas à <question>."};
    }
    void moodle_reads()
    {
        QFETCH(QByteArray, xml);
        QTEST(essai::resumes(lireMoodle(xml, "quiz.xml")), "attendu");
    }

    void moodle_exportWritesEachCardAsItsStoredBytesShowIt()
    {
        Banque b;
        b.poser({{"  Deux  blancs & <b>\"gras\"</b>\r\nligne\ttab \x01" "fin  ", 1, 2, 1, {"€ œ", " a", "x >y"}, "Voir\r«cours»",
                  "A<B"},
                 {"Sans bonne", 0, 0, 0, {"1", "2", "3"}, {}, {}, "vue.jpg", 10}},
                {"Sans thème", "Géo/Histoire & co"});
        b.media("vue.jpg", "JPEG");
        const QByteArray attendu =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n"
            "  <question type=\"category\">\n    <category>\n      <text>$course$/top/Sans thème</text>\n    </category>\n"
            "    <info format=\"html\">\n      <text></text>\n    </info>\n  </question>\n"
            "  <question type=\"multichoice\">\n    <name>\n      <text>Q0002 Sans bonne</text>\n    </name>\n"
            "    <questiontext format=\"html\">\n      <text>Sans bonne&lt;br&gt;&lt;img src=\"@@PLUGINFILE@@/vue.jpg\" "
            "alt=\"vue.jpg\"&gt;</text>\n      <file name=\"vue.jpg\" path=\"/\" encoding=\"base64\">SlBFRw==</file>\n"
            "    </questiontext>\n    <generalfeedback format=\"html\">\n      <text></text>\n    </generalfeedback>\n"
            "    <defaultgrade>1</defaultgrade>\n    <penalty>0.3333333</penalty>\n    <hidden>0</hidden>\n"
            "    <single>true</single>\n    <shuffleanswers>true</shuffleanswers>\n    <answernumbering>abc</answernumbering>\n"
            "    <answer fraction=\"0\" format=\"html\">\n      <text>1</text>\n    </answer>\n"
            "    <answer fraction=\"0\" format=\"html\">\n      <text>2</text>\n    </answer>\n"
            "    <answer fraction=\"0\" format=\"html\">\n      <text>3</text>\n    </answer>\n  </question>\n"
            "  <question type=\"category\">\n    <category>\n      <text>$course$/top/Géo//Histoire &amp; co</text>\n"
            "    </category>\n    <info format=\"html\">\n      <text></text>\n    </info>\n  </question>\n"
            "  <question type=\"multichoice\">\n    <name>\n      <text>Q0001 Deux blancs &amp; &lt;b&gt;\"gras\"&lt;/b&gt; ligne\ttab "
            "fin</text>\n    </name>\n    <questiontext format=\"html\">\n      <text>Deux&amp;nbsp;&amp;nbsp;blancs &amp;amp; "
            "&amp;lt;b&amp;gt;&amp;quot;gras&amp;quot;&amp;lt;/b&amp;gt;&lt;br&gt;ligne&amp;#9;tab fin</text>\n"
            "    </questiontext>\n    <generalfeedback format=\"html\">\n      <text>Voir&lt;br&gt;«cours»</text>\n"
            "    </generalfeedback>\n    <defaultgrade>1</defaultgrade>\n    <penalty>0.3333333</penalty>\n"
            "    <hidden>0</hidden>\n    <single>true</single>\n    <shuffleanswers>true</shuffleanswers>\n"
            "    <answernumbering>abc</answernumbering>\n    <answer fraction=\"0\" format=\"html\">\n      <text>€ œ</text>\n"
            "    </answer>\n    <answer fraction=\"100\" format=\"html\">\n      <text>a</text>\n    </answer>\n"
            "    <answer fraction=\"0\" format=\"html\">\n      <text>x &amp;gt;y</text>\n    </answer>\n"
            "    <tags>\n      <tag>\n        <text>marque</text>\n      </tag>\n      <tag>\n        <text>auteur-A&lt;B</text>\n"
            "      </tag>\n    </tags>\n  </question>\n</quiz>\n";
        OptionsExport o = en(Format::MoodleXml);
        o.melanger = true;
        Rapport r;
        QCOMPARE(exporter(b, o, &r), attendu);
        QCOMPARE(r.lignes(Remarque::Genre::Note), L({"1 fiche(s) sans bonne réponse, exportées sans réponse juste : 2"}));
    }

    // ---------------------------------------------------------------- CSV
    void csv_exportWritesEveryFieldQuoted()
    {
        Banque b;
        b.poser({{"Vrai; ou, \"faux\" ?", 1, 2, 1, {"a", "b", "c"}, "ligne 1\r\nligne 2", "JD", "son.wav", 2},
                 {"Sans bonne", 0, 0}},
                {"Histoire", "Géo"});
        const QByteArray attendu =
            "\xEF\xBB\xBFNuméro;Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse;Commentaire;N° de thème;Thème;"
            "Marque;Initiales;Média;Code média\r\n"
            "1;\"Vrai; ou, \"\"faux\"\" ?\";a;b;c;2;\"ligne 1\r\nligne 2\";2;Géo;1;JD;son.wav;2\r\n"
            "2;Sans bonne;;;;;;1;Histoire;0;;;\r\n";
        QCOMPARE(exporter(b, en(Format::Csv)), attendu);
    }

    void csv_readsQuotedFieldsAndSkipsBadRows_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("attendu");
        QTest::newRow("separators and a line break inside quotes")
            << QByteArray("\xEF\xBB\xBFQuestion;Réponse 1;Réponse 2;Réponse 3;Bonne réponse;Commentaire;Thème\r\n"
                          "\"Un; deux, trois\";\"a,b\";\"c;d\";\"e \"\"f\"\"\";3;\"Première ligne\r\nseconde\";Maths\r\n"
                          "Q2;x;y;z;1;;\r\n")
            << L{"Un; deux, trois|a,b|c;d|e \"f\"|3|Première ligne/seconde|Maths", "Q2|x|y|z|1||"};
        QTest::newRow("comma separated, header in any case and order")
            << QByteArray("bonne reponse,QUESTION,reponse 3,reponse 2,reponse 1\n2,\"Q, un\",c,b,a\n")
            << L{"Q, un|a|b|c|2||"};
        QTest::newRow("rows skipped with their line")
            << QByteArray("Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\n"
                          "Q1;a;b;;1\n;a;b;c;1\nQ3;a;b;c;4\n;;;;\n\"Q5\nsur deux lignes\";a;b;c;\n")
            << L{"ligne 2 : 2 réponse(s) au lieu de 3", "ligne 3 : question sans texte",
                 "ligne 4 : bonne réponse « 4 » : 1, 2 ou 3 attendu", "ligne 6 : aucune bonne réponse"};
        QTest::newRow("missing columns")
            << QByteArray("Question;Reponse A;Reponse B\nQ;a;b\n")
            << L{"ERREUR Le fichier q.csv n'a pas l'en-tête attendu (ligne 1) : il y manque les colonnes Réponse 1, "
                 "Réponse 2, Réponse 3, Bonne réponse."};
        QTest::newRow("cut inside quotes")
            << QByteArray("Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse\nQ;a;b;c;1\n\"Q2;a")
            << L{"ERREUR Le fichier q.csv est incomplet : le guillemet ouvert ligne 3 n'est jamais fermé."};
        QTest::newRow("saved as Windows-1252")
            << QByteArray("Question;R\xe9ponse 1;R\xe9ponse 2;R\xe9ponse 3;Bonne r\xe9ponse\n")
            << L{"ERREUR Le fichier q.csv n'est pas écrit en UTF-8 (ligne 1) : enregistrez-le au format « CSV UTF-8 »."};
    }
    void csv_readsQuotedFieldsAndSkipsBadRows()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QStringList, attendu);
        QCOMPARE(essai::resumes(lireCsv(csv, "q.csv")), attendu);
    }

    // ---------------------------------------------------------------- QTI
    void qti_packageHoldsManifestItemsAndMedia()
    {
        Banque b;
        b.poser({{"Quelle image ?\r\nUne seule", 0, 2, 0, {"A", "B  C", "D"}, "Un commentaire", {}, "vue.jpg", 11},
                 {"Sans média", 0, 1}},
                {"Histoire"});
        b.media("vue.jpg", "JFIF");
        const QByteArray paquet = exporter(b, en(Format::Qti));
        ArchiveLue zip;
        Resultat r;
        QVERIFY(zip.ouvrir(paquet, "p.zip", r));
        QCOMPARE(zip.noms(), L({"media/vue.jpg", "Q0001.xml", "Q0002.xml", "imsmanifest.xml"}));
        QByteArray octets;

        // The manifest against its schema and its files: test_echanges_externes.
        QVERIFY(zip.lire("Q0001.xml", octets, r));
        const QString nbsp(QChar(0xA0));
        const QStringList morceaux{"<correctResponse>\n      <value>B</value>",
                                   "<p>Quelle image ?<br/>Une seule</p>\n    <p>\n      <img src=\"media/vue.jpg\" alt=\"vue.jpg\"/>",
                                   "<simpleChoice identifier=\"B\">B" + nbsp + nbsp + "C</simpleChoice>",
                                   "identifier=\"COMMENTAIRE\">Un commentaire</modalFeedback>"};
        for (const QString &morceau : morceaux)
            QVERIFY2(octets.contains(morceau.toUtf8()), qPrintable(morceau));
    }

    void qti_badPackageIsRefused_data()
    {
        QTest::addColumn<QByteArray>("paquet");
        QTest::addColumn<QString>("message");
        auto zip = [](const QList<std::pair<QString, QByteArray>> &entrees) {
            ArchiveEcrite a;
            for (const auto &[nom, octets] : entrees)
                a.ajouter(nom, octets, nom.endsWith(".xml"));
            QByteArray z;
            QString e;
            return a.terminer(z, e) ? z : QByteArray();
        };
        const QString illisible = "Le fichier p.zip n'est pas un paquet zip lisible : il est incomplet ou ce n'est pas une archive zip.";
        QTest::newRow("path leaving the package")
            << zip({{"Q1.xml", "<assessmentItem/>"}, {"media/../../evasion.jpg", "x"}})
            << "Le paquet p.zip est refusé : son entrée media/../../evasion.jpg (n° 2) désigne un chemin qui sort du paquet.";
        auto abime = [&](int octet) {  // one byte of the package changed
            QByteArray p = zip({{"imsmanifest.xml", "<manifest/>"}});
            p[octet] = char(p[octet] ^ 0x55);
            return p;
        };
        const QString sommaire = "Le paquet p.zip est endommagé : son sommaire ne correspond pas à son contenu.";
        QTest::newRow("damaged compression method") << abime(8) << sommaire;
        QTest::newRow("damaged entry name") << abime(30) << sommaire;
        QTest::newRow("truncated zip") << zip({{"imsmanifest.xml", "<manifest/>"}}).chopped(10) << illisible;
        QTest::newRow("manifest cut") << zip({{"imsmanifest.xml", "<manifest><resources><resource type="}})
            << "Le fichier p.zip (imsmanifest.xml) est incomplet : son XML s'arrête ligne 1, colonne 36, avant la fin du document.";
    }
    void qti_badPackageIsRefused()
    {
        QFETCH(QByteArray, paquet);
        QFETCH(QString, message);
        QCOMPARE(lireQti(paquet, "p.zip").resultat.erreur, message);
    }

    // ---------------------------------------------------------------- round trips
    void roundTrip_givesTheSameCards_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("marquesEtInitiales");
        QTest::addColumn<bool>("themes");
        QTest::addColumn<int>("medias");  // 0 none, 1 names and codes, 2 bytes too
        QTest::addColumn<QChar>("separateur");
        QTest::newRow("GIFT") << int(Format::Gift) << false << true << 0 << QChar(u';');
        QTest::newRow("Moodle XML") << int(Format::MoodleXml) << true << true << 2 << QChar(u';');
        QTest::newRow("QTI") << int(Format::Qti) << false << false << 2 << QChar(u';');
        QTest::newRow("CSV ;") << int(Format::Csv) << true << true << 1 << QChar(u';');
        // The reader takes the separator from the header: the header must use it too.
        QTest::newRow("CSV ,") << int(Format::Csv) << true << true << 1 << QChar(u',');
    }
    void roundTrip_givesTheSameCards()
    {
        QFETCH(int, format);
        QFETCH(bool, marquesEtInitiales);
        QFETCH(bool, themes);
        QFETCH(int, medias);
        Banque source, cible;
        source.poser({{"Où coule l'Èbre ?\r\n  Deuxième ligne  indentée", 0, 2, 1, {"En Espagne", "Œuvre « à part »", "€ 5"},
                       "Un   commentaire\r\n\r\naéré", "ÉLV", "carte.jpg", 10},
                      {"<b>Pas du HTML</b> & co", 1, 3, 0, {"1 < 2", "a & b", "%50% x"}, {}, {}, "chant.wav", 2},
                      {"Sans média", 1, 1, 1, {"p", "q", "r"}, "—", "AB"}},
                     {"Géographie", "Sciences/Techniques"});
        const QByteArray image("\xFF\xD8\xFF\xE0 image", 10), son("RIFF son");
        source.media("carte.jpg", image);
        source.media("chant.wav", son);
        cible.poser({});
        if (medias == 1) {  // CSV carries the names: the folder travels beside it
            cible.media("carte.jpg", image);
            cible.media("chant.wav", son);
        }
        QFETCH(QChar, separateur);
        OptionsExport o = en(Format(format), separateur);
        Rapport r;
        const QString fichier = source.chemin("export." + extension(Format(format)));
        QVERIFY(echanges::exporter(source.chemins(), fichier, o, r));
        const ResultatImport i = importer(cible.chemins(), fichier);
        QVERIFY2(i.resultat, qPrintable(i.resultat.erreur));
        QCOMPARE(i.rapport.fiches, 3);

        QCOMPARE(cible.themes(), themes ? source.themes() : L());
        for (int n = 1; n <= 3; ++n) {
            const FicheQuestion avant = source.fiche(n), apres = cible.fiche(n);
            QCOMPARE(essai::resume(apres, cible.themes()), essai::resume(avant, themes ? source.themes() : L()));
            QCOMPARE(apres.Marque, marquesEtInitiales ? avant.Marque : qint16(0));
            QCOMPARE(texte::brut(apres.Auteur), marquesEtInitiales ? texte::brut(avant.Auteur) : "     ");
            QCOMPARE(texte::affiche(apres.FichierMedia), medias ? texte::affiche(avant.FichierMedia) : QString());
            QCOMPARE(apres.TailleImage, medias ? avant.TailleImage : qint16(0));
        }
        if (medias == 2) {
            QCOMPARE(cible.medias(), L({"carte.jpg", "chant.wav"}));
            QCOMPARE(cible.lireMedia("carte.jpg"), image);
            QCOMPARE(cible.lireMedia("chant.wav"), son);
        }
    }

    // ---------------------------------------------------------------- the import step
    // The report (its title aside) and what the bank holds afterwards: its themes, the cards
    // added (with their media) and its media folder, each file with its bytes.
    void import_data()
    {
        QTest::addColumn<QString>("cas");
        QTest::addColumn<QString>("fichier");
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<QStringList>("rapport");
        QTest::addColumn<QStringList>("banque");
        QTest::newRow("categories fill the free themes, then the ninth")
            << "sept themes" << "q.gift"
            << QByteArray("$CATEGORY: deux\n\nQ1 {=a ~b ~c}\n\n$CATEGORY: Neuf\n\nQ2 {=a ~b ~c}\n\n$CATEGORY: Dix\n\nQ3 {=a ~b ~c}\n\n"
                          "$CATEGORY: Onze\n\nQ4 {=a ~b ~c}\n\n$CATEGORY: Douze\n\nQ5 {=a ~b ~c}\n\n$CATEGORY: Onze\n\nQ6 {=a ~b ~c}\n")
            << L{"6 questions importées : fiches 2 à 7.", "Thèmes (5) :", "  « deux » : thème 2 de la banque",
                 "  « Neuf » : nouveau thème 8", "  « Dix » : nouveau thème 9",
                 "  « Onze » : plus de place parmi les neuf thèmes, ses questions vont au thème 9 « Dix »",
                 "  « Douze » : plus de place parmi les neuf thèmes, ses questions vont au thème 9 « Dix »"}
            // Slot 3 is blank but holds a card already: it stays as it is.
            << L{"Un,Deux,,Quatre,Cinq,Six,Sept,Neuf,Dix", "Q1|a|b|c|1||Deux", "Q2|a|b|c|1||Neuf", "Q3|a|b|c|1||Dix", "Q4|a|b|c|1||Dix",
                 "Q5|a|b|c|1||Dix", "Q6|a|b|c|1||Dix"};
        const QString autreNom = "enregistré sous %1 : un autre fichier porte déjà ce nom";
        QTest::newRow("a media file never overwrites another")
            << "photo.jpg" << "q.xml"
            << moodle(image("photo.jpg", "NOUVELLE") + image("photo.jpg", "NOUVELLE") + image("PHOTO1.JPG", "AUTRE")
                      + image("une-tres-longue-image.jpeg", "LONGUE"))
            << L{"4 questions importées : fiches 1 à 4.", "Thèmes (1) :", "  4 question(s) sans catégorie : thème 1", "Images et sons (4) :",
                 "  question « photo.jpg » (ligne 3) : photo.jpg " + autreNom.arg("photo1.jpg"),
                 "  question « photo.jpg » (ligne 4) : photo.jpg " + autreNom.arg("photo1.jpg"),
                 "  question « PHOTO1.JPG » (ligne 5) : PHOTO1.JPG " + autreNom.arg("PHOTO11.JPG"),
                 "  question « une-tres-longue-image.jpeg » (ligne 6) : une-tres-longue-image.jpeg enregistré sous une-tre.jpeg "
                 "(12 caractères au plus, sans caractère spécial)"}
            << L{"", "|a|b|c|1|||photo1.jpg/10", "|a|b|c|1|||photo1.jpg/10", "|a|b|c|1|||PHOTO11.JPG/10", "|a|b|c|1|||une-tre.jpeg/10",
                 "PHOTO11.JPG=AUTRE", "photo.jpg=ANCIENNE", "photo1.jpg=NOUVELLE", "une-tre.jpeg=LONGUE"};
        QTest::newRow("texts cut and characters replaced, said where")
            << "" << "q.csv"
            << ("Question;Réponse 1;Réponse 2;Réponse 3;Bonne réponse;Initiales;Thème\n" + QString(250, u'x') + ";☃ neige;b;c;1;ABCDEFG;"
                + QString(30, u'T') + "\n").toUtf8()
            << L{"1 question importée : fiche 1.", "Textes coupés à la largeur de leur champ (3) :",
                 "  ligne 2 : question : 200 caractères gardés sur 250", "  ligne 2 : initiales : 5 caractères gardés sur 7",
                 "  thème « TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT » : nom du thème : 27 caractères gardés sur 30",
                 "Caractères remplacés par « ? » (1) :", "  ligne 2 : réponse 1 : « ☃ »", "Thèmes (1) :",
                 "  « TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT » : nouveau thème 1"}
            << L{QString(27, u'T'), QString(200, u'x') + "|? neige|b|c|1||" + QString(27, u'T')};
        // The append's temporary file cannot be made: a folder stands at its name.
        QTest::newRow("a failed write leaves bank, themes and media as they were")
            << "import bloque" << "q.xml"
            << moodle("<question type=\"category\"><category><text>Nouveau</text></category></question>"
                      "<question type=\"multichoice\"><name><text>N</text></name><questiontext format=\"html\"><text>"
                      "<![CDATA[<audio src=\"@@PLUGINFILE@@/neuf.mp3\">]]></text><file name=\"neuf.mp3\" encoding=\"base64\">"
                      "SUQz</file></questiontext><answer fraction=\"100\"><text>a</text></answer><answer fraction=\"0\">"
                      "<text>b</text></answer><answer fraction=\"0\"><text>c</text></answer></question>")
            << L{"ERREUR Impossible d'ajouter des fiches au fichier DIR/BASE.QZF : un autre fichier ou dossier porte déjà ce nom. La "
                 "banque n'a pas changé."}
            << L{"Un", "deja.wav=SON"};
        QTest::newRow("a full bank takes no more") << "pleine" << "q.gift" << QByteArray("A {=1 ~2 ~3}\n\nB {=1 ~2 ~3}\n")
            << L{"1 question importée : fiche 32767.", "1 question(s) non importée(s) : voir ci-dessous.", "Questions non importées (1) :",
                 "  ligne 3 : la banque est pleine (32767 fiches au plus)", "Thèmes (1) :", "  1 question(s) sans catégorie : thème 1"}
            << L{"", "A|1|2|3|1||"};
        QTest::newRow("nothing to import writes nothing") << "" << "q.gift" << QByteArray("Vrai ? {T}\n")
            << L{"Aucune question importée : la banque n'a pas changé.", "1 question(s) non importée(s) : voir ci-dessous.",
                 "Questions non importées (1) :", "  ligne 1 : question vrai/faux"}
            << L{""};
    }
    void import()
    {
        QFETCH(QString, cas);
        QFETCH(QString, fichier);
        QFETCH(QByteArray, contenu);
        Banque b;
        if (cas == "sept themes")
            b.poser({{"Existante", 2, 1, 0, {"a", "b", "c"}}}, {"Un", "Deux", "", "Quatre", "Cinq", "Six", "Sept"});
        else if (cas == "pleine")
            banque::ecrire(b.chemins().banque, QByteArray(32766 * FicheQuestion::Taille, ' '));
        else if (cas == "import bloque")
            b.poser({{"Ancienne", 0, 1, 0, {"a", "b", "c"}}}, {"Un"});
        else
            b.poser({});
        if (cas == "photo.jpg")
            b.media("photo.jpg", "ANCIENNE");
        if (cas == "import bloque") {
            b.media("deja.wav", "SON");
            QVERIFY(QDir().mkpath(b.chemins().banque + ".import"));
        }
        const int avant = b.nombre();
        const QByteArray octetsAvant = b.octets();
        auto themes = [&] { return QFile::exists(b.chemins().themes) ? banque::lire(b.chemins().themes) : QByteArray("(none)"); };
        const QByteArray themesAvant = themes();
        const ResultatImport r = importer(b.chemins(), b.fichier(fichier, contenu));
        QStringList rapport = r.rapport.texte().split(u'\n', Qt::SkipEmptyParts).mid(1);
        if (!r.resultat)
            rapport = {"ERREUR " + QString(r.resultat.erreur).replace(b.dir.path(), "DIR")};
        QStringList etat{b.themes().join(u',')};
        for (int n = avant + 1; n <= b.nombre(); ++n) {
            const FicheQuestion f = b.fiche(n);
            const QString media = texte::affiche(f.FichierMedia);
            etat << essai::resume(f, b.themes()) + (media.isEmpty() ? QString() : '|' + media + '/' + QString::number(f.TailleImage));
        }
        for (const QString &m : b.medias())
            etat << m + '=' + b.lireMedia(m);
        QTEST(rapport, "rapport");
        QTEST(etat, "banque");
        QCOMPARE(b.octets().left(octetsAvant.size()), octetsAvant);  // cards are only ever added
        if (!r.resultat || r.rapport.fiches == 0)
            QCOMPARE(themes(), themesAvant);
    }

    void guess_formatFromContentThenName_data()
    {
        QTest::addColumn<QByteArray>("contenu");
        QTest::addColumn<QString>("nom");
        QTest::addColumn<int>("format");  // -1: none
        QTest::newRow("zip") << QByteArray("PK\x03\x04....") << "a.txt" << int(Format::Qti);
        QTest::newRow("xml after a BOM") << QByteArray("\xEF\xBB\xBF  <?xml?><quiz/>") << "a.gift" << int(Format::MoodleXml);
        QTest::newRow("csv header") << QByteArray("Question;Réponse 1\nQ {=a};b") << "a.txt" << int(Format::Csv);
        QTest::newRow("by name") << QByteArray("rien") << "a.CSV" << int(Format::Csv);
        QTest::newRow("none") << QByteArray("rien") << "a.doc" << -1;
    }
    void guess_formatFromContentThenName()
    {
        QFETCH(QByteArray, contenu);
        QFETCH(QString, nom);
        QFETCH(int, format);
        const auto f = deviner(contenu, nom);
        QCOMPARE(f ? int(*f) : -1, format);
    }
};

QTEST_GUILESS_MAIN(TestEchanges)
#include "test_echanges.moc"
