#include "tidy/fenetres_menage.h"

#include "editor/session.h"
#include "search/recherche.h"
#include "tidy/corbeille.h"
#include "tidy/doublons.h"
#include "tidy/menage.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

const QString kErreur = QStringLiteral("Erreur");

QString nomTheme(SessionBanque &s, int theme)
{
    if (theme > 8)
        return QString::number(theme);
    return texte::sansEspaces(jusquAuZero(s.etat().Themes.nom(theme)));
}

QString echapper(const QString &t) { return t.toHtmlEscaped(); }

QPushButton *bouton(QWidget *parent, const char *nom, const QString &texte)
{
    auto *b = new QPushButton(texte, parent);
    b->setObjectName(QString::fromUtf8(nom));
    return b;
}

// A window of the tidy-up: found by its name while it is loaded, gone when closed.
class FenetreMenage : public QDialog {
public:
    FenetreMenage(SessionBanque &s, QWidget *fenetre, const QString &nom, const QString &titre)
        : QDialog(nullptr), m_s(s), m_fenetre(fenetre)
    {
        setObjectName(nom);
        setWindowTitle(titre);
        setWindowFlag(Qt::WindowContextHelpButtonHint, false);
        setAttribute(Qt::WA_DeleteOnClose);
    }

    // Shown without blocking; with `bloquer` the main window is disabled until this one closes
    // (first, so that this window stays enabled).
    void montrer(bool bloquer)
    {
        m_etaitActive = !m_fenetre || m_fenetre->isEnabled();
        m_bloque = bloquer && m_fenetre;
        if (m_bloque)
            m_fenetre->setEnabled(false);
        m_s.garderDialogue(this);
        show();
        raise();
        activateWindow();
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (m_bloque && m_fenetre)
            m_fenetre->setEnabled(m_etaitActive);
        m_bloque = false;
        QDialog::closeEvent(e);
    }
    void reject() override { close(); }

    SessionBanque &m_s;
    QPointer<QWidget> m_fenetre;
    bool m_etaitActive = true;
    bool m_bloque = false;
};

// ---------------------------------------------------------------------------
// Corbeille

class FormCorbeille : public FenetreMenage {
public:
    FormCorbeille(SessionBanque &s, QWidget *fenetre) : FenetreMenage(s, fenetre, QStringLiteral("FormCorbeille"), QStringLiteral("Corbeille"))
    {
        LabelCorbeille = new QLabel(this);
        LabelCorbeille->setObjectName(QStringLiteral("LabelCorbeille"));
        ListeCorbeille = new QTreeWidget(this);
        ListeCorbeille->setObjectName(QStringLiteral("ListeCorbeille"));
        ListeCorbeille->setHeaderLabels({QStringLiteral("Question"), QStringLiteral("Thème"), QStringLiteral("Supprimée le")});
        ListeCorbeille->setRootIsDecorated(false);
        ListeCorbeille->setUniformRowHeights(true);
        ListeCorbeille->setSelectionMode(QAbstractItemView::ExtendedSelection);
        ListeCorbeille->header()->setStretchLastSection(false);
        ListeCorbeille->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        ListeCorbeille->setColumnWidth(1, 150);
        ListeCorbeille->setColumnWidth(2, 130);
        ApercuCorbeille = new QTextBrowser(this);
        ApercuCorbeille->setObjectName(QStringLiteral("ApercuCorbeille"));
        BoutRestaurer = bouton(this, "BoutRestaurer", QStringLiteral("&Restaurer"));
        BoutVider = bouton(this, "BoutVider", QStringLiteral("&Vider la corbeille"));
        BoutFermer = bouton(this, "BoutFermer", QStringLiteral("&Fermer"));

        auto *separation = new QSplitter(Qt::Vertical, this);
        separation->addWidget(ListeCorbeille);
        separation->addWidget(ApercuCorbeille);
        separation->setSizes({300, 160});
        auto *boutons = new QHBoxLayout;
        boutons->addWidget(BoutRestaurer);
        boutons->addWidget(BoutVider);
        boutons->addStretch(1);
        boutons->addWidget(BoutFermer);
        auto *tout = new QVBoxLayout(this);
        tout->addWidget(LabelCorbeille);
        tout->addWidget(separation, 1);
        tout->addLayout(boutons);
        resize(760, 520);

        connect(ListeCorbeille, &QTreeWidget::currentItemChanged, this, [this] { apercu(); });
        connect(ListeCorbeille, &QTreeWidget::itemSelectionChanged, this,
                [this] { BoutRestaurer->setEnabled(!ListeCorbeille->selectedItems().isEmpty()); });
        connect(BoutRestaurer, &QPushButton::clicked, this, [this] { restaurer(); });
        connect(BoutVider, &QPushButton::clicked, this, [this] { vider(); });
        connect(BoutFermer, &QPushButton::clicked, this, &QWidget::close);
        charger();
    }

