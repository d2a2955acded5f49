// Main window: start-up, showing and saving a card, media display, quitting with the sort.
#include "editor/controles.h"
#include "editor/formedit.h"
#include "support/banque.h"
#include "support/fakeplateforme.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using Msg = FakePlateforme::Message;
using Boutons = Plateforme::Boutons;
using Icone = Plateforme::Icone;

const QString kBonneReponse =
    QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie");
const QString kRappel = QStringLiteral(
    "Pensez à saisir, une bonne fois pour toutes, vos initiales dans l'emplacement violet afin que les "
    "questions que vous aurez créées portent fièrement votre trace.");
const QColor kJaune(255, 255, 192), kVert(192, 255, 192), kViolet(255, 192, 255);

// A program folder of its own, the fake desktop and the main window.
struct Banc {
    QTemporaryDir tmp;
    FakePlateforme pf{tmp.path()};
    std::unique_ptr<FormEdit> fe;

    QString chemin(const QString &nom) const { return tmp.path() + u'/' + nom; }
    QString banque() const { return chemin(QStringLiteral("BASE.QZF")); }
    QByteArray octets() const { return banque::lire(banque()); }

    FormEdit &demarrer()
    {
        fe = std::make_unique<FormEdit>(pf);
        fe->charger();
        return *fe;
    }
    // Opens the bank, then forgets what start-up showed.
    FormEdit &ouvrir(const QByteArray &cartes)
    {
        if (!banque::ecrire(banque(), cartes))
            qFatal("cannot write the bank");
        demarrer();
        pf.oublier();
        return *fe;
    }
    void montrer(int numero)
    {
        fe->etat().NumFiche = numero;
        fe->Lit();
    }
    template <class T = QWidget> T *w(const QString &nom) const
    {
        T *c = fe->findChild<T *>(nom);
        if (!c)
            qFatal("no control named %s", qPrintable(nom));
        return c;
    }
    // A picture of the bank's media folder.
    void image(const QString &nom, QSize taille) const
    {
        QDir(tmp.path()).mkpath(QStringLiteral("BASE"));
        QImage img(taille, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        QVERIFY(img.save(chemin(QStringLiteral("BASE/") + nom), "JPEG"));
    }
};

QByteArray carte(const banque::Carte &c) { return banque::fiche(c).octets(); }

// A field's bytes padded with spaces to its width.
QByteArray champ(const QByteArray &debut, int largeur) { return debut + QByteArray(largeur - debut.size(), ' '); }

QByteArray avec(QByteArray rec, int offset, const QByteArray &octets) { return rec.replace(offset, octets.size(), octets); }

QByteArray mot16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char(quint16(v) & 0xFF);
    b[1] = char(quint16(v) >> 8);
    return b;
}

QString texteDe(QWidget *c)
{
    if (auto *b = qobject_cast<BoiteTexte *>(c))
        return b->texte();
    if (auto *e = qobject_cast<QLineEdit *>(c))
        return e->text();
    if (auto *b = qobject_cast<QAbstractButton *>(c))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(c))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(c))
        return g->title();
    return QStringLiteral("<no text>");
}

// Characters that tell their position: a cut in the wrong place shows.
QString suite(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar(u'a' + i % 26);
    return s;
}

void taper(QWidget *boite, const QString &texte)
{
    if (auto *b = qobject_cast<BoiteTexte *>(boite))
        b->moveCursor(QTextCursor::End);
    QTest::keyClicks(boite, texte);
}

} // namespace

class TestFormEditAffichage : public QObject {
    Q_OBJECT

private slots:
    void startupInEmptyFolder_createsEmptyFilesAndShowsEmptyState();
    void control_hasCaptionAndToolTip_data();
    void control_hasCaptionAndToolTip();
    void textBox_hasBackgroundColour_data();
    void textBox_hasBackgroundColour();
    void typingPastLimit_keepsOnlyTheLimit_data();
    void typingPastLimit_keepsOnlyTheLimit();
    void startup_countsCardsPerTheme_data();
    void startup_countsCardsPerTheme();
    void startupWithThreeCards_bufferHoldsLastCardScreenShowsFirst();
    void lit_goodAnswerFlags_setOptionsAndColours_data();
    void lit_goodAnswerFlags_setOptionsAndColours();
    void lit_storedText_isShownTrimmedExceptInitials_data();
    void lit_storedText_isShownTrimmedExceptInitials();
    void litThenEcrit_theme_chosenBoldThenKept_data();
    void litThenEcrit_theme_chosenBoldThenKept();
    void ecrit_screen_storesExactBytes_data();
    void ecrit_screen_storesExactBytes();
    void litThenEcrit_unusualBytes_surviveUnchanged_data();
    void litThenEcrit_unusualBytes_surviveUnchanged();
    void lit_mediaCode_setsMediaControls_data();
    void lit_mediaCode_setsMediaControls();
    void imageSizeClicks_scaleFromOwnSizeAndAreStored_data();
    void imageSizeClicks_scaleFromOwnSizeAndAreStored();
    void quit_savesCardOnlyWithGoodAnswerThenSorts_data();
    void quit_savesCardOnlyWithGoodAnswerThenSorts();
    void quitAfterNewCard_unsavedCardIsNotAdded_data();
    void quitAfterNewCard_unsavedCardIsNotAdded();
    void quitWhenBankCannotBeReplaced_reportsErrorAndKeepsBank();
    void ecritWhenBankBecameFolder_reportsErrorAndFails();
};

