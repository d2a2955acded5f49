#include "analyse/fenetre_analyse.h"

#include "analyse/analyse.h"
#include "analyse/graphiques.h"
#include "editor/session.h"
#include "exchange/echanges.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <optional>

namespace {

const QString kTitre = QStringLiteral("Analyse des résultats");

enum Colonne { Fiche, Texte, P, R, D, Choix1, Choix2, Choix3, Vide, Alertes, PAvant, RAvant, NbColonnes };

QPushButton *bouton(QWidget *parent, const char *nom, const QString &texte)
{
    auto *b = new QPushButton(texte, parent);
    b->setObjectName(QString::fromUtf8(nom));
    return b;
}

bool memeFichier(const QString &a, const QString &b)
{
    const QFileInfo x(a), y(b);
    if (x.exists() && y.exists())
        return x.canonicalFilePath() == y.canonicalFilePath();
    return x.absoluteFilePath() == y.absoluteFilePath();
}

// What was chosen to analyse, read and mapped onto the cards.
struct Lecture {
    analyse::Epreuve epreuve;
    QString banque;  // the key's bank; empty for a quiz page, whose cards are the open bank's
};

// Asks for the files through the desktop; nullopt when cancelled or unreadable (said).
std::optional<Lecture> demanderFichiers(SessionBanque &s)
{
    Plateforme &pf = s.plateforme();
    QString filtre;
    const QString source = pf.fichierAOuvrir(kTitre, pf.dossierRetenu(QStringLiteral("sorties")),
                                             QStringLiteral("Corrigés d'examen (*.corrige.json);;Pages de quiz (*.html *.htm)"),
                                             &filtre);
    if (source.isEmpty())
        return std::nullopt;
    pf.retenirDossier(QStringLiteral("sorties"), QFileInfo(source).absolutePath());
    Lecture l;
    const QString ext = QFileInfo(source).suffix().toLower();
    if (ext == QLatin1String("html") || ext == QLatin1String("htm")) {
        analyse::PageQuiz page;
        if (Resultat r = analyse::lirePageQuiz(source, page); !r) {
            s.erreur(r.erreur);
            return std::nullopt;
        }
        const QString un = pf.fichierAOuvrir(QStringLiteral("Réponses enregistrées par les élèves"),
                                             QFileInfo(source).absolutePath(),
                                             QStringLiteral("Réponses de quiz (*.json)"), nullptr);
        if (un.isEmpty())
            return std::nullopt;
        // Every answer file of this page in the folder of the one chosen: a class hands in one each.
        const QDir dossier = QFileInfo(un).absoluteDir();
        for (const QString &nom : dossier.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            const QString f = dossier.filePath(nom);
            if (!analyse::estResultatDe(f, page.id) && !memeFichier(f, un))
                continue;
            if (Resultat r = analyse::ajouterResultatQuiz(f, page); !r) {
                s.erreur(r.erreur);
                return std::nullopt;
            }
        }
        l.epreuve = std::move(page.epreuve);
        return l;
    }
    classe::Corrige corrige;
    if (Resultat r = classe::lireCorrige(source, corrige); !r) {
        s.erreur(r.erreur);
        return std::nullopt;
    }
    const QString resultats = pf.fichierAOuvrir(QStringLiteral("Résultats de la correction"), QFileInfo(source).absolutePath(),
                                                QStringLiteral("Résultats (*.csv)"), nullptr);
    if (resultats.isEmpty())
        return std::nullopt;
    QList<analyse::LigneResultats> lignes;
    Resultat r = analyse::lireResultats(resultats, lignes);
    if (r)
        r = analyse::epreuveDepuisCorrige(corrige, lignes, l.epreuve);
    if (!r) {
        s.erreur(r.erreur.startsWith(u'«') ? r.erreur
                                            : QStringLiteral("« %1 », %2.").arg(QFileInfo(resultats).fileName(), r.erreur));
        return std::nullopt;
    }
    l.banque = corrige.banque;
    return l;
}

class FenetreAnalyse : public QWidget {
public:
    FenetreAnalyse(SessionBanque &s, QWidget *fenetre) : QWidget(nullptr), m_s(s)
    {
        setObjectName(QStringLiteral("AnalyseResultats"));
        setWindowTitle(kTitre);
        setAttribute(Qt::WA_DeleteOnClose);

        chiffres = new QLabel(this);
        chiffres->setObjectName(QStringLiteral("chiffresAnalyse"));
        chiffres->setTextInteractionFlags(Qt::TextSelectableByMouse);
        vue = new QTableView(this);
        vue->setObjectName(QStringLiteral("tableQuestions"));
        m_modele.setSortRole(Qt::UserRole);
        vue->setModel(&m_modele);
        vue->setSelectionBehavior(QAbstractItemView::SelectRows);
        vue->setSelectionMode(QAbstractItemView::SingleSelection);
        vue->setEditTriggers(QAbstractItemView::NoEditTriggers);
        vue->setSortingEnabled(true);
        vue->setWordWrap(false);
        vue->verticalHeader()->hide();
        histogramme = new analyse::Graphique([this](QPainter &p, const QRectF &z) { analyse::dessinerHistogramme(p, z, m_analyse); }, this);
        histogramme->setObjectName(QStringLiteral("histogrammeNotes"));
        choix = new analyse::Graphique([this](QPainter &p, const QRectF &z) { analyse::dessinerChoix(p, z, courante()); }, this);
        choix->setObjectName(QStringLiteral("graphiqueChoix"));
        for (QWidget *g : {histogramme, choix})
            g->setMinimumSize(260, 170);
        titreChoix = new QLabel(this);
        titreChoix->setObjectName(QStringLiteral("titreChoix"));
        titreChoix->setTextFormat(Qt::PlainText);
        bilan = new QLabel(this);
        bilan->setObjectName(QStringLiteral("bilanAnalyse"));
        bilan->hide();
        boutAllerFiche = bouton(this, "boutAllerFiche", QStringLiteral("&Aller à la fiche"));
        boutExporter = bouton(this, "boutExporter", QStringLiteral("&Exporter…"));
        boutFermer = bouton(this, "boutFermer", QStringLiteral("&Fermer"));

        auto *notes = new QVBoxLayout;
        notes->addWidget(new QLabel(QStringLiteral("Notes sur 20"), this));
        notes->addWidget(histogramme, 1);
        auto *reponses = new QVBoxLayout;
        reponses->addWidget(titreChoix);
        reponses->addWidget(choix, 1);
        auto *graphiques = new QHBoxLayout;
        graphiques->addLayout(notes, 1);
        graphiques->addLayout(reponses, 1);
        auto *boutons = new QHBoxLayout;
        boutons->addWidget(boutAllerFiche);
        boutons->addWidget(boutExporter);
        boutons->addStretch(1);
        boutons->addWidget(boutFermer);
        auto *tout = new QVBoxLayout(this);
        tout->addWidget(chiffres);
        tout->addWidget(vue, 3);
        tout->addLayout(graphiques, 2);
        tout->addWidget(bilan);
        tout->addLayout(boutons);
        resize(1100, 720);

        connect(vue->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { surSelection(); });
        connect(vue, &QAbstractItemView::activated, this, [this] { allerFiche(); });
        connect(boutAllerFiche, &QPushButton::clicked, this, [this] { allerFiche(); });
        connect(boutExporter, &QPushButton::clicked, this, [this] { exporter(); });
        connect(boutFermer, &QPushButton::clicked, this, &QWidget::close);
        auto *echap = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        connect(echap, &QShortcut::activated, this, &QWidget::close);
        if (fenetre)
            move(fenetre->pos() + QPoint(40, 40));
    }