    QLabel *LabelCorbeille;
    QTreeWidget *ListeCorbeille;
    QTextBrowser *ApercuCorbeille;
    QPushButton *BoutRestaurer, *BoutVider, *BoutFermer;

private:
    void charger()
    {
        ListeCorbeille->clear();
        ApercuCorbeille->clear();
        if (Resultat r = corbeille::lire(m_s.dossierMedia(), m_contenu); !r)
            m_s.erreur(r.erreur);
        const int n = m_contenu.nombre();
        QList<QTreeWidgetItem *> lignes;
        lignes.reserve(n);
        for (int i = 1; i <= n; ++i) {
            const char *enr = m_contenu.enregistrement(i);
            const qint64 d = m_contenu.dates[size_t(i - 1)];
            auto *l = new QTreeWidgetItem(
                {texte::affiche(enr + offsets::Question, 200), nomTheme(m_s, quint8(enr[offsets::NumTheme])),
                 d > 0 ? QDateTime::fromSecsSinceEpoch(d).toString(QStringLiteral("dd/MM/yyyy HH:mm"))
                       : QStringLiteral("inconnue")});
            l->setData(0, Qt::UserRole, i);
            lignes << l;
        }
        ListeCorbeille->addTopLevelItems(lignes);
        LabelCorbeille->setText(n == 0 ? QStringLiteral("La corbeille est vide.")
                                : n == 1 ? QStringLiteral("1 fiche supprimée peut être restaurée.")
                                         : QStringLiteral("%1 fiches supprimées peuvent être restaurées.").arg(n));
        BoutVider->setEnabled(n > 0);
        BoutRestaurer->setEnabled(false);
        if (n > 0)
            ListeCorbeille->setCurrentItem(ListeCorbeille->topLevelItem(n - 1), 0, QItemSelectionModel::NoUpdate);
    }

    void apercu()
    {
        const QTreeWidgetItem *l = ListeCorbeille->currentItem();
        if (!l) {
            ApercuCorbeille->clear();
            return;
        }
        const FicheQuestion fiche = m_contenu.fiche(l->data(0, Qt::UserRole).toInt());
        QString h = QStringLiteral("<p><b>%1</b></p><ol>").arg(echapper(texte::affiche(fiche.Question)));
        for (int k = 0; k < 3; ++k) {
            const QString r = echapper(texte::affiche(fiche.Reponse[k]));
            h += fiche.BonneReponse[k] == -1 ? QStringLiteral("<li><b>%1</b> &nbsp;(bonne réponse)</li>").arg(r)
                                             : QStringLiteral("<li>%1</li>").arg(r);
        }
        h += QStringLiteral("</ol><p><i>%1</i></p>").arg(echapper(texte::affiche(fiche.Commentaire)));
        ApercuCorbeille->setHtml(h);
    }

    void restaurer()
    {
        QList<int> numeros;
        for (const QTreeWidgetItem *l : ListeCorbeille->selectedItems())
            numeros << l->data(0, Qt::UserRole).toInt();
        if (numeros.isEmpty() || m_s.refuserEnLectureSeule())
            return;
        int premiere = 0;
        const Resultat r = corbeille::restaurer(m_s.cheminBanque(), menage::cheminTemporaire(m_s.cheminBanque()),
                                                m_s.dossierMedia(), numeros, &premiere);
        if (premiere > 0)  // the cards are in the bank, even when the recycle file kept them too
            m_s.rouvrir(premiere);
        if (!r)
            m_s.erreur(r.erreur);
        charger();
    }

