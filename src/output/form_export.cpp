#include "output/form_export.h"

#include "editor/session.h"
#include "files/form_choixtransfert.h"
#include "output/listing.h"
#include "output/transfert.h"
#include "platform/avancement.h"
#include "platform/creer.h"
#include "platform/ouverture.h"
#include "store/verrou.h"

#include <QButtonGroup>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <optional>

namespace {

using Boutons = Plateforme::Boutons;
using Icone = Plateforme::Icone;
using Reponse = Plateforme::Reponse;

const QString kErreur = QStringLiteral("Erreur");
const QString kTitreImpression = QStringLiteral("Impression des questions");

QColor gris() { return {192, 192, 192}; }
QColor bleuClair() { return {192, 192, 255}; }
QColor jauneClair() { return {255, 255, 192}; }
QColor grisClair() { return {224, 224, 224}; }
QColor rougeFonce() { return {128, 0, 0}; }

void fond(QWidget *w, const QColor &couleur)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, couleur);
    w->setPalette(p);
}

void texteCouleur(QWidget *w, const QColor &couleur)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, couleur);
    w->setPalette(p);
}

// The listing's lines go to the printer through the platform.
class SortieImprimante : public listing::Sortie {
public:
    explicit SortieImprimante(Plateforme &p) : m_p(p) {}
    void ligne(const QString &texte) override
    {
        if (!texte.isEmpty())
            m_p.imprimanteEcrire(texte);
        m_p.imprimanteFinLigne();
    }
    void taillePolice(int points) override { m_p.imprimanteTaillePolice(points); }

private:
    Plateforme &m_p;
};

// Prints the open bank; the number of cards printed, or nothing when the job did not go
// out (the reason has been shown, or the user stopped it).
std::optional<qint64> imprimerListe(SessionBanque &f, listing::Forme forme, Selection selection, QWidget *parent)
{
    Module1 &m = f.etat();
    Plateforme &pf = f.plateforme();
    if (Resultat r = pf.imprimanteDebut(texte::sansEspaces(m.NomFichier)); !r) {
        f.erreur(r.erreur);
        return std::nullopt;
    }
    SortieImprimante sortie(pf);
    listing::ResultatListing r;
    {
        Avancement avancement(QStringLiteral("Impression des questions en cours..."), QStringLiteral("ProgressionImpression"),
                              parent, Qt::WindowModal);
        r = listing::imprimer(f.cheminBanque(), m.NomFichier, forme, selection,
                              sortie, avancement.progression());
    }
    if (r.resultat || r.annule)
        m.NbFiches = int(r.nbFiches);
    if (!r.resultat || r.annule) {
        pf.imprimanteAbandon();
        if (!r.resultat)
            f.erreur(r.resultat.erreur);
        return std::nullopt;
    }
    if (Resultat fin = pf.imprimanteFin(); !fin) {
        f.erreur(fin.erreur);
        return std::nullopt;
    }
    return r.imprimees;
}

// Without a printer the listing is a file: the user is told where it is.
void direOuEstLaListe(SessionBanque &f)
{
    const QString fichier = f.plateforme().imprimanteFichier();
    if (!fichier.isEmpty())
        offrirOuverture(f.plateforme(),
                        QStringLiteral("Aucune imprimante n'est installée : la liste des questions a été enregistrée "
                                       "dans le fichier ")
                            + QDir::toNativeSeparators(fichier) + u'.',
                        fichier, kTitreImpression);
}

void rendreFenetre(QWidget *f)
{
    if (!f)
        return;
    f->setVisible(true);
    f->setEnabled(true);
    f->raise();
    f->activateWindow();
    f->setFocus();
}

} // namespace

