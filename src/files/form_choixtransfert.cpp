#include "files/form_choixtransfert.h"
#include "editor/formedit.h"

#include <QLabel>
#include <QLineEdit>

Form_choixtransfert::Form_choixtransfert(FormEdit &fenetre, QWidget *ouvreur)
    : ChoixFichier(fenetre, QStringLiteral("Form_choixtransfert"), QStringLiteral("Choix du fichier destination")),
      m_ouvreur(ouvreur)
{
}

void Form_choixtransfert::ouvrir(FormEdit &fenetre, QWidget *ouvreur)
{
    // The opener first: a window disabled after its dialog is shown would take the dialog along.
    if (ouvreur)
        ouvreur->setEnabled(false);
    auto *choix = new Form_choixtransfert(fenetre, ouvreur);
    fenetre.garderDialogue(choix);
    choix->montrer();
}

void Form_choixtransfert::bout_open_Click()
{
    const QString texte = Text1->text();
    if (!verifierTexte1(texte))
        return;
    if (texte.trimmed() == fenetre().etat().NomFichier.trimmed()) {
        erreur(textes::FichierActif, Plateforme::Icone::Exclamation);
        return;
    }
    choisir(texte.trimmed());
}

void Form_choixtransfert::Command2_Click()
{
    const QString base = demanderNouveauNom();
    if (!base.isEmpty())
        choisir(base + QString::fromUtf16(nomfichier::Extension));
}

void Form_choixtransfert::choisir(const QString &nom)
{
    fenetre().etat().FichierDest = nom;
    if (m_ouvreur)
        if (auto *label = m_ouvreur->findChild<QLabel *>(QStringLiteral("textedest")))
            label->setText(nom);
    decharger();
    rendreOuvreur();
}

void Form_choixtransfert::Command1_Click()
{
    rendreOuvreur();
    decharger();
}

void Form_choixtransfert::fermeture() { rendreOuvreur(); }

void Form_choixtransfert::rendreOuvreur()
{
    if (!m_ouvreur)
        return;
    m_ouvreur->setEnabled(true);
    m_ouvreur->show();
    m_ouvreur->raise();
    m_ouvreur->activateWindow();
}