    void vider()
    {
        if (m_s.refuserEnLectureSeule())
            return;
        const int n = m_contenu.nombre();
        const QString texte = n == 1 ? QStringLiteral("Vider la corbeille ? La fiche qu'elle contient sera perdue définitivement.")
                                     : QStringLiteral("Vider la corbeille ? Les %1 fiches qu'elle contient seront perdues "
                                                      "définitivement.").arg(n);
        if (m_s.message(texte, Plateforme::Boutons::OuiNon, Plateforme::Icone::Exclamation, QStringLiteral("Corbeille"),
                        Plateforme::Reponse::Non)
            != Plateforme::Reponse::Oui)
            return;
        if (Resultat r = corbeille::vider(m_s.dossierMedia()); !r)
            m_s.erreur(r.erreur);
        charger();
    }

    corbeille::Contenu m_contenu;
};

// ---------------------------------------------------------------------------
// Doublons

class FormDoublons : public FenetreMenage {
public:
    FormDoublons(SessionBanque &s, QWidget *fenetre) : FenetreMenage(s, fenetre, QStringLiteral("FormDoublons"), QStringLiteral("Doublons"))
    {
        auto *etiquette = new QLabel(QStringLiteral("Ressemblance à partir de :"), this);
        SeuilDoublons = new QDoubleSpinBox(this);
        SeuilDoublons->setObjectName(QStringLiteral("SeuilDoublons"));
        SeuilDoublons->setRange(0.5, 1.0);
        SeuilDoublons->setSingleStep(0.05);
        SeuilDoublons->setDecimals(2);
        SeuilDoublons->setValue(doublons::SeuilParDefaut);
        BoutChercher = bouton(this, "BoutChercher", QStringLiteral("&Chercher"));
        LabelBilan = new QLabel(this);
        LabelBilan->setObjectName(QStringLiteral("LabelBilan"));
        ListeGroupes = new QListWidget(this);
        ListeGroupes->setObjectName(QStringLiteral("ListeGroupes"));
        VueGroupe = new QTextBrowser(this);
        VueGroupe->setObjectName(QStringLiteral("VueGroupe"));
        VueGroupe->setOpenLinks(false);
        ChoixFiche = new QComboBox(this);
        ChoixFiche->setObjectName(QStringLiteral("ChoixFiche"));
        ChoixFiche->setMinimumWidth(110);
        BoutAller = bouton(this, "BoutAller", QStringLiteral("&Aller à la fiche"));
        BoutMarquer = bouton(this, "BoutMarquer", QStringLiteral("&Marquer les fiches du groupe"));
        BoutFermer = bouton(this, "BoutFermer", QStringLiteral("&Fermer"));

        auto *haut = new QHBoxLayout;
        haut->addWidget(etiquette);
        haut->addWidget(SeuilDoublons);
        haut->addWidget(BoutChercher);
        haut->addSpacing(12);
        haut->addWidget(LabelBilan, 1);
        auto *separation = new QSplitter(Qt::Horizontal, this);
        separation->addWidget(ListeGroupes);
        separation->addWidget(VueGroupe);
        separation->setSizes({280, 620});
        auto *bas = new QHBoxLayout;
        bas->addWidget(ChoixFiche);
        bas->addWidget(BoutAller);
        bas->addWidget(BoutMarquer);
        bas->addStretch(1);
        bas->addWidget(BoutFermer);
        auto *tout = new QVBoxLayout(this);
        tout->addLayout(haut);
        tout->addWidget(separation, 1);
        tout->addLayout(bas);
        resize(920, 560);

        connect(BoutChercher, &QPushButton::clicked, this, [this] { chercher(); });
        connect(ListeGroupes, &QListWidget::currentRowChanged, this, [this](int i) { montrerGroupe(i); });
        connect(VueGroupe, &QTextBrowser::anchorClicked, this, [this](const QUrl &u) { allerA(u.path().toInt()); });
        connect(BoutAller, &QPushButton::clicked, this, [this] { allerA(ChoixFiche->currentData().toInt()); });
        connect(BoutMarquer, &QPushButton::clicked, this, [this] { marquer(); });
        connect(BoutFermer, &QPushButton::clicked, this, &QWidget::close);
    }

