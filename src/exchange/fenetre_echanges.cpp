#include "exchange/fenetre_echanges.h"
#include "classroom/fenetre_classe.h"
#include "editor/formedit.h"
#include "exchange/echanges.h"
#include "tidy/fenetres_menage.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using echanges::Format;

struct Filtre {
    const char *texte;
    std::optional<Format> format;
    QChar separateur = u';';
};

const Filtre kFiltresExport[] = {
    {"GIFT (*.gift *.txt)", Format::Gift},
    {"Moodle XML (*.xml)", Format::MoodleXml},
    {"Paquet IMS QTI 2.1 (*.zip)", Format::Qti},
    {"CSV, séparateur point-virgule (*.csv)", Format::Csv, u';'},
    {"CSV, séparateur virgule (*.csv)", Format::Csv, u','},
};

const Filtre kFiltresImport[] = {
    {"Fichiers d'échange (*.gift *.txt *.xml *.zip *.csv)", std::nullopt},
    {"GIFT (*.gift *.txt)", Format::Gift},
    {"Moodle XML (*.xml)", Format::MoodleXml},
    {"Paquet IMS QTI 2.1 (*.zip)", Format::Qti},
    {"CSV (*.csv)", Format::Csv},
    {"Tous les fichiers (*)", std::nullopt},
};

template <size_t N> QString filtres(const Filtre (&liste)[N])
{
    QStringList l;
    for (const Filtre &f : liste)
        l << QString::fromUtf8(f.texte);
    return l.join(QLatin1String(";;"));
}

template <size_t N> const Filtre *filtreChoisi(const Filtre (&liste)[N], const QString &texte)
{
    for (const Filtre &f : liste)
        if (texte == QString::fromUtf8(f.texte))
            return &f;
    return nullptr;
}

echanges::CheminsBanque cheminsOuverts(FormEdit &f)
{
    const QString dossier = f.plateforme().dossierProgramme();
    const QString nom = f.etat().NomFichier;
    return {chemins::banque(dossier, nom), chemins::themes(dossier, nom), chemins::dossierMedia(dossier, nom)};
}

// The card on screen is stored first, as before opening another bank. An empty bank shows
// no card: there is nothing to store.
bool stockerFiche(FormEdit &f)
{
    if (f.etat().NbFiches == 0)
        return true;
    return f.verifierBonneReponse() && f.Ecrit();
}

// A progress dialog that shows itself only when the work lasts.
class Avancement {
public:
    explicit Avancement(const QString &texte) : m_dialogue(texte, QStringLiteral("Annuler"), 0, 100)
    {
        m_dialogue.setObjectName(QStringLiteral("ProgressionEchanges"));
        m_dialogue.setWindowTitle(QString::fromUtf16(kTitreApplication));
        m_dialogue.setWindowModality(Qt::ApplicationModal);
        m_dialogue.setMinimumDuration(500);
        m_dialogue.setAutoClose(false);
        m_dialogue.setAutoReset(false);
        m_dialogue.setValue(0);
    }
    echanges::Progression progression()
    {
        return [this](int fait, int total) {
            m_dialogue.setMaximum(qMax(1, total));
            m_dialogue.setValue(qMin(fait, total));
            m_annule = m_dialogue.wasCanceled();
            return !m_annule;
        };
    }
    bool annule() const { return m_annule; }

private:
    QProgressDialog m_dialogue;
    bool m_annule = false;
};

void montrerRapport(FormEdit &f, const QString &titre, const QString &texte)
{
    delete f.dialogue(QStringLiteral("RapportEchanges"));
    auto *d = new QDialog;
    d->setObjectName(QStringLiteral("RapportEchanges"));
    d->setWindowTitle(titre);
    auto *boite = new QPlainTextEdit(d);
    boite->setObjectName(QStringLiteral("TextRapport"));
    boite->setReadOnly(true);
    boite->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    boite->setPlainText(texte);
    auto *ok = new QPushButton(QStringLiteral("OK"), d);
    ok->setObjectName(QStringLiteral("bout_OK"));
    ok->setDefault(true);
    auto *disposition = new QVBoxLayout(d);
    disposition->addWidget(boite);
    disposition->addWidget(ok, 0, Qt::AlignRight);
    QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
    QObject::connect(d, &QDialog::finished, d, &QObject::deleteLater);
    d->resize(680, 440);
    f.garderDialogue(d);
    d->show();
    ok->setFocus();
}

} // namespace

