#include "editor/session.h"
#include "store/cp1252.h"
#include "store/nommedia.h"
#include "store/reecriture.h"
#include "media/regles_media.h"

#include <cstring>

namespace {

const QString kErreur = QStringLiteral("Erreur");
const QString kBonneReponse =
    QStringLiteral("vous devez cocher une bonne réponse à votre question pour valider la saisie");
const QString kRappelInitiales = QStringLiteral(
    "Pensez à saisir, une bonne fois pour toutes, vos initiales dans l'emplacement violet afin que les "
    "questions que vous aurez créées portent fièrement votre trace.");

// Spaces removed at both ends of the stored bytes, padded again: zero bytes stay.
template <int N> void retailler(char (&champ)[N])
{
    int debut = 0, fin = N;
    while (debut < fin && champ[debut] == ' ')
        ++debut;
    while (fin > debut && champ[fin - 1] == ' ')
        --fin;
    if (debut > 0)
        std::memmove(champ, champ + debut, size_t(fin - debut));
    std::memset(champ + (fin - debut), ' ', size_t(N - (fin - debut)));
}

} // namespace

SessionBanque::SessionBanque(Plateforme &plateforme, QObject *parent) : QObject(parent), m_plateforme(plateforme) {}

SessionBanque::~SessionBanque() { fermerDialogues(); }

void SessionBanque::fermerDialogues()
{
    const std::vector<QPointer<QObject>> dialogues = std::move(m_dialogues);
    m_dialogues.clear();
    for (const QPointer<QObject> &d : dialogues)
        delete d.data();
}

QString SessionBanque::dossier() const { return m_plateforme.dossierProgramme(); }
QString SessionBanque::cheminBanque() const { return chemins::banque(dossier(), m_.NomFichier); }
QString SessionBanque::cheminThemes() const { return chemins::themes(dossier(), m_.NomFichier); }
QString SessionBanque::dossierMedia() const { return chemins::dossierMedia(dossier(), m_.NomFichier); }
QString SessionBanque::cheminMedia() const { return chemins::media(dossier(), m_.NomFichier, m_.NomMedia); }

QObject *SessionBanque::dialogue(const QString &nom) const
{
    for (const QPointer<QObject> &d : m_dialogues)
        if (d && d->objectName() == nom)
            return d;
    return nullptr;
}

void SessionBanque::garderDialogue(QObject *d)
{
    std::erase_if(m_dialogues, [](const QPointer<QObject> &p) { return p.isNull(); });
    m_dialogues.emplace_back(d);
}

Plateforme::Reponse SessionBanque::message(const QString &texte, Plateforme::Boutons boutons, Plateforme::Icone icone,
                                           const QString &titre, Plateforme::Reponse parDefaut)
{
    if (m_ecran)
        m_ecran->montrerEnAttente();
    return m_plateforme.message(texte, boutons, icone, parDefaut, titre);
}

void SessionBanque::erreur(const QString &texte)
{
    message(texte, Plateforme::Boutons::Ok, Plateforme::Icone::Critique, kErreur);
}

void SessionBanque::nommerBanque(const QString &nomFichier)
{
    m_.NomFichier = nomFichier;
    emit banqueNommee();
}

// ---------------------------------------------------------------------------
// Opening a bank