void TestFormEditAffichage::startupInEmptyFolder_createsEmptyFilesAndShowsEmptyState()
{
    Banc b;
    QStringList pendant;  // what stands behind the reminder while it is open
    b.pf.pendantMessage = [&](const Msg &) {
        pendant << QString::number(b.fe->isVisible()) << b.w<QLabel>(QStringLiteral("LabelTotal"))->text()
                << b.w<QLineEdit>(QStringLiteral("TextNbFiche"))->text();
    };
    FormEdit &fe = b.demarrer();

    const QFileInfo qzf(b.banque()), prm(b.chemin(QStringLiteral("BASE.prm")));
    QVERIFY(qzf.isFile());
    QCOMPARE(qzf.size(), 0);
    QVERIFY(prm.isFile());
    QCOMPARE(prm.size(), 0);

    QCOMPARE(fe.windowTitle(), QStringLiteral("Editeur de QCM - Pavonel"));
    QCOMPARE(b.w<QLabel>(QStringLiteral("LabelFichier"))->text(),
             QStringLiteral("Orbelin - Editeur de questions   -- > Fichier ouvert : BASE.QZF"));
    QCOMPARE(b.w<QLabel>(QStringLiteral("LabelFichierActif"))->text(), QStringLiteral("BASE.QZF"));
    QCOMPARE(b.w<QLineEdit>(QStringLiteral("TextNbFiche"))->text(), QStringLiteral("0"));
    QCOMPARE(b.w<QLineEdit>(QStringLiteral("TextAffNumero"))->text(), QStringLiteral("1"));
    QCOMPARE(b.w<QLabel>(QStringLiteral("LabelTotal"))->text(), QStringLiteral("0"));
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(b.w<QLabel>(QStringLiteral("LabelTheme_%1").arg(i))->text(), QStringLiteral("0"));
        QVERIFY2(!b.w(QStringLiteral("Theme_%1").arg(i))->isVisible(), "no theme name, no theme button");
        QCOMPARE(b.w(QStringLiteral("ThemeEdit_%1").arg(i))->isEnabled(), i == 0);
    }
    for (const char *nom : {"Dernier", "Premier", "Suivant", "Précédent", "Supprimer"})
        QVERIFY2(!b.w(QString::fromUtf8(nom))->isEnabled(), nom);
    for (const char *nom : {"Nouveau", "Fichier", "BoutFind", "Quitter", "Command4"})
        QVERIFY2(b.w(QString::fromUtf8(nom))->isEnabled() && b.w(QString::fromUtf8(nom))->isVisible(), nom);
    for (const char *nom : {"TextQuestion", "TextReponse_0", "TextReponse_1", "TextReponse_2", "OptionBonneReponse_0",
                            "OptionBonneReponse_1", "OptionBonneReponse_2", "TextExplic", "FrameThemes", "Frame4",
                            "Command3", "LabelMedia", "LabelFileMedia", "Label9", "LabelFichierActif"})
        QVERIFY2(!b.w(QString::fromUtf8(nom))->isVisible(), nom);
    QVERIFY(b.w(QStringLiteral("Frame1"))->isVisible());
    QVERIFY(b.w<QRadioButton>(QStringLiteral("OptionImage_0"))->isChecked());

    QCOMPARE(b.pf.messages.size(), 1);
    const Msg &m = b.pf.messages.first();
    QCOMPARE(m.texte, kRappel);
    QCOMPARE(m.titre, QStringLiteral("Saisie des initiales de l'auteur des questions"));
    QCOMPARE(m.boutons, Boutons::Ok);
    QCOMPARE(m.icone, Icone::Aucune);
    QCOMPARE(pendant, (QStringList{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")}));
    QCOMPARE(b.pf.fins, 0);
}

void TestFormEditAffichage::control_hasCaptionAndToolTip_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("texte");
    QTest::addColumn<QString>("bulle");  // null: not checked
    const QString x;
    const QList<std::array<const char *, 2>> legendes = {
        {"Command4", "&Editer les thèmes"}, {"Command5", "&OK"}, {"Command6", "&Annuler"},
        {"Premier", "<<"}, {"Précédent", "<"}, {"Suivant", ">"}, {"Dernier", ">>"},
        {"Nouveau", "&Nouvelle question"}, {"Supprimer", "Supprimer"}, {"Fichier", "&Fichier..."},
        {"Command1", "&Transfert de questions..."}, {"BoutMultimedia", "&Charger un fichier SON ou IMAGE"},
        {"Command7", "&Voir l'image"}, {"Quitter", "Quitter"}, {"OptionImage_0", "Origine"},
        {"OptionImage_1", "Taille 1"}, {"OptionImage_2", "Taille 2"}, {"OptionImage_3", "Taille 3"},
        {"Label1", "Initiales de l'auteur :"}, {"Label2", "Question"}, {"Label3", "N° de question :"},
        {"Label4", "/"}, {"Label5", "Nombre total de questions"}, {"Label6", "Réponses proposées"},
        {"Label7", "Bonne réponse"}, {"Label8", "Commentaires sur la réponse"}, {"Label9", "Fichier :"},
        {"LabelMedia", "Nom du fichier : "}, {"Label10", "Taille maxi  image     260 *195 "},
        {"Frame1", "Choix du thème pour la question"}, {"Frame2", "Gestions des questions"},
        {"Frame3", "Fiche de question"}, {"Frame4", "Taille de l'image"}, {"FrameThemes", "Edition des thèmes"},
    };
    for (const auto &[nom, texte] : legendes)
        QTest::newRow(nom) << QString::fromUtf8(nom) << QString::fromUtf8(texte) << x;
    QTest::newRow("CheckMarquage")
        << QStringLiteral("CheckMarquage") << QStringLiteral("Marquage de fiche")
        << QStringLiteral("Cette case peut être cochée afin de repérer une fiche pour réaliser l'exportation des "
                          "fiches marquées vers un autre fichier.");
    QTest::newRow("BoutFind") << QStringLiteral("BoutFind") << QStringLiteral("&Rechercher...")
                              << QStringLiteral("Recherche d'une question soit par son numéro, soit par un mot clef.");
    QTest::newRow("BoutPrint")
        << QStringLiteral("BoutPrint") << QStringLiteral("&Impression...")
        << QStringLiteral("Impression rapide ou détaillée des questions existantes dans le fichier.");
}

void TestFormEditAffichage::control_hasCaptionAndToolTip()
{
    QFETCH(QString, nom);
    QFETCH(QString, texte);
    QFETCH(QString, bulle);
    Banc b;
    b.demarrer();
    QWidget *c = b.fe->findChild<QWidget *>(nom);
    QVERIFY2(c, qPrintable(nom));
    QCOMPARE(texteDe(c), texte);
    if (!bulle.isNull())
        QCOMPARE(c->toolTip(), bulle);
}

void TestFormEditAffichage::textBox_hasBackgroundColour_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QColor>("couleur");
    QTest::newRow("initials violet") << QStringLiteral("TextAuteur") << kViolet;
    QTest::newRow("question yellow") << QStringLiteral("TextQuestion") << kJaune;
    QTest::newRow("comment yellow") << QStringLiteral("TextExplic") << kJaune;
    for (int i = 0; i < 3; ++i)
        QTest::addRow("answer %d green", i) << QStringLiteral("TextReponse_%1").arg(i) << kVert;
}

