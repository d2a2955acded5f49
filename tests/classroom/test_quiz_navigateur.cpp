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
    }
    void init()
    {
        if (!m_pasPret.isEmpty())
            QSKIP(qPrintable(m_pasPret));
    }

    void page_loadsNothingFromOutsideAndRunsClean()
    {
        QCOMPARE(chaines(m_obs["externes"]), QStringList());
        QCOMPARE(chaines(m_obs["erreurs"]), QStringList());
        QCOMPARE(m_obs["titre"].toString(), "Révisions <CM2>");
        qInfo("page of 6 cards ready in %d ms", m_obs["chargementMs"].toInt());
    }

    void allRight_scoreAndEveryQuestionShownOnce()
    {
        const QJsonObject j = m_obs["juste"].toObject();
        QCOMPARE(chaines(j["compteurs"]), (QStringList{"Question 1 / 6", "Question 2 / 6", "Question 3 / 6",
                                                        "Question 4 / 6", "Question 5 / 6", "Question 6 / 6"}));
        // Without --shuffle the page keeps the bank's order.
        QCOMPARE(chaines(j["ordre"]).first(), "Quelle est la capitale de la France ?");
        QCOMPARE(chaines(j["retours"]), QStringList(6, "Bonne réponse !"));
        QCOMPARE(j["score"].toString(), "Score : 6 / 6");
        QCOMPARE(j["manquees"].toInt(), 0);
        QCOMPARE(m_obs["apresRecommencer"].toObject()["compteur"].toString(), "Question 1 / 6");
        QCOMPARE(m_obs["apresRecommencer"].toObject()["enonce"].toString(), "Quelle est la capitale de la France ?");
    }

    void markupInACard_showsAsTextAndRunsNothing()
    {
        const QJsonObject j = m_obs["juste"].toObject();
        QCOMPARE(j["pirate"].toString(), "undefined");
        QCOMPARE(j["imagesInjectees"].toInt(), 0);
        QVERIFY(chaines(j["ordre"]).contains("<script>window.pirate = 1</script> Combien font 2 + 2 ?"));
        QCOMPARE(chaines(j["boutons"].toObject()["<script>window.pirate = 1</script> Combien font 2 + 2 ?"]),
                 (QStringList{"<img src=x onerror=\"window.pirate = 2\">", "4", "5"}));
    }

    void emptyAnswer_notOffered()
    {
        QCOMPARE(chaines(m_obs["juste"].toObject()["boutons"].toObject()["Le ciel est-il bleu ?"]),
                 (QStringList{"Oui", "Non"}));
    }

    void media_pictureAtItsSizeSoundPlayableMissingPictureSaid()
    {
        const QJsonObject j = m_obs["juste"].toObject();
        const QJsonObject image = j["image"].toObject();
        QCOMPARE(image["naturalWidth"].toInt(), 40);
        QCOMPARE(image["largeur"].toDouble(), 60.0);  // "Taille 1": one and a half times
        QCOMPARE(image["src"].toString(), "data:image/jpeg;base64,");
        const QJsonObject son = j["son"].toObject();
        QCOMPARE(son["controles"].toBool(), true);
        QCOMPARE(son["type"].toString(), "data:audio/wav;base64,");
        QCOMPARE(son["duree"].toDouble(), 0.2);
        QCOMPARE(son["erreur"].toInt(), 0);
        QCOMPARE(j["absent"].toString(), "Image introuvable : absente.jpg");
    }

    void oneWrong_rightAnswerAndCommentShown()
    {
        const QJsonObject f = m_obs["faute"].toObject();
        QCOMPARE(f["question"].toString(), "Quelle est la capitale de la France ?");
        QCOMPARE(f["retour"].toString(), "Mauvaise réponse. La bonne réponse était A : Paris");
        QCOMPARE(f["retourApresTouche"].toString(), f["retour"].toString());
        QCOMPARE(f["commentaire"].toString(), "Commentaire : Paris est la capitale depuis longtemps.");
        QCOMPARE(f["justeMontree"].toString(), "Paris");
        QCOMPARE(f["fauteMontree"].toString(), "Lyon");
        QVERIFY(f["figes"].toBool());
        // What a screen reader reads on each button once answered.
        QCOMPARE(chaines(f["etiquettes"]), (QStringList{"A : Paris, bonne réponse", "B : Lyon, votre réponse", "C : Nice"}));
        QCOMPARE(f["score"].toString(), "Score : 5 / 6");
        const QJsonArray manquees = f["manquees"].toArray();
        QCOMPARE(manquees.size(), 1);
        QCOMPARE(chaines(manquees.at(0)), (QStringList{"Quelle est la capitale de la France ?", "Votre réponse : Lyon",
                                                       "Bonne réponse : Paris", "Paris est la capitale depuis longtemps."}));
    }

    void screenReader_realButtonsAndAnnouncedFeedback()
    {
        QCOMPARE(m_obs["live"].toString(), "polite");
        QCOMPARE(chaines(m_obs["roles"]), (QStringList{"button:button", "button:button", "button:button"}));
        QCOMPARE(m_obs["premierFocus"].toString(), "enonce");
        QCOMPARE(m_obs["suivanteAvant"].toBool(), false);
    }

    void phone_noSidewaysScrolling()
    {
        const QJsonObject t = m_obs["telephone"].toObject();
        QVERIFY2(t["largeur"].toInt() <= 360, qPrintable(QString::number(t["largeur"].toInt())));
        QVERIFY(t["bouton"].toDouble() >= 300);  // answers as wide as the screen allows
    }

    void shuffledPage_allRightThenShuffledAnew()
    {
        const QJsonObject m = m_obs["melange"].toObject();
        const QStringList un = chaines(m["premier"].toObject()["ordre"]), deux = chaines(m["second"].toObject()["ordre"]);
        QCOMPARE(m["premier"].toObject()["score"].toString(), "Score : 6 / 6");
        QCOMPARE(m["second"].toObject()["score"].toString(), "Score : 6 / 6");
        QStringList a = un, b = deux;
        a.sort();
        b.sort();
        QCOMPARE(a, b);
        const QJsonObject r1 = m["premier"].toObject()["boutons"].toObject(), r2 = m["second"].toObject()["boutons"].toObject();
        QVERIFY2(un != deux || r1 != r2, "the second round came in the same order");
    }

    void bigPage_loadTimeMeasured()
    {
        // 1000 cards without media: how long until the first question shows (reported, not judged).
        Banque b;
        QByteArray octets;
        for (int n = 1; n <= 1000; ++n)
            octets += banque::fiche({QStringLiteral("Question numéro %1 : quelle est la bonne réponse parmi les trois ?").arg(n),
                                     n % 9, 1 + n % 3, 0, {"Première réponse", "Deuxième réponse", "Troisième réponse"},
                                     "Un commentaire d'une longueur ordinaire pour la fiche."})
                          .octets();
        banque::ecrire(b.chemins().banque, octets);
        QString out, err;
        QTextStream so(&out), se(&err);
        QCOMPARE(qzf::executer({"quiz", b.chemins().banque, "-o", b.chemin("grand.html"), "--seed", "1"}, so, se), 0);
        const Lance l = lancer({b.chemin("grand.html"), "--load"});
        QVERIFY2(l.fini && !l.obs.contains("echec"), l.erreurs.constData());
        QCOMPARE(l.obs["questions"].toString(), "Question 1 / 1000");
        qInfo("page of 1000 cards (%lld bytes) ready in %d ms", QFileInfo(b.chemin("grand.html")).size(),
              l.obs["chargementMs"].toInt());
    }
};

QTEST_GUILESS_MAIN(TestQuizNavigateur)
#include "test_quiz_navigateur.moc"
