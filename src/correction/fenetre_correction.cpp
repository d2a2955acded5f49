#include "correction/fenetre_correction.h"

#include "correction/scans.h"
#include "editor/session.h"
#include "platform/avancement.h"
#include "platform/ouverture.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString kTitre = QStringLiteral("Corriger des copies");
// The pictures of the boxes: fine enough to see a pencil's trace, small enough to redraw at once.
constexpr double kDpi = 150;
constexpr int RoleCopie = Qt::UserRole, RoleQuestion = Qt::UserRole + 1, RoleDecide = Qt::UserRole + 2;

QString nombre(qsizetype n, const char *un, const char *plusieurs)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n > 1 ? plusieurs : un));
}

QString natif(const QString &fichier) { return QDir::toNativeSeparators(fichier); }

QPushButton *bouton(QWidget *parent, const char *nom, const QString &texte)
{
    auto *b = new QPushButton(texte, parent);
    b->setObjectName(QString::fromLatin1(nom));
    b->setAutoDefault(false);
    return b;
}

// The picture of a question's boxes, enlarged to the room it has (three times at most): a
// click on a box is the teacher's choice.
class ImageCases : public QLabel {
public:
    explicit ImageCases(QWidget *parent) : QLabel(parent)
    {
        setObjectName(QStringLiteral("ImageQuestion"));
        setAlignment(Qt::AlignCenter);
        setWordWrap(true);
        setMinimumSize(400, 160);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setFrameShape(QFrame::StyledPanel);
        setBackgroundRole(QPalette::Base);
        setAutoFillBackground(true);
    }
    // `zones`: the boxes in the picture's pixels, in the order of `choisie`'s index; those of
    // `douteuses` are outlined.
    void montrer(const QImage &image, const QList<QRectF> &zones, const QList<bool> &douteuses, bool cliquable)
    {
        clear();
        m_image = image;
        m_zones = zones;
        m_douteuses = douteuses;
        m_cliquable = cliquable;
        setCursor(cliquable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        publier();
        update();
    }
    void vider(const QString &texte)
    {
        m_image = QImage();
        m_zones.clear();
        setText(texte);
        unsetCursor();
        publier();
    }
    std::function<void(int)> choisie;

protected:
    void paintEvent(QPaintEvent *e) override
    {
        QLabel::paintEvent(e);
        if (m_image.isNull())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(cible(), m_image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(240, 140, 0), 2.5));
        for (qsizetype k = 0; k < m_zones.size(); ++k)
            if (m_douteuses.value(k))
                p.drawRect(versEcran(m_zones[k]).adjusted(-4, -4, 4, 4));
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        // A box is small: a click just beside it still means it.
        for (qsizetype k = 0; m_cliquable && k < m_zones.size(); ++k)
            if (versEcran(m_zones[k]).adjusted(-8, -8, 8, 8).contains(e->position()) && choisie) {
                choisie(int(k));
                return;
            }
        QLabel::mousePressEvent(e);
    }
    void resizeEvent(QResizeEvent *e) override
    {
        QLabel::resizeEvent(e);
        publier();
    }

private:
    QRectF cible() const
    {
        const QRectF r = QRectF(contentsRect()).adjusted(6, 6, -6, -6);
        const double echelle = qMin(3.0, qMin(r.width() / m_image.width(), r.height() / m_image.height()));
        const QSizeF taille = QSizeF(m_image.size()) * echelle;
        return QRectF(r.center() - QPointF(taille.width() / 2, taille.height() / 2), taille);
    }
    QRectF versEcran(const QRectF &z) const
    {
        const QRectF c = cible();
        const double e = c.width() / m_image.width();
        return QRectF(c.topLeft() + z.topLeft() * e, z.size() * e);
    }
    // Where the boxes one may click are on screen: the property "zones".
    void publier()
    {
        QVariantList l;
        for (qsizetype k = 0; m_cliquable && !m_image.isNull() && k < m_zones.size(); ++k)
            l << versEcran(m_zones[k]).toRect();
        setProperty("zones", l);
    }
    QImage m_image;
    QList<QRectF> m_zones;
    QList<bool> m_douteuses;
    bool m_cliquable = false;
};