    void chercher()
    {
        Resultat r;
        m_analyse = doublons::chercher(m_s.cheminBanque(), SeuilDoublons->value(), &r);
        m_fiches.clear();
        if (!r)
            m_s.erreur(r.erreur);
        QFile banque(m_s.cheminBanque());
        if (banque.open(QIODevice::ReadOnly))
            m_fiches = banque.readAll();
        ListeGroupes->clear();
        for (const doublons::Groupe &g : std::as_const(m_analyse.groupes)) {
            QStringList n;
            for (int x : g.fiches)
                n << QString::number(x);
            ListeGroupes->addItem(g.identique ? QStringLiteral("Identiques : %1").arg(n.join(QStringLiteral(", ")))
                                              : QStringLiteral("Proches (%1) : %2")
                                                    .arg(QLocale(QLocale::French).toString(g.score, 'f', 2),
                                                         n.join(QStringLiteral(", "))));
        }
        const int i = m_analyse.identiques(), p = m_analyse.proches();
        LabelBilan->setText(m_analyse.groupes.isEmpty()
                                ? QStringLiteral("Aucun doublon parmi les %1 fiches.").arg(m_analyse.nbFiches)
                                : QStringLiteral("%1 groupe(s) de questions identiques, %2 groupe(s) de fiches proches.")
                                      .arg(i)
                                      .arg(p));
        if (!m_analyse.groupes.isEmpty())
            ListeGroupes->setCurrentRow(0);
        else
            montrerGroupe(-1);
    }

private:
    FicheQuestion fiche(int n) const
    {
        const qsizetype debut = qsizetype(n - 1) * FicheQuestion::Taille;
        return FicheQuestion::depuisOctets(m_fiches.constData() + qMin(debut, m_fiches.size()),
                                           qMax<qsizetype>(0, m_fiches.size() - debut));
    }

    // The words of `texte` missing from `autres` in colour.
    static QString surligne(const QString &texte, const QStringList &autres)
    {
        const QStringList absents = doublons::motsAbsents(texte, autres);
        QString h;
        for (const QString &m : texte.split(u' ', Qt::SkipEmptyParts)) {
            if (!h.isEmpty())
                h += u' ';
            h += absents.contains(m) ? QStringLiteral("<span style=\"background-color:#ffc8a0\">%1</span>").arg(echapper(m))
                                     : echapper(m);
        }
        return h;
    }

