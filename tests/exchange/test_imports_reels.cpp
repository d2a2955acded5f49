// Files from elsewhere: hostile XML, inputs built to cost time or memory, the habits of the
// platforms that write GIFT and Moodle XML, and the failures an import meets on disk.
#include "commun.h"

#include <QElapsedTimer>
#include <QTest>

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

} // namespace

class TestImportsReels : public QObject {
    Q_OBJECT

private slots:
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
};

QTEST_GUILESS_MAIN(TestImportsReels)
#include "test_imports_reels.moc"
