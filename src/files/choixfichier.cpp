#include "files/choixfichier.h"
#include "editor/session.h"
#include "files/listesfichiers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTreeView>

ChoixFichier::ChoixFichier(SessionBanque &session, QWidget *fenetre, const QString &nom, const QString &legende)
    : QWidget(nullptr, Qt::Dialog), m_session(session), m_fenetre(fenetre)
{
    setObjectName(nom);
    setWindowTitle(legende);
    setFixedSize(540, 300);

    m_listes = new ListesFichiers(session.plateforme(), this);
    Drive1 = m_listes->vueLecteurs();
    Dir1 = m_listes->vueDossiers();
    File1 = m_listes->vueFichiers();

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    auto bouton = [this](const char *nomBouton, const QString &legendeBouton) {
        auto *b = new QPushButton(legendeBouton, this);
        b->setObjectName(QString::fromLatin1(nomBouton));
        b->setAutoDefault(false);
        return b;
    };
    bout_open = bouton("bout_open", QStringLiteral("&Ouvrir"));
    Command2 = bouton("Command2", QStringLiteral("&Nouveau"));
    Command1 = bouton("Command1", QStringLiteral("&Annuler"));

    Text1->setGeometry(12, 12, 220, 26);
    File1->setGeometry(12, 46, 220, 242);
    Dir1->setGeometry(244, 12, 180, 240);
    Drive1->setGeometry(244, 262, 180, 26);
    bout_open->setGeometry(436, 12, 92, 30);
    Command2->setGeometry(436, 50, 92, 30);
    Command1->setGeometry(436, 258, 92, 30);
    setTabOrder(Text1, File1);
    setTabOrder(File1, Dir1);
    setTabOrder(Dir1, Drive1);
    setTabOrder(Drive1, bout_open);
    setTabOrder(bout_open, Command2);
    setTabOrder(Command2, Command1);

    connect(m_listes, &ListesFichiers::fichierClique, Text1, &QLineEdit::setText);
    // A double click picks the name and opens it, as desktop file lists do.
    connect(File1, &QListView::doubleClicked, this, [this] {
        if (!m_decharge)
            bout_open_Click();
    });
    connect(Text1, &QLineEdit::returnPressed, this, [this] { bout_open_Click(); });
    connect(bout_open, &QPushButton::clicked, this, [this] { bout_open_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

ChoixFichier::~ChoixFichier() = default;

Plateforme &ChoixFichier::plateforme() const { return m_session.plateforme(); }

void ChoixFichier::montrer()
{
    show();
    raise();
    activateWindow();
    File1->setFocus();
}

void ChoixFichier::decharger()
{
    m_decharge = true;
    hide();
    deleteLater();
}

void ChoixFichier::erreur(const QString &texte, Plateforme::Icone icone)
{
    plateforme().messageOk(texte, icone, textes::Erreur);
}

bool ChoixFichier::verifierTexte1(const QString &texte)
{
    if (texte.isEmpty()) {
        erreur(textes::SelectionnezFichier, Plateforme::Icone::Aucune);
        return false;
    }
    if (!nomfichier::admissible(texte)) {
        erreur(textes::NomInvalide, Plateforme::Icone::Critique);
        return false;
    }
    return true;
}

QString ChoixFichier::demanderNouveauNom()
{
    const QString saisie = plateforme().saisie(textes::TapezNom, QString());
    QString base;
    switch (nomfichier::examinerNouveauNom(saisie, m_listes->nomsAffiches(), &base)) {
    case nomfichier::Refus::Aucun: return base;
    case nomfichier::Refus::Vide: break;
    case nomfichier::Refus::TropLong: erreur(textes::TropLong, Plateforme::Icone::Critique); break;
    case nomfichier::Refus::Invalide: erreur(textes::NomInvalide, Plateforme::Icone::Critique); break;
    case nomfichier::Refus::Existe: erreur(textes::Existe, Plateforme::Icone::Critique); break;
    }
    return {};
}

void ChoixFichier::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_decharge)
        return;
    fermeture();
    m_decharge = true;
    deleteLater();
}

void ChoixFichier::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Command1_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}