void TestFormEditAffichage::textBox_hasBackgroundColour()
{
    QFETCH(QString, nom);
    QFETCH(QColor, couleur);
    Banc b;
    b.ouvrir(carte({QStringLiteral("Q"), 0, 0}));
    QCOMPARE(b.w(nom)->palette().color(QPalette::Base), couleur);
}

void TestFormEditAffichage::typingPastLimit_keepsOnlyTheLimit_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<int>("tapes");
    QTest::addColumn<int>("gardes");
    QTest::newRow("question 201 of 200") << QStringLiteral("TextQuestion") << 201 << 200;
    QTest::newRow("comment 201 of 200") << QStringLiteral("TextExplic") << 201 << 200;
    QTest::newRow("answer 2 51 of 50") << QStringLiteral("TextReponse_2") << 51 << 50;
    QTest::newRow("answer 0 no limit") << QStringLiteral("TextReponse_0") << 300 << 300;
    QTest::newRow("answer 1 no limit") << QStringLiteral("TextReponse_1") << 300 << 300;
    QTest::newRow("initials 6 of 5") << QStringLiteral("TextAuteur") << 6 << 5;
}

void TestFormEditAffichage::typingPastLimit_keepsOnlyTheLimit()
{
    QFETCH(QString, nom);
    QFETCH(int, tapes);
    QFETCH(int, gardes);
    Banc b;
    b.ouvrir(QByteArray(FicheQuestion::Taille, '\0'));  // every text of the card empty
    QWidget *boite = b.w(nom);
    QVERIFY(texteDe(boite).isEmpty());
    taper(boite, suite(tapes));
    QCOMPARE(texteDe(boite), suite(gardes));
}

void TestFormEditAffichage::startup_countsCardsPerTheme_data()
{
    QTest::addColumn<QList<int>>("themes");
    QTest::addColumn<QList<int>>("comptes");
    QTest::newRow("2,0,2,1,8") << QList<int>{2, 0, 2, 1, 8} << QList<int>{1, 1, 2, 0, 0, 0, 0, 0, 1};
    QTest::newRow("damaged theme 12 counted in total only")
        << QList<int>{4, 12, 4} << QList<int>{0, 0, 0, 0, 2, 0, 0, 0, 0};
    QTest::newRow("one card") << QList<int>{7} << QList<int>{0, 0, 0, 0, 0, 0, 0, 1, 0};
}

void TestFormEditAffichage::startup_countsCardsPerTheme()
{
    QFETCH(QList<int>, themes);
    QFETCH(QList<int>, comptes);
    Banc b;
    QByteArray cartes;
    for (int t : themes)
        cartes += carte({QStringLiteral("Q"), t});
    FormEdit &fe = b.ouvrir(cartes);
    const QString total = QString::number(themes.size());
    for (int i = 0; i < 9; ++i)
        QCOMPARE(b.w<QLabel>(QStringLiteral("LabelTheme_%1").arg(i))->text(), QString::number(comptes[i]));
    QCOMPARE(b.w<QLabel>(QStringLiteral("LabelTotal"))->text(), total);
    QCOMPARE(b.w<QLineEdit>(QStringLiteral("TextNbFiche"))->text(), total);
    QCOMPARE(fe.etat().NbFiches, themes.size());
    for (const char *nom : {"Dernier", "Premier", "Suivant", "Précédent", "Supprimer"})
        QVERIFY2(b.w(QString::fromUtf8(nom))->isEnabled(), nom);
    for (const char *nom : {"TextQuestion", "TextReponse_0", "TextReponse_1", "TextReponse_2", "OptionBonneReponse_0",
                            "OptionBonneReponse_1", "OptionBonneReponse_2", "TextExplic"})
        QVERIFY2(b.w(QString::fromUtf8(nom))->isVisible(), nom);
}

