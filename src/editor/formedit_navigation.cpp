#include "editor/formedit.h"
#include "editor/controles.h"
#include "editor/couleurs.h"
#include "store/reecriture.h"
#include "tidy/corbeille.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

// Every move leaves the card on screen the same way: refused with a beep at the end of
// the bank, refused without a good answer, otherwise stored first.
bool FormEdit::quitterFiche(bool auBout)
{
    if (auBout) {
        m_plateforme.bip();
        return false;
    }
    return m_session.verifierBonneReponse() && m_session.Ecrit();
}

void FormEdit::Suivant_Click()
{
    if (!quitterFiche(m_.NumFiche >= m_.NbFiches))
        return;
    ++m_.NumFiche;
    m_session.Lit();
}

void FormEdit::Precedent_Click()
{
    if (!quitterFiche(m_.NumFiche < 2))
        return;
    --m_.NumFiche;
    m_session.Lit();
}

void FormEdit::Dernier_Click()
{
    if (!quitterFiche(m_.NumFiche >= m_.NbFiches))
        return;
    m_.NumFiche = m_.NbFiches;
    m_session.Lit();
}

void FormEdit::Premier_Click()
{
    if (!quitterFiche(m_.NumFiche < 2))
        return;
    const int t = m_.Fiche.NumTheme;
    // Walks back through every card down to one of theme t - 2 (or card 1), then shows
    // the card after it: the first card of theme t - 1 in a bank sorted by theme. The texts
    // are laid out once, when the walk ends (or behind a message box it opens).
    m_differe = true;
    for (int n = m_.NumFiche;; --n) {
        m_.NumFiche = n;
        m_session.Lit();
        if (n == 1 || m_.Fiche.NumTheme == t - 2) {
            m_.NumFiche = n + 1;
            m_session.Lit();
            break;
        }
    }
    m_differe = false;
    appliquerAffichage();
}

void FormEdit::Nouveau_Click()
{
    if (m_session.refuserEnLectureSeule())
        return;
    if (texte::sansEspaces(Theme[0]->text()).isEmpty()) {
        message(QStringLiteral("Veuillez d'abord créer un thème au minimum pour les questions..."));
        return;
    }
    const QString auteur = TextAuteur->text();
    if (m_.NbFiches <= 0) {
        m_.NumFiche = m_.NbFiches + 1;
        m_.NbFiches = m_.NbFiches + 1;
        TextNbFiche->setText(QString::number(m_.NbFiches));
        TextQuestion->fixerTexte(QString());
        for (BoiteTexte *r : TextReponse)
            r->fixerTexte(QString());
        TextExplic->fixerTexte(QString());
        TextAffNumero->setText(QString::number(m_.NumFiche));
        activerNavigation(true);
        montrerBoitesFiche(true);
        for (BoiteTexte *r : TextReponse)
            fixerCouleur(r, couleurs::vertClair());
        TextQuestion->setFocus();
        return;
    }
    if (groupeBonneReponse->checkedId() < 0) {
        message(QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie ; de plus, "
                               "n'oubliez pas de changer le Thème de la question si nécessaire..."));
        return;
    }
    if (!m_session.Ecrit())
        return;
    m_.NumFiche = m_.NbFiches + 1;
    m_.NbFiches = m_.NbFiches + 1;
    TextNbFiche->setText(QString::number(m_.NbFiches));
    TextQuestion->fixerTexte(QString());
    TextExplic->fixerTexte(QString());
    for (int i = 0; i < 3; ++i) {
        TextReponse[i]->show();
        TextReponse[i]->fixerTexte(QString());
        OptionBonneReponse[i]->show();
        fixerCouleur(TextReponse[i], couleurs::vertClair());
    }
    choisirBonneReponse(-1);
    TextAuteur->setText(auteur);
    TextAffNumero->setText(QString::number(m_.NumFiche));
    m_.OptionTaille = 0;
    m_.NomMedia = QString(12, u' ');
    Frame4->hide();
    ImageMedia->clear();
    TextQuestion->setFocus();
    LabelFileMedia->setText(QString());
}

void FormEdit::Supprimer_Click()
{
    if (m_session.refuserEnLectureSeule())
        return;
    if (m_.NbFiches <= 1) {
        m_plateforme.bip();
        return;
    }
    const QString dossier = m_plateforme.dossierProgramme();
    const QString banque = chemins::banque(dossier, m_.NomFichier);
    m_.canaux.fermerTout();
    // The card is kept in the bank's recycle file first; one that cannot be kept is not deleted.
    const Resultat r = corbeille::supprimerEnGardant(banque, dossier + QStringLiteral("/BASE.TMP"), m_.NumFiche,
                                                     chemins::dossierMedia(dossier, m_.NomFichier),
                                                     QDateTime::currentSecsSinceEpoch());

    Resultat ouvert;
    m_.CanalFichier = m_.canaux.ouvrir(banque, &ouvert);
    if (!r) {
        QString raison = r.erreur;
        while (raison.endsWith(u'.'))
            raison.chop(1);
        message(raison + QStringLiteral(". Le fichier %1 n'a pas été modifié.").arg(banque),
                Plateforme::Boutons::Ok, Plateforme::Icone::Critique, QStringLiteral("Erreur"));
        m_session.Lit();
        return;
    }
    if (!ouvert)
        message(ouvert.erreur, Plateforme::Boutons::Ok, Plateforme::Icone::Critique, QStringLiteral("Erreur"));
    --m_.NbFiches;
    if (m_.NumFiche > m_.NbFiches)
        m_.NumFiche = m_.NbFiches;
    TextNbFiche->setText(QString::number(m_.NbFiches));
    m_session.Lit();
}
