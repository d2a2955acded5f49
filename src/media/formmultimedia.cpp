#include "media/formmultimedia.h"
#include "editor/session.h"
#include "files/listesfichiers.h"
#include "files/nomfichier.h"
#include "media/icones.h"
#include "media/regles_media.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

namespace {

const QString kLegende = QStringLiteral("Chargement d'un fichier multimédia :*.JPG , *.WAV ou *.BMP");
const QString kMotifsImages = QStringLiteral("*.jpg;*.bmp");
const QString kMotifsSons = QStringLiteral("*.wav");
const QString kTropLong = QStringLiteral("Le fichier ne peut comporter plus de 8 caractères");
const QString kAucunNom = QStringLiteral("Vous devez sélectionnez un fichier à ouvrir ou ANNULER");
const QString kIllisible = QStringLiteral("Impossible de charger le fichier sélectionné!");
const QString kNomInvalide =
    QStringLiteral("Le nom du fichier ne peut contenir ni dossier ni les caractères \\ / : * ? \" < > |");
const QString kErreur = QStringLiteral("Erreur");

} // namespace

void BoutMultimedia_Click(SessionBanque &session, QWidget *fenetre) { FormMultimedia::ouvrir(session, fenetre); }

FormMultimedia *FormMultimedia::ouvrir(SessionBanque &session, QWidget *fenetre)
{
    // The main window first: a window disabled after the dialog is shown would take it along.
    if (fenetre)
        fenetre->setEnabled(false);
    auto *d = session.dialogue<FormMultimedia>(QStringLiteral("FormMultimedia"));
    if (!d) {
        d = new FormMultimedia(session, fenetre);
        session.garderDialogue(d);
    }
    d->montrer();
    return d;
}

FormMultimedia::FormMultimedia(SessionBanque &session, QWidget *fenetre)
    : QWidget(nullptr, Qt::Dialog), m_session(session), m_fenetre(fenetre)
{
    construire();
    Form_Load();
}

FormMultimedia::~FormMultimedia() = default;

Plateforme &FormMultimedia::plateforme() const { return m_session.plateforme(); }

void FormMultimedia::construire()
{
    setObjectName(QStringLiteral("FormMultimedia"));
    setWindowTitle(kLegende);
    setFixedSize(650, 372);

    m_listes = new ListesFichiers(plateforme(), this,
                                  {QStringLiteral("Drive"), QStringLiteral("listerep"), QStringLiteral("listefile")},
                                  kMotifsImages,
                                  {QStringLiteral("Erreur de lecteur!"), QStringLiteral("ERREUR"),
                                   Plateforme::Icone::Exclamation});
    Drive = m_listes->vueLecteurs();
    listerep = m_listes->vueDossiers();
    listefile = m_listes->vueFichiers();

    etiqrep = new QLabel(this);
    etiqrep->setObjectName(QStringLiteral("etiqrep"));
    etiqrep->setFrameShape(QFrame::StyledPanel);
    etiqrep->setFrameShadow(QFrame::Sunken);
    etiqrep->setTextInteractionFlags(Qt::TextSelectableByMouse);

    textfilename = new QLineEdit(this);
    textfilename->setObjectName(QStringLiteral("textfilename"));

    auto *cadre = new QGroupBox(this);
    cadre->setObjectName(QStringLiteral("cadreGenre"));
    auto *groupe = new QButtonGroup(this);
    const char *genres[] = {"IMAGES", "SONS"};
    for (int i = 0; i < 2; ++i) {
        OptionMedia[i] = new QRadioButton(QString::fromLatin1(genres[i]), cadre);
        OptionMedia[i]->setObjectName(QStringLiteral("OptionMedia_%1").arg(i));
        OptionMedia[i]->setGeometry(12 + i * 100, 8, 90, 24);
        groupe->addButton(OptionMedia[i], i);
        connect(OptionMedia[i], &QRadioButton::clicked, this, [this, i] { OptionMedia_Click(i); });
    }
    OptionMedia[0]->setChecked(true);

    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setFrameShape(QFrame::StyledPanel);
    Image2->setFrameShadow(QFrame::Sunken);
    Image2->setAlignment(Qt::AlignCenter);
    Image2->setAutoFillBackground(true);
    QPalette fond = Image2->palette();
    fond.setColor(QPalette::Window, fond.color(QPalette::Base));
    Image2->setPalette(fond);

    BoutSON = new BoutonSymbole(QStringLiteral("U"), this);
    BoutSON->setObjectName(QStringLiteral("BoutSON"));
    BoutSON->setToolTip(QStringLiteral("Écouter le son choisi"));
    BoutSON->hide();

    auto bouton = [this](const char *nom, const QString &legende) {
        auto *b = new QPushButton(legende, this);
        b->setObjectName(QString::fromLatin1(nom));
        b->setAutoDefault(false);
        return b;
    };
    boutOK = bouton("boutOK", QStringLiteral("&OK"));
    Command1 = bouton("Command1", QStringLiteral("Aucun &Fichier"));
    boutcancel = bouton("boutcancel", QStringLiteral("&Annuler"));

    // The folder shown across the top; the name and the files on the left, the folders in the
    // middle, the kind, the preview and the buttons on the right.
    etiqrep->setGeometry(12, 10, 626, 24);
    textfilename->setGeometry(12, 44, 200, 26);
    listefile->setGeometry(12, 78, 200, 282);
    listerep->setGeometry(224, 44, 204, 278);
    Drive->setGeometry(224, 332, 204, 28);
    cadre->setGeometry(440, 38, 198, 40);
    Image2->setGeometry(440, 86, 198, 150);
    BoutSON->setGeometry(511, 133, 56, 56);
    boutOK->setGeometry(440, 252, 198, 30);
    Command1->setGeometry(440, 290, 198, 30);
    boutcancel->setGeometry(440, 330, 198, 30);
    setTabOrder(textfilename, listefile);
    setTabOrder(listefile, listerep);
    setTabOrder(listerep, Drive);
    setTabOrder(Drive, OptionMedia[0]);
    setTabOrder(OptionMedia[0], OptionMedia[1]);
    setTabOrder(OptionMedia[1], BoutSON);
    setTabOrder(BoutSON, boutOK);
    setTabOrder(boutOK, Command1);
    setTabOrder(Command1, boutcancel);

    connect(m_listes, &ListesFichiers::fichierClique, this, &FormMultimedia::listefile_Click);
    connect(listefile, &QListView::doubleClicked, this, [this] {
        if (!m_decharge)
            boutOK_Click();
    });
    connect(textfilename, &QLineEdit::returnPressed, this, [this] { boutOK_Click(); });
    connect(BoutSON, &QPushButton::clicked, this, &FormMultimedia::BoutSON_Click);
    connect(boutOK, &QPushButton::clicked, this, &FormMultimedia::boutOK_Click);
    connect(Command1, &QPushButton::clicked, this, &FormMultimedia::Command1_Click);
    connect(boutcancel, &QPushButton::clicked, this, &FormMultimedia::boutcancel_Click);
}