void TestFormEditAffichage::startupWithThreeCards_bufferHoldsLastCardScreenShowsFirst()
{
    Banc b;
    FormEdit &fe = b.ouvrir(carte({QStringLiteral("Q1"), 0}) + carte({QStringLiteral("Q2"), 1})
                            + carte({QStringLiteral("Q3"), 2, 3}));
    QCOMPARE(fe.etat().Fiche.octets(), carte({QStringLiteral("Q3"), 2, 3}));
    QCOMPARE(fe.etat().NumFiche, 1);
    QCOMPARE(b.w<QLineEdit>(QStringLiteral("TextAffNumero"))->text(), QStringLiteral("1"));
    QCOMPARE(b.w<BoiteTexte>(QStringLiteral("TextQuestion"))->texte(), QStringLiteral("Q1"));
}

void TestFormEditAffichage::lit_goodAnswerFlags_setOptionsAndColours_data()
{
    QTest::addColumn<QList<int>>("drapeaux");
    QTest::addColumn<QList<bool>>("choisies");
    QTest::addColumn<QList<bool>>("jaunes");
    QTest::newRow("first good") << QList<int>{-1, 0, 0} << QList<bool>{true, false, false}
                                << QList<bool>{true, false, false};
    QTest::newRow("third good") << QList<int>{0, 0, -1} << QList<bool>{false, false, true}
                                << QList<bool>{false, false, true};
    QTest::newRow("none good") << QList<int>{0, 0, 0} << QList<bool>{false, false, false}
                               << QList<bool>{false, false, false};
    QTest::newRow("flag 1 is chosen but stays green") << QList<int>{0, 1, 0} << QList<bool>{false, true, false}
                                                      << QList<bool>{false, false, false};
}

void TestFormEditAffichage::lit_goodAnswerFlags_setOptionsAndColours()
{
    QFETCH(QList<int>, drapeaux);
    QFETCH(QList<bool>, choisies);
    QFETCH(QList<bool>, jaunes);
    // Card 1 has all three flags set, so every box has something to undo.
    QByteArray avant = carte({QStringLiteral("Q1"), 0});
    QByteArray rec = carte({QStringLiteral("Q2"), 0});
    for (int k = 0; k < 3; ++k) {
        avant = avec(avant, offsets::BonneReponse + 2 * k, mot16(-1));
        rec = avec(rec, offsets::BonneReponse + 2 * k, mot16(drapeaux[k]));
    }
    Banc b;
    b.ouvrir(avant + rec);
    b.montrer(2);
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(b.w<QRadioButton>(QStringLiteral("OptionBonneReponse_%1").arg(k))->isChecked(), choisies[k]);
        QCOMPARE(b.w(QStringLiteral("TextReponse_%1").arg(k))->palette().color(QPalette::Base),
                 jaunes[k] ? kJaune : kVert);
    }
}

void TestFormEditAffichage::lit_storedText_isShownTrimmedExceptInitials_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("stocke");  // the whole field
    QTest::addColumn<QString>("affiche");
    QTest::newRow("question spaces both ends") << QStringLiteral("TextQuestion") << 0 << champ("  abc  ", 200)
                                               << QStringLiteral("abc");
    QTest::newRow("answer 2 inner spaces kept") << QStringLiteral("TextReponse_1") << 325
                                                << champ("   deux  mots", 125) << QStringLiteral("deux  mots");
    QTest::newRow("comment") << QStringLiteral("TextExplic") << 575 << champ(" note", 200) << QStringLiteral("note");
    QTest::newRow("zero byte ends the text")
        << QStringLiteral("TextQuestion") << 0 << champ(QByteArray("abc\0def", 7), 200) << QStringLiteral("abc");
    QTest::newRow("never written") << QStringLiteral("TextReponse_2") << 450 << QByteArray(125, '\0') << QString();
    QTest::newRow("no-break spaces are not trimmed")
        << QStringLiteral("TextQuestion") << 0 << champ("\xA0x\xA0", 200) << QStringLiteral("\u00A0x\u00A0");
    QTest::newRow("code page bytes") << QStringLiteral("TextReponse_0") << 200 << champ("\x80 caf\xE9 \x93ok\x94", 125)
                                     << QStringLiteral("€ café “ok”");
    QTest::newRow("initials keep trailing spaces") << QStringLiteral("TextAuteur") << 784 << QByteArray("AB   ")
                                                   << QStringLiteral("AB   ");
    QTest::newRow("initials keep leading space") << QStringLiteral("TextAuteur") << 784 << QByteArray(" A   ")
                                                 << QStringLiteral(" A   ");
    QTest::newRow("initials end at zero byte") << QStringLiteral("TextAuteur") << 784 << QByteArray("AB\0\0\0", 5)
                                               << QStringLiteral("AB");
}

void TestFormEditAffichage::lit_storedText_isShownTrimmedExceptInitials()
{
    QFETCH(QString, nom);
    QFETCH(int, offset);
    QFETCH(QByteArray, stocke);
    QFETCH(QString, affiche);
    Banc b;
    b.ouvrir(avec(carte({QStringLiteral("Q"), 0, 1, 0, {QStringLiteral("r1"), QStringLiteral("r2"),
                                                          QStringLiteral("r3")},
                         QStringLiteral("c"), QStringLiteral("ZZ")}),
                  offset, stocke));
    QCOMPARE(texteDe(b.w(nom)), affiche);
}

