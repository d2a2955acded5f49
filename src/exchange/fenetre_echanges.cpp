#include "exchange/fenetre_echanges.h"
#include "editor/session.h"
#include "exchange/echanges.h"
#include "platform/avancement.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
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

echanges::CheminsBanque cheminsOuverts(const SessionBanque &s)
{
    return {s.cheminBanque(), s.cheminThemes(), s.dossierMedia()};
}

// How many questions of the file have four answers or more: the file is imported once into an
// empty bank of a temporary folder, and its report read.
int questionsLongues(const QString &fichier, echanges::OptionsImport options)
{
    QTemporaryDir essai;
    if (!essai.isValid())
        return 0;
    options.troisReponses = false;
    const echanges::ResultatImport r =
        echanges::importer(echanges::CheminsBanque::pres(essai.filePath(QStringLiteral("ESSAI.qzf"))), fichier, options);
    static const QRegularExpression longue(QStringLiteral("^([4-9]|[1-9][0-9]+) réponses au lieu de 3"));
    int n = 0;
    for (const QString &l : r.rapport.lignes(echanges::Remarque::Genre::Ignoree))
        n += l.section(QStringLiteral(" : "), -1).contains(longue) ? 1 : 0;
    return n;
}

// `fichier`: the file an export wrote, whose folder the report offers to open.
void montrerRapport(SessionBanque &s, const QString &titre, const QString &texte, const QString &fichier = {})
{
    delete s.dialogue(QStringLiteral("RapportEchanges"));
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
    auto *boutons = new QHBoxLayout;
    if (!fichier.isEmpty()) {
        auto *dossier = new QPushButton(QStringLiteral("Ouvrir le &dossier"), d);
        dossier->setObjectName(QStringLiteral("boutDossier"));
        Plateforme *p = &s.plateforme();
        QObject::connect(dossier, &QPushButton::clicked, d,
                         [p, fichier] { p->ouvrirFichier(QFileInfo(fichier).absolutePath()); });
        boutons->addWidget(dossier);
    }
    boutons->addStretch(1);
    boutons->addWidget(ok);
    auto *disposition = new QVBoxLayout(d);
    disposition->addWidget(boite);
    disposition->addLayout(boutons);
    QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
    QObject::connect(d, &QDialog::finished, d, &QObject::deleteLater);
    d->resize(680, 440);
    s.garderDialogue(d);
    d->show();
    ok->setFocus();
}

} // namespace

QList<EntreeMenu> entreesEchanges(SessionBanque &s, QWidget *)
{
    return {
        {QStringLiteral("actionExporter"), QStringLiteral("Exporter la banque…"), [&s] { exporterBanque(s); }},
        {QStringLiteral("actionImporter"), QStringLiteral("Importer dans la banque…"), [&s] { importerDansBanque(s); }},
    };
}

void exporterBanque(SessionBanque &s)
{
    if (!s.stockerFiche())
        return;
    Plateforme &p = s.plateforme();
    const echanges::CheminsBanque banque = cheminsOuverts(s);
    QString filtre = QString::fromUtf8(kFiltresExport[0].texte);
    const QString propose = QDir(p.dossierRetenu(QStringLiteral("sorties")))
                                .filePath(QFileInfo(banque.banque).completeBaseName() + QStringLiteral(".gift"));
    QString fichier = p.fichierAEnregistrer(QStringLiteral("Exporter la banque"), propose, filtres(kFiltresExport), &filtre);
    if (fichier.isEmpty())
        return;
    p.retenirDossier(QStringLiteral("sorties"), QFileInfo(fichier).absolutePath());
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
        Avancement avancement(QStringLiteral("Exportation de la banque %1...").arg(banque.nom()),
                              QStringLiteral("ProgressionEchanges"));
        r = echanges::exporter(banque, fichier, options, rapport, avancement.progression());
        annule = avancement.annule();
    }
    if (!r) {
        if (!annule)
            s.erreur(r.erreur);
        return;
    }
    montrerRapport(s, QStringLiteral("Rapport d'exportation"), rapport.texte(), fichier);
}

void importerDansBanque(SessionBanque &s)
{
    if (s.refuserEnLectureSeule() || !s.stockerFiche())
        return;
    Plateforme &p = s.plateforme();
    const echanges::CheminsBanque banque = cheminsOuverts(s);
    QString filtre = QString::fromUtf8(kFiltresImport[0].texte);
    const QString fichier =
        p.fichierAOuvrir(QStringLiteral("Importer dans la banque"), p.dossierRetenu(QStringLiteral("imports")),
                         filtres(kFiltresImport), &filtre);
    if (fichier.isEmpty())
        return;
    p.retenirDossier(QStringLiteral("imports"), QFileInfo(fichier).absolutePath());
    const Filtre *choisi = filtreChoisi(kFiltresImport, filtre);
    echanges::OptionsImport options;
    options.format = choisi ? choisi->format : std::nullopt;

    // Questions of four answers or more are offered to be kept, reduced to three.
    if (const int longues = questionsLongues(fichier, options); longues > 0) {
        const QString texte =
            (longues == 1 ? QStringLiteral("Le fichier contient une question de plus de trois réponses.")
                          : QStringLiteral("Le fichier contient %1 questions de plus de trois réponses.").arg(longues))
            + QStringLiteral("\nUne fiche en garde trois : la bonne réponse et les deux premières mauvaises ; le "
                             "rapport dira lesquelles ont été laissées.");
        const int r = p.choix(texte, QStringLiteral("Importer dans la banque"),
                              {QStringLiteral("Les garder réduites"), QStringLiteral("Les laisser de côté"),
                               QStringLiteral("Annuler")});
        if (r != 0 && r != 1)
            return;
        options.troisReponses = r == 0;
    }

    echanges::ResultatImport r;
    bool annule = false;
    {
        Avancement avancement(QStringLiteral("Importation dans la banque %1...").arg(banque.nom()),
                              QStringLiteral("ProgressionEchanges"));
        r = echanges::importer(banque, fichier, options, avancement.progression());
        annule = avancement.annule();
    }
    if (!r.resultat) {
        if (!annule)
            s.erreur(r.resultat.erreur);
        return;
    }
    if (r.rapport.fiches > 0)
        s.Initialisation();
    montrerRapport(s, QStringLiteral("Rapport d'importation"), r.rapport.texte());
}