    void montrer(analyse::Analyse a, bool allerPossible)
    {
        m_analyse = std::move(a);
        m_allerPossible = allerPossible;
        const analyse::Analyse &x = m_analyse;
        setWindowTitle(x.titre.isEmpty() ? kTitre : kTitre + QStringLiteral(" - ") + x.titre);
        chiffres->setText(QStringLiteral("%1 copie%2 · moyenne %3 / 20 · médiane %4 · écart type %5 · KR-20 %6")
                              .arg(x.copies)
                              .arg(x.copies > 1 ? QStringLiteral("s") : QString())
                              .arg(analyse::nombre(x.moyenne), analyse::nombre(x.mediane), analyse::nombre(x.ecartType),
                                   analyse::nombre(x.kr20)));
        remplir();
        bilan->hide();
        if (m_modele.rowCount() > 0)
            vue->selectRow(0);
        surSelection();
    }

    QLabel *chiffres, *titreChoix, *bilan;
    QTableView *vue;
    analyse::Graphique *histogramme, *choix;
    QPushButton *boutAllerFiche, *boutExporter, *boutFermer;

private:
    void remplir()
    {
        m_modele.clear();
        m_modele.setHorizontalHeaderLabels({QStringLiteral("Fiche"), QStringLiteral("Question"), QStringLiteral("p"),
                                            QStringLiteral("r"), QStringLiteral("d"), QStringLiteral("1"), QStringLiteral("2"),
                                            QStringLiteral("3"), QStringLiteral("Vide"), QStringLiteral("Alertes"),
                                            QStringLiteral("p avant"), QStringLiteral("r avant")});
        auto cellule = [](const QString &texte, const QVariant &tri) {
            auto *i = new QStandardItem(texte);
            i->setData(tri, Qt::UserRole);
            return i;
        };
        auto valeur = [&](std::optional<double> v) {
            auto *i = cellule(analyse::nombre(v), v ? QVariant(*v) : QVariant(-1e9));
            i->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return i;
        };
        for (qsizetype k = 0; k < m_analyse.questions.size(); ++k) {
            const analyse::Question &q = m_analyse.questions[k];
            QList<QStandardItem *> l(NbColonnes);
            l[Fiche] = cellule(QString::number(q.fiche), q.fiche);
            l[Fiche]->setData(int(k), Qt::UserRole + 1);
            l[Fiche]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            const QString texte = QString(q.texte).replace(u'\n', u' ');
            l[Texte] = cellule(texte, texte.toLower());
            l[Texte]->setToolTip(q.texte);
            l[P] = valeur(q.p);
            l[R] = valeur(q.r);
            l[D] = valeur(q.d);
            for (int x = 0; x < 4; ++x) {
                QStandardItem *c = cellule(QString::number(q.choix[size_t(x)]), q.choix[size_t(x)]);
                c->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (x < 3)
                    c->setToolTip(q.reponses.value(x));
                if (x + 1 == q.bonne) {
                    QFont gras;
                    gras.setBold(true);
                    c->setFont(gras);
                    c->setBackground(QColor(227, 246, 230));
                    c->setToolTip(QStringLiteral("Bonne réponse : ") + q.reponses.value(x));
                }
                l[Choix1 + x] = c;
            }
            l[Alertes] = cellule(q.alertes.join(QStringLiteral(", ")), q.alertes.join(QStringLiteral(", ")));
            // The strongest warning gives the colour.
            if (q.alertes.contains(QStringLiteral("à revoir")))
                l[Alertes]->setBackground(QColor(248, 208, 204));
            else if (q.alertes.contains(QStringLiteral("trop difficile")))
                l[Alertes]->setBackground(QColor(253, 227, 192));
            else if (q.alertes.contains(QStringLiteral("trop facile")))
                l[Alertes]->setBackground(QColor(214, 230, 250));
            l[PAvant] = q.precedent ? valeur(q.precedent->p) : cellule(QString(), -1e9);
            l[RAvant] = q.precedent ? valeur(q.precedent->r) : cellule(QString(), -1e9);
            if (q.precedent)
                for (int c : {PAvant, RAvant})
                    l[c]->setToolTip(QStringLiteral("Analyse du %1").arg(
                        q.precedent->date.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm"))));
            m_modele.appendRow(l);
        }
        const int largeurs[] = {50, 300, 55, 55, 55, 40, 40, 40, 45, 170, 65, 65};
        for (int c = 0; c < NbColonnes; ++c)
            vue->setColumnWidth(c, largeurs[c]);
        vue->horizontalHeader()->setSectionResizeMode(Texte, QHeaderView::Stretch);
        vue->sortByColumn(Fiche, Qt::AscendingOrder);
    }

    const analyse::Question *courante() const
    {
        const QModelIndex i = vue ? vue->currentIndex() : QModelIndex();
        if (!i.isValid())
            return nullptr;
        const int k = m_modele.item(i.row(), Fiche)->data(Qt::UserRole + 1).toInt();
        return k >= 0 && k < m_analyse.questions.size() ? &m_analyse.questions[k] : nullptr;
    }

    void surSelection()
    {
        const analyse::Question *q = courante();
        titreChoix->setText(q ? QStringLiteral("Réponses choisies, fiche %1 : %2").arg(q->fiche).arg(QString(q->texte).replace(u'\n', u' ').left(90))
                              : QStringLiteral("Réponses choisies"));
        boutAllerFiche->setEnabled(q && m_allerPossible);
        choix->update();
        histogramme->update();
    }

    void allerFiche()
    {
        const analyse::Question *q = courante();
        if (!q || !m_allerPossible)
            return;
        const int fiche = q->fiche;
        const FichierQuestions *f = m_s.etat().fichier();
        if (!f || fiche > f->nombre()) {
            m_s.erreur(QStringLiteral("La fiche %1 n'est pas dans la banque ouverte.").arg(fiche));
            return;
        }
        if (!m_s.stockerFiche())
            return;
        m_s.allerA(fiche);
    }

    void dire(const QString &t)
    {
        bilan->setText(t);
        bilan->setVisible(!t.isEmpty());
    }

    void exporter()
    {
        Plateforme &pf = m_s.plateforme();
        const QStringList filtres{QStringLiteral("Rapport PDF (*.pdf)"), QStringLiteral("Tableau CSV (*.csv)")};
        QString filtre = filtres[0];
        const QString base = m_analyse.titre.isEmpty() ? QStringLiteral("analyse") : m_analyse.titre + QStringLiteral(" - analyse");
        QString fichier = pf.fichierAEnregistrer(QStringLiteral("Exporter l'analyse"),
                                                 QDir(pf.dossierRetenu(QStringLiteral("sorties"))).filePath(base + QStringLiteral(".pdf")),
                                                 filtres.join(QStringLiteral(";;")), &filtre);
        if (fichier.isEmpty())
            return;
        pf.retenirDossier(QStringLiteral("sorties"), QFileInfo(fichier).absolutePath());
        const QString ext = QFileInfo(fichier).suffix().toLower();
        const bool csv = ext == QLatin1String("csv") || (ext != QLatin1String("pdf") && filtre == filtres[1]);
        if (ext != QLatin1String("csv") && ext != QLatin1String("pdf"))
            fichier += csv ? QStringLiteral(".csv") : QStringLiteral(".pdf");
        Resultat r;
        if (csv) {
            QSaveFile f(fichier);
            const QByteArray octets = analyse::enCsv(m_analyse);
            if (!f.open(QIODevice::WriteOnly) || f.write(octets) != octets.size() || !f.commit())
                r = Resultat::echec(QStringLiteral("Impossible d'écrire le fichier %1 : %2.").arg(fichier, f.errorString()));
        } else {
            r = analyse::ecrirePdf(fichier, m_analyse);
        }
        if (!r) {
            dire({});
            m_s.erreur(r.erreur);
            return;
        }
        dire(QStringLiteral("Analyse exportée dans %1.").arg(QFileInfo(fichier).fileName()));
    }

    SessionBanque &m_s;
    QStandardItemModel m_modele;
    analyse::Analyse m_analyse;
    bool m_allerPossible = true;
};

} // namespace

QList<EntreeMenu> entreesAnalyse(SessionBanque &s, QWidget *fenetre)
{
    return {{QStringLiteral("actionAnalyseResultats"), QStringLiteral("Analyse des résultats…"),
             [&s, fenetre] { ouvrirAnalyse(s, fenetre); }}};
}

void ouvrirAnalyse(SessionBanque &s, QWidget *fenetre)
{
    std::optional<Lecture> l = demanderFichiers(s);
    if (!l)
        return;
    analyse::Analyse a = analyse::analyser(l->epreuve);
    const bool memeBanque = l->banque.isEmpty() || memeFichier(l->banque, s.cheminBanque());
    // The history lies beside the bank the cards come from.
    const QString medias = memeBanque ? s.dossierMedia() : echanges::CheminsBanque::pres(l->banque).medias;
    const QDateTime maintenant = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    analyse::joindreHistorique(medias, a, maintenant);
    const Resultat garde = memeBanque || QFileInfo(l->banque).exists() ? analyse::ecrireHistorique(medias, a, maintenant)
                                                                         : Resultat::succes();

    auto *w = static_cast<FenetreAnalyse *>(s.dialogue<QWidget>(QStringLiteral("AnalyseResultats")));
    if (!w) {
        w = new FenetreAnalyse(s, fenetre);
        s.garderDialogue(w);
    }
    w->montrer(std::move(a), memeBanque);
    w->show();
    w->raise();
    w->activateWindow();
    if (!memeBanque)
        s.message(QStringLiteral("Ce corrigé vient de la banque %1, qui n'est pas celle ouverte dans l'éditeur : "
                                 "« Aller à la fiche » n'est pas possible.")
                      .arg(QDir::toNativeSeparators(l->banque)),
                  Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation, kTitre);
    if (!garde)
        s.message(garde.erreur, Plateforme::Boutons::Ok, Plateforme::Icone::Exclamation, kTitre);
}