void TestFormEditAffichage::litThenEcrit_theme_chosenBoldThenKept_data()
{
    QTest::addColumn<int>("theme");
    QTest::newRow("theme 0") << 0;
    QTest::newRow("theme 3") << 3;
    QTest::newRow("theme 8") << 8;
    QTest::newRow("damaged theme 12") << 12;
}

void TestFormEditAffichage::litThenEcrit_theme_chosenBoldThenKept()
{
    QFETCH(int, theme);
    Banc b;
    QStringList noms;
    for (int i = 0; i < 9; ++i)
        noms << QStringLiteral("Thème %1").arg(i);
    QVERIFY(banque::ecrireThemes(b.chemin(QStringLiteral("BASE.prm")), noms));
    const QByteArray avant = carte({QStringLiteral("Q1"), 5});
    const QByteArray rec = carte({QStringLiteral("Q2"), theme, 2});
    FormEdit &fe = b.ouvrir(avant + rec);
    QVERIFY(b.w<QRadioButton>(QStringLiteral("Theme_5"))->font().bold());
    b.montrer(2);
    for (int i = 0; i < 9; ++i) {
        auto *t = b.w<QRadioButton>(QStringLiteral("Theme_%1").arg(i));
        QCOMPARE(t->isChecked(), i == theme);
        QCOMPARE(t->font().bold(), i == theme);
    }
    QVERIFY(fe.Ecrit());
    for (int i = 0; i < 9; ++i)
        QVERIFY2(!b.w(QStringLiteral("Theme_%1").arg(i))->font().bold(), "no caption bold after saving");
    QCOMPARE(b.octets(), avant + rec);
}

void TestFormEditAffichage::ecrit_screen_storesExactBytes_data()
{
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("attendu");
    QTest::addColumn<QString>("nomRelu");  // shown again after saving and reading back
    QTest::addColumn<QString>("relu");
    QTest::addColumn<QByteArray>("resauve");  // at offset, after saving what is shown again

    const QByteArray pleine = carte({QStringLiteral("Question ?"), 3, 1, 1,
                                     {QStringLiteral("un"), QStringLiteral("deux"), QStringLiteral("trois")},
                                     QStringLiteral("parce que"), QStringLiteral("AB")});
    QTest::newRow("unchanged card keeps every byte")
        << pleine << QString() << 0 << pleine << QStringLiteral("TextAuteur") << QStringLiteral("AB   ")
        << pleine;
    QTest::newRow("good answer 2") << pleine << QStringLiteral("bonne2") << int(offsets::BonneReponse)
                                   << (mot16(0) + mot16(-1) + mot16(0)) << QStringLiteral("TextQuestion")
                                   << QStringLiteral("Question ?") << (mot16(0) + mot16(-1) + mot16(0));
    const QString longue = suite(300);
    QTest::newRow("300 characters stored as 125")
        << carte({QStringLiteral("Q"), 0}) << QStringLiteral("reponse300") << int(offsets::Reponse)
        << longue.left(125).toLatin1() << QStringLiteral("TextReponse_0") << longue.left(125)
        << longue.left(125).toLatin1();
    QTest::newRow("201 typed, 200 stored")
        << carte({QString(), 0}) << QStringLiteral("question201") << int(offsets::Question)
        << suite(200).toLatin1() << QStringLiteral("TextQuestion") << suite(200) << suite(200).toLatin1();
    QTest::newRow("typed leading spaces stored, not shown again")
        << carte({QStringLiteral("Q"), 0}) << QStringLiteral("espaces") << int(offsets::Reponse) + 125
        << champ("  x", 125) << QStringLiteral("TextReponse_1") << QStringLiteral("x") << champ("x", 125);
    const QByteArray vierge = QByteArray(575, ' ') + QByteArray(200, ' ') + QByteArray(6 + 1 + 2, '\0')
                              + QByteArray(5, ' ') + QByteArray(12 + 2, '\0');
    QTest::newRow("all-zero record: spaces from boxes, media name kept")
        << QByteArray(FicheQuestion::Taille, '\0') << QString() << 0 << vierge << QStringLiteral("TextAuteur")
        << QStringLiteral("     ") << vierge;
}

void TestFormEditAffichage::ecrit_screen_storesExactBytes()
{
    QFETCH(QByteArray, initial);
    QFETCH(QString, action);
    QFETCH(int, offset);
    QFETCH(QByteArray, attendu);
    QFETCH(QString, nomRelu);
    QFETCH(QString, relu);
    QFETCH(QByteArray, resauve);
    Banc b;
    FormEdit &fe = b.ouvrir(initial);
    if (action == u"bonne2")
        QTest::mouseClick(b.w(QStringLiteral("OptionBonneReponse_1")), Qt::LeftButton);
    else if (action == u"reponse300")
        taper(b.w(QStringLiteral("TextReponse_0")), suite(300));
    else if (action == u"question201")
        taper(b.w(QStringLiteral("TextQuestion")), suite(201));
    else if (action == u"espaces")
        taper(b.w(QStringLiteral("TextReponse_1")), QStringLiteral("  x"));

    QVERIFY(fe.Ecrit());
    const QByteArray disque = b.octets();
    QCOMPARE(disque.size(), FicheQuestion::Taille);
    QCOMPARE(disque.mid(offset, attendu.size()), attendu);
    QCOMPARE(fe.etat().Fiche.octets(), disque);
    QVERIFY(b.pf.messages.isEmpty());

    b.montrer(1);
    QCOMPARE(texteDe(b.w(nomRelu)), relu);
    QVERIFY(fe.Ecrit());
    QCOMPARE(b.octets().mid(offset, resauve.size()), resauve);
}