void SessionBanque::Initialisation()
{
    m_.canaux.fermerTout();
    m_.NbParTheme.fill(0);

    const QString chemin = cheminBanque();
    // One editor writes a bank: a bank another one holds is opened read-only.
    m_verrou.liberer();
    const bool tenue = m_verrou.prendre(chemin) == verrou::Verrou::Etat::Tenu;
    Resultat ouvert;
    m_.CanalFichier =
        m_.canaux.ouvrir(chemin, &ouvert, tenue ? FichierQuestions::Mode::Lecture : FichierQuestions::Mode::LectureEcriture);
    if (!ouvert)
        erreur(ouvert.erreur);
    m_lectureSeule = tenue;
    if (tenue && ouvert)
        message(m_verrou.message() + QStringLiteral(" Elle est ouverte ici en lecture seule : aucune fiche n'y sera "
                                                    "enregistrée, ajoutée, supprimée ni classée."),
                Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation, QStringLiteral("Banque déjà ouverte"));
    if (const FichierQuestions *g = m_.fichier(); !tenue && g && g->nombre() > FichesMax) {
        // Card numbers stop at 32767: a larger bank would be cut by a save or a sort.
        const int n = g->nombre();
        m_.canaux.fermerTout();
        m_.CanalFichier = m_.canaux.ouvrir(chemin, &ouvert, FichierQuestions::Mode::Lecture);
        m_lectureSeule = true;
        erreur(QStringLiteral("Le fichier %1 contient %2 fiches, plus que les %3 qu'un fichier de questions peut "
                              "numéroter. Il est ouvert en lecture seule : aucune fiche n'y sera enregistrée, "
                              "ajoutée, supprimée ni classée.")
                   .arg(chemin)
                   .arg(n)
                   .arg(FichesMax));
    }
    emit banqueOuverte();

    m_.NumFiche = 1;
    Lit();

    const FichierQuestions *f = m_.fichier();
    m_.NbFiches = f ? f->nombre() : 0;
    if (f) {
        const ComptesThemes comptes = f->compterThemes();
        for (int i = 0; i < 9; ++i)
            m_.NbParTheme[size_t(i)] = comptes.parTheme[size_t(i)];
        // The count leaves the last card in the record buffer, the first one on screen.
        if (m_.NbFiches > 0)
            m_.Fiche = f->lire(m_.NbFiches);
    }
    emit banqueComptee();
    ChargeThemes();
    message(kRappelInitiales, Plateforme::Boutons::Ok, Plateforme::Icone::Aucune,
            QStringLiteral("Saisie des initiales de l'auteur des questions"));
}

void SessionBanque::ChargeThemes()
{
    if (Resultat r = lireThemes(cheminThemes(), m_.Themes); !r)
        erreur(r.erreur);
    emit themesCharges();
}

// ---------------------------------------------------------------------------
// A card between the file and the screen

void SessionBanque::prendreFiche()
{
    const FichierQuestions *f = m_.fichier();
    m_.Fiche = f ? f->lire(m_.NumFiche) : FicheQuestion{};
    FicheQuestion &fi = m_.Fiche;
    retailler(fi.Question);
    for (auto &r : fi.Reponse)
        retailler(r);
    retailler(fi.Commentaire);
    retailler(fi.FichierMedia);

    m_.NomMedia = surDouze(texte::sansEspaces(cp1252::decode(fi.FichierMedia, sizeof fi.FichierMedia)));
    m_.OptionTaille = fi.TailleImage;
    m_themeAffiche = fi.NumTheme;
}

void SessionBanque::Lit()
{
    prendreFiche();
    emit ficheLue(m_.NumFiche);
}

bool SessionBanque::Ecrit()
{
    if (m_ecran)
        m_ecran->montrerEnAttente();
    if (m_lectureSeule)
        return true;  // nothing on screen can be changed
    FicheQuestion &fi = m_.Fiche;
    // With no theme chosen on screen the card keeps the theme it was shown with.
    fi.NumTheme = quint8(m_themeAffiche);
    if (m_ecran)
        m_ecran->saisie(fi);
    texte::stocker(fi.FichierMedia, m_.NomMedia);
    fi.TailleImage = qint16(m_.OptionTaille);

    FichierQuestions *f = m_.fichier();
    Resultat r = f ? f->ecrire(m_.NumFiche, fi)
                   : Resultat::echec(QStringLiteral("Le fichier %1 n'est pas ouvert").arg(m_.NomFichier));
    emit ficheEcrite(m_.NumFiche);
    if (r) {
        // The file is closed and opened again after each card written.
        f->fermer();
        r = f->ouvrir(cheminBanque());
    }
    if (!r) {
        erreur(r.erreur);
        return false;
    }
    m_themeAffiche = fi.NumTheme;
    m_.OptionTaille = 0;
    return true;
}

bool SessionBanque::verifierBonneReponse()
{
    if (m_ecran && m_ecran->bonneReponseChoisie())
        return true;
    message(kBonneReponse);
    return false;
}