class FenetreCorrection : public QWidget {
public:
    explicit FenetreCorrection(SessionBanque &s) : QWidget(nullptr), m_s(s), m_lecteur(std::make_unique<correction::Scans>())
    {
        setObjectName(QStringLiteral("CorrigerCopies"));
        setWindowTitle(kTitre);
        setAttribute(Qt::WA_DeleteOnClose);

        Corrige = ligne("Corrige", QStringLiteral("Le fichier NOM.corrige.json écrit avec les sujets"));
        Classe = ligne("Classe", QStringLiteral("Facultative : numero;nom;prenom;classe"));
        Scans = new QListWidget(this);
        Scans->setObjectName(QStringLiteral("Scans"));
        Scans->setSelectionMode(QAbstractItemView::ExtendedSelection);
        Scans->setMaximumHeight(96);
        ChoisirCorrige = bouton(this, "ChoisirCorrige", QStringLiteral("C&hoisir…"));
        AjouterScans = bouton(this, "AjouterScans", QStringLiteral("&Ajouter…"));
        RetirerScans = bouton(this, "RetirerScans", QStringLiteral("Re&tirer"));
        ChoisirClasse = bouton(this, "ChoisirClasse", QStringLiteral("Cho&isir…"));
        RetirerClasse = bouton(this, "RetirerClasse", QStringLiteral("Sans &liste"));
        Corriger = bouton(this, "Corriger", QStringLiteral("&Corriger"));
        Corriger->setDefault(true);

        auto *fichiers = new QGridLayout;
        fichiers->addWidget(new QLabel(QStringLiteral("Corrigé :"), this), 0, 0);
        fichiers->addWidget(Corrige, 0, 1);
        fichiers->addWidget(ChoisirCorrige, 0, 2);
        auto *l = new QLabel(QStringLiteral("Copies &scannées :"), this);
        l->setBuddy(Scans);
        fichiers->addWidget(l, 1, 0, Qt::AlignTop);
        fichiers->addWidget(Scans, 1, 1);
        auto *boutonsScans = new QVBoxLayout;
        boutonsScans->addWidget(AjouterScans);
        boutonsScans->addWidget(RetirerScans);
        boutonsScans->addStretch(1);
        fichiers->addLayout(boutonsScans, 1, 2);
        fichiers->addWidget(new QLabel(QStringLiteral("Liste de la classe :"), this), 2, 0);
        fichiers->addWidget(Classe, 2, 1);
        auto *boutonsClasse = new QHBoxLayout;
        boutonsClasse->addWidget(ChoisirClasse);
        boutonsClasse->addWidget(RetirerClasse);
        fichiers->addLayout(boutonsClasse, 2, 2);
        fichiers->setColumnStretch(1, 1);
        auto *lancer = new QVBoxLayout;
        lancer->addStretch(1);
        lancer->addWidget(Corriger);
        auto *haut = new QHBoxLayout;
        haut->addLayout(fichiers, 1);
        haut->addSpacing(12);
        haut->addLayout(lancer);

        Copies = new QTableWidget(0, 7, this);
        Copies->setObjectName(QStringLiteral("Copies"));
        Copies->setHorizontalHeaderLabels({QStringLiteral("Copie"), QStringLiteral("Élève"), QStringLiteral("Nom"),
                                           QStringLiteral("Sujet"), QStringLiteral("Note /20"), QStringLiteral("Points"),
                                           QStringLiteral("À décider")});
        Copies->setEditTriggers(QAbstractItemView::NoEditTriggers);
        Copies->setSelectionBehavior(QAbstractItemView::SelectRows);
        Copies->setSelectionMode(QAbstractItemView::SingleSelection);
        Copies->verticalHeader()->hide();
        Copies->setWordWrap(false);
        Copies->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        Copies->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
        Remarques = new QPlainTextEdit(this);
        Remarques->setObjectName(QStringLiteral("Remarques"));
        Remarques->setReadOnly(true);
        Remarques->setPlaceholderText(QStringLiteral("Les pages ignorées et les autres remarques de la lecture."));
        auto *gauche = new QSplitter(Qt::Vertical, this);
        gauche->addWidget(Copies);
        gauche->addWidget(Remarques);
        gauche->setStretchFactor(0, 3);
        gauche->setStretchFactor(1, 1);

        Doutes = new QListWidget(this);
        Doutes->setObjectName(QStringLiteral("Doutes"));
        Doutes->setMinimumHeight(80);
        Consigne = new QLabel(this);
        Consigne->setObjectName(QStringLiteral("Consigne"));
        Consigne->setWordWrap(true);
        ImageQuestion = new ImageCases(this);
        ImageQuestion->choisie = [this](int k) { deciderReponse(QString(QChar(u'A' + m_reponsesZones.value(k)))); };
        AucuneReponse = bouton(this, "AucuneReponse", QStringLiteral("A&ucune réponse"));
        NumeroEleve = new QLineEdit(this);
        NumeroEleve->setObjectName(QStringLiteral("NumeroEleve"));
        NumeroEleve->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,20}")), NumeroEleve));
        NumeroEleve->setMaximumWidth(140);
        ValiderNumero = bouton(this, "ValiderNumero", QStringLiteral("&Valider"));
        LabelNumero = new QLabel(QStringLiteral("&Numéro d'élève :"), this);
        LabelNumero->setBuddy(NumeroEleve);
        auto *decision = new QHBoxLayout;
        decision->addWidget(AucuneReponse);
        decision->addWidget(LabelNumero);
        decision->addWidget(NumeroEleve);
        decision->addWidget(ValiderNumero);
        decision->addStretch(1);
        auto *cadreDoutes = new QGroupBox(QStringLiteral("Doutes à décider"), this);
        auto *doutes = new QVBoxLayout(cadreDoutes);
        doutes->addWidget(Doutes, 1);
        doutes->addWidget(Consigne);
        doutes->addWidget(ImageQuestion, 4);
        doutes->addLayout(decision);
        auto *milieu = new QSplitter(Qt::Horizontal, this);
        milieu->addWidget(gauche);
        milieu->addWidget(cadreDoutes);
        milieu->setChildrenCollapsible(false);
        milieu->setSizes({600, 620});

