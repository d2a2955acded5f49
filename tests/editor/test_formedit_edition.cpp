// Editing in the main window: theme editor, navigation, new and deleted cards, marking,
// initials, good-answer highlight and the help line. Driven through the real widgets.
#include "editor/controles.h"
#include "editor/formedit.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

using Icone = Plateforme::Icone;
using Boutons = Plateforme::Boutons;

const QString kBonne = QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie");
const QString kBonneNouveau = QStringLiteral(
    "vous devez cocher une bonne réponse à votre question pour valider la saisie ; de plus, n'oubliez pas de "
    "changer le Thème de la question si nécessaire...");
const QString kSansTheme = QStringLiteral("Veuillez d'abord créer un thème au minimum pour les questions...");
const QString kChampVide = QStringLiteral("Ne laissez jamais un champ vide entre deux thèmes! ");
const QColor kVert(192, 255, 192), kJaune(255, 255, 192);
constexpr int T = 803;

// --- exact bytes, written out here rather than through the store ---------------------------

QByteArray pad(const QString &t, int n) { return t.toLatin1().leftJustified(n, ' ', true); }
QString padS(const QString &t, int n) { return t.leftJustified(n, u' ', true); }

// keyClicks only knows ASCII; accented letters are sent as the key events a keyboard gives.
void frapper(QWidget *w, const QString &texte)
{
    for (QChar c : texte) {
        if (c.unicode() < 128) {
            QTest::keyClick(w, c.toLatin1());
        } else {
            const auto touche = Qt::Key(c.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, w, touche, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, touche, QString(c), Qt::NoModifier);
        }
    }
}

QByteArray le16(int v)
{
    const char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
    return QByteArray(b, 2);
}

QByteArray enregistrement(const QString &question, const QStringList &reponses, int bonne, int theme, int marque,
                          const QString &auteur, const QString &media = {}, int code = 0,
                          const QString &commentaire = {})
{
    QByteArray r = pad(question, 200);
    for (int k = 0; k < 3; ++k)
        r += pad(reponses.value(k), 125);
    r += pad(commentaire, 200);
    for (int k = 1; k <= 3; ++k)
        r += le16(bonne == k ? -1 : 0);
    r += char(theme);
    r += le16(marque) + pad(auteur, 5) + pad(media, 12) + le16(code);
    return r;
}

// Theme file: named slots padded with spaces, the others as given (zero unless a name).
QByteArray fichierThemes(const QStringList &noms, const QByteArray &queue, bool restantsEnEspaces = false)
{
    QByteArray b;
    for (int i = 0; i < 9; ++i)
        b += i < noms.size() || restantsEnEspaces ? pad(noms.value(i), 27) : QByteArray(27, '\0');
    return b + queue;
}

// Slots 9 and 10 and the reserved fields, filled by some other program.
QByteArray motif()
{
    QByteArray q(96, '\0');
    for (int i = 0; i < q.size(); ++i)
        q[i] = char(0x41 + i % 26);
    return q;
}

QByteArray pile(const QList<banque::Carte> &cartes)
{
    QByteArray b;
    for (const banque::Carte &c : cartes)
        b += banque::fiche(c).octets();
    return b;
}

// Q1..Qn, first answer good, theme 0.
QByteArray simples(int n)
{
    QList<banque::Carte> c;
    for (int i = 1; i <= n; ++i)
        c.append({QStringLiteral("Q%1").arg(i)});
    return pile(c);
}

// Exactly one message: this text, OK, no icon, the application's title.
bool seulMessage(const FakePlateforme &pf, const QString &texte)
{
    if (pf.messages.size() != 1)
        return false;
    const auto &m = pf.messages[0];
    return m.texte == texte && m.boutons == Boutons::Ok && m.icone == Icone::Aucune && m.titre.isEmpty();
}

// A mouse move sent to the control itself: what it leaves unhandled travels up to the window.
// (A move through the window system is dropped when the cursor is already at that point.)
void survoler(QWidget *c, QPoint point = {})
{
    if (point.isNull())
        point = c->rect().center();
    QMouseEvent deplacement(QEvent::MouseMove, point, c->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                            Qt::NoModifier);
    QApplication::sendEvent(c, &deplacement);
}

struct Saisie {
    int boite;
    QString texte;  // replaces the box's whole text; empty = erased
};

// One program folder with a bank, its theme file and the main window on it.
struct Editeur {
    QTemporaryDir dir;
    FakePlateforme pf{dir.path()};
    std::unique_ptr<FormEdit> f;

    QString chemin(const QString &nom) const { return dir.filePath(nom); }
    QString banqueChemin() const { return chemin(QStringLiteral("BASE.QZF")); }
    QString themesChemin() const { return chemin(QStringLiteral("BASE.prm")); }
    QByteArray octets() const { return banque::lire(banqueChemin()); }

    bool poser(const QByteArray &cartes, const QStringList &themes = {QStringLiteral("Histoire")})
    {
        return banque::ecrire(banqueChemin(), cartes)
               && (themes.isEmpty() || banque::ecrireThemes(themesChemin(), themes));
    }
    bool ouvrir()
    {
        f = std::make_unique<FormEdit>(pf);
        f->charger();
        const bool actif = QTest::qWaitForWindowActive(f.get());
        pf.oublier();
        return actif;
    }
    bool ouvrir(const QByteArray &cartes, const QStringList &themes = {QStringLiteral("Histoire")})
    {
        return poser(cartes, themes) && ouvrir();
    }

