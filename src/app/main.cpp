#include "accueil/fenetre_accueil.h"
#include "editor/formedit.h"
#include "platform/dossierprogramme.h"
#include "platform/qtplatform.h"
#include "platform/traductions.h"

#include <QApplication>
#include <QScreen>
#include <QDir>
#include <QFile>
#include <QFileInfo>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orbelin"));
    installerTraductionsQt(app);
    QtPlateforme plateforme;
    const QString erreur = QStringLiteral("Erreur");
    const QStringList arguments = QApplication::arguments().mid(1);
    // "--exemple" (the desktop entry's second action) opens the sample bank of the folder of the banks.
    const bool exemple = arguments.value(0) == QLatin1String("--exemple");

    // A bank opened from the file manager is worked on in its own folder, beside its theme
    // file and media folder.
    QString nom;
    if (!arguments.isEmpty() && !exemple) {
        const dossiers::BanqueDemandee banque = dossiers::banqueDemandee(arguments.first());
        if (banque.resultat) {
            plateforme.fixerDossierProgramme(banque.dossier);
            nom = banque.nom;
        } else {
            plateforme.messageOk(banque.resultat.erreur, Plateforme::Icone::Critique, erreur);
        }
    }
    bool premierDemarrage = false;
    if (nom.isEmpty()) {
        const QString executable = QCoreApplication::applicationDirPath();
        const QString dossier = dossiers::dossierDesBanques(executable, dossiers::dossierDonnees());
        plateforme.fixerDossierProgramme(dossier);
        premierDemarrage = !exemple && !QFileInfo::exists(QDir(dossier).filePath(QStringLiteral("BASE.QZF")));
        if (Resultat r = dossiers::preparer(dossier, dossiers::sourceExemple(executable)); !r)
            plateforme.messageOk(r.erreur, Plateforme::Icone::Critique, erreur);
        if (exemple) {
            const dossiers::BanqueDemandee banque = dossiers::banqueExemple(dossier);
            if (banque.resultat)
                nom = banque.nom;
            else
                plateforme.messageOk(banque.resultat.erreur, Plateforme::Icone::Critique, erreur);
        }
    }
    // The file and media choosers open on the working folder: there the user finds the banks.
    QDir::setCurrent(plateforme.dossierProgramme());

    // A teacher's very first start is welcomed with the ways to begin; then the usual start.
    FormAccueil::Choix accueil = FormAccueil::Choix::Fermer;
    if (premierDemarrage) {
        const dossiers::BanqueDemandee demo = dossiers::banqueExemple(plateforme.dossierProgramme());
        accueil = FormAccueil::demander(bool(demo.resultat));
        if (accueil == FormAccueil::Choix::Exemple) {
            nom = demo.nom;
            // BASE.QZF is there from the first start on, as when the editor opens on it.
            QFile base(QDir(plateforme.dossierProgramme()).filePath(QStringLiteral("BASE.QZF")));
            base.open(QIODevice::WriteOnly | QIODevice::Append);
        }
    }

    SessionBanque session(plateforme);
    FormEdit fenetre(session);
    // A screen smaller than the window: the window scrolls in a frame of the screen's size.
    if (QWidget *cadre = fenetre.adapterAEcran(QGuiApplication::primaryScreen()->availableGeometry()); cadre != &fenetre)
        cadre->show();
    if (nom.isEmpty())
        fenetre.charger();
    else
        fenetre.charger(nom);
    if (accueil == FormAccueil::Choix::Commencer && !fenetre.termine())
        fenetre.commencerBanque();
    if (fenetre.termine())
        return 0;
    return QApplication::exec();
}
