#include "files/form_fichier.h"
#include "editor/session.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

void Fichier_Click(SessionBanque &session, QWidget *fenetre)
{
    // The good answer is asked for even on an empty bank, where the rule stores nothing.
    if (!session.verifierBonneReponse() || !session.stockerFiche(SessionBanque::Controle::Aucun))
        return;
    form_fichier::ouvrir(session, fenetre);
}

form_fichier::form_fichier(SessionBanque &session, QWidget *fenetre)
    : ChoixFichier(session, fenetre, QStringLiteral("form_fichier"), QStringLiteral("Ouverture d'un fichier"))
{
}

form_fichier *form_fichier::ouvrir(SessionBanque &session, QWidget *fenetre)
{
    // The main window first: a window disabled after its dialog is shown would take the dialog along.
    if (fenetre)
        fenetre->setEnabled(false);
    auto *choix = new form_fichier(session, fenetre);
    session.garderDialogue(choix);
    choix->montrer();
    return choix;
}

void form_fichier::bout_open_Click()
{
    const QString texte = Text1->text();
    if (!verifierTexte1(texte))
        return;
    const QString dossier = plateforme().dossierProgramme();
    if (!nomfichier::chargeable(chemins::banque(dossier, texte), chemins::themes(dossier, texte))) {
        erreur(textes::ImpossibleCharger, Plateforme::Icone::Exclamation);
        return;
    }
    if (!changerDeBanque(texte))
        return;
    decharger();
    rendreFenetre();
}

void form_fichier::Command2_Click()
{
    const QString base = demanderNouveauNom();
    if (base.isEmpty())
        return;
    const QString nom = base + QString::fromUtf16(nomfichier::Extension);
    const QString dossier = plateforme().dossierProgramme();
    // Nothing is changed unless both the bank and its media folder can be made.
    if (!nomfichier::chargeable(chemins::banque(dossier, nom), chemins::themes(dossier, nom))) {
        erreur(QStringLiteral("Impossible de créer le fichier %1!").arg(nom), Plateforme::Icone::Exclamation);
        return;
    }
    const QString media = dossier + u'/' + base;
    if (!QFileInfo(media).isDir() && !QDir(dossier).mkdir(base)) {
        erreur(QStringLiteral("Impossible de créer le dossier %1!").arg(base), Plateforme::Icone::Exclamation);
        return;
    }
    if (!changerDeBanque(nom))
        return;
    decharger();
    rendreFenetre();
}

bool form_fichier::changerDeBanque(const QString &nom)
{
    SessionBanque &s = session();
    Module1 &etat = s.etat();
    const QString ancien = etat.NomFichier;
    s.nommerBanque(nom);
    etat.canaux.fermerTout();
    s.Initialisation();
    if (etat.fichier())
        return true;

    // Taken away between the check and the opening: back to the bank that was open.
    erreur(textes::ImpossibleCharger, Plateforme::Icone::Exclamation);
    s.nommerBanque(ancien);
    etat.canaux.fermerTout();
    s.Initialisation();
    return false;
}

void form_fichier::Command1_Click()
{
    decharger();
    rendreFenetre();
}

void form_fichier::fermeture() { rendreFenetre(); }

void form_fichier::rendreFenetre()
{
    QWidget *f = fenetre();
    if (!f)
        return;
    f->setEnabled(true);
    f->raise();
    f->activateWindow();
}
