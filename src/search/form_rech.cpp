#include "search/form_rech.h"

#include "editor/session.h"
#include "platform/creer.h"
#include "search/recherche.h"
#include "tidy/fenetres_menage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

namespace {

const QString kNom = QStringLiteral("form_rech");
const QString kSansAccents = QStringLiteral("recherche/sansAccents");

QSettings reglages() { return QSettings(QStringLiteral("Orbelin"), QStringLiteral("Orbelin")); }

// The user moved the focus (click, Tab, shortcut). The focus a field gets back when its
// window is activated again chooses nothing: the window may have been left on another option.
bool parLUtilisateur(const QEvent &event)
{
    switch (static_cast<const QFocusEvent &>(event).reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        return true;
    default:
        return false;
    }
}

} // namespace

FormRech::FormRech(SessionBanque &session, QWidget *fenetre) : QDialog(nullptr), m_session(session), m_fenetre(fenetre)
{
    setObjectName(kNom);
    setWindowTitle(QStringLiteral("Recherche de questions"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_groupe = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        optrech[i] = new QRadioButton(this);
        optrech[i]->setObjectName(indice("optrech", i));
        m_groupe->addButton(optrech[i], i);
    }
    optrech[2]->setText(QStringLiteral("Aller à la marque suivante"));
    optrech[3]->setText(QStringLiteral("Aller au fichier Son/Image suivant"));
    optrech[0]->setChecked(true);

    const char *libelles[] = {"Aller à la fiche numéro :", "Rechercher le texte suivant :"};
    for (int i = 0; i < 2; ++i) {
        etiqrech[i] = new QLabel(QString::fromUtf8(libelles[i]), this);
        etiqrech[i]->setObjectName(indice("etiqrech", i));
        etiqrech[i]->installEventFilter(this);
        textrech[i] = new QLineEdit(this);
        textrech[i]->setObjectName(indice("textrech", i));
        textrech[i]->installEventFilter(this);
    }
    textrech[0]->setFixedWidth(80);
    textrech[0]->setAlignment(Qt::AlignRight);
    textrech[1]->setMinimumWidth(360);
    sansAccents = new QCheckBox(QStringLiteral("Sans tenir compte des accents"), this);
    sansAccents->setObjectName(QStringLiteral("sansAccents"));
    sansAccents->setChecked(reglages().value(kSansAccents, false).toBool());
    connect(sansAccents, &QCheckBox::toggled, this, [](bool oui) { reglages().setValue(kSansAccents, oui); });

    boutOK = new QPushButton(QStringLiteral("&Rechercher"), this);
    boutOK->setObjectName(QStringLiteral("boutOK"));
    boutOK->setDefault(true);
    BOUTCANCEL = new QPushButton(QStringLiteral("&Fin de recherche"), this);
    BOUTCANCEL->setObjectName(QStringLiteral("BOUTCANCEL"));
    for (QPushButton *b : {boutOK, BOUTCANCEL})
        b->setMinimumWidth(130);

    auto *grille = new QGridLayout;
    grille->setHorizontalSpacing(6);
    grille->setVerticalSpacing(8);
    grille->setColumnStretch(1, 1);
    grille->addWidget(optrech[0], 0, 0);
    grille->addWidget(etiqrech[0], 0, 1);
    grille->addWidget(textrech[0], 0, 2);
    grille->addWidget(optrech[1], 1, 0);
    grille->addWidget(etiqrech[1], 1, 1, 1, 2);
    grille->addWidget(textrech[1], 2, 1, 1, 2);
    grille->addWidget(sansAccents, 3, 1, 1, 2);
    grille->addWidget(optrech[2], 4, 0, 1, 3);
    grille->addWidget(optrech[3], 5, 0, 1, 3);

    auto *boutons = new QHBoxLayout;
    // The cards the text search finds, moved to another theme at once.
    auto *boutTheme = new QPushButton(QStringLiteral("Changer le &thème…"), this);
    boutTheme->setObjectName(QStringLiteral("boutTheme"));
    boutTheme->setToolTip(QStringLiteral("Change le thème de toutes les fiches dont la question contient le texte cherché."));
    connect(boutTheme, &QPushButton::clicked, this, [this] { changerThemeTexte(m_session, m_fenetre, textrech[1]->text()); });
    boutons->addWidget(boutTheme);
    boutons->addStretch(1);
    boutons->addWidget(boutOK);
    boutons->addWidget(BOUTCANCEL);

    auto *tout = new QVBoxLayout(this);
    tout->setContentsMargins(14, 14, 14, 12);
    tout->addLayout(grille);
    tout->addSpacing(10);
    tout->addLayout(boutons);
    tout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(textrech[0], textrech[1]);
    setTabOrder(textrech[1], sansAccents);
    setTabOrder(sansAccents, boutOK);
    setTabOrder(boutOK, BOUTCANCEL);

    connect(boutOK, &QPushButton::clicked, this, &FormRech::boutOK_Click);
    connect(BOUTCANCEL, &QPushButton::clicked, this, &FormRech::BOUTCANCEL_Click);
}

void FormRech::placer()
{
    adjustSize();
    // Over the themes, so that the card found stays in sight.
    if (m_fenetre)
        move(m_fenetre->mapToGlobal(QPoint(m_fenetre->width() - width() - 30, 70)));
}

bool FormRech::eventFilter(QObject *objet, QEvent *event)
{
    for (int k = 0; k < 2; ++k) {
        if (objet == textrech[k] && event->type() == QEvent::FocusIn && parLUtilisateur(*event))
            optrech[k]->setChecked(true);
        // A click on a label chooses its option, as a click on an option's own caption does.
        if (objet == etiqrech[k] && event->type() == QEvent::MouseButtonPress)
            optrech[k]->setChecked(true);
    }
    return QDialog::eventFilter(objet, event);
}

void FormRech::boutOK_Click()
{
    Module1 &m = m_session.etat();
    const recherche::Demande demande{recherche::Option(qMax(0, m_groupe->checkedId())), textrech[0]->text(),
                                     textrech[1]->text(), sansAccents->isChecked()};
    const FichierQuestions *f = m.fichier();
    const QString chemin = f ? f->chemin() : m_session.cheminBanque();
    const recherche::Conclusion c = recherche::rechercher(chemin, demande, m.NumFiche, m.NbFiches);
    if (!c.lecture)
        m_session.erreur(c.lecture.erreur);
    else if (!c.message.isEmpty())
        m_session.message(c.message, Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation);
    m.NumFiche = c.numFiche;

    if (m_fenetre)
        m_fenetre->setEnabled(true);
    m_session.Lit();
    if (m_fenetre)
        m_fenetre->setEnabled(false);
    montrerDessus();
}

void FormRech::BOUTCANCEL_Click()
{
    hide();
    if (!m_fenetre)
        return;
    m_fenetre->setEnabled(true);
    m_fenetre->raise();
    m_fenetre->activateWindow();
}

void FormRech::reject() { BOUTCANCEL_Click(); }

void FormRech::ouvrir()
{
    // The cursor goes to what the chosen option uses; otherwise showing the window would
    // focus whichever field comes first, and that focus would choose the field's option.
    const int k = qMax(0, m_groupe->checkedId());
    QWidget *cible = k < 2 ? static_cast<QWidget *>(textrech[k]) : optrech[k];
    cible->setFocus(Qt::OtherFocusReason);
    montrerDessus();
}

void FormRech::montrerDessus()
{
    show();
    raise();
    activateWindow();
}

void BoutFind_Click(SessionBanque &session, QWidget *fenetre)
{
    if (!session.stockerFiche(SessionBanque::Controle::Aucun))
        return;
    auto *d = session.dialogue<FormRech>(kNom);
    if (!d) {
        d = new FormRech(session, fenetre);
        session.garderDialogue(d);
        d->placer();
    }
    d->ouvrir();
}
