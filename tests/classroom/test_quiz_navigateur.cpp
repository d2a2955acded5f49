// The quiz page taken in a real browser (the system's headless Chromium driven by the npm
// package playwright-core, both installed by tools/test.sh): every answer right by mouse and
// keyboard, one wrong, a picture, a sound, a card holding markup, a phone's screen, the
// shuffled page, and no request leaving the page. Without the tools the test says so and skips.
#include "cli/qzf.h"
#include "exchange/commun.h"

#include <QColor>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QFileInfo>
#include <QTest>
#include <QTextStream>
#include <QtEndian>
#include <cmath>

using essai::Banque;

namespace {

const QString kNpm = QStringLiteral(ORBELIN_NPM);
const QString kScript = QStringLiteral(SCRIPT_NAVIGATEUR);

QString navigateur()
{
    const QString choisi = qEnvironmentVariable("ORBELIN_CHROMIUM");
    return choisi.isEmpty() ? QStringLiteral("/usr/bin/chromium-headless-shell") : choisi;
}

// A short tone: a real WAV file the browser can decode.
QByteArray son()
{
    const int frequence = 8000, n = 1600;
    QByteArray donnees(n * 2, '\0');
    for (int i = 0; i < n; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(2 * M_PI * 440 * i / frequence)), donnees.data() + 2 * i);
    QByteArray w("RIFF");
    auto u32 = [&](quint32 v) { char b[4]; qToLittleEndian(v, b); w.append(b, 4); };
    auto u16 = [&](quint16 v) { char b[2]; qToLittleEndian(v, b); w.append(b, 2); };
    u32(36 + quint32(donnees.size()));
    w += "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(frequence), u32(frequence * 2), u16(2), u16(16);
    w += "data";
    u32(quint32(donnees.size()));
    return w + donnees;
}

struct Lance {
    bool fini = false;
    QJsonObject obs;
    QByteArray erreurs;
};

Lance lancer(const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NODE_PATH", kNpm + "/node_modules");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("node"), QStringList{kScript, navigateur()} + arguments);
    Lance l;
    l.fini = p.waitForFinished(240000);
    l.obs = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    l.erreurs = p.readAllStandardError();
    return l;
}

QStringList chaines(const QJsonValue &v)
{
    QStringList l;
    for (const QJsonValue &x : v.toArray())
        l << x.toString();
    return l;
}

} // namespace

