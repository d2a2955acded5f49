// The quiz page taken in a real browser (the system's headless Chromium driven by the npm
// package playwright-core, both installed by tools/test.sh): every answer right by mouse and
// keyboard, one wrong, a picture, a card holding markup, and no request leaving the page. Without the tools the test says so and skips.
#include "cli/qzf.h"
#include "exchange/commun.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QFileInfo>
#include <QTest>
#include <QTextStream>

using essai::Banque;

namespace {

const QString kNpm = QStringLiteral(ORBELIN_NPM);
const QString kScript = QStringLiteral(SCRIPT_NAVIGATEUR);

QString navigateur()
{
    const QString choisi = qEnvironmentVariable("ORBELIN_CHROMIUM");
    return choisi.isEmpty() ? QStringLiteral("/usr/bin/chromium-headless-shell") : choisi;
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
                 {"<script>window.pirate = 1</script> Combien font 2 + 2 ?", 0, 2, 0,
                  {"<img src=x onerror=\"window.pirate = 2\">", "4", "5"}, "<b>Quatre</b>"},
                 {"Le ciel est-il bleu ?", 0, 1, 0, {"Oui", "Non", ""}},
                 {"Quelle image manque ?", 1, 3, 0, {"A", "B", "C"}, "", "", "absente.jpg", 10}},
                {"Culture", "Images"});
        QImage carre(40, 30, QImage::Format_RGB32);
        carre.fill(QColor(200, 30, 30));
        QDir().mkpath(b.chemins().medias);
        QVERIFY(carre.save(QDir(b.chemins().medias).filePath("carre.jpg"), "JPEG"));

        QJsonArray attentes;
        const QList<std::pair<QString, QString>> bonnes{
            {"Quelle est la capitale de la France ?", "Paris"},
            {"Que montre l'image ?", "Un carré rouge"},
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
        QCOMPARE(qzf::executer({"quiz", b.chemins().banque, "-o", b.chemin("melange.html"), "--seed", "4", "--shuffle"}, so, se), 0);
        const Lance l = lancer({b.chemin("quiz.html"), b.chemin("attentes.json"), b.chemin("melange.html"), b.dir.path()});
        QVERIFY2(l.fini, l.erreurs.constData());
        QVERIFY2(!l.obs.isEmpty(), l.erreurs.constData());
        QVERIFY2(!l.obs.contains("echec"), qPrintable(l.obs["echec"].toString()));
        m_obs = l.obs;
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
        ligne("juste|compteurs", "[`Question 1 / 5`,`Question 2 / 5`,`Question 3 / 5`,`Question 4 / 5`,`Question 5 / 5`]");
        // Without --shuffle the page keeps the bank's order.
        ligne("juste|ordre", "[`" + capitale + "`,`Que montre l'image ?`,`" + script
                                 + "`,`Le ciel est-il bleu ?`,`Quelle image manque ?`]");
        ligne("juste|retours", "[" + QStringList(5, "`Bonne réponse !`").join(',') + "]");
        ligne("juste|score", "`Score : 5 / 5`");
        ligne("juste|manquees", "0");
        ligne("apresRecommencer|compteur", "`Question 1 / 5`");
        ligne("apresRecommencer|enonce", '`' + capitale + '`');
        // Markup in a card shows as text and runs nothing.
        ligne("juste|pirate", "`undefined`");
        ligne("juste|imagesInjectees", "0");
        ligne("juste|boutons|" + script, "[`<img src=x onerror=\\`window.pirate = 2\\`>`,`4`,`5`]");
        ligne("juste|boutons|Le ciel est-il bleu ?", "[`Oui`,`Non`]");  // the empty answer is not offered
        ligne("juste|image|naturalWidth", "40");
        ligne("juste|image|largeur", "60");  // "Taille 1": one and a half times
        ligne("juste|image|src", "`data:image/jpeg;base64,`");
        ligne("juste|absent", "`Image introuvable : absente.jpg`");
        ligne("faute|question", '`' + capitale + '`');
        ligne("faute|retour", "`Mauvaise réponse. La bonne réponse était A : Paris`");
        ligne("faute|retourApresTouche", "`Mauvaise réponse. La bonne réponse était A : Paris`");
        ligne("faute|commentaire", "`Commentaire : Paris est la capitale depuis longtemps.`");
        ligne("faute|figes", "true");
        // What a screen reader reads on each button once answered.
        ligne("faute|etiquettes", "[`A : Paris, bonne réponse`,`B : Lyon, votre réponse`,`C : Nice`]");
        ligne("faute|score", "`Score : 4 / 5`");
        ligne("faute|manquees", "[[`" + capitale + "`,`Votre réponse : Lyon`,`Bonne réponse : Paris`,`Paris est la capitale depuis longtemps.`]]");
        ligne("premierFocus", "`enonce`");
        ligne("enregistrement|sansNom", "`Écrivez votre nom avant d’enregistrer vos réponses.`");
        ligne("enregistrement|fichier", "`Élève_n_1-quiz.json`");
        ligne("enregistrement|message", "`Réponses enregistrées dans le fichier Élève_n_1-quiz.json : donnez-le à votre enseignant.`");
        ligne("suivanteAvant", "false");
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

    // The file the shuffled page saved gives each card's own answer number, and qzf stats reads it back.
    void savedAnswers_readBackByQzfStats()
    {
        const QList<std::pair<QString, QStringList>> cartes{
            {"Quelle est la capitale de la France ?", {"Paris", "Lyon", "Nice"}},
            {"Que montre l'image ?", {"Un cercle", "Un carré rouge", "Un triangle"}},
            {"<script>window.pirate = 1</script> Combien font 2 + 2 ?", {"<img src=x onerror=\"window.pirate = 2\">", "4", "5"}},
            {"Le ciel est-il bleu ?", {"Oui", "Non"}},
            {"Quelle image manque ?", {"A", "B", "C"}}};
        const int bonnes[] = {1, 2, 2, 1, 3};
        const QJsonObject faute = m_obs["enregistrement"].toObject()["faute"].toObject();
        const QJsonObject f = QJsonDocument::fromJson(banque::lire(m_banque.chemin("Élève_n_1-quiz.json"))).object();
        QCOMPARE(f.keys(), (QStringList{"date", "nom", "quiz", "reponses", "titre"}));
        QCOMPARE(f["nom"].toString(), "Élève n°1");
        QCOMPARE(f["titre"].toString(), "BASE");
        QVERIFY(QDateTime::fromString(f["date"].toString(), Qt::ISODateWithMs).isValid());
        QString attendu = "{\"copies\": 1, \"moyenne\": 16, \"mediane\": 16, \"ecart_type\": 0, \"kr20\": null, \"questions\": [";
        for (int n = 1; n <= 5; ++n) {
            const bool manquee = cartes[n - 1].first == faute["q"].toString();
            const int choix = manquee ? int(cartes[n - 1].second.indexOf(faute["reponse"].toString())) + 1 : bonnes[n - 1];
            QVERIFY(choix >= 1 && choix != (manquee ? bonnes[n - 1] : 0));
            QCOMPARE(f["reponses"].toObject()[QString::number(n)].toInt(), choix);
            attendu += QStringLiteral("%1\n  {\"fiche\": %2, \"p\": %3, \"r\": null, \"d\": null, \"choix\": {\"1\": %4, \"2\": %5, "
                                      "\"3\": %6, \"vide\": 0}, \"alertes\": [\"%7\"]}")
                           .arg(n > 1 ? "," : "").arg(n).arg(manquee ? 0 : 1)
                           .arg(int(choix == 1)).arg(int(choix == 2)).arg(int(choix == 3))
                           .arg(manquee ? "trop difficile" : "trop facile");
        }
        QString out, err;
        QTextStream so(&out), se(&err);
        QCOMPARE(qzf::executer({"stats", m_banque.chemin("melange.html"), m_banque.chemin("Élève_n_1-quiz.json"), "--json"}, so, se), 0);
        so.flush();
        QCOMPARE(out, attendu + "\n]}\n");
    }
};

QTEST_GUILESS_MAIN(TestQuizNavigateur)
#include "test_quiz_navigateur.moc"
