#include "accueil/fenetre_accueil.h"
#include "editor/session.h"
#include "platform/dossierprogramme.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FormAccueil::FormAccueil(bool exemple, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAccueil"));
    setWindowTitle(QStringLiteral("Bienvenue"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *texte = new QLabel(
        QStringLiteral("<p><b>Bienvenue dans l'éditeur de questions à choix multiples.</b></p>"
                       "<p>Pour commencer votre banque, nommez d'abord ses thèmes (« Editer les thèmes »), "
                       "puis tapez vos fiches une à une (« Nouvelle question »).</p>"
                       "<p>Pour voir des fiches déjà faites, avec une image et un son, ouvrez la banque "
                       "d'exemple DEMO.</p>"),
        this);
    texte->setObjectName(QStringLiteral("LabelAccueil"));
    texte->setWordWrap(true);
    texte->setTextFormat(Qt::RichText);

    const auto bouton = [this](const char *nom, const QString &legende, Choix choix) {
        auto *b = new QPushButton(legende, this);
        b->setObjectName(QString::fromLatin1(nom));
        connect(b, &QPushButton::clicked, this, [this, choix] {
            m_choix = choix;
            accept();
        });
        return b;
    };
    boutExemple = bouton("boutExemple", QStringLiteral("Ouvrir la banque d'&exemple"), Choix::Exemple);
    boutCommencer = bouton("boutCommencer", QStringLiteral("&Commencer ma banque"), Choix::Commencer);
    boutFermer = bouton("boutFermer", QStringLiteral("&Fermer"), Choix::Fermer);
    boutExemple->setEnabled(exemple);
    (exemple ? boutExemple : boutCommencer)->setDefault(true);

    auto *boutons = new QHBoxLayout;
    boutons->addWidget(boutExemple);
    boutons->addWidget(boutCommencer);
    boutons->addStretch(1);
    boutons->addWidget(boutFermer);
    auto *tout = new QVBoxLayout(this);
    tout->addWidget(texte);
    tout->addSpacing(8);
    tout->addLayout(boutons);
    setMinimumWidth(560);
}

FormAccueil::Choix FormAccueil::demander(bool exemple, QWidget *parent)
{
    FormAccueil accueil(exemple, parent);
    accueil.exec();
    return accueil.choix();
}

QList<EntreeMenu> entreesAccueil(SessionBanque &s, QWidget *fenetre, std::function<void()> commencer)
{
    return {{QStringLiteral("actionBienvenue"), QStringLiteral("Bienvenue…"), [&s, fenetre, commencer] {
                 const bool exemple = QFileInfo(QDir(s.dossier()).filePath(QStringLiteral("DEMO.qzf"))).isFile();
                 switch (FormAccueil::demander(exemple, fenetre)) {
                 case FormAccueil::Choix::Exemple:
                     if (!s.stockerFiche())
                         return;
                     s.nommerBanque(dossiers::banqueExemple(s.dossier()).nom);
                     s.Initialisation();
                     break;
                 case FormAccueil::Choix::Commencer:
                     commencer();
                     break;
                 case FormAccueil::Choix::Fermer:
                     break;
                 }
             }}};
}