Form_export::Form_export(SessionBanque &session, QWidget *fenetre)
    : QDialog(nullptr), m_session(session), m_fenetre(fenetre)
{
    setObjectName(QStringLiteral("Form_export"));
    setWindowTitle(QStringLiteral("Transfert de fiches ou impression ou génération d'un Q.C.M."));
    setFixedSize(620, 432);
    fond(this, gris());
    {
        // Greyed captions must still read on the grey background.
        QPalette p = palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            p.setColor(QPalette::Disabled, role, QColor(112, 112, 112));
        setPalette(p);
    }

    cadreDestination = creer<QGroupBox>(this, QStringLiteral("cadreDestination"), {10, 6, 600, 252});
    Label5 = creer<QLabel>(cadreDestination, QStringLiteral("Label5"), {12, 10, 300, 20},
                           QStringLiteral("Mode de transfert"));
    Label1 = creer<QLabel>(cadreDestination, QStringLiteral("Label1"), {12, 32, 580, 20},
                           QStringLiteral("Le transfert sera effectuée à partir du fichier actif vers un fichier existant."));
    const QString captions[4] = {
        QStringLiteral("Vers Fichier ORBELIN :"),
        QStringLiteral("Vers IMPRIMANTE (impression allégée avec uniquement l'intitulé de la question)"),
        QStringLiteral("Vers IMPRIMANTE (impression complète avec détails des réponses)"),
        QStringLiteral("Vers FICHIER TEXTE pour Q.C.M.(nom du fichier actif .txt)")};
    const int yOption[4] = {58, 150, 176, 202};
    groupeTransfert = new QButtonGroup(this);
    for (int k = 0; k < 4; ++k) {
        OptionTransfert[k] = creer<QRadioButton>(cadreDestination, indice("OptionTransfert", k),
                                                 {12, yOption[k], 576, 22}, captions[k]);
        groupeTransfert->addButton(OptionTransfert[k], k);
        connect(OptionTransfert[k], &QRadioButton::clicked, this, [this, k] { OptionTransfert_Click(k); });
    }
    OptionTransfert[3]->setEnabled(false);  // nothing stands behind it yet

    Label13 = creer<QLabel>(cadreDestination, QStringLiteral("Label13"), {36, 84, 160, 18},
                            QStringLiteral("Fichier actif"));
    textefichieractif = creer<QLabel>(cadreDestination, QStringLiteral("textefichieractif"), {36, 104, 160, 28});
    Label2 = creer<QLabel>(cadreDestination, QStringLiteral("Label2"), {200, 104, 50, 28}, QStringLiteral("vers"));
    Label2->setAlignment(Qt::AlignCenter);
    Label3 = creer<QLabel>(cadreDestination, QStringLiteral("Label3"), {254, 84, 160, 18},
                           QStringLiteral("Fichier destination"));
    textedest = creer<QLabel>(cadreDestination, QStringLiteral("textedest"), {254, 104, 160, 28});
    for (QLabel *l : {textefichieractif, textedest}) {
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setContentsMargins(4, 0, 4, 0);
        l->setTextFormat(Qt::PlainText);
    }
    fond(textefichieractif, bleuClair());
    fond(textedest, jauneClair());
    Command3 = creer<QPushButton>(cadreDestination, QStringLiteral("Command3"), {424, 103, 90, 30},
                                  QStringLiteral("Choix"));

    cadreChoix = creer<QGroupBox>(this, QStringLiteral("cadreChoix"), {10, 266, 600, 114});
    Label4 = creer<QLabel>(cadreChoix, QStringLiteral("Label4"), {12, 8, 400, 20},
                           QStringLiteral("Choix des questions transférées"));
    const QString choix[3] = {QStringLiteral("de toutes les questions"), QStringLiteral("des questions marquées"),
                              QStringLiteral("des questions entre 2 marques")};
    groupeChoix = new QButtonGroup(this);
    for (int k = 0; k < 3; ++k) {
        choixopt[k] = creer<QRadioButton>(cadreChoix, indice("choixopt", k), {30, 32 + 25 * k, 400, 22}, choix[k]);
        groupeChoix->addButton(choixopt[k], k);
    }
    for (QLabel *l : {Label5, Label4}) {
        texteCouleur(l, rougeFonce());
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }

    bout_OK = creer<QPushButton>(this, QStringLiteral("bout_OK"), {370, 392, 115, 32}, QStringLiteral("&OK"));
    QFont gras = bout_OK->font();
    gras.setBold(true);
    bout_OK->setFont(gras);
    Command2 = creer<QPushButton>(this, QStringLiteral("Command2"), {495, 392, 115, 32}, QStringLiteral("&Annuler"));
    bout_OK->setDefault(true);

    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(bout_OK, &QPushButton::clicked, this, [this] { bout_OK_Click(); });

    // Load: the first destination and the whole bank are chosen; the open bank is named.
    OptionTransfert[0]->setChecked(true);
    choixopt[0]->setChecked(true);
    textefichieractif->setText(m_session.etat().NomFichier);
}

void Form_export::reject() { Command2_Click(); }

void Form_export::OptionTransfert_Click(int index)
{
    const bool versFichier = index == 0;
    textedest->setEnabled(versFichier);
    Command3->setEnabled(versFichier);
    fond(textedest, versFichier ? jauneClair() : grisClair());
}