class TestQuizNavigateur : public QObject {
    Q_OBJECT
    Banque m_banque;
    QJsonObject m_obs;
    QString m_pasPret;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("node").isEmpty())
            m_pasPret = "node is not installed (tools/deps.sh installs it)";
        else if (!QFileInfo(navigateur()).isExecutable())
            m_pasPret = navigateur() + " is missing (tools/deps.sh installs chromium-headless-shell)";
        else if (!QFile::exists(kNpm + "/node_modules/playwright-core/package.json"))
            m_pasPret = "playwright-core is missing from " + kNpm + " (tools/test.sh installs it)";
        if (!m_pasPret.isEmpty())
            return;

        Banque &b = m_banque;
        b.poser({{"Quelle est la capitale de la France ?", 0, 1, 0, {"Paris", "Lyon", "Nice"},
                  "Paris est la capitale depuis longtemps."},
                 {"Que montre l'image ?", 1, 2, 0, {"Un cercle", "Un carré rouge", "Un triangle"}, "", "", "carre.jpg", 11},
                 {"Quelle note entend-on ?", 1, 3, 0, {"Do", "Ré", "La"}, "Le la du diapason.", "", "la.wav", 2},
                 {"<script>window.pirate = 1</script> Combien font 2 + 2 ?", 0, 2, 0,
                  {"<img src=x onerror=\"window.pirate = 2\">", "4", "5"}, "<b>Quatre</b>"},
                 {"Le ciel est-il bleu ?", 0, 1, 0, {"Oui", "Non", ""}},
                 {"Quelle image manque ?", 1, 3, 0, {"A", "B", "C"}, "", "", "absente.jpg", 10}},
                {"Culture", "Images et sons"});
        QImage carre(40, 30, QImage::Format_RGB32);
        carre.fill(QColor(200, 30, 30));
        QDir().mkpath(b.chemins().medias);
        QVERIFY(carre.save(QDir(b.chemins().medias).filePath("carre.jpg"), "JPEG"));
        b.media("la.wav", son());

        QJsonArray attentes;
        const QList<std::pair<QString, QString>> bonnes{
            {"Quelle est la capitale de la France ?", "Paris"},
            {"Que montre l'image ?", "Un carré rouge"},
            {"Quelle note entend-on ?", "La"},
            {"<script>window.pirate = 1</script> Combien font 2 + 2 ?", "4"},
            {"Le ciel est-il bleu ?", "Oui"},
            {"Quelle image manque ?", "C"}};
        for (const auto &[q, r] : bonnes)
            attentes.append(QJsonObject{{"q", q}, {"bonne", r}});
        b.fichier("attentes.json", QJsonDocument(attentes).toJson());

        QString out, err;
        QTextStream so(&out), se(&err);
        QCOMPARE(qzf::executer({"quiz", b.chemins().banque, "-o", b.chemin("quiz.html"), "--seed", "4",
                                "--title", "Révisions <CM2>"}, so, se), 0);
        QCOMPARE(qzf::executer({"quiz", b.chemins().banque, "-o", b.chemin("melange.html"), "--seed", "4", "--shuffle"},
                               so, se), 0);
        const QString captures = qEnvironmentVariable("ORBELIN_CAPTURES");
        const Lance l = lancer({b.chemin("quiz.html"), b.chemin("attentes.json"), b.chemin("melange.html"), captures});
        QVERIFY2(l.fini, l.erreurs.constData());
        QVERIFY2(!l.obs.isEmpty(), l.erreurs.constData());
        QVERIFY2(!l.obs.contains("echec"), qPrintable(l.obs["echec"].toString()));
        m_obs = l.obs;
        qInfo("page of 6 cards ready in %d ms", m_obs["chargementMs"].toInt());
    }
    void init()
    {
        if (!m_pasPret.isEmpty())
            QSKIP(qPrintable(m_pasPret));
    }

    // What the page showed, by path in the report of quiz_navigateur.js, as JSON.
    void observed_data()
    {
        QTest::addColumn<QString>("chemin");  // keys split at '|', a number indexes a list
        QTest::addColumn<QString>("json");  // ` for "
        const QString script = "<script>window.pirate = 1</script> Combien font 2 + 2 ?", capitale = "Quelle est la capitale de la France ?";
        auto ligne = [](const QString &chemin, const QString &json) { QTest::newRow(qPrintable(chemin)) << chemin << json; };
        ligne("externes", "[]");
        ligne("erreurs", "[]");
        ligne("titre", "`Révisions <CM2>`");
        ligne("juste|compteurs", "[`Question 1 / 6`,`Question 2 / 6`,`Question 3 / 6`,`Question 4 / 6`,`Question 5 / 6`,`Question 6 / 6`]");
        // Without --shuffle the page keeps the bank's order.
        ligne("juste|ordre", "[`" + capitale + "`,`Que montre l'image ?`,`Quelle note entend-on ?`,`" + script
                                 + "`,`Le ciel est-il bleu ?`,`Quelle image manque ?`]");
        ligne("juste|retours", "[" + QStringList(6, "`Bonne réponse !`").join(',') + "]");
        ligne("juste|score", "`Score : 6 / 6`");
        ligne("juste|manquees", "0");
        ligne("apresRecommencer|compteur", "`Question 1 / 6`");
        ligne("apresRecommencer|enonce", '`' + capitale + '`');
        // Markup in a card shows as text and runs nothing.
        ligne("juste|pirate", "`undefined`");
        ligne("juste|imagesInjectees", "0");
        ligne("juste|boutons|" + script, "[`<img src=x onerror=\\`window.pirate = 2\\`>`,`4`,`5`]");
        ligne("juste|boutons|Le ciel est-il bleu ?", "[`Oui`,`Non`]");  // the empty answer is not offered
        ligne("juste|image|naturalWidth", "40");
        ligne("juste|image|largeur", "60");  // "Taille 1": one and a half times
        ligne("juste|image|src", "`data:image/jpeg;base64,`");
        ligne("juste|son|controles", "true");
        ligne("juste|son|type", "`data:audio/wav;base64,`");
        ligne("juste|son|duree", "0.2");
        ligne("juste|son|erreur", "0");
        ligne("juste|absent", "`Image introuvable : absente.jpg`");
        ligne("faute|question", '`' + capitale + '`');
        ligne("faute|retour", "`Mauvaise réponse. La bonne réponse était A : Paris`");
        ligne("faute|retourApresTouche", "`Mauvaise réponse. La bonne réponse était A : Paris`");
        ligne("faute|commentaire", "`Commentaire : Paris est la capitale depuis longtemps.`");
        ligne("faute|justeMontree", "`Paris`");
        ligne("faute|fauteMontree", "`Lyon`");
        ligne("faute|figes", "true");
        // What a screen reader reads on each button once answered.
        ligne("faute|etiquettes", "[`A : Paris, bonne réponse`,`B : Lyon, votre réponse`,`C : Nice`]");
        ligne("faute|score", "`Score : 5 / 6`");
        ligne("faute|manquees", "[[`" + capitale + "`,`Votre réponse : Lyon`,`Bonne réponse : Paris`,`Paris est la capitale depuis longtemps.`]]");
        ligne("live", "`polite`");
        ligne("roles", "[`button:button`,`button:button`,`button:button`]");
        ligne("premierFocus", "`enonce`");
        ligne("suivanteAvant", "false");
        ligne("melange|premier|score", "`Score : 6 / 6`");
        ligne("melange|second|score", "`Score : 6 / 6`");
    }
    void observed()
    {
        QFETCH(QString, chemin);
        QJsonValue v = m_obs;
        for (const QString &cle : chemin.split(u'|')) {
            bool nombre = false;
            const int i = cle.toInt(&nombre);
            v = nombre ? v.toArray().at(i) : v.toObject().value(cle);
        }
        QFETCH(QString, json);
        QCOMPARE(QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)).mid(1).chopped(1), json.replace(u'`', u'"'));
    }

    void phone_noSidewaysScrolling()
    {
        const QJsonObject t = m_obs["telephone"].toObject();
        QVERIFY2(t["largeur"].toInt() <= 360, qPrintable(QString::number(t["largeur"].toInt())));
        QVERIFY(t["bouton"].toDouble() >= 300);  // answers as wide as the screen allows
    }

    void shuffledPage_sameQuestionsInAnotherOrder()
    {
        const QJsonObject m = m_obs["melange"].toObject(), un = m["premier"].toObject(), deux = m["second"].toObject();
        QStringList a = chaines(un["ordre"]), b = chaines(deux["ordre"]);
        QVERIFY2(a != b || un["boutons"] != deux["boutons"], "the second round came in the same order");
        a.sort();
        b.sort();
        QCOMPARE(a, b);
    }
};

QTEST_GUILESS_MAIN(TestQuizNavigateur)
#include "test_quiz_navigateur.moc"