void TestFormEditAffichage::litThenEcrit_unusualBytes_surviveUnchanged_data()
{
    QTest::addColumn<QByteArray>("texte");
    QTest::newRow("no-break spaces at both ends") << QByteArray("\xA0Quoi ?\xA0");
    QTest::newRow("bytes undefined in the code page") << QByteArray("a\x81 b\x8D c\x8F d\x90 e\x9D");
    QTest::newRow("euro, quotes, dashes") << QByteArray("\x80 \x93x\x94 \x96 \x97 \x85");
    QByteArray hauts;
    for (int c = 0x80; c <= 0xFF; ++c)
        hauts += char(c);
    QTest::newRow("every byte from 0x80 to 0xFF") << hauts;
    QTest::newRow("line break CR LF") << QByteArray("ligne 1\r\nligne 2");
}

void TestFormEditAffichage::litThenEcrit_unusualBytes_surviveUnchanged()
{
    QFETCH(QByteArray, texte);
    QByteArray rec = carte({QStringLiteral("Q"), 2, 3, 1, {QStringLiteral("r1"), QStringLiteral("r2"), QStringLiteral("r3")},
                            QStringLiteral("c"), QStringLiteral("ZZ")});
    rec = avec(rec, offsets::Question, champ(texte, 200));
    rec = avec(rec, offsets::Reponse + 250, champ(texte, 125));
    rec = avec(rec, offsets::Commentaire, champ(texte, 200));
    Banc b;
    FormEdit &fe = b.ouvrir(rec);
    QVERIFY(fe.Ecrit());
    QCOMPARE(b.octets().toHex(' '), rec.toHex(' '));
}

void TestFormEditAffichage::lit_mediaCode_setsMediaControls_data()
{
    QTest::addColumn<int>("codeAvant");  // card 1 shows avant.jpg (20 x 10) with this code
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("nom");
    QTest::addColumn<bool>("present");   // nom exists in the media folder (40 x 30)
    QTest::addColumn<QString>("bouton"); // caption of Command3, null = no media controls
    QTest::addColumn<int>("option");     // OptionImage chosen, -1 none, -2 not checked
    QTest::addColumn<QSize>("image");    // picture held by ImageMedia, (0, 0) = none
    QTest::addColumn<QSize>("zone");     // size of ImageMedia, invalid = not checked
    QTest::addColumn<int>("bips");
    const QString u = QStringLiteral("U"), mu = QStringLiteral("µ"), rien;
    const QSize propre(40, 30), avant(20, 10), aucune(0, 0), x;
    const auto ligne = [](const char *cas, int codeAvant, int code, const char *nom, bool present, const QString &bouton,
                          int option, QSize image, QSize zone, int bips = 0) {
        QTest::newRow(cas) << codeAvant << code << QString::fromUtf8(nom) << present << bouton << option << image << zone
                           << bips;
    };
    ligne("11: 1.5 times", 10, 11, "photo.jpg", true, mu, 1, propre, {60, 45});
    ligne("11 missing: message, previous picture, size applied", 10, 11, "photo.jpg", false, mu, 1, avant, {30, 15});
    ligne("10: own size and a beep", 11, 10, "photo.jpg", true, mu, 0, propre, propre, 1);
    ligne("12: twice", 10, 12, "photo.jpg", true, mu, 2, propre, {80, 60});
    ligne("12 after 12: the step runs again", 12, 12, "photo.jpg", true, mu, 2, propre, {80, 60});
    ligne("13: three times", 10, 13, "photo.jpg", true, mu, 3, propre, {120, 90});
    ligne("14: own size, no option", 11, 14, "photo.jpg", true, mu, -1, propre, propre);
    ligne("2: wav sound", 10, 2, "son.wav", false, u, -2, aucune, x);
    ligne("1: mid sound", 10, 1, "air.mid", false, u, -2, aucune, x);
    ligne("3: mp3 sound", 10, 3, "chant.mp3", false, u, -2, aucune, x);
    ligne("4: video keeps the picture", 10, 4, "film.avi", false, mu, -2, avant, x);
    ligne("7: nothing", 10, 7, "photo.jpg", true, rien, -2, aucune, x);
    ligne("0: nothing", 10, 0, "", false, rien, -2, aucune, x);
}