    template <class W = QWidget> W *w(const QString &nom) const
    {
        W *c = nom == QLatin1String("FormEdit") ? qobject_cast<W *>(f.get()) : f->findChild<W *>(nom);
        if (!c)
            qFatal("no control %s", qPrintable(nom));
        return c;
    }
    QString texte(const QString &nom) const
    {
        if (auto *b = f->findChild<BoiteTexte *>(nom))
            return b->texte();
        return w<QLineEdit>(nom)->text();
    }
    void clic(const QString &nom)
    {
        QWidget *c = w(nom);
        // Check and option buttons are clicked on their indicator, at the left.
        const bool aGauche = qobject_cast<QCheckBox *>(c) || qobject_cast<QRadioButton *>(c);
        QTest::mouseClick(c, Qt::LeftButton, {}, aGauche ? QPoint(8, c->height() / 2) : QPoint());
    }
    void taper(const QString &nom, const QString &t)
    {
        QWidget *c = w(nom);
        if (auto *b = qobject_cast<BoiteTexte *>(c))
            b->selectAll();
        else
            w<QLineEdit>(nom)->selectAll();
        if (t.isEmpty())
            QTest::keyClick(c, Qt::Key_Backspace);
        else
            frapper(c, t);
    }
    void ajouter(const QString &nom, const QString &t)
    {
        w<BoiteTexte>(nom)->moveCursor(QTextCursor::End);
        frapper(w(nom), t);
    }
    void allerA(int n)
    {
        for (int i = 1; i < n; ++i)
            clic(QStringLiteral("Suivant"));
    }
    QString etatsThemes(bool options) const
    {
        QString m;
        for (int i = 0; i < 9; ++i)
            m += (options ? w(QStringLiteral("Theme_%1").arg(i))->isVisible()
                          : w(QStringLiteral("ThemeEdit_%1").arg(i))->isEnabled()) ? u'1' : u'0';
        return m;
    }
    QColor fond(const QString &nom) const { return w(nom)->palette().color(QPalette::Base); }
};

} // namespace

Q_DECLARE_METATYPE(Saisie)

class TestFormEditEdition : public QObject {
    Q_OBJECT
private slots:
    // Themes

    void themeFile_setsOptionsAndBoxes_data()
    {
        QTest::addColumn<bool>("fichier");
        QTest::addColumn<QByteArray>("themes");
        QTest::addColumn<QString>("visibles");
        QTest::addColumn<QString>("actives");
        QTest::newRow("three names") << true << fichierThemes({"Histoire", "Sciences", "Arts"}, QByteArray(96, 0))
                                     << "111000000" << "111100000";
        QTest::newRow("slot of spaces hidden")
            << true << fichierThemes({"Histoire", "", "Arts"}, QByteArray(96, 0)) << "101000000" << "111100000";
        QTest::newRow("nine names") << true
                                    << fichierThemes({"A", "B", "C", "D", "E", "F", "G", "H", "I"}, QByteArray(96, 0))
                                    << "111111111" << "111111111";
        QTest::newRow("no theme file") << false << QByteArray() << "000000000" << "100000000";
    }

    void themeFile_setsOptionsAndBoxes()
    {
        QFETCH(bool, fichier);
        QFETCH(QByteArray, themes);
        Editeur e;
        QVERIFY(e.poser(simples(1), {}));
        if (fichier)
            QVERIFY(banque::ecrire(e.themesChemin(), themes));
        QVERIFY(e.ouvrir());
        QTEST(e.etatsThemes(true), "visibles");
        QTEST(e.etatsThemes(false), "actives");
        QCOMPARE(QFileInfo(e.themesChemin()).size(), qint64(fichier ? 339 : 0));
    }

    void themeBoxChange_appliesRule_data()
    {
        QTest::addColumn<QStringList>("themes");
        QTest::addColumn<int>("boite");
        QTest::addColumn<QStringList>("textes");
        QTest::addColumn<QString>("actives");
        QTest::addColumn<int>("avertissements");
        QTest::addColumn<QString>("texteFinal");
        const QStringList trois = {"Histoire", "Sciences", "Arts"};
        const QStringList neuf = {"A", "B", "C", "D", "E", "F", "G", "H", "I"};
        QTest::newRow("name in box 3 opens box 4") << trois << 3 << QStringList{"Sport"} << "111110000" << 0 << "Sport";
        QTest::newRow("erasing it closes box 4") << trois << 3 << QStringList{"Sport", ""} << "111100000" << 0 << "";
        QTest::newRow("box between names emptied") << trois << 1 << QStringList{""} << "111100000" << 1 << "***";
        QTest::newRow("spaces only between names") << trois << 1 << QStringList{" "} << "111100000" << 1 << "***";
        QTest::newRow("box 8 typed") << neuf.mid(0, 8) << 8 << QStringList{"Iota"} << "111111111" << 0 << "Iota";
        QTest::newRow("box 8 emptied") << neuf << 8 << QStringList{""} << "111111111" << 0 << "";
    }

