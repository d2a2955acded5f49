#include "exchange/fenetre_echanges.h"
#include "editor/session.h"
#include "exchange/echanges.h"
#include "platform/avancement.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
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

// The review of those questions: the teacher ticks, for each, the two wrong answers its card keeps.
class FormReponsesGardees : public QDialog {
public:
    FormReponsesGardees(Plateforme &p, const QList<echanges::QuestionLongue> &longues, QWidget *parent = nullptr)
        : QDialog(parent), m_p(p)
    {
        setObjectName(QStringLiteral("FormReponsesGardees"));
        setWindowTitle(QStringLiteral("Questions de plus de trois réponses"));
        auto *annonce = new QLabel(
            (longues.size() == 1 ? QStringLiteral("Le fichier contient une question de plus de trois réponses.")
                                 : QStringLiteral("Le fichier contient %1 questions de plus de trois réponses.")
                                       .arg(longues.size()))
                + QStringLiteral(" Une fiche en garde trois : la bonne réponse (✔) et les deux mauvaises cochées ; le "
                                 "rapport dira lesquelles ont été laissées."),
            this);
        annonce->setWordWrap(true);
        ListeLongues = new QTreeWidget(this);
        ListeLongues->setObjectName(QStringLiteral("ListeLongues"));
        ListeLongues->setHeaderHidden(true);
        for (const echanges::QuestionLongue &l : longues) {
            auto *q = new QTreeWidgetItem(ListeLongues, {l.lieu + QStringLiteral(" : ") + l.question});
            q->setData(0, Qt::UserRole, l.lieu);
            int cochees = 0;
            for (int k = 0; k < l.reponses.size(); ++k) {
                auto *r = new QTreeWidgetItem(q, {l.reponses[k]});
                if (k == l.bonne) {
                    r->setText(0, QStringLiteral("✔ ") + l.reponses[k]);
                    continue;
                }
                if (l.bonne < 0)
                    continue;  // no single right answer: the question stays out whatever is ticked
                r->setData(0, Qt::UserRole, k);
                r->setCheckState(0, cochees++ < 2 ? Qt::Checked : Qt::Unchecked);
            }
            q->setExpanded(true);
        }
        const auto bouton = [this](const char *nom, const QString &texte) {
            auto *b = new QPushButton(texte, this);
            b->setObjectName(QString::fromLatin1(nom));
            return b;
        };
        boutGarder = bouton("boutGarder", QStringLiteral("Les &garder réduites"));
        boutLaisser = bouton("boutLaisser", QStringLiteral("Les &laisser de côté"));
        auto *annuler = bouton("boutAnnuler", QStringLiteral("Annuler"));
        boutGarder->setDefault(true);
        auto *boutons = new QHBoxLayout;
        boutons->addWidget(boutGarder);
        boutons->addWidget(boutLaisser);
        boutons->addStretch(1);
        boutons->addWidget(annuler);
        auto *tout = new QVBoxLayout(this);
        tout->addWidget(annonce);
        tout->addWidget(ListeLongues, 1);
        tout->addLayout(boutons);
        resize(640, 420);
        connect(boutGarder, &QPushButton::clicked, this, [this] { garder(); });
        connect(boutLaisser, &QPushButton::clicked, this, [this] { done(Laisser); });
        connect(annuler, &QPushButton::clicked, this, &QDialog::reject);
    }

    enum { Garder = 2, Laisser = 3 };
    QHash<QString, std::array<int, 2>> mauvaises;
    QTreeWidget *ListeLongues;
    QPushButton *boutGarder, *boutLaisser;

private:
    void garder()
    {
        mauvaises.clear();
        for (int i = 0; i < ListeLongues->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *q = ListeLongues->topLevelItem(i);
            QList<int> cochees, possibles;
            for (int k = 0; k < q->childCount(); ++k) {
                const QVariant place = q->child(k)->data(0, Qt::UserRole);
                if (!place.isValid())
                    continue;
                possibles << place.toInt();
                if (q->child(k)->checkState(0) == Qt::Checked)
                    cochees << place.toInt();
            }
            if (possibles.isEmpty())
                continue;
            if (cochees.size() != 2) {
                m_p.messageOk(QStringLiteral("Cochez deux mauvaises réponses pour %1.").arg(q->data(0, Qt::UserRole).toString()),
                              Plateforme::Icone::Exclamation, windowTitle());
                return;
            }
            mauvaises.insert(q->data(0, Qt::UserRole).toString(), {cochees[0], cochees[1]});
        }
        done(Garder);
    }

    Plateforme &m_p;
};

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

    // Questions of four answers or more are offered to be kept, reduced to three answers the
    // teacher ticks.
    if (const QList<echanges::QuestionLongue> longues = echanges::questionsLongues(fichier, options); !longues.isEmpty()) {
        FormReponsesGardees revue(p, longues, QApplication::activeWindow());
        const int r = revue.exec();
        if (r != FormReponsesGardees::Garder && r != FormReponsesGardees::Laisser)
            return;
        options.troisReponses = r == FormReponsesGardees::Garder;
        options.mauvaises = revue.mauvaises;
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