void TestFormEditAffichage::lit_mediaCode_setsMediaControls()
{
    QFETCH(int, codeAvant);
    QFETCH(int, code);
    QFETCH(QString, nom);
    QFETCH(bool, present);
    QFETCH(QString, bouton);
    QFETCH(int, option);
    QFETCH(QSize, image);
    QFETCH(QSize, zone);
    QFETCH(int, bips);
    Banc b;
    b.image(QStringLiteral("avant.jpg"), {20, 10});
    if (present)
        b.image(nom, {40, 30});
    FormEdit &fe = b.ouvrir(carte({QStringLiteral("Q1"), 0, 1, 0, {}, {}, {}, QStringLiteral("avant.jpg"), codeAvant})
                            + carte({QStringLiteral("Q2"), 0, 2, 0, {}, {}, {}, nom, code}));
    QVERIFY(!b.w<QLabel>(QStringLiteral("ImageMedia"))->pixmap().isNull());
    b.montrer(2);

    const bool media = !bouton.isNull();
    auto *cmd3 = b.w<QPushButton>(QStringLiteral("Command3"));
    QCOMPARE(cmd3->isVisible(), media);
    if (media)
        QCOMPARE(cmd3->text(), bouton);
    QCOMPARE(b.w(QStringLiteral("Frame4"))->isVisible(), bouton == QStringLiteral("µ"));
    QCOMPARE(b.w(QStringLiteral("LabelMedia"))->isVisible(), media);
    auto *labelNom = b.w<QLabel>(QStringLiteral("LabelFileMedia"));
    QCOMPARE(labelNom->isVisible(), media);
    if (media)
        QCOMPARE(labelNom->text().trimmed(), nom);
    if (option != -2)
        for (int i = 0; i < 4; ++i)
            QCOMPARE(b.w<QRadioButton>(QStringLiteral("OptionImage_%1").arg(i))->isChecked(), i == option);

    auto *img = b.w<QLabel>(QStringLiteral("ImageMedia"));
    QCOMPARE(img->pixmap().size(), image);
    if (zone.isValid()) {
        QCOMPARE(img->size(), zone);
        QCOMPARE(img->hasScaledContents(), option >= 1);  // enlarged sizes stretch the picture
    }
    QCOMPARE(fe.etat().OptionTaille, code);
    QCOMPARE(fe.etat().NomMedia, nom.leftJustified(12));
    QCOMPARE(b.pf.bips, bips);
    QCOMPARE(b.w<BoiteTexte>(QStringLiteral("TextQuestion"))->texte(), QStringLiteral("Q2"));
    QVERIFY(b.w<QRadioButton>(QStringLiteral("OptionBonneReponse_1"))->isChecked());
    if (code >= 10 && !present) {
        QCOMPARE(b.pf.messages.size(), 1);
        const Msg &m = b.pf.messages.first();
        QCOMPARE(m.texte, QStringLiteral("Impossible de trouver le fichier : ") + b.tmp.path()
                              + QStringLiteral("/BASE/photo.jpg Le fichier a été déplacé ou effacé"));
        QCOMPARE(m.boutons, Boutons::Ok);
        QCOMPARE(m.icone, Icone::Aucune);
        QCOMPARE(m.titre, QString());
    } else {
        QCOMPARE(b.pf.textes(), QStringList());
    }
}

void TestFormEditAffichage::imageSizeClicks_scaleFromOwnSizeAndAreStored_data()
{
    QTest::addColumn<QList<int>>("clics");
    QTest::addColumn<QSize>("zone");
    QTest::addColumn<bool>("etire");
    QTest::addColumn<int>("bips");
    QTest::newRow("Taille 2 then Taille 3: 3x, not 6x") << QList<int>{2, 3} << QSize(120, 90) << true << 0;
    QTest::newRow("Taille 3 then Taille 1") << QList<int>{3, 1} << QSize(60, 45) << true << 0;
    QTest::newRow("Taille 2 twice") << QList<int>{2, 2} << QSize(80, 60) << true << 0;
    QTest::newRow("Taille 3 then Origine beeps") << QList<int>{3, 0} << QSize(40, 30) << false << 1;
}

void TestFormEditAffichage::imageSizeClicks_scaleFromOwnSizeAndAreStored()
{
    QFETCH(QList<int>, clics);
    QFETCH(QSize, zone);
    QFETCH(bool, etire);
    QFETCH(int, bips);
    Banc b;
    b.image(QStringLiteral("photo.jpg"), {40, 30});
    const QByteArray rec = carte({QStringLiteral("Q"), 1, 1, 0, {}, {}, {}, QStringLiteral("photo.jpg"), 11});
    FormEdit &fe = b.ouvrir(rec);
    for (int i : clics)
        QTest::mouseClick(b.w(QStringLiteral("OptionImage_%1").arg(i)), Qt::LeftButton);

    auto *img = b.w<QLabel>(QStringLiteral("ImageMedia"));
    QCOMPARE(img->size(), zone);
    QCOMPARE(img->hasScaledContents(), etire);
    QCOMPARE(b.pf.bips, bips);
    const int code = 10 + clics.last();
    QCOMPARE(fe.etat().OptionTaille, code);

    QVERIFY(fe.Ecrit());
    QCOMPARE(b.octets(), avec(rec, offsets::TailleImage, mot16(code)));
    QCOMPARE(fe.etat().OptionTaille, 0);
}

void TestFormEditAffichage::quit_savesCardOnlyWithGoodAnswerThenSorts_data()
{
    QTest::addColumn<bool>("fermeture");  // the title bar's close rather than Quitter
    QTest::addColumn<int>("bonne");       // good answer of card 1; -1 = empty bank
    for (bool fermeture : {false, true}) {
        const char *par = fermeture ? "close" : "Quitter";
        QTest::addRow("%s, good answer: saved and sorted", par) << fermeture << 1;
        QTest::addRow("%s, no good answer: message, not saved, sorted", par) << fermeture << 0;
        QTest::addRow("%s, empty bank: message, stays empty", par) << fermeture << -1;
    }
}