    void themeBoxChange_appliesRule()
    {
        QFETCH(QStringList, themes);
        QFETCH(int, boite);
        QFETCH(QStringList, textes);
        Editeur e;
        QVERIFY(e.ouvrir(simples(1), themes));
        e.clic("Command4");
        QVERIFY(e.w("FrameThemes")->isVisible());
        QVERIFY(!e.w("Frame1")->isVisible());
        for (const QString &t : textes)
            e.taper(QStringLiteral("ThemeEdit_%1").arg(boite), t);
        QTEST(e.etatsThemes(false), "actives");
        QTEST(e.texte(QStringLiteral("ThemeEdit_%1").arg(boite)), "texteFinal");
        QFETCH(int, avertissements);
        QCOMPARE(e.pf.messages.size(), avertissements);
        QVERIFY(avertissements == 0 || seulMessage(e.pf, kChampVide));
    }

    void themeOk_writesTableAndReloads_data()
    {
        QTest::addColumn<bool>("fichier");
        QTest::addColumn<QByteArray>("avant");
        QTest::addColumn<QList<Saisie>>("saisies");
        QTest::addColumn<QByteArray>("apres");
        QTest::addColumn<QStringList>("legendes");  // Theme 0 to 2
        QTest::addColumn<QStringList>("boites");    // ThemeEdit 0 to 2
        QTest::addColumn<int>("avertissements");

        const QStringList deux = {"Histoire", "Géographie"};
        QTest::newRow("no change still written, foreign bytes kept")
            << true << fichierThemes(deux, motif()) << QList<Saisie>{} << fichierThemes(deux, motif(), true)
            << QStringList{padS("Histoire", 27), padS("Géographie", 27), QString(27, u' ')}
            << QStringList{"Histoire", "Géographie", ""} << 0;
        QTest::newRow("first save of a new file")
            << false << QByteArray() << QList<Saisie>{{0, "Histoire"}, {1, "Géographie"}}
            << fichierThemes(deux, QByteArray(96, 0), true)
            << QStringList{padS("Histoire", 27), padS("Géographie", 27), QString(27, u' ')}
            << QStringList{"Histoire", "Géographie", ""} << 0;
        QTest::newRow("two leading spaces kept")
            << true << fichierThemes(deux, motif()) << QList<Saisie>{{2, "  Sport"}}
            << fichierThemes({"Histoire", "Géographie", "  Sport"}, motif(), true)
            << QStringList{padS("Histoire", 27), padS("Géographie", 27), padS("  Sport", 27)}
            << QStringList{"Histoire", "Géographie", "Sport"} << 0;
        QTest::newRow("thirty letters typed, 27 kept")
            << true << fichierThemes(deux, QByteArray(96, 0)) << QList<Saisie>{{2, "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"}}
            << fichierThemes({"Histoire", "Géographie", "ABCDEFGHIJKLMNOPQRSTUVWXYZ1"}, QByteArray(96, 0), true)
            << QStringList{padS("Histoire", 27), padS("Géographie", 27), "ABCDEFGHIJKLMNOPQRSTUVWXYZ1"}
            << QStringList{"Histoire", "Géographie", "ABCDEFGHIJKLMNOPQRSTUVWXYZ1"} << 0;
        QTest::newRow("stars put in an emptied box are saved")
            << true << fichierThemes({"Histoire", "Géographie", "Arts"}, motif()) << QList<Saisie>{{1, ""}}
            << fichierThemes({"Histoire", "***", "Arts"}, motif(), true)
            << QStringList{padS("Histoire", 27), padS("***", 27), padS("Arts", 27)}
            << QStringList{"Histoire", "***", "Arts"} << 1;
    }