    void montrerGroupe(int i)
    {
        ChoixFiche->clear();
        const bool choisi = i >= 0 && i < m_analyse.groupes.size();
        BoutAller->setEnabled(choisi);
        BoutMarquer->setEnabled(choisi);
        if (!choisi) {
            VueGroupe->clear();
            return;
        }
        const doublons::Groupe &g = m_analyse.groupes[i];
        for (int n : g.fiches)
            ChoixFiche->addItem(QStringLiteral("Fiche %1").arg(n), n);
        // Each card beside the first of the group (the first beside the second), what differs in colour.
        QList<FicheQuestion> cartes;
        for (int n : g.fiches)
            cartes << fiche(n);
        auto reponses = [](const FicheQuestion &c) {
            return QStringList{texte::affiche(c.Reponse[0]), texte::affiche(c.Reponse[1]), texte::affiche(c.Reponse[2])};
        };
        QString h = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"5\" width=\"100%\"><tr>");
        for (int n : g.fiches)
            h += QStringLiteral("<th><a href=\"fiche:%1\">Fiche %1</a></th>").arg(n);
        h += QStringLiteral("</tr>");
        auto ligne = [&](const QString &titre, auto &&champ, auto &&reference) {
            h += QStringLiteral("<tr>");
            for (qsizetype k = 0; k < cartes.size(); ++k) {
                const FicheQuestion &ref = cartes[k == 0 && cartes.size() > 1 ? 1 : 0];
                h += QStringLiteral("<td valign=\"top\"><small>%1</small><br>%2</td>")
                         .arg(titre, surligne(champ(cartes[k]), reference(ref)));
            }
            h += QStringLiteral("</tr>");
        };
        ligne(QStringLiteral("Question"), [](const FicheQuestion &c) { return texte::affiche(c.Question); },
              [](const FicheQuestion &c) { return QStringList{texte::affiche(c.Question)}; });
        for (int r = 0; r < 3; ++r)
            ligne(QStringLiteral("Réponse %1").arg(r + 1),
                  [r](const FicheQuestion &c) {
                      const QString t = texte::affiche(c.Reponse[r]);
                      return c.BonneReponse[r] == -1 ? t + QStringLiteral(" ✔") : t;
                  },
                  reponses);
        ligne(QStringLiteral("Commentaire"), [](const FicheQuestion &c) { return texte::affiche(c.Commentaire); },
              [](const FicheQuestion &c) { return QStringList{texte::affiche(c.Commentaire)}; });
        h += QStringLiteral("<tr>");
        for (const FicheQuestion &c : cartes)
            h += QStringLiteral("<td><small>Thème</small><br>%1</td>").arg(echapper(nomTheme(m_s, c.NumTheme)));
        h += QStringLiteral("</tr></table>");
        VueGroupe->setHtml(h);
    }

    bool banqueInchangee()
    {
        if (m_s.etat().NbFiches == m_analyse.nbFiches)
            return true;
        m_s.message(QStringLiteral("La banque a changé depuis la recherche des doublons : cliquez sur « Chercher » "
                                   "pour la refaire."),
                    Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation);
        return false;
    }

    void allerA(int n)
    {
        if (n < 1 || !banqueInchangee() || !m_s.stockerFiche())
            return;
        m_s.allerA(n);
        if (m_fenetre)
            m_fenetre->raise();
    }

    void marquer()
    {
        const int i = ListeGroupes->currentRow();
        if (i < 0 || i >= m_analyse.groupes.size() || !banqueInchangee() || m_s.refuserEnLectureSeule()
            || !m_s.stockerFiche())
            return;
        const QList<int> &fiches = m_analyse.groupes[i].fiches;
        const QString banque = m_s.cheminBanque();
        m_s.etat().canaux.fermerTout();
        const menage::Bilan b = menage::marquer(banque, menage::cheminTemporaire(banque), fiches);
        m_s.rouvrir(m_s.etat().NumFiche);
        if (!b.resultat) {
            m_s.erreur(b.resultat.erreur);
            return;
        }
        LabelBilan->setText(QStringLiteral("Les %1 fiches du groupe sont marquées.").arg(fiches.size()));
    }

    QDoubleSpinBox *SeuilDoublons;
    QPushButton *BoutChercher;
    QLabel *LabelBilan;
    QListWidget *ListeGroupes;
    QTextBrowser *VueGroupe;
    QComboBox *ChoixFiche;
    QPushButton *BoutAller, *BoutMarquer, *BoutFermer;

    doublons::Analyse m_analyse;
    QByteArray m_fiches;
};

// ---------------------------------------------------------------------------
// Changer le thème

class FormChoixTheme : public FenetreMenage {
public:
    FormChoixTheme(SessionBanque &s, QWidget *fenetre, const recherche::Critere &quelles, const QString &annonce)
        : FenetreMenage(s, fenetre, QStringLiteral("FormChoixTheme"), QStringLiteral("Changer le thème")), m_quelles(quelles)
    {
        LabelChoix = new QLabel(annonce, this);
        LabelChoix->setObjectName(QStringLiteral("LabelChoix"));
        LabelChoix->setWordWrap(true);
        ListeThemes = new QListWidget(this);
        ListeThemes->setObjectName(QStringLiteral("ListeThemes"));
        for (int i = 0; i < 9; ++i) {
            const QString nom = nomTheme(s, i);
            auto *l = new QListWidgetItem(nom.isEmpty() ? QStringLiteral("(thème %1 sans nom)").arg(i + 1) : nom, ListeThemes);
            if (nom.isEmpty())
                l->setFlags(Qt::NoItemFlags);  // a card is not sent to a theme the bank does not name
        }
        bout_OK = bouton(this, "bout_OK", QStringLiteral("&OK"));
        bout_OK->setDefault(true);
        bout_Annuler = bouton(this, "bout_Annuler", QStringLiteral("&Annuler"));
        auto *boutons = new QHBoxLayout;
        boutons->addStretch(1);
        boutons->addWidget(bout_OK);
        boutons->addWidget(bout_Annuler);
        auto *tout = new QVBoxLayout(this);
        tout->addWidget(LabelChoix);
        tout->addWidget(ListeThemes, 1);
        tout->addLayout(boutons);
        resize(380, 340);
        ListeThemes->setCurrentRow(qBound(0, int(s.etat().Fiche.NumTheme), 8));
        if (!(ListeThemes->currentItem()->flags() & Qt::ItemIsEnabled))
            ListeThemes->setCurrentRow(0);
        connect(ListeThemes, &QListWidget::itemDoubleClicked, this, [this] { ok(); });
        connect(bout_OK, &QPushButton::clicked, this, [this] { ok(); });
        connect(bout_Annuler, &QPushButton::clicked, this, &QWidget::close);
    }

private:
    void ok()
    {
        const int theme = ListeThemes->currentRow();
        if (theme < 0 || !(ListeThemes->item(theme)->flags() & Qt::ItemIsEnabled))
            return;
        const QString banque = m_s.cheminBanque();
        m_s.etat().canaux.fermerTout();
        const menage::Bilan b = menage::changerTheme(banque, menage::cheminTemporaire(banque), m_quelles, theme);
        close();
        m_s.rouvrir(m_s.etat().NumFiche);
        if (!b.resultat)
            m_s.erreur(b.resultat.erreur);
    }

