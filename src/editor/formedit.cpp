#include "editor/formedit.h"
#include "editor/controles.h"
#include "editor/couleurs.h"
#include "accueil/fenetre_accueil.h"
#include "analyse/fenetre_analyse.h"
#include "classroom/fenetre_classe.h"
#include "correction/fenetre_correction.h"
#include "exchange/fenetre_echanges.h"
#include "files/form_fichier.h"
#include "liste/fenetre_liste.h"
#include "media/formmultimedia.h"
#include "media/icones.h"
#include "media/visionneuse.h"
#include "output/form_export.h"
#include "platform/creer.h"
#include "search/form_rech.h"
#include "tidy/fenetres_menage.h"
#include "store/cp1252.h"
#include "store/nommedia.h"
#include "store/reecriture.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>

#include <cstring>

namespace {

// A theme name shown as an option caption: "&" is a letter there, not a mnemonic.
QString sansMnemonique(const QString &texte)
{
    QString t = texte;
    return t.replace(u'&', QLatin1String("&&"));
}

const QString kTitre = QStringLiteral("Editeur de QCM - Pavonel");
const QString kEnTeteFichier = QStringLiteral("Orbelin - Editeur de questions   -- > Fichier ouvert : ");

} // namespace

FormEdit::FormEdit(SessionBanque &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_(session.etat()), m_plateforme(session.plateforme())
{
    construire();
    construireEchanges();
    relierSession();
}

FormEdit::FormEdit(Plateforme &plateforme, QWidget *parent)
    : QWidget(parent), m_sessionPropre(std::make_unique<SessionBanque>(plateforme)), m_session(*m_sessionPropre),
      m_(m_session.etat()), m_plateforme(plateforme)
{
    construire();
    construireEchanges();
    relierSession();
}

FormEdit::~FormEdit()
{
    // The windows opened over the bank close with the main window.
    m_session.attacherEcran(nullptr);
    m_session.fermerDialogues();
}

namespace {

// The scrolled frame of a small screen: its close is the window's own.
class CadreEditeur : public QScrollArea {
public:
    explicit CadreEditeur(FormEdit &f) : m_f(f) {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (!m_f.termine())
            m_f.close();
        event->accept();
    }

private:
    FormEdit &m_f;
};

} // namespace

QWidget *FormEdit::adapterAEcran(const QRect &disponible)
{
    // Room for the title bar and the frame a window manager adds.
    const QSize besoin = size() + QSize(16, 40);
    if (disponible.isEmpty() || (besoin.width() <= disponible.width() && besoin.height() <= disponible.height()))
        return this;
    auto *cadre = new CadreEditeur(*this);
    cadre->setObjectName(QStringLiteral("CadreEditeur"));
    cadre->setAttribute(Qt::WA_DeleteOnClose, false);
    cadre->setWidgetResizable(false);
    cadre->setWidget(this);
    cadre->setWindowTitle(windowTitle());
    connect(this, &QWidget::windowTitleChanged, cadre, &QWidget::setWindowTitle);
    const QSize place = disponible.size() - QSize(16, 40);
    cadre->resize(place.boundedTo(size() + QSize(cadre->frameWidth() * 2, cadre->frameWidth() * 2)));
    cadre->move(disponible.topLeft());
    return cadre;
}

void FormEdit::relierSession()
{
    m_session.attacherEcran(this);
    SessionBanque *s = &m_session;
    connect(s, &SessionBanque::banqueNommee, this, [this] { LabelFichier->setText(kEnTeteFichier + m_.NomFichier); });
    connect(s, &SessionBanque::banqueOuverte, this, &FormEdit::surBanqueOuverte);
    connect(s, &SessionBanque::banqueComptee, this, &FormEdit::surBanqueComptee);
    connect(s, &SessionBanque::themesCharges, this, &FormEdit::surThemesCharges);
    connect(s, &SessionBanque::ficheLue, this, &FormEdit::surFicheLue);
    connect(s, &SessionBanque::ficheRelue, this, &FormEdit::surFicheRelue);
    connect(s, &SessionBanque::ficheEcrite, this, &FormEdit::surFicheEcrite);
    connect(s, &SessionBanque::comptesChanges, this, &FormEdit::surComptesChanges);
    connect(s, &SessionBanque::imageAttachee, this, &FormEdit::surImageAttachee);
    connect(s, &SessionBanque::sonAttache, this, &FormEdit::surSonAttache);
    connect(s, &SessionBanque::mediaDetache, this, &FormEdit::surMediaDetache);
}

void FormEdit::construireEchanges()
{
    auto *bouton = new QPushButton(QStringLiteral("É&changes..."), this);
    bouton->setObjectName(QStringLiteral("Echanges"));
    bouton->setGeometry(305, 618, 160, 32);
    auto *menu = new QMenu(bouton);
    menu->setObjectName(QStringLiteral("menuEchanges"));
    const QList<EntreeMenu> groupes[] = {entreesEchanges(m_session, this), entreesClasse(m_session, this),
                                         entreesMenage(m_session, this), entreesListe(m_session, this),
                                         entreesAccueil(m_session, this, [this] { commencerBanque(); }),
                                         entreesCorrection(m_session, this) + entreesAnalyse(m_session, this)};
    for (const QList<EntreeMenu> &groupe : groupes) {
        if (!menu->isEmpty())
            menu->addSeparator();
        for (const EntreeMenu &e : groupe) {
            QAction *a = menu->addAction(e.texte);
            a->setObjectName(e.nom);
            connect(a, &QAction::triggered, this, e.faire);
        }
    }
    // Shown without blocking, below the button (above it when the screen ends first).
    connect(bouton, &QPushButton::clicked, menu,
            [bouton, menu] { menu->popup(bouton->mapToGlobal(QPoint(0, bouton->height()))); });
}

void FormEdit::construire()
{
    setObjectName(QStringLiteral("FormEdit"));
    setWindowTitle(kTitre);
    setFixedSize(1010, 702);
    setMouseTracking(true);

    LabelFichier = creer<QLabel>(this, QStringLiteral("LabelFichier"), {10, 8, 640, 22}, kEnTeteFichier);
    QFont gras = LabelFichier->font();
    gras.setBold(true);
    gras.setPointSizeF(gras.pointSizeF() + 1);
    LabelFichier->setFont(gras);
    Label9 = creer<QLabel>(this, QStringLiteral("Label9"), {660, 8, 50, 20}, QStringLiteral("Fichier :"));
    LabelFichierActif = creer<QLabel>(this, QStringLiteral("LabelFichierActif"), {710, 8, 80, 20});
    Label9->hide();
    LabelFichierActif->hide();
    Label1 = creer<QLabel>(this, QStringLiteral("Label1"), {700, 10, 150, 20},
                           QStringLiteral("Initiales de l'auteur :"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TextAuteur = creer<QLineEdit>(this, QStringLiteral("TextAuteur"), {856, 7, 70, 24});
    TextAuteur->setMaxLength(5);
    fixerCouleur(TextAuteur, couleurs::violet());
    TextAuteur->installEventFilter(this);

    Image1 = creer<QLabel>(this, QStringLiteral("Image1"), {940, 4, 60, 30}, QStringLiteral("Q.C.M."));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setStyleSheet(QStringLiteral("color: rgb(0,96,160); font-weight: bold; border: 1px solid rgb(0,96,160);"));
    auto *ligne = creer<QFrame>(this, QStringLiteral("Line1"), {10, 37, 990, 3});
    ligne->setFrameShape(QFrame::HLine);
    ligne->setFrameShadow(QFrame::Sunken);
    Line1 = ligne;

    construireFiche();
    construireThemes();
    construireMedia();
    construireBoutons();

    Aide = creer<QLabel>(this, QStringLiteral("Aide"), {10, 664, 990, 30});
    Aide->setAutoFillBackground(true);
    QPalette pa = Aide->palette();
    pa.setColor(QPalette::Window, couleurs::orangeClair());
    pa.setColor(QPalette::WindowText, couleurs::vertTexte());
    Aide->setPalette(pa);
    Aide->setWordWrap(true);
    Aide->setContentsMargins(6, 0, 6, 0);

    // Keyboard order follows the card from top to bottom.
    QWidget *ordre[] = {TextQuestion, TextReponse[0], OptionBonneReponse[0], TextReponse[1],
                        OptionBonneReponse[1], TextReponse[2], OptionBonneReponse[2], TextExplic,
                        CheckMarquage, Suivant};
    for (size_t i = 1; i < std::size(ordre); ++i)
        setTabOrder(ordre[i - 1], ordre[i]);
}

void FormEdit::construireFiche()
{
    Frame3 = creer<QGroupBox>(this, QStringLiteral("Frame3"), {10, 44, 565, 562}, QStringLiteral("Fiche de question"));
    Label3 = creer<QLabel>(Frame3, QStringLiteral("Label3"), {12, 26, 108, 20}, QStringLiteral("N° de question :"));
    TextAffNumero = creer<QLineEdit>(Frame3, QStringLiteral("TextAffNumero"), {122, 24, 60, 24});
    Label4 = creer<QLabel>(Frame3, QStringLiteral("Label4"), {188, 26, 10, 20}, QStringLiteral("/"));
    TextNbFiche = creer<QLineEdit>(Frame3, QStringLiteral("TextNbFiche"), {200, 24, 60, 24});
    for (QLineEdit *e : {TextAffNumero, TextNbFiche}) {
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignCenter);
        e->setFocusPolicy(Qt::NoFocus);
    }
    CheckMarquage = creer<QCheckBox>(Frame3, QStringLiteral("CheckMarquage"), {350, 24, 200, 24},
                                     QStringLiteral("Marquage de fiche"));
    CheckMarquage->setToolTip(QStringLiteral(
        "Cette case peut être cochée afin de repérer une fiche pour réaliser l'exportation des fiches "
        "marquées vers un autre fichier."));
    CheckMarquage->setStyleSheet(QStringLiteral("QCheckBox { background-color: %1; padding-left: 4px; }")
                                     .arg(couleurs::orangeClair().name()));

    Label2 = creer<QLabel>(Frame3, QStringLiteral("Label2"), {12, 56, 200, 18}, QStringLiteral("Question"));
    TextQuestion = creer<BoiteTexte>(Frame3, QStringLiteral("TextQuestion"), {12, 74, 541, 86}, 200);
    fixerCouleur(TextQuestion, couleurs::jauneClair());

    Label6 = creer<QLabel>(Frame3, QStringLiteral("Label6"), {12, 166, 200, 18}, QStringLiteral("Réponses proposées"));
    Label7 = creer<QLabel>(Frame3, QStringLiteral("Label7"), {458, 166, 100, 18}, QStringLiteral("Bonne réponse"));
    groupeBonneReponse = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        TextReponse[i] = creer<BoiteTexte>(Frame3, indice("TextReponse", i), {12, 186 + i * 84, 440, 76}, i == 2 ? 50 : 0);
        fixerCouleur(TextReponse[i], couleurs::vertClair());
        OptionBonneReponse[i] = creer<QRadioButton>(Frame3, indice("OptionBonneReponse", i), {496, 212 + i * 84, 24, 24});
        groupeBonneReponse->addButton(OptionBonneReponse[i], i);
        OptionBonneReponse[i]->installEventFilter(this);
    }
    Label8 = creer<QLabel>(Frame3, QStringLiteral("Label8"), {12, 440, 300, 18},
                           QStringLiteral("Commentaires sur la réponse"));
    TextExplic = creer<BoiteTexte>(Frame3, QStringLiteral("TextExplic"), {12, 458, 541, 92}, 200);
    fixerCouleur(TextExplic, couleurs::jauneClair());

    // What a text would lose when stored is told as it is typed.
    const FicheQuestion f;
    TextQuestion->fixerLargeur(int(sizeof f.Question));
    for (BoiteTexte *r : TextReponse)
        r->fixerLargeur(int(sizeof f.Reponse[0]));
    TextExplic->fixerLargeur(int(sizeof f.Commentaire));
    for (BoiteTexte *b : {TextQuestion, TextReponse[0], TextReponse[1], TextReponse[2], TextExplic})
        connect(b, &BoiteTexte::avertissementChange, this, [this](const QString &t) {
            if (!t.isEmpty())
                Aide->setText(t);
        });

    // Ctrl+S stores the card on screen as a move would, and stays on it.
    auto *enregistrer = new QShortcut(QKeySequence::Save, this);
    enregistrer->setObjectName(QStringLiteral("raccourciEnregistrer"));
    connect(enregistrer, &QShortcut::activated, this, [this] {
        if (!m_session.lectureSeule())
            m_session.stockerFiche();
    });
    // Ctrl+L opens the list of the cards beside the editor.
    auto *liste = new QShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_L), this);
    liste->setObjectName(QStringLiteral("raccourciListe"));
    connect(liste, &QShortcut::activated, this, [this] { ouvrirListe(m_session, this); });
    Frame3->setToolTip(QStringLiteral("Ctrl+S enregistre la fiche affichée, comme le passage à une autre fiche "
                                      "(une bonne réponse doit être cochée)."));
}