    void themeOk_writesTableAndReloads()
    {
        QFETCH(bool, fichier);
        QFETCH(QByteArray, avant);
        QFETCH(QList<Saisie>, saisies);
        QFETCH(QByteArray, apres);
        QFETCH(QStringList, legendes);
        QFETCH(QStringList, boites);
        Editeur e;
        QVERIFY(e.poser(simples(2), {}));
        if (fichier)
            QVERIFY(banque::ecrire(e.themesChemin(), avant));
        QVERIFY(e.ouvrir());
        const QByteArray cartes = e.octets();

        e.clic("Command4");
        for (const Saisie &s : saisies)
            e.taper(QStringLiteral("ThemeEdit_%1").arg(s.boite), s.texte);
        e.clic("Command5");

        QCOMPARE(banque::lire(e.themesChemin()), apres);
        QVERIFY(e.w("Frame1")->isVisible());
        QVERIFY(!e.w("FrameThemes")->isVisible());
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(e.w<QRadioButton>(QStringLiteral("Theme_%1").arg(i))->text(), legendes[i]);
            QCOMPARE(e.w(QStringLiteral("Theme_%1").arg(i))->isVisible(), !legendes[i].trimmed().isEmpty());
            QCOMPARE(e.texte(QStringLiteral("ThemeEdit_%1").arg(i)), boites[i]);
        }
        QCOMPARE(e.octets(), cartes);
        QFETCH(int, avertissements);
        QCOMPARE(e.pf.messages.size(), avertissements);
        QVERIFY(avertissements == 0 || seulMessage(e.pf, kChampVide));
    }

    void themeCancel_writesNothingAndKeepsEdits()
    {
        Editeur e;
        QVERIFY(e.ouvrir(simples(1), {"Histoire", "Géographie"}));
        const QByteArray avant = banque::lire(e.themesChemin());

        e.clic("Command4");
        e.taper("ThemeEdit_2", "Sport");
        e.taper("ThemeEdit_0", "Arts");
        e.clic("Command6");
        QCOMPARE(banque::lire(e.themesChemin()), avant);
        QVERIFY(e.w("Frame1")->isVisible());
        QVERIFY(!e.w("FrameThemes")->isVisible());
        QCOMPARE(e.w<QRadioButton>("Theme_0")->text(), padS("Histoire", 27));
        QVERIFY(!e.w("Theme_2")->isVisible());

        e.clic("Command4");
        QCOMPARE(e.texte("ThemeEdit_0"), QStringLiteral("Arts"));
        QCOMPARE(e.texte("ThemeEdit_2"), QStringLiteral("Sport"));
        QCOMPARE(e.etatsThemes(false), QStringLiteral("111100000"));
        e.clic("Command5");
        QCOMPARE(banque::lire(e.themesChemin()),
                 fichierThemes({"Arts", "Géographie", "Sport"}, QByteArray(96, 0), true));
        QCOMPARE(e.w<QRadioButton>("Theme_2")->text(), padS("Sport", 27));
        QVERIFY(e.w("Theme_2")->isVisible());
        QVERIFY(e.pf.messages.isEmpty());
    }

    void themeSwap_renamesThemesOfCardsOnly()
    {
        Editeur e;
        QVERIFY(e.ouvrir(pile({{"Q1", 0}, {"Q2", 1}}), {"Histoire", "Géographie"}));
        const QByteArray cartes = e.octets();

        e.clic("Command4");
        e.taper("ThemeEdit_0", "Géographie");
        e.taper("ThemeEdit_1", "Histoire");
        e.clic("Command5");
        QVERIFY(e.pf.messages.isEmpty());
        QVERIFY(e.w<QRadioButton>("Theme_0")->isChecked());
        QCOMPARE(e.w<QRadioButton>("Theme_0")->text(), padS("Géographie", 27));

        e.clic("Suivant");
        QVERIFY(e.w<QRadioButton>("Theme_1")->isChecked());
        QCOMPARE(e.w<QRadioButton>("Theme_1")->text(), padS("Histoire", 27));
        QCOMPARE(e.octets(), cartes);
    }

    void themeAllBoxesEmptied_hidesOptionsAndRefusesNewCard()
    {
        Editeur e;
        QVERIFY(e.ouvrir(simples(2), {"Histoire", "Géographie"}));
        const QByteArray cartes = e.octets();

        e.clic("Command4");
        e.taper("ThemeEdit_1", "");
        e.taper("ThemeEdit_0", "");
        QVERIFY(e.pf.messages.isEmpty());
        e.clic("Command5");
        QCOMPARE(banque::lire(e.themesChemin()), QByteArray(243, ' ') + QByteArray(96, 0));
        QCOMPARE(e.etatsThemes(true), QStringLiteral("000000000"));

        e.clic("Nouveau");
        QCOMPARE(e.pf.textes(), QStringList{kSansTheme});
        QCOMPARE(e.f->etat().NbFiches, 2);
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("2"));
        QCOMPARE(e.octets(), cartes);
    }

    void focusThemeOption_onlyItIsBold_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("second") << 1;
        QTest::newRow("third") << 2;
    }

    void focusThemeOption_onlyItIsBold()
    {
        QFETCH(int, theme);
        Editeur e;
        QVERIFY(e.ouvrir(simples(1), {"Histoire", "Géographie", "Arts"}));
        QVERIFY(e.w("Theme_0")->font().bold());
        e.clic(QStringLiteral("Theme_%1").arg(theme));
        for (int i = 0; i < 9; ++i)
            QCOMPARE(e.w(QStringLiteral("Theme_%1").arg(i))->font().bold(), i == theme);
    }

    void clickInBox_trimsSpaces_data()
    {
        QTest::addColumn<QString>("boite");
        QTest::addColumn<QString>("tape");
        QTest::addColumn<QString>("avant");
        QTest::addColumn<QString>("apres");
        QTest::newRow("initials of a card") << "TextAuteur" << "" << "AB   " << "AB";
        QTest::newRow("theme name typed") << "ThemeEdit_1" << "  Arts  " << "  Arts  " << "Arts";
    }

    void clickInBox_trimsSpaces()
    {
        QFETCH(QString, boite);
        QFETCH(QString, tape);
        Editeur e;
        QVERIFY(e.ouvrir(pile({{.question = "Q1", .auteur = "AB"}})));
        e.clic("Command4");
        if (!tape.isEmpty())
            e.taper(boite, tape);
        QTEST(e.texte(boite), "avant");
        e.clic(boite);
        QTEST(e.texte(boite), "apres");
    }

    // Navigation

    void moveAtEnd_beepsAndKeepsEdits_data()
    {
        QTest::addColumn<int>("carte");
        QTest::addColumn<QString>("bouton");
        QTest::newRow("last, next") << 5 << "Suivant";
        QTest::newRow("last, last") << 5 << "Dernier";
        QTest::newRow("first, previous") << 1 << "Précédent";
        QTest::newRow("first, first") << 1 << "Premier";
    }

    void moveAtEnd_beepsAndKeepsEdits()
    {
        QFETCH(int, carte);
        QFETCH(QString, bouton);
        Editeur e;
        QVERIFY(e.ouvrir(simples(5)));
        const QByteArray avant = e.octets();
        if (carte == 5)
            e.clic("Dernier");
        e.ajouter("TextQuestion", " bis");
        e.pf.oublier();

        e.clic(bouton);
        QCOMPARE(e.pf.bips, 1);
        QVERIFY(e.pf.messages.isEmpty());
        QCOMPARE(e.octets(), avant);
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q%1 bis").arg(carte));
        QCOMPARE(e.texte("TextAffNumero"), QString::number(carte));
        QCOMPARE(e.f->etat().NumFiche, carte);
    }

    void moveWithoutGoodAnswer_refused_data()
    {
        QTest::addColumn<QString>("bouton");
        for (const char *b : {"Suivant", "Précédent", "Dernier", "Premier"})
            QTest::newRow(b) << QString::fromUtf8(b);
    }

    void moveWithoutGoodAnswer_refused()
    {
        QFETCH(QString, bouton);
        Editeur e;
        QVERIFY(e.ouvrir(pile({{"Q1"}, {"Q2"}, {"Q3", 0, 0}, {"Q4"}, {"Q5"}})));
        const QByteArray avant = e.octets();
        e.allerA(3);
        e.ajouter("TextQuestion", " bis");
        e.pf.oublier();

        e.clic(bouton);
        QVERIFY2(seulMessage(e.pf, kBonne), qPrintable(e.pf.textes().join(u'|')));
        QCOMPARE(e.pf.bips, 0);
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("3"));
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q3 bis"));
        QCOMPARE(e.octets(), avant);
    }

    void move_savesCardLeftExactly_data()
    {
        QTest::addColumn<QString>("bouton");
        QTest::addColumn<int>("arrivee");
        QTest::addColumn<QString>("question");
        QTest::newRow("next") << "Suivant" << 3 << "Q3";
        QTest::newRow("previous") << "Précédent" << 1 << "Q1";
        QTest::newRow("last of six") << "Dernier" << 6 << "Q6";
        // The card now carries theme 1: the walk reaches card 1 and comes back to card 2.
        QTest::newRow("first, back on itself") << "Premier" << 2 << "Capitale de la Suède ?";
    }

    void move_savesCardLeftExactly()
    {
        QFETCH(QString, bouton);
        QFETCH(int, arrivee);
        Editeur e;
        QVERIFY(e.ouvrir(simples(6), {"Histoire", "Géographie"}));
        const QByteArray avant = e.octets();
        e.allerA(2);
        e.taper("TextQuestion", "Capitale de la Suède ?");
        e.taper("TextReponse_1", "Stockholm");
        e.clic("OptionBonneReponse_1");
        e.clic("Theme_1");
        e.clic("CheckMarquage");
        e.clic("TextAuteur");
        QTest::keyClicks(e.w("TextAuteur"), "XY");
        e.pf.oublier();

        e.clic(bouton);
        QVERIFY(e.pf.messages.isEmpty());
        const QByteArray apres = e.octets();
        QCOMPARE(apres.size(), 6 * T);
        QCOMPARE(apres.mid(T, T), enregistrement("Capitale de la Suède ?", {"", "Stockholm", ""}, 2, 1, 1, "XY"));
        QCOMPARE(apres.left(T), avant.left(T));
        QCOMPARE(apres.mid(2 * T), avant.mid(2 * T));
        QCOMPARE(e.f->etat().NumFiche, arrivee);
        QCOMPARE(e.texte("TextAffNumero"), QString::number(arrivee));
        QTEST(e.texte("TextQuestion"), "question");
    }

    void premier_walksBackByTheme_data()
    {
        QTest::addColumn<int>("depart");
        QTest::addColumn<QList<int>>("passees");  // every card read on the way, in order
        QTest::addColumn<int>("arrivee");
        QTest::newRow("from card 6, theme 2") << 6 << QList<int>{6, 5, 4, 3, 2, 3} << 3;
        QTest::newRow("from card 4, theme 1") << 4 << QList<int>{4, 3, 2, 1, 2} << 2;
        QTest::newRow("from card 2, theme 0") << 2 << QList<int>{2, 1, 2} << 2;
    }

    void premier_walksBackByTheme()
    {
        QFETCH(int, depart);
        QFETCH(QList<int>, passees);
        QFETCH(int, arrivee);
        // Every card names a picture that is missing, so each card read says so once.
        QList<banque::Carte> cartes;
        const int themes[] = {0, 0, 1, 1, 2, 2};
        for (int i = 1; i <= 6; ++i)
            cartes.append({.question = QStringLiteral("Q%1").arg(i), .theme = themes[i - 1],
                           .media = QStringLiteral("c%1.jpg").arg(i), .code = 11});
        Editeur e;
        QVERIFY(e.ouvrir(pile(cartes), {"Histoire", "Géographie", "Arts"}));
        e.allerA(depart);
        const QByteArray avant = e.octets();
        e.pf.oublier();
        QList<int> numeros;
        e.pf.pendantMessage = [&](const FakePlateforme::Message &) { numeros << e.f->etat().NumFiche; };

        e.clic("Premier");
        QStringList attendus;
        for (int n : passees)
            attendus << QStringLiteral("Impossible de trouver le fichier : %1/BASE/c%2.jpg"
                                       " Le fichier a été déplacé ou effacé")
                            .arg(e.dir.path())
                            .arg(n);
        QCOMPARE(e.pf.textes(), attendus);
        QCOMPARE(numeros, passees);
        QCOMPARE(e.f->etat().NumFiche, arrivee);
        QCOMPARE(e.texte("TextAffNumero"), QString::number(arrivee));
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q%1").arg(arrivee));
        QCOMPARE(e.octets(), avant);
    }

    // New card

    void newCardWithoutTheme_showsOnlyThemeMessage_data()
    {
        QTest::addColumn<QByteArray>("cartes");
        QTest::newRow("empty bank") << QByteArray();
        QTest::newRow("cards, none with a good answer") << pile({{"Q1", 0, 0}, {"Q2", 0, 0}});
    }

    void newCardWithoutTheme_showsOnlyThemeMessage()
    {
        QFETCH(QByteArray, cartes);
        Editeur e;
        QVERIFY(e.ouvrir(cartes, {}));
        const QString nb = e.texte("TextNbFiche");

        e.clic("Nouveau");
        QVERIFY2(seulMessage(e.pf, kSansTheme), qPrintable(e.pf.textes().join(u'|')));
        QCOMPARE(e.texte("TextNbFiche"), nb);
        QCOMPARE(e.f->etat().NbFiches, int(cartes.size() / T));
        QCOMPARE(e.octets(), cartes);
    }

    void newCardOnEmptyBank_showsCardOneOfOne()
    {
        Editeur e;
        QVERIFY(e.ouvrir(QByteArray()));

        e.clic("Nouveau");
        QVERIFY(e.pf.messages.isEmpty());
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("1"));
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("1"));
        QCOMPARE(e.f->etat().NumFiche, 1);
        QCOMPARE(e.f->etat().NbFiches, 1);
        for (const char *nom : {"TextQuestion", "TextReponse_0", "TextReponse_1", "TextReponse_2", "TextExplic"}) {
            QVERIFY2(e.w(nom)->isVisible(), nom);
            QCOMPARE(e.texte(nom), QString());
        }
        for (int i = 0; i < 3; ++i) {
            QVERIFY(e.w(QStringLiteral("OptionBonneReponse_%1").arg(i))->isVisible());
            QVERIFY(!e.w<QRadioButton>(QStringLiteral("OptionBonneReponse_%1").arg(i))->isChecked());
            QCOMPARE(e.fond(QStringLiteral("TextReponse_%1").arg(i)), kVert);
        }
        for (const char *nom : {"Dernier", "Premier", "Suivant", "Précédent", "Supprimer"})
            QVERIFY2(e.w(QString::fromUtf8(nom))->isEnabled(), nom);
        QVERIFY(e.w("TextQuestion")->hasFocus());
        QCOMPARE(QFileInfo(e.banqueChemin()).size(), qint64(0));
    }

    void newCardAfterCard_savesItAndShowsEmptyLastCard()
    {
        Editeur e;
        QVERIFY(e.poser(pile({{"Q1"},
                              {.question = "Q2", .theme = 1, .bonne = 2, .marque = 1, .reponses = {"a", "b", "c"},
                               .commentaire = "vu", .auteur = "AB", .media = "img.bmp", .code = 11},
                              {"Q3"}}),
                        {"Histoire", "Géographie"}));
        QVERIFY(QDir(e.dir.path()).mkdir("BASE"));
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(e.chemin("BASE/img.bmp"), "BMP"));
        QVERIFY(e.ouvrir());
        e.allerA(2);
        QVERIFY(e.w("Frame4")->isVisible());
        e.ajouter("TextQuestion", " revue");
        e.pf.oublier();

        e.clic("Nouveau");
        QVERIFY(e.pf.messages.isEmpty());
        QByteArray octets = e.octets();
        QCOMPARE(octets.size(), 3 * T);
        QCOMPARE(octets.mid(T, T), enregistrement("Q2 revue", {"a", "b", "c"}, 2, 1, 1, "AB", "img.bmp", 11, "vu"));
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("4"));
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("4"));
        QCOMPARE(e.f->etat().NumFiche, 4);
        QCOMPARE(e.f->etat().NbFiches, 4);
        for (const char *nom : {"TextQuestion", "TextReponse_0", "TextReponse_1", "TextReponse_2", "TextExplic"})
            QCOMPARE(e.texte(nom), QString());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(!e.w<QRadioButton>(QStringLiteral("OptionBonneReponse_%1").arg(i))->isChecked());
            QCOMPARE(e.fond(QStringLiteral("TextReponse_%1").arg(i)), kVert);
        }
        QCOMPARE(e.texte("TextAuteur"), QStringLiteral("AB   "));
        QVERIFY(e.w("TextQuestion")->hasFocus());
        QVERIFY(e.w<QRadioButton>("Theme_1")->isChecked());
        QVERIFY(e.w<QCheckBox>("CheckMarquage")->isChecked());
        QCOMPARE(e.f->etat().NomMedia, QString(12, ' '));
        QCOMPARE(e.f->etat().OptionTaille, 0);
        QVERIFY(!e.w("Frame4")->isVisible());
        QVERIFY(e.w<QLabel>("ImageMedia")->pixmap().isNull());
        QCOMPARE(e.w<QLabel>("LabelFileMedia")->text(), QString());
        for (int i = 0; i < 9; ++i)
            QVERIFY(!e.w(QStringLiteral("Theme_%1").arg(i))->font().bold());

        // The new card reaches the file with the next move, carrying theme, mark and initials.
        e.taper("TextQuestion", "Q4");
        e.clic("OptionBonneReponse_0");
        e.clic("Précédent");
        octets = e.octets();
        QCOMPARE(octets.size(), 4 * T);
        QCOMPARE(octets.mid(3 * T), enregistrement("Q4", {}, 1, 1, 1, "AB"));
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("3"));
    }

    void newCardWithoutGoodAnswer_refusedWithReminder()
    {
        Editeur e;
        QVERIFY(e.ouvrir(pile({{"Q1"}, {"Q2", 0, 0}, {"Q3"}})));
        const QByteArray avant = e.octets();
        e.allerA(2);
        e.ajouter("TextQuestion", " bis");
        e.pf.oublier();

        e.clic("Nouveau");
        QVERIFY2(seulMessage(e.pf, kBonneNouveau), qPrintable(e.pf.textes().join(u'|')));
        QCOMPARE(e.f->etat().NbFiches, 3);
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("3"));
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("2"));
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q2 bis"));
        QCOMPARE(e.octets(), avant);
    }

    // Delete

    void deleteCard_rewritesBankWithoutIt_data()
    {
        QTest::addColumn<int>("nombre");
        QTest::addColumn<int>("carte");
        QTest::addColumn<QList<int>>("restantes");
        QTest::addColumn<int>("affichee");
        QTest::addColumn<int>("bips");
        QTest::addColumn<bool>("resteTemporaire");  // a BASE.TMP left by an interrupted deletion
        QTest::newRow("card 2 of 5") << 5 << 2 << QList<int>{1, 3, 4, 5} << 2 << 0 << false;
        QTest::newRow("card 5 of 5") << 5 << 5 << QList<int>{1, 2, 3, 4} << 4 << 0 << false;
        QTest::newRow("card 1 of 5") << 5 << 1 << QList<int>{2, 3, 4, 5} << 1 << 0 << false;
        QTest::newRow("stale temporary file") << 5 << 3 << QList<int>{1, 2, 4, 5} << 3 << 0 << true;
        QTest::newRow("only card") << 1 << 1 << QList<int>{1} << 1 << 1 << false;
    }

    void deleteCard_rewritesBankWithoutIt()
    {
        QFETCH(int, nombre);
        QFETCH(int, carte);
        QFETCH(QList<int>, restantes);
        QFETCH(int, affichee);
        QList<banque::Carte> cartes;
        for (int i = 1; i <= nombre; ++i)
            cartes.append({.question = QStringLiteral("Q%1").arg(i), .theme = i % 2, .bonne = 1 + i % 3,
                           .marque = i % 2, .reponses = {QStringLiteral("r%1").arg(i)},
                           .auteur = QStringLiteral("A%1").arg(i)});
        Editeur e;
        QVERIFY(e.ouvrir(pile(cartes), {"Histoire", "Géographie"}));
        const QByteArray avant = e.octets();
        QFETCH(bool, resteTemporaire);
        if (resteTemporaire)
            QVERIFY(banque::ecrire(e.chemin("BASE.TMP"), QByteArray(3 * T + 7, 'x')));
        e.allerA(carte);
        e.ajouter("TextQuestion", " perdue");
        QCOMPARE(e.octets(), avant);
        e.pf.oublier();

        e.clic("Supprimer");
        QTEST(e.pf.bips, "bips");
        QVERIFY(e.pf.messages.isEmpty());
        QByteArray attendu;
        for (int n : restantes)
            attendu += avant.mid((n - 1) * T, T);
        QCOMPARE(e.octets(), attendu);
        QVERIFY(!QFileInfo::exists(e.chemin("BASE.TMP")));
        QCOMPARE(e.texte("TextNbFiche"), QString::number(restantes.size()));
        QCOMPARE(e.f->etat().NbFiches, int(restantes.size()));
        QCOMPARE(e.texte("TextAffNumero"), QString::number(affichee));
        const int montree = nombre == 1 ? 1 : restantes[affichee - 1];
        QCOMPARE(e.texte("TextQuestion"),
                 nombre == 1 ? QStringLiteral("Q1 perdue") : QStringLiteral("Q%1").arg(montree));
        QCOMPARE(e.texte("TextAuteur"), padS(QStringLiteral("A%1").arg(montree), 5));
    }

    void deleteUnsavedNewCard_keepsEveryRecord()
    {
        Editeur e;
        QVERIFY(e.ouvrir(simples(3)));
        const QByteArray avant = e.octets();
        e.clic("Nouveau");
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("4"));

        e.clic("Supprimer");
        QVERIFY(e.pf.messages.isEmpty());
        QCOMPARE(e.octets(), avant);
        QCOMPARE(e.f->etat().NbFiches, 3);
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("3"));
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("3"));
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q3"));
        QVERIFY(!QFileInfo::exists(e.chemin("BASE.TMP")));
    }

    void deleteFails_bankUnchangedAndCardShown()
    {
        Editeur e;
        QVERIFY(e.poser(simples(5)));
        const QByteArray avant = e.octets();
        // A directory that is not empty where the temporary copy must go: even root cannot create it.
        QVERIFY(QDir(e.dir.path()).mkpath("BASE.TMP/occupe"));
        QVERIFY(e.ouvrir());
        e.allerA(2);
        e.pf.oublier();

        e.clic("Supprimer");
        QCOMPARE(e.pf.messages.size(), 1);
        QVERIFY2(e.pf.messages[0].texte.contains("BASE.QZF"), qPrintable(e.pf.messages[0].texte));
        QCOMPARE(e.pf.messages[0].boutons, Boutons::Ok);
        QCOMPARE(e.pf.messages[0].icone, Icone::Critique);
        QCOMPARE(e.pf.messages[0].titre, QStringLiteral("Erreur"));
        QCOMPARE(e.octets(), avant);
        QCOMPARE(e.f->etat().NbFiches, 5);
        QCOMPARE(e.texte("TextNbFiche"), QStringLiteral("5"));
        QCOMPARE(e.texte("TextAffNumero"), QStringLiteral("2"));
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q2"));

        // The bank is open again: moving on reads and writes it as before.
        e.pf.oublier();
        e.clic("Suivant");
        QVERIFY(e.pf.messages.isEmpty());
        QCOMPARE(e.texte("TextQuestion"), QStringLiteral("Q3"));
        QCOMPARE(e.octets(), avant);
    }

    // Marking, highlight, help line

    void markBox_storedInCardLeft_data()
    {
        QTest::addColumn<int>("marque");
        QTest::addColumn<QByteArray>("octets");
        QTest::newRow("ticked") << 0 << QByteArray("\x01\x00", 2);
        QTest::newRow("unticked") << 1 << QByteArray("\x00\x00", 2);
    }

    void markBox_storedInCardLeft()
    {
        QFETCH(int, marque);
        Editeur e;
        QVERIFY(e.ouvrir(pile({{.question = "Q1", .marque = marque}, {.question = "Q2", .marque = 0}})));
        QCOMPARE(e.w<QCheckBox>("CheckMarquage")->isChecked(), marque == 1);
        e.clic("CheckMarquage");
        e.clic("Suivant");
        QTEST(e.octets().mid(782, 2), "octets");
        QVERIFY(!e.w<QCheckBox>("CheckMarquage")->isChecked());
    }

    void chooseGoodAnswer_highlightsOnlyIt_data()
    {
        QTest::addColumn<int>("choix");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
        QTest::newRow("third, already good") << 2;
    }

    void chooseGoodAnswer_highlightsOnlyIt()
    {
        QFETCH(int, choix);
        Editeur e;
        QVERIFY(e.ouvrir(pile({{"Q1", 0, 3}})));
        QCOMPARE(e.fond("TextReponse_2"), kJaune);
        e.clic(QStringLiteral("OptionBonneReponse_%1").arg(choix));
        QVERIFY(e.w<QRadioButton>(QStringLiteral("OptionBonneReponse_%1").arg(choix))->isChecked());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(e.fond(QStringLiteral("TextReponse_%1").arg(i)), i == choix ? kJaune : kVert);
    }

    void mouseOverButton_setsHelpLine_data()
    {
        QTest::addColumn<QString>("bouton");
        QTest::addColumn<QString>("aide");
        const QString memorisee = QStringLiteral(" Toute saisie effectuée dans la question active sera mémorisée.");
        const std::pair<const char *, QString> lignes[] = {
            {"BoutFind", "permet d'effectuer une recherche de question par son numéro ou un texte contenu dans la "
                         "question."},
            {"BoutPrint", "D'après vous....A quoi sert ce bouton?..hé! hé!"},
            {"Command1", "Permet de transférer des questions du fichier ouvert vers un autre fichier existant de "
                         "votre choix"},
            {"Fichier", "Ouvre un fichier existant ou permet de créer un nouveau fichier de questions"},
            {"Nouveau", "Permet de créer une nouvelle question. Cliquez ici si vous venez d'ouvrir un nouveau "
                        "fichier."},
            {"Supprimer", "Supprime la question affichée"},
            {"Premier",
             "Cliquez ici pour faire un saut jusqu'à la première question du prochain thème." + memorisee},
            {"Précédent", "Cliquez ici pour passer à la question précédente." + memorisee},
            {"Suivant", "Cliquez ici pour passer à la question suivante." + memorisee},
            {"Dernier", "Cliquez ici pour passer à la dernière question." + memorisee},
            {"Quitter", "Allez! vous avez raison!...Vous avez bien mieux à faire....."},
        };
        for (const auto &[bouton, aide] : lignes)
            QTest::newRow(bouton) << QString::fromUtf8(bouton) << aide;
    }

    void mouseOverButton_setsHelpLine()
    {
        QFETCH(QString, bouton);
        Editeur e;
        QVERIFY(e.ouvrir(simples(2)));
        // Start from another button's text: the move must replace it.
        survoler(e.w(bouton == "Quitter" ? "Nouveau" : "Quitter"));
        QVERIFY(!e.w<QLabel>("Aide")->text().isEmpty());
        survoler(e.w(bouton));
        QTEST(e.w<QLabel>("Aide")->text(), "aide");
        QVERIFY(e.pf.messages.isEmpty());
    }

    void mouseFromSuivant_surfaceEmptiesOtherControlKeeps_data()
    {
        QTest::addColumn<QString>("cible");
        QTest::addColumn<bool>("vide");
        QTest::newRow("window surface") << "FormEdit" << true;
        QTest::newRow("question box") << "TextQuestion" << false;
        QTest::newRow("mark box") << "CheckMarquage" << false;
    }

    void mouseFromSuivant_surfaceEmptiesOtherControlKeeps()
    {
        QFETCH(QString, cible);
        QFETCH(bool, vide);
        Editeur e;
        QVERIFY(e.ouvrir(simples(2)));
        survoler(e.w("Suivant"));
        const QString suivant = e.w<QLabel>("Aide")->text();
        QVERIFY(suivant.startsWith("Cliquez ici pour passer à la question suivante."));

        QWidget *c = e.w(cible);
        const QPoint surface(4, 300);  // left of the card frame
        QVERIFY(!e.f->childAt(surface));
        survoler(c, c == e.f.get() ? surface : QPoint());
        QCOMPARE(e.w<QLabel>("Aide")->text(), vide ? QString() : suivant);
    }
};

QTEST_MAIN(TestFormEditEdition)
#include "test_formedit_edition.moc"