    QLabel *LabelChoix;
    QListWidget *ListeThemes;
    QPushButton *bout_OK, *bout_Annuler;
    recherche::Critere m_quelles;
};

void changerTheme(SessionBanque &s, QWidget *fenetre, const recherche::Critere &quelles, const QString &aucune,
                  const QString &une, const std::function<QString(int)> &plusieurs)
{
    if (s.dialogue(QStringLiteral("FormChoixTheme")) || s.refuserEnLectureSeule() || !s.stockerFiche())
        return;
    Resultat r;
    const int n = menage::compter(s.cheminBanque(), quelles, &r);
    if (!r) {
        s.erreur(r.erreur);
        return;
    }
    if (n == 0) {
        s.message(aucune, Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation);
        return;
    }
    auto *d = new FormChoixTheme(s, fenetre, quelles, n == 1 ? une : plusieurs(n));
    d->montrer(true);
}

template <class W> void ouvrirUne(SessionBanque &s, QWidget *fenetre, const QString &nom, bool bloquer)
{
    if (auto *d = s.dialogue<QWidget>(nom)) {
        d->raise();
        d->activateWindow();
        return;
    }
    if (!s.stockerFiche())
        return;
    auto *w = new W(s, fenetre);
    w->montrer(bloquer);
    if constexpr (std::is_same_v<W, FormDoublons>)
        w->chercher();
}

} // namespace

QList<EntreeMenu> entreesMenage(SessionBanque &s, QWidget *fenetre)
{
    return {
        {QStringLiteral("actionCorbeille"), QStringLiteral("Corbeille…"), [&s, fenetre] { ouvrirCorbeille(s, fenetre); }},
        {QStringLiteral("actionDoublons"), QStringLiteral("Doublons…"), [&s, fenetre] { ouvrirDoublons(s, fenetre); }},
        {QStringLiteral("actionChangerTheme"), QStringLiteral("Changer le thème des cartes marquées…"),
         [&s, fenetre] { changerThemeMarquees(s, fenetre); }},
    };
}

void ouvrirCorbeille(SessionBanque &s, QWidget *fenetre)
{
    ouvrirUne<FormCorbeille>(s, fenetre, QStringLiteral("FormCorbeille"), true);
}

void ouvrirDoublons(SessionBanque &s, QWidget *fenetre)
{
    ouvrirUne<FormDoublons>(s, fenetre, QStringLiteral("FormDoublons"), false);
}

void changerThemeMarquees(SessionBanque &s, QWidget *fenetre)
{
    changerTheme(s, fenetre, recherche::Critere::marque(), QStringLiteral("Aucune fiche n'est marquée."),
                 QStringLiteral("La fiche marquée ira dans le thème choisi :"),
                 [](int n) { return QStringLiteral("Les %1 fiches marquées iront dans le thème choisi :").arg(n); });
}

void changerThemeTexte(SessionBanque &s, QWidget *fenetre, const QString &texte)
{
    const QString cite = QStringLiteral("« ") + texte + QStringLiteral(" »");
    changerTheme(s, fenetre, recherche::Critere::texte(texte),
                 QStringLiteral("Aucune question ne contient le texte ") + cite + u'.',
                 QStringLiteral("La fiche dont la question contient ") + cite + QStringLiteral(" ira dans le thème choisi :"),
                 [cite](int n) {
                     return QStringLiteral("Les %1 fiches dont la question contient ").arg(n) + cite
                            + QStringLiteral(" iront dans le thème choisi :");
                 });
}