void installerEchanges(FormEdit &f)
{
    auto *bouton = new QPushButton(QStringLiteral("É&changes..."), &f);
    bouton->setObjectName(QStringLiteral("Echanges"));
    bouton->setGeometry(305, 618, 160, 32);
    auto *menu = new QMenu(bouton);
    menu->setObjectName(QStringLiteral("menuEchanges"));
    QAction *exporter = menu->addAction(QStringLiteral("Exporter la banque…"));
    exporter->setObjectName(QStringLiteral("actionExporter"));
    QAction *importer = menu->addAction(QStringLiteral("Importer dans la banque…"));
    importer->setObjectName(QStringLiteral("actionImporter"));
    QObject::connect(exporter, &QAction::triggered, &f, [&f] { exporterBanque(f); });
    QObject::connect(importer, &QAction::triggered, &f, [&f] { importerDansBanque(f); });
    // Shown without blocking, below the button (above it when the screen ends first).
    QObject::connect(bouton, &QPushButton::clicked, menu,
                     [bouton, menu] { menu->popup(bouton->mapToGlobal(QPoint(0, bouton->height()))); });
    bouton->show();
    installerClasse(f);
    installerMenage(f);
}

QMenu *menuEchanges(FormEdit &f) { return f.findChild<QMenu *>(QStringLiteral("menuEchanges")); }

void exporterBanque(FormEdit &f)
{
    if (!stockerFiche(f))
        return;
    Plateforme &p = f.plateforme();
    const echanges::CheminsBanque banque = cheminsOuverts(f);
    QString filtre = QString::fromUtf8(kFiltresExport[0].texte);
    const QString propose = QDir(p.dossierTravail()).filePath(QFileInfo(banque.banque).completeBaseName() + QStringLiteral(".gift"));
    QString fichier = p.fichierAEnregistrer(QStringLiteral("Exporter la banque"), propose, filtres(kFiltresExport), &filtre);
    if (fichier.isEmpty())
        return;
    const Filtre *choisi = filtreChoisi(kFiltresExport, filtre);
    echanges::OptionsExport options;
    if (choisi) {
        options.format = *choisi->format;
        options.separateur = choisi->separateur;
    } else if (const auto parExtension = echanges::deviner({}, fichier)) {
        options.format = *parExtension;
    }
    if (QFileInfo(fichier).suffix().isEmpty())
        fichier += u'.' + echanges::extension(options.format);

    echanges::Rapport rapport;
    Resultat r;
    bool annule = false;
    {
        Avancement avancement(QStringLiteral("Exportation de la banque %1...").arg(banque.nom()));
        r = echanges::exporter(banque, fichier, options, rapport, avancement.progression());
        annule = avancement.annule();
    }
    if (!r) {
        if (!annule)
            f.message(r.erreur, Plateforme::Boutons::Ok, Plateforme::Icone::Critique, QStringLiteral("Erreur"));
        return;
    }
    montrerRapport(f, QStringLiteral("Rapport d'exportation"), rapport.texte());
}

void importerDansBanque(FormEdit &f)
{
    if (!stockerFiche(f))
        return;
    Plateforme &p = f.plateforme();
    const echanges::CheminsBanque banque = cheminsOuverts(f);
    QString filtre = QString::fromUtf8(kFiltresImport[0].texte);
    const QString fichier =
        p.fichierAOuvrir(QStringLiteral("Importer dans la banque"), p.dossierTravail(), filtres(kFiltresImport), &filtre);
    if (fichier.isEmpty())
        return;
    const Filtre *choisi = filtreChoisi(kFiltresImport, filtre);

    echanges::ResultatImport r;
    bool annule = false;
    {
        Avancement avancement(QStringLiteral("Importation dans la banque %1...").arg(banque.nom()));
        r = echanges::importer(banque, fichier, choisi ? choisi->format : std::nullopt, avancement.progression());
        annule = avancement.annule();
    }
    if (!r.resultat) {
        if (!annule)
            f.message(r.resultat.erreur, Plateforme::Boutons::Ok, Plateforme::Icone::Critique, QStringLiteral("Erreur"));
        return;
    }
    if (r.rapport.fiches > 0)
        f.Initialisation();
    montrerRapport(f, QStringLiteral("Rapport d'importation"), r.rapport.texte());
}