void FormEdit::construireThemes()
{
    const QRect zone(585, 44, 415, 330);
    Frame1 = creer<QGroupBox>(this, QStringLiteral("Frame1"), zone, QStringLiteral("Choix du thème pour la question"));
    Frame1->setAutoFillBackground(true);
    Command4 = creer<QPushButton>(Frame1, QStringLiteral("Command4"), {10, 22, 160, 26}, QStringLiteral("&Editer les thèmes"));
    groupeTheme = new QButtonGroup(this);
    for (int i = 0; i < 9; ++i) {
        Theme[i] = creer<QRadioButton>(Frame1, indice("Theme", i), {12, 54 + i * 26, 320, 24});
        groupeTheme->addButton(Theme[i], i);
        Theme[i]->installEventFilter(this);
        LabelTheme[i] = creer<QLabel>(Frame1, indice("LabelTheme", i), {340, 54 + i * 26, 60, 24}, QStringLiteral("0"));
        LabelTheme[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    Label5 = creer<QLabel>(Frame1, QStringLiteral("Label5"), {12, 296, 250, 22}, QStringLiteral("Nombre total de questions"));
    LabelTotal = creer<QLabel>(Frame1, QStringLiteral("LabelTotal"), {340, 296, 60, 22}, QStringLiteral("0"));
    LabelTotal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont gras = LabelTotal->font();
    gras.setBold(true);
    LabelTotal->setFont(gras);
    Label5->setFont(gras);

    FrameThemes = creer<QGroupBox>(this, QStringLiteral("FrameThemes"), zone, QStringLiteral("Edition des thèmes"));
    FrameThemes->setAutoFillBackground(true);
    for (int i = 0; i < 9; ++i) {
        ThemeEdit[i] = creer<QLineEdit>(FrameThemes, indice("ThemeEdit", i), {12, 26 + i * 32, 300, 26});
        ThemeEdit[i]->setMaxLength(TableThemes::Largeur);
        ThemeEdit[i]->setEnabled(i == 0);
        ThemeEdit[i]->installEventFilter(this);
        connect(ThemeEdit[i], &QLineEdit::textChanged, this, [this, i] { ThemeEdit_Change(i); });
    }
    Command5 = creer<QPushButton>(FrameThemes, QStringLiteral("Command5"), {322, 26, 84, 28}, QStringLiteral("&OK"));
    Command6 = creer<QPushButton>(FrameThemes, QStringLiteral("Command6"), {322, 60, 84, 28}, QStringLiteral("&Annuler"));
    FrameThemes->hide();

    connect(Command4, &QPushButton::clicked, this, &FormEdit::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &FormEdit::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &FormEdit::Command6_Click);
}

void FormEdit::construireMedia()
{
    zoneImage = creer<QScrollArea>(this, QStringLiteral("zoneImage"), {585, 44, 415, 330});
    zoneImage->setWidgetResizable(false);
    zoneImage->setAlignment(Qt::AlignCenter);
    ImageMedia = new QLabel;
    ImageMedia->setObjectName(QStringLiteral("ImageMedia"));
    zoneImage->setWidget(ImageMedia);
    fixerModeImage(false, {});
    zoneImage->lower();

    Command7 = creer<QPushButton>(this, QStringLiteral("Command7"), {585, 380, 130, 28}, QStringLiteral("&Voir l'image"));
    Command3 = creer<BoutonSymbole>(this, QStringLiteral("Command3"), {722, 380, 36, 28}, QStringLiteral("U"));
    Command3->setToolTip(QStringLiteral("Écouter le son ou voir l'image de la fiche"));
    LabelMedia = creer<QLabel>(this, QStringLiteral("LabelMedia"), {765, 384, 100, 20}, QStringLiteral("Nom du fichier : "));
    LabelFileMedia = creer<QLabel>(this, QStringLiteral("LabelFileMedia"), {865, 384, 135, 20});
    Frame4 = creer<QGroupBox>(this, QStringLiteral("Frame4"), {585, 412, 415, 50}, QStringLiteral("Taille de l'image"));
    groupeImage = new QButtonGroup(this);
    const char *tailles[] = {"Origine", "Taille 1", "Taille 2", "Taille 3"};
    for (int i = 0; i < 4; ++i) {
        OptionImage[i] = creer<QRadioButton>(Frame4, indice("OptionImage", i), {12 + i * 100, 20, 95, 22},
                                             QString::fromUtf8(tailles[i]));
        groupeImage->addButton(OptionImage[i], i);
        connect(OptionImage[i], &QRadioButton::clicked, this, [this, i] { etapeTailleImage(i); });
    }
    OptionImage[0]->setChecked(true);
    Label10 = creer<QLabel>(this, QStringLiteral("Label10"), {585, 464, 300, 18},
                            QStringLiteral("Taille maxi  image     260 *195 "));
    for (QWidget *w : {static_cast<QWidget *>(Command3), static_cast<QWidget *>(LabelMedia),
                       static_cast<QWidget *>(LabelFileMedia), static_cast<QWidget *>(Frame4)})
        w->hide();

    connect(Command7, &QPushButton::clicked, this, &FormEdit::Command7_Click);
    connect(Command3, &QPushButton::clicked, this, &FormEdit::Command3_Click);
}

void FormEdit::construireBoutons()
{
    auto *cadre = creer<QFrame>(this, QStringLiteral("Shape1"), {10, 612, 290, 44});
    cadre->setFrameShape(QFrame::Box);
    cadre->setFrameShadow(QFrame::Sunken);
    Shape1 = cadre;
    Premier = creer<QPushButton>(this, QStringLiteral("Premier"), {18, 618, 64, 32}, QStringLiteral("<<"));
    Precedent = creer<QPushButton>(this, QStringLiteral("Précédent"), {88, 618, 64, 32}, QStringLiteral("<"));
    Suivant = creer<QPushButton>(this, QStringLiteral("Suivant"), {158, 618, 64, 32}, QStringLiteral(">"));
    Dernier = creer<QPushButton>(this, QStringLiteral("Dernier"), {228, 618, 64, 32}, QStringLiteral(">>"));
    Quitter = creer<QPushButton>(this, QStringLiteral("Quitter"), {470, 618, 105, 32}, QStringLiteral("Quitter"));

    Frame2 = creer<QGroupBox>(this, QStringLiteral("Frame2"), {585, 486, 415, 170}, QStringLiteral("Gestions des questions"));
    Nouveau = creer<QPushButton>(Frame2, QStringLiteral("Nouveau"), {10, 22, 195, 30}, QStringLiteral("&Nouvelle question"));
    Supprimer = creer<QPushButton>(Frame2, QStringLiteral("Supprimer"), {210, 22, 195, 30}, QStringLiteral("Supprimer"));
    Fichier = creer<QPushButton>(Frame2, QStringLiteral("Fichier"), {10, 58, 195, 30}, QStringLiteral("&Fichier..."));
    BoutFind = creer<QPushButton>(Frame2, QStringLiteral("BoutFind"), {210, 58, 195, 30}, QStringLiteral("&Rechercher..."));
    BoutFind->setToolTip(QStringLiteral("Recherche d'une question soit par son numéro, soit par un mot clef."));
    BoutPrint = creer<QPushButton>(Frame2, QStringLiteral("BoutPrint"), {10, 94, 195, 30}, QStringLiteral("&Impression..."));
    BoutPrint->setToolTip(QStringLiteral("Impression rapide ou détaillée des questions existantes dans le fichier."));
    Command1 = creer<QPushButton>(Frame2, QStringLiteral("Command1"), {210, 94, 195, 30},
                                  QStringLiteral("&Transfert de questions..."));
    BoutMultimedia = creer<QPushButton>(Frame2, QStringLiteral("BoutMultimedia"), {10, 130, 395, 30},
                                        QStringLiteral("&Charger un fichier SON ou IMAGE"));

    for (QWidget *b : std::initializer_list<QWidget *>{BoutFind, BoutPrint, Command1, Fichier, Nouveau, Supprimer,
                                                        Premier, Precedent, Suivant, Dernier, Quitter, Frame3}) {
        b->setMouseTracking(true);
        b->installEventFilter(this);
    }

    connect(Suivant, &QPushButton::clicked, this, &FormEdit::Suivant_Click);
    connect(Precedent, &QPushButton::clicked, this, &FormEdit::Precedent_Click);
    connect(Dernier, &QPushButton::clicked, this, &FormEdit::Dernier_Click);
    connect(Premier, &QPushButton::clicked, this, &FormEdit::Premier_Click);
    connect(Nouveau, &QPushButton::clicked, this, &FormEdit::Nouveau_Click);
    connect(Supprimer, &QPushButton::clicked, this, &FormEdit::Supprimer_Click);
    connect(Quitter, &QPushButton::clicked, this, &FormEdit::Quitter_Click);
    connect(BoutFind, &QPushButton::clicked, this, [this] { BoutFind_Click(m_session, this); });
    connect(Fichier, &QPushButton::clicked, this, [this] { Fichier_Click(m_session, this); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(m_session, this); });
    connect(BoutPrint, &QPushButton::clicked, this, [this] { BoutPrint_Click(m_session, this); });
    connect(BoutMultimedia, &QPushButton::clicked, this, [this] { BoutMultimedia_Click(m_session, this); });
}

// ---------------------------------------------------------------------------
// Start-up and opening a bank

void FormEdit::charger() { charger(QStringLiteral("BASE.QZF")); }

void FormEdit::charger(const QString &nomFichier)
{
    m_session.nommerBanque(nomFichier);
    m_session.Initialisation();
}

void FormEdit::surBanqueOuverte()
{
    LabelFichierActif->setText(m_.NomFichier);
    const bool seule = m_session.lectureSeule();
    for (BoiteTexte *b : {TextQuestion, TextReponse[0], TextReponse[1], TextReponse[2], TextExplic})
        b->setReadOnly(seule);
    TextAuteur->setReadOnly(seule);
    for (QWidget *w : {static_cast<QWidget *>(OptionBonneReponse[0]), static_cast<QWidget *>(OptionBonneReponse[1]),
                       static_cast<QWidget *>(OptionBonneReponse[2]), static_cast<QWidget *>(CheckMarquage)})
        w->setEnabled(!seule);
    // A bank another editor holds: every control that writes is off, and the title says why.
    const bool tenue = m_session.verrouillee();
    for (QWidget *w : std::initializer_list<QWidget *>{Nouveau, Supprimer, Command4, BoutMultimedia})
        w->setEnabled(!tenue);
    setWindowTitle(tenue ? kTitre + QStringLiteral(" (lecture seule)") : kTitre);
}

void FormEdit::surBanqueComptee()
{
    TextNbFiche->setText(QString::number(m_.NbFiches));
    activerNavigation(m_.NbFiches > 0);
    Supprimer->setEnabled(m_.NbFiches > 0 && !m_session.verrouillee());
    montrerBoitesFiche(m_.NbFiches > 0);
    for (int i = 0; i < 9; ++i)
        LabelTheme[i]->setText(QString::number(m_.NbParTheme[size_t(i)]));
    LabelTotal->setText(QString::number(m_.NbFiches));
    show();
}

void FormEdit::surComptesChanges()
{
    for (int i = 0; i < 9; ++i)
        LabelTheme[i]->setText(QString::number(m_.NbParTheme[size_t(i)]));
    LabelTotal->setText(QString::number(m_.NbFiches));
    TextNbFiche->setText(QString::number(m_.NbFiches));
}

void FormEdit::surThemesCharges()
{
    FrameThemes->hide();
    // From the last box up, so that no box is emptied while the one below still holds a name.
    for (int i = 8; i >= 0; --i) {
        Theme[i]->setText(QString());
        ThemeEdit[i]->setText(QString());
    }
    for (int i = 0; i < 9; ++i) {
        const QString nom = jusquAuZero(m_.Themes.nom(i));
        Theme[i]->setText(sansMnemonique(nom));
        ThemeEdit[i]->setText(texte::sansEspaces(nom));
        if (texte::sansEspaces(nom).isEmpty()) {
            Theme[i]->hide();
        } else {
            Theme[i]->show();
            ThemeEdit[i]->setEnabled(true);
        }
    }
}

// ---------------------------------------------------------------------------
// Card display and saving

// Lit handles the media at once; the texts are laid out when someone can see them.
void FormEdit::surFicheLue(int numero)
{
    afficherMedia();
    surFicheRelue(numero);
}

void FormEdit::surFicheRelue(int numero)
{
    m_aAfficher = AAfficher{m_.Fiche, numero};
    if (!m_differe)
        appliquerAffichage();
}

void FormEdit::afficherMedia()
{
    const int code = m_.OptionTaille;
    const QString nom = jusquAuZero(m_.NomMedia);
    if (media::estSon(code)) {
        Command3->setText(QStringLiteral("U"));
        Command3->show();
        Frame4->hide();
        LabelMedia->show();
        LabelFileMedia->setText(nom);
        LabelFileMedia->show();
        ImageMedia->clear();
        m_tailleImagePropre = {};
        fixerModeImage(false, {});
    } else if (media::estImage(code) || code == media::Video) {
        Command3->setText(QStringLiteral("µ"));
        Command3->show();
        Frame4->show();
        LabelMedia->show();
        LabelFileMedia->setText(nom);
        LabelFileMedia->show();
        if (code == media::Video)
            return;  // no video player in this window: the picture stays as it is
        const QString chemin = chemins::media(m_plateforme.dossierProgramme(), m_.NomFichier, m_.NomMedia);
        const QImage image = nomMediaAdmis(nom) ? QImageReader(chemin).read() : QImage();
        if (image.isNull()) {
            message(QStringLiteral("Impossible de trouver le fichier : ") + chemin
                    + QStringLiteral(" Le fichier a été déplacé ou effacé"));
        } else {
            ImageMedia->setPixmap(QPixmap::fromImage(image));
            m_tailleImagePropre = image.size();
        }
        if (code <= 13) {
            OptionImage[code - 10]->setChecked(true);
            etapeTailleImage(code - 10);
        } else {
            // A code this program never writes: the picture at its own size, no size chosen.
            groupeImage->setExclusive(false);
            for (QRadioButton *o : OptionImage)
                o->setChecked(false);
            groupeImage->setExclusive(true);
            fixerModeImage(false, m_tailleImagePropre);
        }
    } else {
        Command3->hide();
        Frame4->hide();
        LabelMedia->hide();
        LabelFileMedia->hide();
        ImageMedia->clear();
        m_tailleImagePropre = {};
        fixerModeImage(false, {});
    }
}

void FormEdit::etapeTailleImage(int index)
{
    m_.OptionTaille = index + 10;
    if (index == 0) {
        m_plateforme.bip();
        fixerModeImage(false, m_tailleImagePropre);
        return;
    }
    static constexpr double facteurs[] = {1.0, 1.5, 2.0, 3.0};
    const double f = facteurs[index];
    // Always from the picture's own size, never from the size shown before.
    const QSize taille(int(std::lround(m_tailleImagePropre.width() * f)),
                       int(std::lround(m_tailleImagePropre.height() * f)));
    fixerModeImage(true, taille);
}

void FormEdit::fixerModeImage(bool etire, QSize taille)
{
    ImageMedia->setScaledContents(etire);
    ImageMedia->resize(taille);
}

void FormEdit::appliquerAffichage()
{
    if (!m_aAfficher)
        return;
    const FicheQuestion fi = m_aAfficher->fiche;
    const int numero = m_aAfficher->numero;
    m_aAfficher.reset();

    TextQuestion->fixerTexte(texte::affiche(fi.Question));
    for (int k = 0; k < 3; ++k)
        TextReponse[k]->fixerTexte(texte::affiche(fi.Reponse[k]));
    TextExplic->fixerTexte(texte::affiche(fi.Commentaire));
    CheckMarquage->setChecked(fi.Marque != 0);
    // The buttons allow one choice: of several non-zero flags (a damaged or foreign card), the last
    // one is chosen, and it is the one Ecrit stores.
    int choisie = -1;
    for (int k = 0; k < 3; ++k) {
        if (fi.BonneReponse[k] != 0)
            choisie = k;
        fixerCouleur(TextReponse[k], fi.BonneReponse[k] == -1 ? couleurs::jauneClair() : couleurs::vertClair());
    }
    choisirBonneReponse(choisie);
    themesNonGras();
    choisirTheme(fi.NumTheme);
    TextAffNumero->setText(QString::number(numero));
    TextAuteur->setText(texte::brut(fi.Auteur));
}

void FormEdit::choisirBonneReponse(int choisie)
{
    groupeBonneReponse->setExclusive(false);
    for (int k = 0; k < 3; ++k)
        OptionBonneReponse[k]->setChecked(k == choisie);
    groupeBonneReponse->setExclusive(true);
}

void FormEdit::choisirTheme(int theme)
{
    if (theme >= 0 && theme <= 8) {
        Theme[theme]->setChecked(true);
        QFont f = Theme[theme]->font();
        f.setBold(true);
        Theme[theme]->setFont(f);
        return;
    }
    // A theme beyond the nine (a damaged file): none is chosen, the stored value is kept.
    groupeTheme->setExclusive(false);
    for (QRadioButton *t : Theme)
        t->setChecked(false);
    groupeTheme->setExclusive(true);
}

void FormEdit::themesNonGras()
{
    for (QRadioButton *t : Theme) {
        if (t->font().bold()) {
            QFont f = t->font();
            f.setBold(false);
            t->setFont(f);
        }
    }
}

void FormEdit::fixerCouleur(QWidget *boite, const QColor &couleur)
{
    QPalette p = boite->palette();
    if (p.color(QPalette::Base) == couleur)
        return;
    p.setColor(QPalette::Base, couleur);
    boite->setPalette(p);
}

void FormEdit::saisie(FicheQuestion &fi)
{
    texte::stocker(fi.Question, TextQuestion->texte());
    for (int k = 0; k < 3; ++k)
        texte::stocker(fi.Reponse[k], TextReponse[k]->texte());
    texte::stocker(fi.Commentaire, TextExplic->texte());
    texte::stocker(fi.Auteur, TextAuteur->text());
    fi.Marque = CheckMarquage->isChecked() ? 1 : 0;
    if (const int choisi = groupeTheme->checkedId(); choisi >= 0)
        fi.NumTheme = quint8(choisi);
    for (int k = 0; k < 3; ++k)
        fi.BonneReponse[k] = OptionBonneReponse[k]->isChecked() ? -1 : 0;
    themesNonGras();
}

void FormEdit::surFicheEcrite(int numero) { TextAffNumero->setText(QString::number(numero)); }

bool FormEdit::bonneReponseChoisie() const { return groupeBonneReponse->checkedId() >= 0; }

void FormEdit::montrerBoitesFiche(bool visibles)
{
    TextQuestion->setVisible(visibles);
    for (int k = 0; k < 3; ++k) {
        TextReponse[k]->setVisible(visibles);
        OptionBonneReponse[k]->setVisible(visibles);
    }
    TextExplic->setVisible(visibles);
}

void FormEdit::activerNavigation(bool actifs)
{
    for (QPushButton *b : {Dernier, Premier, Suivant, Precedent, Supprimer})
        b->setEnabled(actifs);
}

// ---------------------------------------------------------------------------
// Quitting

void FormEdit::Quitter_Click()
{
    terminer();
    close();
}

void FormEdit::closeEvent(QCloseEvent *event)
{
    if (!m_session.termine())
        terminer();
    event->accept();
}

void FormEdit::terminer()
{
    if (m_session.termine())
        return;
    if (m_session.verifierBonneReponse())
        m_session.Ecrit();
    m_session.Classer();
}

// ---------------------------------------------------------------------------
// Media buttons

void FormEdit::Command7_Click()
{
    if (Command7->text() != QStringLiteral("&Voir les thèmes")) {
        Frame1->hide();
        Command7->setText(QStringLiteral("&Voir les thèmes"));
    } else {
        Frame1->show();
        Command7->setText(QStringLiteral("&Voir l'image"));
    }
}

void FormEdit::Command3_Click()
{
    const QString chemin = chemins::media(m_plateforme.dossierProgramme(), m_.NomFichier, m_.NomMedia);
    const int code = m_.OptionTaille;
    if (!nomMediaAdmis(texte::sansEspaces(jusquAuZero(m_.NomMedia)))) {
        // A name that leads out of the media folder is never looked up.
        message(QStringLiteral("Impossible de trouver le fichier : ") + chemin
                + QStringLiteral(" Le fichier a été déplacé ou effacé"));
        return;
    }
    if (code == media::Video) {
        lecture::ouvrirVideo(m_session, chemin);
    } else if (media::estImage(code) || (!media::estSon(code) && Command3->text() == u"µ")) {
        // The caption tells a picture when the code no longer does (a card just stored).
        lecture::voirImage(m_session, chemin);
    } else {
        m_plateforme.jouerSon(chemin);
    }
}

void FormEdit::montrerImage(const QImage &image)
{
    ImageMedia->setPixmap(QPixmap::fromImage(image));
    m_tailleImagePropre = image.size();
    if (OptionImage[0]->isChecked()) {
        fixerModeImage(false, m_tailleImagePropre);
        return;
    }
    OptionImage[0]->setChecked(true);
    etapeTailleImage(0);
}

// A picture attached comes to the front at its own size with "Origine" chosen (its step, beep
// included, only when another size was chosen). Only captions and pictures change: which media
// controls show stays as the card display set them, until the card is shown again.
void FormEdit::surImageAttachee(const QString &chemin)
{
    FrameThemes->hide();
    Frame4->show();
    Frame1->hide();
    Command3->setText(QStringLiteral("µ"));
    QImageReader lecteur(chemin);
    lecteur.setAutoTransform(true);
    montrerImage(lecteur.read());
    LabelFileMedia->setText(texte::sansEspaces(m_.NomMedia));
}

void FormEdit::surSonAttache()
{
    FrameThemes->show();
    Frame4->hide();
    Frame1->show();
    ImageMedia->clear();
    m_tailleImagePropre = {};
    fixerModeImage(false, {});
    Command3->setText(QStringLiteral("U"));
    LabelFileMedia->setText(texte::sansEspaces(m_.NomMedia));
}

void FormEdit::surMediaDetache()
{
    ImageMedia->clear();
    m_tailleImagePropre = {};
    fixerModeImage(false, {});
    for (QWidget *w : {static_cast<QWidget *>(Frame4), static_cast<QWidget *>(Command3),
                       static_cast<QWidget *>(LabelMedia), static_cast<QWidget *>(LabelFileMedia)})
        w->hide();
}

// ---------------------------------------------------------------------------
// Help line

QString FormEdit::texteAide(const QString &nom)
{
    static const QHash<QString, QString> textes = {
        {QStringLiteral("BoutFind"),
         QStringLiteral("permet d'effectuer une recherche de question par son numéro ou un texte contenu dans la question.")},
        {QStringLiteral("BoutPrint"), QStringLiteral("D'après vous....A quoi sert ce bouton?..hé! hé!")},
        {QStringLiteral("Command1"),
         QStringLiteral("Permet de transférer des questions du fichier ouvert vers un autre fichier existant de votre choix")},
        {QStringLiteral("Fichier"),
         QStringLiteral("Ouvre un fichier existant ou permet de créer un nouveau fichier de questions")},
        {QStringLiteral("Nouveau"),
         QStringLiteral("Permet de créer une nouvelle question. Cliquez ici si vous venez d'ouvrir un nouveau fichier.")},
        {QStringLiteral("Supprimer"), QStringLiteral("Supprime la question affichée")},
        {QStringLiteral("Premier"),
         QStringLiteral("Cliquez ici pour faire un saut jusqu'à la première question du prochain thème. Toute saisie "
                        "effectuée dans la question active sera mémorisée.")},
        {QStringLiteral("Précédent"),
         QStringLiteral("Cliquez ici pour passer à la question précédente. Toute saisie effectuée dans la question "
                        "active sera mémorisée.")},
        {QStringLiteral("Suivant"),
         QStringLiteral("Cliquez ici pour passer à la question suivante. Toute saisie effectuée dans la question active "
                        "sera mémorisée.")},
        {QStringLiteral("Dernier"),
         QStringLiteral("Cliquez ici pour passer à la dernière question. Toute saisie effectuée dans la question active "
                        "sera mémorisée.")},
        {QStringLiteral("Quitter"), QStringLiteral("Allez! vous avez raison!...Vous avez bien mieux à faire.....")},
        {QStringLiteral("Frame3"), QStringLiteral("Ctrl+S enregistre la fiche affichée, comme le passage à une autre "
                                                  "fiche (une bonne réponse doit être cochée).")},
    };
    return textes.value(nom);
}

void FormEdit::mouseMoveEvent(QMouseEvent *event)
{
    // Only the window's own surface empties the help line; a move that reached us from a
    // control leaves it as it was.
    if (!childAt(event->position().toPoint()))
        Aide->setText(QString());
    QWidget::mouseMoveEvent(event);
}