void FormMultimedia::Form_Load()
{
    m_listes->fixerMotifs(kMotifsImages);
    listerep_Change(m_listes->dossier());
    connect(m_listes, &ListesFichiers::dossierChange, this, &FormMultimedia::listerep_Change);

    // The folder named after the bank under the current folder: the bank's media folder when the
    // program runs from its own folder. Where there is no such folder, the bank's media folder
    // itself, else the program folder.
    const Module1 &etat = m_session.etat();
    const QString sousDossier = etat.NomFichier.left(qMax<qsizetype>(0, etat.NomFichier.size() - 4));
    const QString programme = plateforme().dossierProgramme();
    for (const QString &dossier : {QDir::currentPath() + u'/' + sousDossier,
                                   chemins::dossierMedia(programme, etat.NomFichier), programme}) {
        if (m_listes->fixerDossier(dossier))
            break;
    }
}

void FormMultimedia::montrer()
{
    show();
    raise();
    activateWindow();
    listefile->setFocus();
}

void FormMultimedia::decharger()
{
    m_decharge = true;
    // No longer found by name: a later opening loads a new dialog.
    setObjectName(QString());
    hide();
    deleteLater();
}

void FormMultimedia::rendreFenetre()
{
    if (!m_fenetre)
        return;
    m_fenetre->setEnabled(true);
    m_fenetre->raise();
    m_fenetre->activateWindow();
}

QString FormMultimedia::dossierListe() const
{
    const QString d = m_listes->dossier();
    return d.endsWith(u'/') ? d : d + u'/';
}

QString FormMultimedia::nomSelectionne() const
{
    const QModelIndexList choisis = listefile->selectionModel()->selectedIndexes();
    return choisis.isEmpty() ? QString() : choisis.first().data(QFileSystemModel::FileNameRole).toString();
}

bool FormMultimedia::refuserNomLong(const QString &nom)
{
    if (!media::nomTropLong(nom))
        return false;
    plateforme().messageOk(kTropLong);
    return true;
}

void FormMultimedia::listerep_Change(const QString &dossier)
{
    etiqrep->setText(QDir::toNativeSeparators(dossier));
    etiqrep->setToolTip(etiqrep->text());
}

