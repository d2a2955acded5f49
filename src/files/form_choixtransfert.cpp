#include "files/form_choixtransfert.h"
#include "editor/session.h"

#include <QLineEdit>

Form_choixtransfert::Form_choixtransfert(SessionBanque &session, QWidget *ouvreur, Choisi choisi)
    : ChoixFichier(session, ouvreur, QStringLiteral("Form_choixtransfert"), QStringLiteral("Choix du fichier destination")),
      m_ouvreur(ouvreur), m_choisi(std::move(choisi))
{
}

void Form_choixtransfert::ouvrir(SessionBanque &session, QWidget *ouvreur, Choisi choisi)
{
    // The opener first: a window disabled after its dialog is shown would take the dialog along.
    if (ouvreur)
        ouvreur->setEnabled(false);
    auto *choix = new Form_choixtransfert(session, ouvreur, std::move(choisi));
    session.garderDialogue(choix);
    choix->montrer();
}

void Form_choixtransfert::bout_open_Click()
{
    const QString texte = Text1->text();
    if (!verifierTexte1(texte))
        return;
    if (texte.trimmed() == session().etat().NomFichier.trimmed()) {
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
    session().etat().FichierDest = nom;
    if (m_ouvreur && m_choisi)  // an opener gone takes nothing back
        m_choisi(nom);
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