        EnregistrerResultats = bouton(this, "EnregistrerResultats", QStringLiteral("&Enregistrer les résultats…"));
        CopiesAnnotees = bouton(this, "CopiesAnnotees", QStringLiteral("Copies ann&otées…"));
        Fermer = bouton(this, "Fermer", QStringLiteral("&Fermer"));
        auto *bas = new QHBoxLayout;
        bas->addWidget(EnregistrerResultats);
        bas->addWidget(CopiesAnnotees);
        bas->addStretch(1);
        bas->addWidget(Fermer);

        auto *tout = new QVBoxLayout(this);
        tout->addLayout(haut);
        tout->addWidget(milieu, 1);
        tout->addLayout(bas);
        resize(1240, 760);

        connect(ChoisirCorrige, &QPushButton::clicked, this, [this] { choisirCorrige(); });
        connect(AjouterScans, &QPushButton::clicked, this, [this] { ajouterScans(); });
        connect(RetirerScans, &QPushButton::clicked, this, [this] {
            qDeleteAll(Scans->selectedItems());
            etatBoutons();
        });
        connect(Scans, &QListWidget::itemSelectionChanged, this, [this] { etatBoutons(); });
        connect(ChoisirClasse, &QPushButton::clicked, this, [this] { choisirClasse(); });
        connect(RetirerClasse, &QPushButton::clicked, this, [this] {
            m_fichierClasse.clear();
            m_eleves.clear();
            Classe->clear();
            renommer();
        });
        connect(Corriger, &QPushButton::clicked, this, [this] { corriger(); });
        connect(Doutes, &QListWidget::currentRowChanged, this, [this] { montrerDoute(); });
        connect(Copies, &QTableWidget::cellClicked, this, [this](int ligne) { premierDoute(ligne); });
        // From the list, a letter typed decides as a click on its box would.
        for (int r = 0; r < 3; ++r)
            new QShortcut(QKeySequence(QString(QChar(u'A' + r))), Doutes, [this, r] { deciderLettre(r); }, Qt::WidgetShortcut);
        connect(AucuneReponse, &QPushButton::clicked, this, [this] { deciderReponse(QString()); });
        connect(ValiderNumero, &QPushButton::clicked, this, [this] { validerNumero(); });
        connect(NumeroEleve, &QLineEdit::returnPressed, this, [this] { validerNumero(); });
        connect(EnregistrerResultats, &QPushButton::clicked, this, [this] { enregistrerResultats(); });
        connect(CopiesAnnotees, &QPushButton::clicked, this, [this] { ecrireAnnotees(); });
        connect(Fermer, &QPushButton::clicked, this, &QWidget::close);
        afficher();
    }