void TestFormEditAffichage::quit_savesCardOnlyWithGoodAnswerThenSorts()
{
    QFETCH(bool, fermeture);
    QFETCH(int, bonne);
    const auto c = [](const char *q, int theme, int br) { return carte({QString::fromLatin1(q), theme, br}); };
    Banc b;
    const QString tmp = b.chemin(QStringLiteral("base.tmp"));
    QVERIFY(banque::ecrire(tmp, QByteArray(5000, 'x')));  // left by an earlier run
    QByteArray attendu;
    if (bonne < 0) {
        b.ouvrir({});
    } else {
        FormEdit &fe = b.ouvrir(c("Q1", 2, bonne) + c("Q2", 0, 1) + c("Q3", 2, 2) + c("Q4", 1, 3));
        taper(fe.findChild<QWidget *>(QStringLiteral("TextQuestion")), QStringLiteral(" edit"));
        attendu = c("Q2", 0, 1) + c("Q4", 1, 3) + (bonne ? c("Q1 edit", 2, bonne) : c("Q1", 2, bonne)) + c("Q3", 2, 2);
    }

    if (fermeture)
        b.fe->close();
    else
        QTest::mouseClick(b.w(QStringLiteral("Quitter")), Qt::LeftButton);

    if (bonne > 0) {
        QCOMPARE(b.pf.textes(), QStringList());
    } else {
        QCOMPARE(b.pf.messages.size(), 1);
        const Msg &m = b.pf.messages.first();
        QCOMPARE(m.texte, kBonneReponse);
        QCOMPARE(m.boutons, Boutons::Ok);
        QCOMPARE(m.icone, Icone::Aucune);
        QCOMPARE(m.titre, QString());
    }
    QCOMPARE(b.octets(), attendu);
    QVERIFY(QFileInfo(b.banque()).isFile());
    QVERIFY(QFileInfo(tmp).isFile());
    QCOMPARE(banque::lire(tmp), attendu);
    QCOMPARE(b.pf.fins, 1);
    QVERIFY(b.fe->termine());
}

void TestFormEditAffichage::quitAfterNewCard_unsavedCardIsNotAdded_data()
{
    QTest::addColumn<QByteArray>("cartes");
    QTest::newRow("empty bank") << QByteArray();
    QTest::newRow("bank of two") << carte({QStringLiteral("Q1"), 0, 1}) + carte({QStringLiteral("Q2"), 0, 2});
}

void TestFormEditAffichage::quitAfterNewCard_unsavedCardIsNotAdded()
{
    QFETCH(QByteArray, cartes);
    Banc b;
    QVERIFY(banque::ecrireThemes(b.chemin(QStringLiteral("BASE.prm")), {QStringLiteral("Histoire")}));
    FormEdit &fe = b.ouvrir(cartes);
    QTest::mouseClick(b.w(QStringLiteral("Nouveau")), Qt::LeftButton);
    QCOMPARE(fe.etat().NbFiches, cartes.size() / FicheQuestion::Taille + 1);
    QCOMPARE(b.pf.textes(), QStringList());

    QTest::mouseClick(b.w(QStringLiteral("Quitter")), Qt::LeftButton);
    QCOMPARE(b.pf.textes(), QStringList{kBonneReponse});
    QVERIFY(QFileInfo(b.banque()).isFile());
    QCOMPARE(b.octets(), cartes);
    QCOMPARE(b.pf.fins, 1);
}

void TestFormEditAffichage::quitWhenBankCannotBeReplaced_reportsErrorAndKeepsBank()
{
    Banc b;
    const QByteArray q1 = carte({QStringLiteral("Q1"), 2, 1}), q2 = carte({QStringLiteral("Q2"), 0, 2});
    b.ouvrir(q1 + q2);
    // The new copy of the bank is written beside it first: a folder in its place stops the copy.
    QVERIFY(QDir(b.tmp.path()).mkpath(QStringLiteral("BASE.QZF.nouveau/dedans")));

    QTest::mouseClick(b.w(QStringLiteral("Quitter")), Qt::LeftButton);

    QCOMPARE(b.pf.messages.size(), 1);
    const Msg &m = b.pf.messages.first();
    QCOMPARE(m.titre, QStringLiteral("Erreur"));
    QCOMPARE(m.icone, Icone::Critique);
    QCOMPARE(m.boutons, Boutons::Ok);
    QVERIFY2(m.texte.contains(b.banque()), qPrintable(m.texte));
    QVERIFY2(m.texte.contains(b.chemin(QStringLiteral("base.tmp"))), qPrintable(m.texte));
    QCOMPARE(b.octets(), q1 + q2);
    QCOMPARE(banque::lire(b.chemin(QStringLiteral("base.tmp"))), q2 + q1);
    QCOMPARE(b.pf.fins, 1);
}

void TestFormEditAffichage::ecritWhenBankBecameFolder_reportsErrorAndFails()
{
    Banc b;
    FormEdit &fe = b.ouvrir(carte({QStringLiteral("Q1"), 0, 1}));
    // Saving closes the bank and opens it again by its path, which is now a folder.
    QVERIFY(QFile::remove(b.banque()));
    QVERIFY(QDir(b.tmp.path()).mkdir(QStringLiteral("BASE.QZF")));

    QVERIFY(!fe.Ecrit());
    QCOMPARE(b.pf.messages.size(), 1);
    const Msg &m = b.pf.messages.first();
    QCOMPARE(m.titre, QStringLiteral("Erreur"));
    QCOMPARE(m.icone, Icone::Critique);
    QVERIFY2(m.texte.contains(b.banque()), qPrintable(m.texte));
}

QTEST_MAIN(TestFormEditAffichage)
#include "test_formedit_affichage.moc"