void Form_export::Command3_Click()
{
    Form_choixtransfert::ouvrir(m_session, this, [this](const QString &nom) { textedest->setText(nom); });
}

void Form_export::Command2_Click()
{
    hide();
    rendreFenetre(m_fenetre);
}

void Form_export::bout_OK_Click()
{
    if (OptionTransfert[0]->isChecked())
        transferer();
    else if (OptionTransfert[1]->isChecked() || OptionTransfert[2]->isChecked())
        imprimer(OptionTransfert[2]->isChecked());
}

void Form_export::transferer()
{
    if (textedest->text().isEmpty()) {
        m_session.message(QStringLiteral("Vous devez choisir un fichier de destination!"), Boutons::Ok,
                          Icone::Exclamation, kErreur);
        return;
    }
    Module1 &m = m_session.etat();
    const QString dossier = m_session.dossier();
    // The destination is written: another editor or qzf working on it is waited for.
    // (The open bank itself is refused by the transfer, which says why.)
    const QString cheminDest = chemins::banque(dossier, m.FichierDest);
    verrou::Verrou destination;
    if (verrou::cheminVerrou(cheminDest) != verrou::cheminVerrou(m_session.cheminBanque())
        && destination.prendre(cheminDest) == verrou::Verrou::Etat::Tenu) {
        m_session.erreur(destination.message() + QStringLiteral(" Aucune question n'y a été transférée."));
        return;
    }
    ResultatTransfert r;
    {
        Avancement avancement(QStringLiteral("Transfert des questions vers ") + m.FichierDest + u'…',
                              QStringLiteral("ProgressionTransfert"), this, Qt::WindowModal);
        r = ::transferer(chemins::banque(dossier, m.NomFichier), chemins::banque(dossier, m.FichierDest),
                         Selection(groupeChoix->checkedId()), avancement.progression());
    }
    if (r.annule)
        return;
    if (!r.resultat) {
        m_session.erreur(r.resultat.erreur);
        return;
    }
    m_session.message(QStringLiteral("Transfert de ") + u' ' + QString::number(r.copiees)
                      + QStringLiteral(" questions effectué vers le fichier ") + m.FichierDest);
    if (!r.mediasNonCopies.isEmpty())
        m_session.message(QStringLiteral("Des images ou des sons des fiches transférées ne sont pas dans le dossier des "
                                         "médias de %1 :\n")
                                  .arg(m.FichierDest)
                              + r.mediasNonCopies.join(u'\n'),
                          Boutons::Ok, Icone::Exclamation, kErreur);
}

void Form_export::imprimer(bool complete)
{
    const std::optional<qint64> imprimees =
        imprimerListe(m_session, complete ? listing::Forme::Complete : listing::Forme::Allegee,
                      Selection(groupeChoix->checkedId()), this);
    if (!imprimees)
        return;
    m_session.plateforme().bip();
    m_session.message(u' ' + QString::number(*imprimees) + QStringLiteral(" Fiche(s) envoyées à l'impression"),
                      Boutons::Ok, Icone::Exclamation, kTitreImpression);
    direOuEstLaListe(m_session);
    decharger();
    rendreFenetre(m_fenetre);
}

void Form_export::decharger()
{
    hide();
    setObjectName(QString());  // no longer found as the loaded dialog, though deleted only later
    deleteLater();
}

void Command1_Click(SessionBanque &session, QWidget *fenetre)
{
    // The main window first: a window disabled after a dialog is shown would take the dialog with it.
    if (fenetre)
        fenetre->setEnabled(false);
    auto *d = session.dialogue<QWidget>(QStringLiteral("Form_export"));
    if (!d) {
        d = new Form_export(session, fenetre);
        session.garderDialogue(d);
    }
    d->show();
    d->raise();
    d->activateWindow();
}

void BoutPrint_Click(SessionBanque &session, QWidget *fenetre)
{
    const Reponse r = session.message(
        QStringLiteral("L'impression se fera dans l'ordre de classement actuel des questions; "
                       "Voulez-vous une impression Rapide?"),
        Boutons::OuiNonAnnuler, Icone::Critique, QStringLiteral("Paramètres d'impression"), Reponse::Non);
    if (r == Reponse::Annuler)
        return;
    if (imprimerListe(session, r == Reponse::Oui ? listing::Forme::Rapide : listing::Forme::Detaillee,
                      Selection::Toutes, fenetre))
        direOuEstLaListe(session);
}