protected:
    // Decisions take the teacher a while: they are not dropped by a close unasked.
    void closeEvent(QCloseEvent *e) override
    {
        if (m_aEnregistrer
            && m_s.message(QStringLiteral("Les résultats de cette correction n'ont pas été enregistrés. Fermer quand même ?"),
                           Plateforme::Boutons::OuiNon, Plateforme::Icone::Exclamation, kTitre, Plateforme::Reponse::Non)
                   != Plateforme::Reponse::Oui) {
            e->ignore();
            return;
        }
        QWidget::closeEvent(e);
    }

private:
    QLineEdit *ligne(const char *nom, const QString &indication)
    {
        auto *l = new QLineEdit(this);
        l->setObjectName(QString::fromLatin1(nom));
        l->setReadOnly(true);
        l->setPlaceholderText(indication);
        return l;
    }

    Plateforme &p() { return m_s.plateforme(); }
    void avertir(const QString &texte) { m_s.message(texte, Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation, kTitre); }

    void choisirCorrige()
    {
        const QString fichier = p().fichierAOuvrir(QStringLiteral("Choisir le corrigé de l'examen"),
                                                   p().dossierRetenu(QStringLiteral("sorties")),
                                                   QStringLiteral("Corrigé d'examen (*.corrige.json)"), nullptr);
        if (fichier.isEmpty())
            return;
        p().retenirDossier(QStringLiteral("sorties"), QFileInfo(fichier).absolutePath());
        classe::Corrige c;
        if (const Resultat r = classe::lireCorrige(fichier, c); !r) {
            avertir(r.erreur + QStringLiteral(".\n\nChoisissez le fichier NOM.corrige.json écrit avec les sujets."));
            return;
        }
        m_corrige = c;
        m_fichierCorrige = fichier;
        Corrige->setText(natif(fichier));
        setWindowTitle(QStringLiteral("%1 - %2").arg(kTitre, c.titre.isEmpty() ? QFileInfo(fichier).fileName() : c.titre));
        etatBoutons();
    }

    void ajouterScans()
    {
        // The first scans are looked for beside the key: an exam's files are usually kept together.
        const QString dossier = Scans->count() == 0 && !m_fichierCorrige.isEmpty()
                                    ? QFileInfo(m_fichierCorrige).absolutePath()
                                    : p().dossierRetenu(QStringLiteral("copies"));
        const QStringList choisis = p().fichiersAOuvrir(QStringLiteral("Ajouter des copies scannées"), dossier,
                                                        QStringLiteral("Copies scannées (*.pdf *.png *.jpg *.jpeg *.tif *.tiff)"));
        if (choisis.isEmpty())
            return;
        p().retenirDossier(QStringLiteral("copies"), QFileInfo(choisis.first()).absolutePath());
        for (const QString &f : choisis) {
            const QString chemin = QFileInfo(f).absoluteFilePath();
            if (!fichiersScans().contains(chemin)) {
                auto *item = new QListWidgetItem(QFileInfo(f).fileName(), Scans);
                item->setData(Qt::UserRole, chemin);
                item->setToolTip(natif(chemin));
            }
        }
        etatBoutons();
    }

    QStringList fichiersScans() const
    {
        QStringList l;
        for (int i = 0; i < Scans->count(); ++i)
            l << Scans->item(i)->data(Qt::UserRole).toString();
        return l;
    }

    void choisirClasse()
    {
        const QString fichier = p().fichierAOuvrir(QStringLiteral("Choisir la liste de la classe"),
                                                   p().dossierRetenu(QStringLiteral("classes")),
                                                   QStringLiteral("Liste de la classe (*.csv)"), nullptr);
        if (fichier.isEmpty())
            return;
        p().retenirDossier(QStringLiteral("classes"), QFileInfo(fichier).absolutePath());
        QList<correction::Eleve> eleves;
        if (const Resultat r = correction::lireClasse(fichier, eleves); !r) {
            avertir(QStringLiteral("Cette liste de la classe ne peut pas servir :\n%1\n\nChaque ligne donne "
                                   "numero;nom;prenom;classe, le numéro fait de chiffres.")
                        .arg(r.erreur));
            return;
        }
        m_eleves = eleves;
        m_fichierClasse = fichier;
        Classe->setText(natif(fichier));
        renommer();
    }

    // The names follow the class list and the student numbers decided.
    void renommer()
    {
        m_remarquesClasse = correction::nommer(m_correction.copies, m_eleves);
        afficher();
    }

    void corriger()
    {
        if (m_decisions > 0
            && m_s.message(QStringLiteral("%1 sur les doutes seront perdues. Corriger de nouveau ?")
                               .arg(m_decisions == 1 ? QStringLiteral("La décision prise")
                                                     : QStringLiteral("Les %1 décisions prises").arg(m_decisions)),
                           Plateforme::Boutons::OuiNon, Plateforme::Icone::Exclamation, kTitre, Plateforme::Reponse::Non)
                   != Plateforme::Reponse::Oui)
            return;
        correction::Correction c;
        {
            Avancement avancement(QStringLiteral("Lecture des copies scannées…"), QStringLiteral("ProgressionCorrection"), this);
            avancement.montrerDesLeDebut();
            c = correction::corriger(m_corrige, fichiersScans(), avancement.progression());
        }
        if (c.annule)
            return;
        m_correction = std::move(c);
        m_corrigeLu = m_corrige;
        m_fichierCorrigeLu = m_fichierCorrige;
        m_lu = true;
        m_decisions = 0;
        m_aEnregistrer = !m_correction.copies.isEmpty();
        m_lecteur = std::make_unique<correction::Scans>();
        m_feuilleRedressee = -1;
        m_redressee = QImage();
        renommer();
        if (Doutes->count() > 0)
            Doutes->setFocus();
    }

    void afficher()
    {
        const QList<correction::Copie> &copies = m_correction.copies;
        Copies->setRowCount(int(copies.size()));
        for (int i = 0; i < copies.size(); ++i) {
            const correction::Copie &c = copies[i];
            const qsizetype reste = correction::doutes({c}).size();
            const QString cellules[] = {QString::number(c.numero),
                                        c.eleveDouteux ? QStringLiteral("?") : c.eleve,
                                        c.nom,
                                        QString::number(c.version),
                                        correction::nombreFrancais(c.note),
                                        correction::nombreFrancais(c.points),
                                        reste ? QString::number(reste) : QString()};
            for (int k = 0; k < 7; ++k) {
                auto *item = new QTableWidgetItem(cellules[k]);
                if (k != 2)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                Copies->setItem(i, k, item);
            }
        }

        QStringList r;
        if (m_lu) {
            const QStringList ignorees = m_correction.ignorees();
            r << QStringLiteral("%1 sur %2 : %3.")
                     .arg(nombre(m_correction.scans.size() - ignorees.size(), "page lue", "pages lues"))
                     .arg(m_correction.scans.size())
                     .arg(nombre(copies.size(), "copie", "copies"));
            if (copies.isEmpty())
                r << QStringLiteral("Aucune feuille de réponses de cet examen dans les pages lues.");
            if (!m_correction.erreurs.isEmpty())
                r << QString() << QStringLiteral("Fichiers illisibles :") << m_correction.erreurs;
            if (!ignorees.isEmpty())
                r << QString() << QStringLiteral("Pages ignorées :") << ignorees;
            if (!m_remarquesClasse.isEmpty())
                r << QString()
                  << (m_eleves.isEmpty() ? QStringLiteral("Numéros d'élève :") : QStringLiteral("Liste de la classe :"))
                  << m_remarquesClasse;
        }
        Remarques->setPlainText(r.join(u'\n'));

        // The doubts in the engine's own words, each tied to its copy and question (0: the number).
        const int ancienne = Doutes->currentRow();
        {
            const QSignalBlocker bloque(Doutes);
            Doutes->clear();
            for (int i = 0; i < copies.size(); ++i) {
                const correction::Copie &c = copies[i];
                // The doubts decided stay, greyed, so that a decision can be taken again.
                const QStringList textes = correction::doutes({c});
                qsizetype k = 0;
                auto ajouter = [&](const QString &texte, int question, bool decide) {
                    auto *item = new QListWidgetItem(texte, Doutes);
                    item->setData(RoleCopie, i);
                    item->setData(RoleQuestion, question);
                    item->setData(RoleDecide, decide);
                    if (decide)
                        item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
                };
                if (c.eleveDouteux && k < textes.size())
                    ajouter(textes[k++], 0, false);
                for (int q = 0; q < c.reponses.size(); ++q) {
                    const correction::ReponseCopie &r = c.reponses[q];
                    if (!r.douteuse)
                        continue;
                    if (!r.decidee && k < textes.size())
                        ajouter(textes[k++], q + 1, false);
                    else if (r.decidee)
                        ajouter(QStringLiteral("Copie %1, question %2 : décidée, %3.")
                                    .arg(c.numero)
                                    .arg(q + 1)
                                    .arg(r.lues.isEmpty() ? QStringLiteral("aucune réponse") : r.lues),
                                q + 1, true);
                }
            }
            if (Doutes->count() > 0)
                Doutes->setCurrentRow(qBound(0, ancienne, Doutes->count() - 1));
        }
        montrerDoute();
        etatBoutons();
    }

    void premierDoute(int ligne)
    {
        for (int i = 0; i < Doutes->count(); ++i)
            if (Doutes->item(i)->data(RoleCopie).toInt() == ligne) {
                Doutes->setCurrentRow(i);
                return;
            }
    }

    // The upright sheet of the last page shown: the doubts of one page follow one another.
    const QImage &redressee(int feuille)
    {
        if (feuille != m_feuilleRedressee) {
            m_feuilleRedressee = feuille;
            m_redressee = QImage();
            const correction::PageLue &page = m_correction.pages[feuille];
            const classe::PageFeuille *f = m_corrigeLu.page(page.version, page.page);
            const QImage scan = m_lecteur->charger(m_correction.scans[feuille]);
            if (f && !scan.isNull())
                m_redressee = correction::redresser(scan, page, *f, kDpi);
        }
        return m_redressee;
    }

    void montrerDoute()
    {
        m_reponsesZones.clear();
        const QListWidgetItem *item = Doutes->currentItem();
        const bool numero = item && item->data(RoleQuestion).toInt() == 0;
        AucuneReponse->setVisible(!numero);
        AucuneReponse->setEnabled(item != nullptr);
        for (QWidget *w : {static_cast<QWidget *>(LabelNumero), static_cast<QWidget *>(NumeroEleve),
                           static_cast<QWidget *>(ValiderNumero)})
            w->setVisible(numero);
        if (!item) {
            Consigne->clear();
            ImageQuestion->vider(!m_lu ? QStringLiteral("Choisissez le corrigé et les copies scannées, puis cliquez sur « Corriger ».")
                                 : m_correction.copies.isEmpty() ? QString()
                                                                 : QStringLiteral("Aucun doute à décider."));
            return;
        }
        const correction::Copie &c = m_correction.copies[item->data(RoleCopie).toInt()];
        const int q = item->data(RoleQuestion).toInt();
        Consigne->setText(numero ? QStringLiteral("Copie %1 : lisez le numéro d'élève sur la grille, tapez-le, puis validez.")
                                       .arg(c.numero)
                                 : QStringLiteral("Copie %1, question %2 : cliquez sur la case que l'élève a noircie "
                                                  "(ou tapez sa lettre), ou sur « Aucune réponse ».")
                                       .arg(c.numero)
                                       .arg(q));
        if (numero)
            NumeroEleve->clear();

        for (int i : c.feuilles) {
            const correction::PageLue &page = m_correction.pages[i];
            const classe::PageFeuille *feuille = m_corrigeLu.page(page.version, page.page);
            if (!feuille)
                continue;
            QList<classe::RectMm> rects;
            QList<bool> douteuses;
            for (const classe::CaseChiffre &k : feuille->numeroEleve)
                if (numero) {
                    rects << k.rect;
                    douteuses << std::any_of(page.chiffres.cbegin(), page.chiffres.cend(), [&](const correction::ChiffreLu &l) {
                        return l.chiffre == k.chiffre && l.valeur == k.valeur && l.etat == correction::Etat::Douteuse;
                    });
                }
            for (const classe::CaseFeuille &k : feuille->cases)
                if (!numero && k.question == q) {
                    rects << k.rect;
                    m_reponsesZones << k.reponse;
                    douteuses << std::any_of(page.cases.cbegin(), page.cases.cend(), [&](const correction::CaseLue &l) {
                        return l.question == q && l.reponse == k.reponse && l.etat == correction::Etat::Douteuse;
                    });
                }
            if (rects.isEmpty())
                continue;
            const QImage &droite = redressee(i);
            if (droite.isNull()) {
                ImageQuestion->vider(QStringLiteral("%1 ne peut plus être lu : vérifiez la réponse sur la copie.")
                                         .arg(m_correction.scans[i].libelle()));
                return;
            }
            QRectF mm;
            for (const classe::RectMm &r : std::as_const(rects))
                mm |= QRectF(r.x, r.y, r.l, r.h);
            // The question's number on the left of its boxes and their letters on the right;
            // above the number's grid, the boxes where the student wrote it.
            mm = numero ? mm.adjusted(-6, -12, 2, 2) : mm.adjusted(-11, -2, 7, 2);
            const double px = kDpi / 25.4;
            const QRect zone = QRectF(mm.x() * px, mm.y() * px, mm.width() * px, mm.height() * px).toAlignedRect()
                               & droite.rect();
            QList<QRectF> zones;
            for (const classe::RectMm &r : std::as_const(rects))
                zones << QRectF(r.x * px - zone.x(), r.y * px - zone.y(), r.l * px, r.h * px);
            ImageQuestion->montrer(droite.copy(zone), zones, douteuses, !numero);
            return;
        }
        ImageQuestion->vider(QStringLiteral("La page de cette question n'a pas été lue : vérifiez-la sur la copie, "
                                            "ou ajoutez son scan et corrigez de nouveau."));
    }

    void deciderLettre(int reponse)
    {
        const QListWidgetItem *item = Doutes->currentItem();
        const int q = item ? item->data(RoleQuestion).toInt() : 0;
        const classe::VersionCorrigee *v = item ? m_corrigeLu.version(m_correction.copies[item->data(RoleCopie).toInt()].version) : nullptr;
        if (q > 0 && v && q <= v->questions.size() && reponse < v->questions[q - 1].reponses.size())
            deciderReponse(QString(QChar(u'A' + reponse)));
    }

    void deciderReponse(const QString &lettres)
    {
        const QListWidgetItem *item = Doutes->currentItem();
        if (!item || item->data(RoleQuestion).toInt() == 0)
            return;
        correction::Copie &copie = m_correction.copies[item->data(RoleCopie).toInt()];
        const int question = item->data(RoleQuestion).toInt();
        if (!copie.reponses.value(question - 1).decidee)
            ++m_decisions;
        correction::decider(copie, question, lettres, m_corrigeLu);
        m_aEnregistrer = true;
        afficher();
        // On to the next doubt still undecided, from the one just decided.
        const int ici = Doutes->currentRow();
        for (int pas = 1; pas <= Doutes->count(); ++pas) {
            const int ligne = (ici + pas) % Doutes->count();
            if (!Doutes->item(ligne)->data(RoleDecide).toBool()) {
                Doutes->setCurrentRow(ligne);
                break;
            }
        }
        suivant();
    }

    // After a decision the next doubt is shown; a student number is typed at once.
    void suivant()
    {
        const QListWidgetItem *item = Doutes->currentItem();
        if (item && item->data(RoleQuestion).toInt() == 0)
            NumeroEleve->setFocus();
        else if (item)
            Doutes->setFocus();
    }

    void validerNumero()
    {
        const QListWidgetItem *item = Doutes->currentItem();
        if (!item || item->data(RoleQuestion).toInt() != 0)
            return;
        if (NumeroEleve->text().isEmpty()) {
            avertir(QStringLiteral("Tapez le numéro d'élève lu sur la grille : des chiffres seulement."));
            return;
        }
        correction::deciderEleve(m_correction.copies[item->data(RoleCopie).toInt()], NumeroEleve->text());
        ++m_decisions;
        m_aEnregistrer = true;
        renommer();
        suivant();
    }

    QString fichierSortie(const QString &titre, const QString &fin, const QString &filtres, const QString &extension)
    {
        QString filtre = filtres;
        QString fichier =
            p().fichierAEnregistrer(titre, classe::aCoteDuCorrige(m_fichierCorrigeLu, fin), filtres, &filtre);
        if (!fichier.isEmpty() && QFileInfo(fichier).suffix().isEmpty())
            fichier += u'.' + extension;
        return fichier;
    }

    void enregistrerResultats()
    {
        const qsizetype reste = correction::doutes(m_correction.copies).size();
        if (reste > 0
            && m_s.message(QStringLiteral("Il reste %1 à décider : les réponses non décidées seront écrites « ? ». "
                                          "Enregistrer quand même ?")
                               .arg(nombre(reste, "doute", "doutes")),
                           Plateforme::Boutons::OuiNon, Plateforme::Icone::Exclamation, kTitre, Plateforme::Reponse::Non)
                   != Plateforme::Reponse::Oui)
            return;
        const QString fichier = fichierSortie(QStringLiteral("Enregistrer les résultats"), QStringLiteral(".resultats.csv"),
                                              QStringLiteral("Résultats (*.csv)"), QStringLiteral("csv"));
        if (fichier.isEmpty())
            return;
        if (const Resultat r = correction::ecrireResultats(fichier, m_correction.copies, m_corrigeLu); !r) {
            m_s.erreur(r.erreur);
            return;
        }
        m_aEnregistrer = false;
        offrirOuverture(p(),
                        QStringLiteral("Les résultats (%1) ont été écrits dans %2.")
                            .arg(nombre(m_correction.copies.size(), "copie", "copies"), natif(fichier)),
                        fichier, kTitre);
    }

    void ecrireAnnotees()
    {
        const QString fichier = fichierSortie(QStringLiteral("Copies annotées"), QStringLiteral(".annotees.pdf"),
                                              QStringLiteral("Document PDF (*.pdf)"), QStringLiteral("pdf"));
        if (fichier.isEmpty())
            return;
        Resultat r;
        {
            Avancement avancement(QStringLiteral("Écriture des copies annotées…"), QStringLiteral("ProgressionAnnotees"), this);
            r = correction::ecrireCopiesAnnotees(fichier, m_correction, m_corrigeLu, avancement.progression());
            if (avancement.annule())
                return;
        }
        if (!r) {
            m_s.erreur(r.erreur);
            return;
        }
        offrirOuverture(p(),
                        QStringLiteral("Les copies annotées (%1) ont été écrites dans %2.")
                            .arg(nombre(m_correction.copies.size(), "copie", "copies"), natif(fichier)),
                        fichier, kTitre);
    }

    void etatBoutons()
    {
        Corriger->setEnabled(!m_fichierCorrige.isEmpty() && Scans->count() > 0);
        RetirerScans->setEnabled(!Scans->selectedItems().isEmpty());
        RetirerClasse->setEnabled(!m_fichierClasse.isEmpty());
        const bool copies = m_lu && !m_correction.copies.isEmpty();
        EnregistrerResultats->setEnabled(copies);
        CopiesAnnotees->setEnabled(copies);
    }

    SessionBanque &m_s;
    QString m_fichierCorrige, m_fichierClasse;
    classe::Corrige m_corrige;
    QList<correction::Eleve> m_eleves;
    QStringList m_remarquesClasse;
    // What was read, with the key it was read against: choosing another key changes neither.
    bool m_lu = false;
    classe::Corrige m_corrigeLu;
    QString m_fichierCorrigeLu;
    correction::Correction m_correction;
    int m_decisions = 0;
    bool m_aEnregistrer = false;  // read or decided since the results were last saved
    std::unique_ptr<correction::Scans> m_lecteur;
    int m_feuilleRedressee = -1;
    QImage m_redressee;
    QList<int> m_reponsesZones;

    QLineEdit *Corrige, *Classe, *NumeroEleve;
    QListWidget *Scans, *Doutes;
    QPushButton *ChoisirCorrige, *AjouterScans, *RetirerScans, *ChoisirClasse, *RetirerClasse, *Corriger;
    QTableWidget *Copies;
    QPlainTextEdit *Remarques;
    QLabel *Consigne, *LabelNumero;
    ImageCases *ImageQuestion;
    QPushButton *AucuneReponse, *ValiderNumero, *EnregistrerResultats, *CopiesAnnotees, *Fermer;
};

} // namespace

QList<EntreeMenu> entreesCorrection(SessionBanque &s, QWidget *fenetre)
{
    return {{QStringLiteral("actionCorrigerCopies"), QStringLiteral("Corriger des copies…"),
             [&s, fenetre] { ouvrirCorrection(s, fenetre); }}};
}

void ouvrirCorrection(SessionBanque &s, QWidget *)
{
    QWidget *w = s.dialogue<QWidget>(QStringLiteral("CorrigerCopies"));
    if (!w) {
        w = new FenetreCorrection(s);
        s.garderDialogue(w);
    }
    w->show();
    w->raise();
    w->activateWindow();
}
