#include "classroom/fenetre_classe.h"

#include "classroom/page_quiz.h"
#include "classroom/sujets_pdf.h"
#include "editor/session.h"
#include "platform/avancement.h"
#include "platform/ouverture.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {


echanges::CheminsBanque cheminsOuverts(const SessionBanque &s)
{
    return {s.cheminBanque(), s.cheminThemes(), s.dossierMedia()};
}

QString titreDialogue(FormClasse::Sortie s)
{
    return s == FormClasse::Sortie::Quiz ? QStringLiteral("Page de quiz pour la classe")
                                         : QStringLiteral("Sujets d'examen (PDF)");
}

} // namespace

QList<EntreeMenu> entreesClasse(SessionBanque &s, QWidget *fenetre)
{
    return {
        {QStringLiteral("actionQuizClasse"), QStringLiteral("Page de quiz pour la classe…"),
         [&s, fenetre] { ouvrirFormClasse(s, fenetre, FormClasse::Sortie::Quiz); }},
        {QStringLiteral("actionSujetsExamen"), QStringLiteral("Sujets d'examen (PDF)…"),
         [&s, fenetre] { ouvrirFormClasse(s, fenetre, FormClasse::Sortie::Sujets); }},
    };
}

void ouvrirFormClasse(SessionBanque &s, QWidget *fenetre, FormClasse::Sortie sortie)
{
    if (auto *d = s.dialogue<QWidget>(QStringLiteral("FormClasse"))) {
        d->raise();
        d->activateWindow();
        return;
    }
    // The file is read from the disk: the card on screen goes there first.
    if (!s.stockerFiche())
        return;
    auto *d = new FormClasse(s, fenetre, sortie);
    s.garderDialogue(d);
    // Disabled before the dialog shows, which has no parent: it stays enabled.
    if (fenetre) {
        fenetre->setEnabled(false);
        QObject::connect(d, &QObject::destroyed, fenetre, [fenetre] { fenetre->setEnabled(true); });
    }
    d->show();
    d->bout_OK->setFocus();
}