void FormMultimedia::OptionMedia_Click(int index)
{
    textfilename->clear();
    // The preview goes with the name it was made for.
    Image2->clear();
    m_listes->fixerMotifs(index == 0 ? kMotifsImages : kMotifsSons);
    Image2->setVisible(index == 0);
    BoutSON->setVisible(index == 1);
}

void FormMultimedia::listefile_Click(const QString &nom)
{
    textfilename->setText(nom);
    if (refuserNomLong(nom))
        return;
    m_dossierMedia = dossierListe();
    if (OptionMedia[0]->isChecked()) {
        // The name stays here: the card keeps its own until "&OK".
        if (media::apercuPossible(nom))
            montrerApercu(m_dossierMedia + texte::sansEspaces(nom));
        else
            Image2->clear();
    }
}

void FormMultimedia::montrerApercu(const QString &chemin)
{
    QImageReader lecteur(chemin);
    lecteur.setAutoTransform(true);
    const QSize boite = Image2->contentsRect().size();
    // A large picture is decoded straight at the size of the box.
    const QSize propre = lecteur.size();
    if (propre.isValid() && (propre.width() > boite.width() || propre.height() > boite.height()))
        lecteur.setScaledSize(propre.scaled(boite, Qt::KeepAspectRatio));
    const QImage image = lecteur.read();
    if (image.isNull()) {
        Image2->clear();
        return;
    }
    Image2->setPixmap(QPixmap::fromImage(image.scaled(boite, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void FormMultimedia::BoutSON_Click()
{
    const QString choisi = nomSelectionne();
    if (!choisi.isEmpty())
        textfilename->setText(choisi);
    const QString nom = texte::sansEspaces(textfilename->text());
    if (nom.isEmpty()) {
        plateforme().bip();
        return;
    }
    if (refuserNomLong(nom))
        return;
    m_dossierMedia = dossierListe();
    plateforme().jouerSon(m_dossierMedia + nom);
}

bool FormMultimedia::amenerDansDossierMedia(const QString &source)
{
    const QString dossier = m_session.dossierMedia();
    if (media::memeDossier(QFileInfo(source).absolutePath(), dossier))
        return true;
    const QString question =
        QStringLiteral("Le fichier %1 n'est pas dans le dossier des médias de la banque (%2).\n"
                       "Le copier dans ce dossier pour l'attacher à la fiche ?")
            .arg(QFileInfo(source).fileName(), QDir::toNativeSeparators(dossier));
    if (plateforme().message(question, Plateforme::Boutons::OuiNon, Plateforme::Icone::Aucune,
                             Plateforme::Reponse::Oui, QString())
        != Plateforme::Reponse::Oui)
        return false;
    const media::Copie copie = media::copierDansDossier(source, dossier);
    if (copie.etat == media::Copie::Etat::AutreFichier || copie.etat == media::Copie::Etat::Echec) {
        plateforme().messageOk(copie.erreur, Plateforme::Icone::Critique, kErreur);
        return false;
    }
    return true;
}

void FormMultimedia::boutOK_Click()
{
    if (m_decharge)
        return;
    const QString nom = texte::sansEspaces(textfilename->text());
    if (nom.isEmpty()) {
        plateforme().messageOk(kAucunNom);
        return;
    }
    if (refuserNomLong(nom))
        return;
    // A typed name is a bare name too: the card names a file of the media folder.
    if (!nomfichier::admissible(nom)) {
        plateforme().messageOk(kNomInvalide, Plateforme::Icone::Critique, kErreur);
        return;
    }
    m_dossierMedia = dossierListe();
    const QString source = m_dossierMedia + nom;
    const bool images = OptionMedia[0]->isChecked();
    QImage image;
    if (images) {
        QImageReader lecteur(source);
        lecteur.setAutoTransform(true);
        image = lecteur.read();
    }
    if (images ? image.isNull() : !QFileInfo(source).isFile()) {
        plateforme().messageOk(kIllisible, Plateforme::Icone::Exclamation, kErreur);
        return;
    }
    if (!amenerDansDossierMedia(source))
        return;

    if (images)
        m_session.attacherImage(nom, source);
    else
        m_session.attacherSon(nom);
    rendreFenetre();
    decharger();
}

void FormMultimedia::Command1_Click()
{
    m_session.detacherMedia();
    // The dialog stays open for another choice; the main window is usable meanwhile.
    rendreFenetre();
}

void FormMultimedia::boutcancel_Click()
{
    if (m_decharge)
        return;
    decharger();
    rendreFenetre();
}

void FormMultimedia::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_decharge)
        return;
    boutcancel_Click();
}

void FormMultimedia::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        boutcancel_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}
