#include "editor/formedit.h"
#include "editor/controles.h"
#include "editor/couleurs.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

void FormEdit::Command4_Click()
{
    FrameThemes->show();
    Frame1->hide();
}

void FormEdit::Command5_Click()
{
    FrameThemes->hide();
    Frame1->show();
    for (int i = 0; i < 9; ++i)
        m_.Themes.fixerNom(i, ThemeEdit[i]->text());  // as typed, spaces included
    const QString chemin = chemins::themes(m_plateforme.dossierProgramme(), m_.NomFichier);
    if (Resultat r = ecrireThemes(chemin, m_.Themes); !r)
        message(r.erreur, Plateforme::Boutons::Ok, Plateforme::Icone::Critique, QStringLiteral("Erreur"));
    m_session.ChargeThemes();
}

void FormEdit::commencerBanque()
{
    Command4_Click();
    activateWindow();
    ThemeEdit[0]->setFocus();
}

void FormEdit::Command6_Click()
{
    FrameThemes->hide();
    Frame1->show();
}

// No blank box may stand between two names; a box is open only below a name.
void FormEdit::ThemeEdit_Change(int i)
{
    if (i >= 8)
        return;
    const bool vide = texte::sansEspaces(ThemeEdit[i]->text()).isEmpty();
    const bool suivantVide = texte::sansEspaces(ThemeEdit[i + 1]->text()).isEmpty();
    if (!vide) {
        ThemeEdit[i + 1]->setEnabled(true);
    } else if (!suivantVide) {
        ThemeEdit[i + 1]->setEnabled(true);
        message(QStringLiteral("Ne laissez jamais un champ vide entre deux thèmes! "));
        ThemeEdit[i]->setText(QStringLiteral("***"));
    } else {
        ThemeEdit[i + 1]->setEnabled(false);
    }
}

bool FormEdit::eventFilter(QObject *objet, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // A click trims the box, so that a padded name or initials can be typed over.
        if (auto *boite = qobject_cast<QLineEdit *>(objet);
            boite && (boite == TextAuteur || boite->objectName().startsWith(QLatin1String("ThemeEdit_")))) {
            const QString t = texte::sansEspaces(boite->text());
            if (t != boite->text())
                boite->setText(t);
        }
        break;
    case QEvent::FocusIn:
        for (int i = 0; i < 9; ++i) {
            if (objet == Theme[i]) {
                themesNonGras();
                QFont f = Theme[i]->font();
                f.setBold(true);
                Theme[i]->setFont(f);
            }
        }
        for (int i = 0; i < 3; ++i) {
            if (objet == OptionBonneReponse[i]) {
                for (BoiteTexte *r : TextReponse)
                    fixerCouleur(r, couleurs::vertClair());
                fixerCouleur(TextReponse[i], couleurs::jauneClair());
            }
        }
        break;
    case QEvent::MouseMove:
        if (auto *w = qobject_cast<QWidget *>(objet)) {
            const QString aide = texteAide(w->objectName());
            if (!aide.isEmpty())
                Aide->setText(aide);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(objet, event);
}