FormClasse::FormClasse(SessionBanque &session, QWidget *fenetre, Sortie sortie)
    : m_session(session), m_fenetre(fenetre), m_sortie(sortie)
{
    setObjectName(QStringLiteral("FormClasse"));
    setWindowTitle(titreDialogue(sortie));
    const bool quiz = sortie == Sortie::Quiz;
    const echanges::CheminsBanque banque = cheminsOuverts(session);

    auto *cadre = new QGroupBox(QStringLiteral("Fiches"), this);
    cadre->setObjectName(QStringLiteral("FrameSelection"));
    OptionToutes = new QRadioButton(QStringLiteral("&Toutes les fiches"), cadre);
    OptionMarquees = new QRadioButton(QStringLiteral("Les fiches &marquées"), cadre);
    OptionEntreMarques = new QRadioButton(QStringLiteral("Les fiches &entre deux marques"), cadre);
    OptionThemes = new QRadioButton(QStringLiteral("Les fiches des t&hèmes cochés :"), cadre);
    OptionToutes->setObjectName(QStringLiteral("OptionToutes"));
    OptionMarquees->setObjectName(QStringLiteral("OptionMarquees"));
    OptionEntreMarques->setObjectName(QStringLiteral("OptionEntreMarques"));
    OptionThemes->setObjectName(QStringLiteral("OptionThemes"));
    OptionToutes->setChecked(true);
    auto *groupe = new QButtonGroup(this);
    for (QRadioButton *o : {OptionToutes, OptionMarquees, OptionEntreMarques, OptionThemes})
        groupe->addButton(o);

    auto *grilleThemes = new QGridLayout;
    grilleThemes->setContentsMargins(24, 0, 0, 0);
    const TableThemes &themes = session.etat().Themes;
    bool unTheme = false;
    for (int i = 0; i < 9; ++i) {
        // "&" in a theme's name is a letter of it, not a shortcut.
        QString nom = texte::sansEspaces(themes.nom(i));
        auto *c = new QCheckBox(nom.replace(u'&', QLatin1String("&&")), cadre);
        c->setObjectName(QStringLiteral("CheckTheme_%1").arg(i));
        c->setEnabled(false);
        c->setVisible(!themes.estBlanc(i));
        unTheme = unTheme || !themes.estBlanc(i);
        CheckTheme[size_t(i)] = c;
        grilleThemes->addWidget(c, i / 3, i % 3);
    }
    OptionThemes->setEnabled(unTheme);

    auto *dispositionCadre = new QVBoxLayout(cadre);
    for (QRadioButton *o : {OptionToutes, OptionMarquees, OptionEntreMarques, OptionThemes})
        dispositionCadre->addWidget(o);
    dispositionCadre->addLayout(grilleThemes);

    SpinNombre = new QSpinBox(this);
    SpinNombre->setObjectName(QStringLiteral("SpinNombre"));
    SpinNombre->setRange(0, 32767);
    SpinNombre->setSpecialValueText(QStringLiteral("toutes"));
    SpinNombre->setToolTip(QStringLiteral("Ce nombre de fiches est tiré au hasard parmi celles retenues."));
    LabelCompte = new QLabel(this);
    LabelCompte->setObjectName(QStringLiteral("LabelCompte"));
    auto *ligneNombre = new QHBoxLayout;
    ligneNombre->addWidget(SpinNombre);
    ligneNombre->addWidget(LabelCompte, 1);

    SpinVersions = new QSpinBox(this);
    SpinVersions->setObjectName(QStringLiteral("SpinVersions"));
    SpinVersions->setRange(1, classe::VersionsMax);
    SpinVersions->setToolTip(QStringLiteral("Chaque sujet a ses questions et ses réponses dans un autre ordre."));
    CheckMelanger = new QCheckBox(QStringLiteral("Mélanger les questions et les réponses"), this);
    CheckMelanger->setObjectName(QStringLiteral("CheckMelanger"));
    TextTitre = new QLineEdit(classe::titreParDefaut(banque), this);
    TextTitre->setObjectName(QStringLiteral("TextTitre"));
    TextDate = new QLineEdit(classe::dateEnFrancais(QDate::currentDate()), this);
    TextDate->setObjectName(QStringLiteral("TextDate"));
    SpinGraine = new QSpinBox(this);
    SpinGraine->setObjectName(QStringLiteral("SpinGraine"));
    SpinGraine->setRange(0, 999999999);
    SpinGraine->setValue(int(classe::graineAuHasard()));
    SpinGraine->setToolTip(QStringLiteral("Le même numéro redonne le même tirage et le même ordre."));
    FeuilleReponses = new QCheckBox(QStringLiteral("Feuille de réponses séparée"), this);
    FeuilleReponses->setObjectName(QStringLiteral("FeuilleReponses"));
    FeuilleReponses->setToolTip(QStringLiteral("Chaque sujet se termine par une feuille de réponses à scanner ; "
                                               "son corrigé (.corrige.json) est écrit à côté du PDF."));
    ChiffresEleve = new QSpinBox(this);
    ChiffresEleve->setObjectName(QStringLiteral("ChiffresEleve"));
    ChiffresEleve->setRange(0, classe::ChiffresEleveMax);
    ChiffresEleve->setSpecialValueText(QStringLiteral("aucun"));
    ChiffresEleve->setEnabled(false);

    auto *formulaire = new QFormLayout;
    // The number's row holds a layout: its label needs the spin box as buddy to take Alt+N.
    auto *labelNombre = new QLabel(QStringLiteral("&Nombre de fiches :"), this);
    labelNombre->setBuddy(SpinNombre);
    formulaire->addRow(labelNombre, ligneNombre);
    if (quiz)
        formulaire->addRow(QString(), CheckMelanger);
    else
        formulaire->addRow(QStringLiteral("&Versions :"), SpinVersions);
    formulaire->addRow(QStringLiteral("T&itre :"), TextTitre);
    if (!quiz)
        formulaire->addRow(QStringLiteral("&Date :"), TextDate);
    formulaire->addRow(QStringLiteral("Tirage n° :"), SpinGraine);
    if (!quiz) {
        formulaire->addRow(QString(), FeuilleReponses);
        formulaire->addRow(QStringLiteral("Chiffres du numéro d'élève :"), ChiffresEleve);
    }
    CheckMelanger->setVisible(quiz);
    SpinVersions->setVisible(!quiz);
    TextDate->setVisible(!quiz);
    FeuilleReponses->setVisible(!quiz);
    ChiffresEleve->setVisible(!quiz);

    bout_OK = new QPushButton(QStringLiteral("&Créer…"), this);
    bout_OK->setObjectName(QStringLiteral("bout_OK"));
    bout_OK->setDefault(true);
    bout_Annuler = new QPushButton(QStringLiteral("&Annuler"), this);
    bout_Annuler->setObjectName(QStringLiteral("bout_Annuler"));
    auto *boutons = new QDialogButtonBox(this);
    boutons->addButton(bout_OK, QDialogButtonBox::AcceptRole);
    boutons->addButton(bout_Annuler, QDialogButtonBox::RejectRole);

    auto *disposition = new QVBoxLayout(this);
    disposition->addWidget(cadre);
    disposition->addLayout(formulaire);
    disposition->addWidget(boutons);

    connect(groupe, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool coche) {
        if (!coche)
            return;
        for (QCheckBox *c : CheckTheme)
            c->setEnabled(OptionThemes->isChecked());
        compter();
    });
    for (QCheckBox *c : CheckTheme)
        connect(c, &QCheckBox::toggled, this, &FormClasse::compter);
    connect(SpinNombre, &QSpinBox::valueChanged, this, &FormClasse::compter);
    connect(FeuilleReponses, &QCheckBox::toggled, ChiffresEleve, &QWidget::setEnabled);
    connect(bout_OK, &QPushButton::clicked, this, &FormClasse::creer);
    connect(bout_Annuler, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    compter();
}