bool SessionBanque::refuserEnLectureSeule()
{
    if (!m_lectureSeule)
        return false;
    erreur(QStringLiteral("Le fichier %1 est ouvert en lecture seule : il ne peut pas être modifié.").arg(cheminBanque()));
    return true;
}

bool SessionBanque::stockerFiche(Controle controle)
{
    if (m_.NbFiches <= 0)
        return true;
    if (controle == Controle::BonneReponse && !verifierBonneReponse())
        return false;
    if (!Ecrit())
        return false;
    if (m_lectureSeule)
        return true;
    // Ecrit leaves the media code at 0 for the Lit that follows a move; a window stays on the
    // card, so the card is taken back from the file as it now stands. Its media are the same:
    // they are not loaded again.
    prendreFiche();
    emit ficheRelue(m_.NumFiche);
    return true;
}

void SessionBanque::allerA(int numero)
{
    m_.NumFiche = numero;
    Lit();
}

void SessionBanque::rouvrir(int numero)
{
    if (m_.NbFiches <= 0) {  // the card controls come back as when a bank is opened
        Initialisation();
        return;
    }
    m_.canaux.fermerTout();
    Resultat ouvert;
    m_.CanalFichier = m_.canaux.ouvrir(cheminBanque(), &ouvert);
    if (!ouvert)
        erreur(ouvert.erreur);
    const FichierQuestions *fichier = m_.fichier();
    m_.NbFiches = fichier ? fichier->nombre() : 0;
    const ComptesThemes comptes = fichier ? fichier->compterThemes() : ComptesThemes{};
    for (int i = 0; i < 9; ++i)
        m_.NbParTheme[size_t(i)] = comptes.parTheme[size_t(i)];
    emit comptesChanges();
    allerA(qBound(1, numero, qMax(1, m_.NbFiches)));
}

// ---------------------------------------------------------------------------
// Media of the card on screen

void SessionBanque::attacherImage(const QString &nom, const QString &chemin)
{
    m_.NomMedia = surDouze(nom);
    m_.OptionTaille = media::Image;
    emit imageAttachee(chemin);
}

void SessionBanque::attacherSon(const QString &nom)
{
    m_.NomMedia = surDouze(nom);
    m_.OptionTaille = media::codeSon(nom, m_.OptionTaille);
    emit sonAttache();
}

void SessionBanque::detacherMedia()
{
    m_.NomMedia = QString(media::LongueurNomMax, u' ');
    m_.OptionTaille = media::Aucun;
    emit mediaDetache();
}

// ---------------------------------------------------------------------------
// Quitting

void SessionBanque::Classer()
{
    m_.canaux.fermerTout();
    const QString banque = cheminBanque();
    const QString tmp = dossier() + QStringLiteral("/base.tmp");
    const ResultatClasser r = m_lectureSeule ? ResultatClasser{} : classerParTheme(banque, tmp);
    if (!r.resultat) {
        QString texte;
        switch (r.echec) {
        case ResultatClasser::Etape::Remplacement:
            texte = QStringLiteral("Le fichier %1 n'a pas pu être remplacé par sa copie classée par thème (%2). "
                                   "Il reste tel qu'il était ; la copie classée est dans %3.")
                        .arg(banque, r.resultat.erreur, tmp);
            break;
        case ResultatClasser::Etape::Dossier:
            texte = QStringLiteral("Le fichier %1 a été classé par thème, mais le disque n'a pas confirmé "
                                   "l'enregistrement (%2). L'ancien fichier est gardé tel qu'il était.")
                        .arg(banque, r.resultat.erreur);
            break;
        case ResultatClasser::Etape::CopieFinale:
            texte = QStringLiteral("Le fichier %1 a été classé par thème, mais sa copie %3 n'a pas pu être mise à "
                                   "jour (%2).")
                        .arg(banque, r.resultat.erreur, tmp);
            break;
        default:
            texte = QStringLiteral("Le fichier %1 n'a pas pu être classé par thème (%2). Il reste tel qu'il était ; "
                                   "aucune copie classée n'a été faite dans %3.")
                        .arg(banque, r.resultat.erreur, tmp);
        }
        erreur(texte);
    }
    m_verrou.liberer();
    m_termine = true;
    emit termineSession();
    m_plateforme.finProgramme();
}