classe::Choix FormClasse::choix() const
{
    classe::Choix c;
    c.selection = OptionMarquees->isChecked()       ? Selection::Marquees
                  : OptionEntreMarques->isChecked() ? Selection::EntreMarques
                                                    : Selection::Toutes;
    if (OptionThemes->isChecked())
        for (int i = 0; i < 9; ++i)
            if (CheckTheme[size_t(i)]->isChecked())
                c.themes << i;
    c.nombre = SpinNombre->value();
    c.graine = quint64(SpinGraine->value());
    return c;
}

// How many cards the choice takes, said beside the number: the teacher sees an empty
// choice before asking for a file.
void FormClasse::compter()
{
    const classe::Choix c = choix();
    if (OptionThemes->isChecked() && c.themes.isEmpty()) {
        LabelCompte->setText(QStringLiteral("aucun thème coché"));
        return;
    }
    const classe::Tirage t = classe::tirer(cheminsOuverts(m_session), c);
    if (!t.resultat) {
        LabelCompte->clear();
        return;
    }
    const int prises = t.prises;
    QString texte = prises == 0   ? QStringLiteral("aucune fiche retenue")
                    : prises == 1 ? QStringLiteral("sur 1 fiche retenue")
                                  : QStringLiteral("sur %1 fiches retenues").arg(prises);
    if (prises > 0 && c.nombre == 0)
        texte = prises == 1 ? QStringLiteral("1 fiche retenue") : QStringLiteral("%1 fiches retenues").arg(prises);
    LabelCompte->setText(texte);
}

void FormClasse::creer()
{
    Plateforme &p = m_session.plateforme();
    const bool quiz = m_sortie == Sortie::Quiz;
    const classe::Choix c = choix();
    if (OptionThemes->isChecked() && c.themes.isEmpty()) {
        m_session.erreur(QStringLiteral("Cochez au moins un thème."));
        return;
    }
    const echanges::CheminsBanque banque = cheminsOuverts(m_session);
    const classe::Tirage t = classe::tirer(banque, c);
    if (!t.resultat || t.questions.isEmpty()) {
        m_session.erreur(t.resultat ? classe::texteAucuneFiche() : t.resultat.erreur);
        return;
    }

    const QString extension = quiz ? QStringLiteral("html") : QStringLiteral("pdf");
    const QString propose = QDir(p.dossierRetenu(QStringLiteral("sorties")))
                                .filePath(QFileInfo(banque.banque).completeBaseName()
                                          + (quiz ? QStringLiteral("-quiz.html") : QStringLiteral("-sujets.pdf")));
    QString filtre = quiz ? QStringLiteral("Page web (*.html *.htm)") : QStringLiteral("Document PDF (*.pdf)");
    QString fichier = p.fichierAEnregistrer(titreDialogue(m_sortie), propose, filtre, &filtre);
    if (fichier.isEmpty())
        return;
    p.retenirDossier(QStringLiteral("sorties"), QFileInfo(fichier).absolutePath());
    if (QFileInfo(fichier).suffix().isEmpty())
        fichier += u'.' + extension;

    classe::ResultatSortie r;
    {
        Avancement avancement(quiz ? QStringLiteral("Écriture de la page de quiz...")
                                   : QStringLiteral("Mise en page des sujets..."),
                              QStringLiteral("ProgressionClasse"));
        const Progression progression = avancement.progression();
        if (quiz) {
            classe::OptionsQuiz o;
            o.titre = TextTitre->text();
            o.melanger = CheckMelanger->isChecked();
            r = classe::ecrireQuiz(banque, c, o, fichier, progression);
        } else {
            classe::OptionsSujets o;
            o.titre = TextTitre->text();
            o.date = TextDate->text();
            o.versions = SpinVersions->value();
            o.feuilleReponses = FeuilleReponses->isChecked();
            o.chiffresEleve = ChiffresEleve->value();
            r = classe::ecrireSujets(banque, c, o, fichier, progression);
        }
    }
    if (r.annule)
        return;
    if (!r.resultat) {
        m_session.erreur(r.resultat.erreur);
        return;
    }

    const QString nombre = r.questions == 1 ? QStringLiteral("1 question") : QStringLiteral("%1 questions").arg(r.questions);
    const QString ecrit = (quiz ? QStringLiteral("La page de quiz (%1) a été écrite dans %2.")
                                : QStringLiteral("Les sujets (%1) ont été écrits dans %2."))
                              .arg(nombre, QDir::toNativeSeparators(fichier))
                          + (r.corrige.isEmpty() ? QString()
                                                 : QStringLiteral("\nLe corrigé des feuilles de réponses a été écrit dans %1.")
                                                       .arg(QDir::toNativeSeparators(r.corrige)));
    const QStringList remarques = r.remarques;
    // The dialog unloads: what follows speaks for the main window, enabled again.
    if (m_fenetre)
        m_fenetre->setEnabled(true);
    done(QDialog::Accepted);
    offrirOuverture(p, remarques.isEmpty() ? ecrit : ecrit + QStringLiteral("\n\nÀ noter :\n") + remarques.join(u'\n'),
                    fichier, titreDialogue(m_sortie));
}
