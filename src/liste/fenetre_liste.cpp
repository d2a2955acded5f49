#include "liste/fenetre_liste.h"

#include "classroom/page_quiz.h"
#include "classroom/sujets.h"
#include "classroom/sujets_pdf.h"
#include "editor/session.h"
#include "liste/liste.h"
#include "tidy/corbeille.h"
#include "tidy/menage.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

// ---------------------------------------------------------------------------
// The model

namespace {
constexpr int kCache = 256;  // rows kept decoded: a few screens of the table
}

void ModeleFiches::charger(const QString &cheminBanque, const TableThemes &themes)
{
    beginResetModel();
    m_chemin = cheminBanque;
    m_themes = themes;
    m_fichier.close();
    m_fichier.setFileName(cheminBanque);
    m_index = liste::Index::lire(cheminBanque);
    m_cache.clear();
    m_ordreCache.clear();
    m_lignes = liste::lignes(m_index, m_filtre, m_tri, m_themes);
    endResetModel();
    emit lignesChangees();
}

void ModeleFiches::fixerThemes(const TableThemes &themes)
{
    m_themes = themes;
    m_cache.clear();
    m_ordreCache.clear();
    recalculer();
}

void ModeleFiches::carteChangee(int numero)
{
    // A rewrite renames a new file over the bank: the one held open may be the old one.
    m_fichier.close();
    if (!m_fichier.open(QIODevice::ReadOnly) || !m_fichier.seek(qint64(numero - 1) * FicheQuestion::Taille))
        return;
    const QByteArray enr = m_fichier.read(FicheQuestion::Taille).leftJustified(FicheQuestion::Taille, '\0');
    m_index.remplacer(numero, enr.constData());
    m_cache.remove(numero);
    recalculer();
}

void ModeleFiches::filtrer(const liste::Filtre &filtre)
{
    m_filtre = filtre;
    recalculer();
}

void ModeleFiches::sort(int column, Qt::SortOrder order)
{
    m_tri = {liste::Colonne(qBound(0, column, liste::NbColonnes - 1)), order == Qt::DescendingOrder};
    recalculer();
}

void ModeleFiches::recalculer()
{
    emit layoutAboutToBeChanged();
    const QModelIndexList avant = persistentIndexList();
    QList<int> numeros;
    for (const QModelIndex &i : avant)
        numeros << numero(i.row());
    m_lignes = liste::lignes(m_index, m_filtre, m_tri, m_themes);
    // The selection and the current row follow their cards; a card filtered out leaves them.
    QHash<int, int> rangs;
    if (!avant.isEmpty()) {
        rangs.reserve(m_lignes.size());
        for (int r = 0; r < m_lignes.size(); ++r)
            rangs.insert(m_lignes[r], r);
    }
    QModelIndexList apres;
    for (qsizetype k = 0; k < avant.size(); ++k) {
        const int r = rangs.value(numeros[k], -1);
        apres << (r < 0 ? QModelIndex() : index(r, avant[k].column()));
    }
    changePersistentIndexList(avant, apres);
    emit layoutChanged();
    emit lignesChangees();
}

void ModeleFiches::fixerCourante(int numero)
{
    const int avant = ligne(m_courante);
    m_courante = numero;
    for (int r : {avant, ligne(numero)})
        if (r >= 0)
            emit dataChanged(index(r, 0), index(r, liste::NbColonnes - 1), {Qt::FontRole, Qt::BackgroundRole});
}

const QStringList &ModeleFiches::rangee(int numero) const
{
    if (auto i = m_cache.constFind(numero); i != m_cache.cend())
        return *i;
    if (!m_fichier.isOpen())
        m_fichier.open(QIODevice::ReadOnly);
    QByteArray enr;
    if (m_fichier.isOpen() && m_fichier.seek(qint64(numero - 1) * FicheQuestion::Taille))
        enr = m_fichier.read(FicheQuestion::Taille);
    enr = enr.leftJustified(FicheQuestion::Taille, '\0');
    ++m_lectures;
    if (m_ordreCache.size() >= kCache)
        m_cache.remove(m_ordreCache.takeFirst());
    m_ordreCache.append(numero);
    return *m_cache.insert(numero, liste::colonnes(numero, enr.constData(), m_themes));
}

QVariant ModeleFiches::data(const QModelIndex &i, int role) const
{
    if (!i.isValid() || i.row() >= m_lignes.size())
        return {};
    const int n = m_lignes[i.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return rangee(n).value(i.column());
    case Qt::TextAlignmentRole:
        return i.column() == 0 || i.column() == int(liste::Colonne::Marque) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                           : QVariant();
    case Qt::FontRole:
        if (n == m_courante) {
            QFont gras;
            gras.setBold(true);
            return gras;
        }
        return {};
    case Qt::BackgroundRole: return n == m_courante ? QVariant(QColor(255, 236, 160)) : QVariant();
    default: return {};
    }
}

QVariant ModeleFiches::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < liste::NbColonnes)
        return liste::titre(liste::Colonne(section));
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---------------------------------------------------------------------------
// The window

namespace {

QPushButton *bouton(QWidget *parent, const char *nom, const QString &texte)
{
    auto *b = new QPushButton(texte, parent);
    b->setObjectName(QString::fromUtf8(nom));
    return b;
}

QCheckBox *option(QWidget *parent, const char *nom, const QString &texte)
{
    auto *c = new QCheckBox(texte, parent);
    c->setObjectName(QString::fromUtf8(nom));
    return c;
}

// "0 fiche", "1 fiche", "3 fiches"; with a participle, "1 fiche marquée", "3 fiches marquées".
QString fiches(int n, const char *participe = nullptr)
{
    QString t = n <= 1 ? QStringLiteral("%1 fiche").arg(n) : QStringLiteral("%1 fiches").arg(n);
    if (participe)
        t += u' ' + QString::fromUtf8(participe) + (n <= 1 ? QString() : QStringLiteral("s"));
    return t;
}

class FenetreListe : public QWidget {
public:
    FenetreListe(SessionBanque &s, QWidget *fenetre) : QWidget(nullptr), m_s(s)
    {
        setObjectName(QStringLiteral("ListeFiches"));
        setWindowTitle(QStringLiteral("Liste des fiches"));
        setAttribute(Qt::WA_DeleteOnClose);

        filtreFiches = new QLineEdit(this);
        filtreFiches->setObjectName(QStringLiteral("filtreFiches"));
        filtreFiches->setPlaceholderText(QStringLiteral("Chercher dans les questions, réponses et commentaires"));
        filtreFiches->setClearButtonEnabled(true);
        filtreAccents = option(this, "filtreAccents", QStringLiteral("Sans tenir compte des accents"));
        filtreTheme = new QComboBox(this);
        filtreTheme->setObjectName(QStringLiteral("filtreTheme"));
        filtreMarquees = option(this, "filtreMarquees", QStringLiteral("Marquées seulement"));
        filtreMedia = option(this, "filtreMedia", QStringLiteral("Avec image ou son"));
        filtreBonne = option(this, "filtreBonne", QStringLiteral("Sans bonne réponse ou avec plusieurs"));
        comptageFiches = new QLabel(this);
        comptageFiches->setObjectName(QStringLiteral("comptageFiches"));

        vueFiches = new QTableView(this);
        vueFiches->setObjectName(QStringLiteral("vueFiches"));
        vueFiches->setModel(&m_modele);
        vueFiches->setSelectionBehavior(QAbstractItemView::SelectRows);
        vueFiches->setSelectionMode(QAbstractItemView::ExtendedSelection);
        vueFiches->setEditTriggers(QAbstractItemView::NoEditTriggers);
        vueFiches->setSortingEnabled(true);
        vueFiches->sortByColumn(0, Qt::AscendingOrder);
        vueFiches->setWordWrap(false);
        vueFiches->verticalHeader()->hide();
        vueFiches->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        vueFiches->verticalHeader()->setDefaultSectionSize(vueFiches->fontMetrics().height() + 6);
        QHeaderView *entete = vueFiches->horizontalHeader();
        entete->setSectionResizeMode(QHeaderView::Interactive);
        entete->setStretchLastSection(false);
        const int largeurs[] = {60, 130, 380, 200, 60, 60, 110};
        for (int c = 0; c < liste::NbColonnes; ++c)
            vueFiches->setColumnWidth(c, largeurs[c]);
        entete->setSectionResizeMode(int(liste::Colonne::Question), QHeaderView::Stretch);

        boutMarquer = bouton(this, "boutMarquer", QStringLiteral("&Marquer"));
        boutDemarquer = bouton(this, "boutDemarquer", QStringLiteral("&Démarquer"));
        choixTheme = new QComboBox(this);
        choixTheme->setObjectName(QStringLiteral("choixTheme"));
        boutTheme = bouton(this, "boutTheme", QStringLiteral("Changer de &thème"));
        boutSupprimer = bouton(this, "boutSupprimer", QStringLiteral("&Supprimer"));
        boutTransferer = bouton(this, "boutTransferer", QStringLiteral("T&ransférer…"));
        boutExporter = bouton(this, "boutExporter", QStringLiteral("&Exporter…"));
        boutQuiz = bouton(this, "boutQuiz", QStringLiteral("Page de &quiz…"));
        boutSujets = bouton(this, "boutSujets", QStringLiteral("Su&jets d'examen…"));
        boutFermer = bouton(this, "boutFermer", QStringLiteral("&Fermer"));
        bilan = new QLabel(this);
        bilan->setObjectName(QStringLiteral("bilanListe"));
        bilan->hide();  // a line of its own only once something was done

        auto *ligne1 = new QHBoxLayout;
        ligne1->addWidget(new QLabel(QStringLiteral("Texte :"), this));
        ligne1->addWidget(filtreFiches, 1);
        ligne1->addWidget(filtreAccents);
        ligne1->addWidget(filtreTheme);
        auto *ligne2 = new QHBoxLayout;
        ligne2->addWidget(filtreMarquees);
        ligne2->addWidget(filtreMedia);
        ligne2->addWidget(filtreBonne);
        ligne2->addStretch(1);
        ligne2->addWidget(comptageFiches);
        auto *actions = new QHBoxLayout;
        actions->addWidget(new QLabel(QStringLiteral("Sélection :"), this));
        actions->addWidget(boutMarquer);
        actions->addWidget(boutDemarquer);
        actions->addSpacing(12);
        actions->addWidget(choixTheme);
        actions->addWidget(boutTheme);
        actions->addSpacing(12);
        actions->addWidget(boutSupprimer);
        actions->addStretch(1);
        auto *sorties = new QHBoxLayout;
        sorties->addWidget(new QLabel(QStringLiteral("Copier la sélection :"), this));
        sorties->addWidget(boutTransferer);
        sorties->addWidget(boutExporter);
        sorties->addWidget(boutQuiz);
        sorties->addWidget(boutSujets);
        sorties->addStretch(1);
        sorties->addWidget(boutFermer);
        auto *tout = new QVBoxLayout(this);
        tout->addLayout(ligne1);
        tout->addLayout(ligne2);
        tout->addWidget(vueFiches, 1);
        tout->addWidget(bilan);
        tout->addLayout(actions);
        tout->addLayout(sorties);
        resize(1000, 600);

        connect(filtreFiches, &QLineEdit::textChanged, this, [this] { filtrer(); });
        for (QCheckBox *c : {filtreAccents, filtreMarquees, filtreMedia, filtreBonne})
            connect(c, &QCheckBox::toggled, this, [this] { filtrer(); });
        connect(filtreTheme, &QComboBox::currentIndexChanged, this, [this] { filtrer(); });
        connect(&m_modele, &ModeleFiches::lignesChangees, this, [this] { compter(); });
        connect(vueFiches->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { etatBoutons(); });
        connect(vueFiches, &QAbstractItemView::activated, this, [this](const QModelIndex &i) { montrer(i); });
        connect(boutMarquer, &QPushButton::clicked, this, [this] { marquer(true); });
        connect(boutDemarquer, &QPushButton::clicked, this, [this] { marquer(false); });
        connect(boutTheme, &QPushButton::clicked, this, [this] { changerTheme(); });
        connect(boutSupprimer, &QPushButton::clicked, this, [this] { supprimer(); });
        connect(boutTransferer, &QPushButton::clicked, this, [this] { transferer(); });
        connect(boutExporter, &QPushButton::clicked, this, [this] { exporter(); });
        connect(boutQuiz, &QPushButton::clicked, this, [this] { sortie(false); });
        connect(boutSujets, &QPushButton::clicked, this, [this] { sortie(true); });
        connect(boutFermer, &QPushButton::clicked, this, &QWidget::close);
        auto *echap = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        connect(echap, &QShortcut::activated, this, &QWidget::close);

        // The editor's changes show at once.
        connect(&s, &SessionBanque::banqueOuverte, this, [this] { charger(); });
        connect(&s, &SessionBanque::comptesChanges, this, [this] { charger(); });
        connect(&s, &SessionBanque::themesCharges, this, [this] { themes(); });
        connect(&s, &SessionBanque::ficheEcrite, this, [this](int n) { m_modele.carteChangee(n); });
        connect(&s, &SessionBanque::ficheLue, this, [this](int n) { surFicheLue(n); });

        themes();
        charger();
        if (fenetre) {
            const QRect ecran = fenetre->screen()->availableGeometry();
            const QRect cote(fenetre->frameGeometry().topRight() + QPoint(8, 0), size());
            move(cote.right() <= ecran.right() ? cote.topLeft() : QPoint(qMax(ecran.left(), ecran.right() - width()), cote.top()));
        }
    }

    QLineEdit *filtreFiches;
    QCheckBox *filtreAccents, *filtreMarquees, *filtreMedia, *filtreBonne;
    QComboBox *filtreTheme, *choixTheme;
    QLabel *comptageFiches, *bilan;
    void dire(const QString &texte)
    {
        bilan->setText(texte);
        bilan->setVisible(!texte.isEmpty());
    }
    QTableView *vueFiches;
    QPushButton *boutMarquer, *boutDemarquer, *boutTheme, *boutSupprimer, *boutFermer;
    QPushButton *boutTransferer, *boutExporter, *boutQuiz, *boutSujets;

    ModeleFiches &modele() { return m_modele; }

private:
    void charger()
    {
        // A rewrite that kept every card (marks, themes) keeps the cards chosen, for the next action.
        const QList<int> choisies = selection();
        const QString avant = m_modele.chemin();
        const int nombre = m_modele.nombreDansBanque();
        setWindowTitle(QStringLiteral("Liste des fiches - %1").arg(QFileInfo(m_s.cheminBanque()).fileName()));
        m_modele.charger(m_s.cheminBanque(), m_s.etat().Themes);
        m_modele.fixerCourante(m_s.etat().NumFiche);
        if (!choisies.isEmpty() && avant == m_modele.chemin() && nombre == m_modele.nombreDansBanque())
            choisir(choisies);
        etatBoutons();
    }

    void choisir(const QList<int> &numeros)
    {
        QHash<int, int> rangs;
        rangs.reserve(m_modele.rowCount());
        for (int r = 0; r < m_modele.rowCount(); ++r)
            rangs.insert(m_modele.numero(r), r);
        QList<int> lignes;
        for (int n : numeros)
            if (const int r = rangs.value(n, -1); r >= 0)
                lignes << r;
        std::sort(lignes.begin(), lignes.end());
        QItemSelection choix;
        for (qsizetype i = 0; i < lignes.size();) {
            qsizetype j = i;
            while (j + 1 < lignes.size() && lignes[j + 1] == lignes[j] + 1)
                ++j;
            choix.select(m_modele.index(lignes[i], 0), m_modele.index(lignes[j], liste::NbColonnes - 1));
            i = j + 1;
        }
        vueFiches->selectionModel()->select(choix, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    void themes()
    {
        const TableThemes &t = m_s.etat().Themes;
        const int filtre = filtreTheme->currentIndex(), choix = choixTheme->currentIndex();
        const QSignalBlocker b1(filtreTheme), b2(choixTheme);
        filtreTheme->clear();
        choixTheme->clear();
        filtreTheme->addItem(QStringLiteral("Tous les thèmes"), -1);
        for (int i = 0; i < 9; ++i) {
            const QString nom = liste::nomTheme(t, i);
            const QString libelle = nom.isEmpty() ? QStringLiteral("Thème %1").arg(i + 1) : nom;
            filtreTheme->addItem(libelle, i);
            choixTheme->addItem(libelle, i);
        }
        filtreTheme->setCurrentIndex(qMax(0, filtre));
        choixTheme->setCurrentIndex(qMax(0, choix));
        m_modele.fixerThemes(t);
    }

    void filtrer()
    {
        liste::Filtre f;
        f.texte = filtreFiches->text();
        f.sansAccents = filtreAccents->isChecked();
        f.theme = filtreTheme->currentData().isValid() ? filtreTheme->currentData().toInt() : -1;
        f.marquees = filtreMarquees->isChecked();
        f.media = filtreMedia->isChecked();
        f.bonneDouteuse = filtreBonne->isChecked();
        m_modele.filtrer(f);
    }

    void compter()
    {
        comptageFiches->setText(QStringLiteral("%1 sur %2").arg(fiches(m_modele.rowCount())).arg(m_modele.nombreDansBanque()));
        etatBoutons();
    }

    QList<int> selection() const
    {
        QList<int> n;
        for (const QModelIndex &i : vueFiches->selectionModel()->selectedRows())
            n << m_modele.numero(i.row());
        std::sort(n.begin(), n.end());
        return n;
    }

    void etatBoutons()
    {
        const bool choisies = vueFiches->selectionModel()->hasSelection();
        const bool ecrire = choisies && !m_s.lectureSeule();
        for (QWidget *w : std::initializer_list<QWidget *>{boutMarquer, boutDemarquer, boutTheme, boutSupprimer, choixTheme})
            w->setEnabled(ecrire);
        // Copies leave the bank as it is: a bank open read-only gives them too.
        for (QWidget *w : std::initializer_list<QWidget *>{boutTransferer, boutExporter, boutQuiz, boutSujets})
            w->setEnabled(choisies);
    }

    void surFicheLue(int n)
    {
        // The editor deleted or added a card: the bank no longer has the cards the list shows.
        const FichierQuestions *f = m_s.etat().fichier();
        if (f && f->nombre() != m_modele.nombreDansBanque())
            charger();
        m_modele.fixerCourante(n);
        if (const int r = m_modele.ligne(n); r >= 0)
            vueFiches->scrollTo(m_modele.index(r, 0));
    }

    void montrer(const QModelIndex &i)
    {
        const int n = m_modele.numero(i.row());
        if (n < 1 || !m_s.stockerFiche())
            return;
        m_s.allerA(n);
    }

    // The rules around every change: the card on screen stored first, the bank opened again
    // after, one message said.
    template <class F> void changer(F &&faire)
    {
        const QList<int> choisies = selection();
        if (choisies.isEmpty() || m_s.refuserEnLectureSeule() || !m_s.stockerFiche())
            return;
        const QString banque = m_s.cheminBanque();
        int courante = m_s.etat().NumFiche;
        m_s.etat().canaux.fermerTout();
        const liste::Bilan b = faire(choisies, banque, menage::cheminTemporaire(banque), courante);
        m_s.rouvrir(courante);
        if (!b.resultat) {
            dire({});
            m_s.erreur(b.resultat.erreur);
        }
    }

    void marquer(bool marque)
    {
        changer([&](const QList<int> &choisies, const QString &banque, const QString &tmp, int &) {
            const liste::Bilan b = liste::marquer(banque, tmp, choisies, marque);
            if (b.resultat)
                dire(b.changees, int(choisies.size()), marque ? "marquée" : "démarquée", {},
                     marque ? std::pair{"l'était déjà", "l'étaient déjà"} : std::pair{"ne l'était pas", "ne l'étaient pas"});
            return b;
        });
    }

    void changerTheme()
    {
        const int theme = choixTheme->currentData().toInt();
        changer([&](const QList<int> &choisies, const QString &banque, const QString &tmp, int &) {
            const liste::Bilan b = liste::changerTheme(banque, tmp, choisies, theme);
            if (b.resultat)
                dire(b.changees, int(choisies.size()), "passée",
                     QStringLiteral(" au thème « %1 »").arg(choixTheme->currentText()), {"y était déjà", "y étaient déjà"});
            return b;
        });
    }

    void supprimer()
    {
        const int n = int(vueFiches->selectionModel()->selectedRows().size());
        if (n == 0 || m_s.lectureSeule())
            return;
        // As in the editor, a bank keeps at least one card.
        if (n >= m_modele.nombreDansBanque()) {
            m_s.erreur(QStringLiteral("Toutes les fiches de la banque sont choisies : une banque garde au moins une fiche, "
                                      "aucune n'est supprimée."));
            return;
        }
        const QString question = n == 1 ? QStringLiteral("Supprimer la fiche choisie ? Elle sera gardée dans la corbeille.")
                                        : QStringLiteral("Supprimer les %1 fiches choisies ? Elles seront gardées dans la corbeille.").arg(n);
        if (m_s.message(question, Plateforme::Boutons::OuiNon, Plateforme::Icone::Exclamation, QStringLiteral("Liste des fiches"),
                        Plateforme::Reponse::Non)
            != Plateforme::Reponse::Oui)
            return;
        changer([&](const QList<int> &choisies, const QString &banque, const QString &tmp, int &courante) {
            const liste::Bilan b = liste::supprimer(banque, tmp, choisies, m_s.dossierMedia(), QDateTime::currentSecsSinceEpoch());
            if (b.resultat) {
                // The card on screen keeps its place among the cards left.
                courante -= int(std::count_if(choisies.begin(), choisies.end(), [&](int x) { return x < courante; }));
                dire(b.changees == 1 ? QStringLiteral("1 fiche supprimée, gardée dans la corbeille.")
                                               : QStringLiteral("%1 fiches supprimées, gardées dans la corbeille.").arg(b.changees));
            }
            return b;
        });
    }

    echanges::CheminsBanque banque() const { return {m_s.cheminBanque(), m_s.cheminThemes(), m_s.dossierMedia()}; }

    // The file a copy goes to, proposed in the folder of the last one of its kind; "" when cancelled.
    QString fichierSortie(const QString &titre, const QString &sorte, const QString &extension, const QString &filtres,
                          QString *filtre = nullptr)
    {
        Plateforme &p = m_s.plateforme();
        const QString propose = QDir(p.dossierRetenu(sorte)).filePath(QFileInfo(m_s.cheminBanque()).completeBaseName()
                                                                     + QStringLiteral("-selection.") + extension);
        QString f = filtres;
        const QString fichier = p.fichierAEnregistrer(titre, propose, filtres, filtre ? filtre : &f);
        if (!fichier.isEmpty())
            p.retenirDossier(sorte, QFileInfo(fichier).absolutePath());
        return fichier;
    }

    void transferer()
    {
        const QList<int> choisies = selection();
        if (choisies.isEmpty() || !m_s.stockerFiche())
            return;
        const QString destination =
            m_s.plateforme().fichierAEnregistrer(QStringLiteral("Transférer vers la banque"), m_s.dossier(),
                                                 QStringLiteral("Banques de questions (*.qzf *.QZF)"), nullptr);
        if (destination.isEmpty())
            return;
        if (QFileInfo(destination).absoluteFilePath() == QFileInfo(m_s.cheminBanque()).absoluteFilePath()) {
            m_s.erreur(QStringLiteral("Les fiches ne peuvent pas être transférées dans la banque d'où elles viennent."));
            return;
        }
        const ResultatTransfert r = liste::transferer(m_s.cheminBanque(), destination, choisies);
        if (!r.resultat) {
            m_s.erreur(r.resultat.erreur);
            return;
        }
        dire(QStringLiteral("%1 à la fin de la banque %2.")
                           .arg(fiches(r.copiees, "copiée"), QFileInfo(destination).fileName()));
    }

    void exporter()
    {
        const QList<int> choisies = selection();
        if (choisies.isEmpty() || !m_s.stockerFiche())
            return;
        static const echanges::Format formats[] = {echanges::Format::Gift, echanges::Format::MoodleXml,
                                                   echanges::Format::Qti, echanges::Format::Csv};
        QStringList filtres;
        for (echanges::Format f : formats)
            filtres << QStringLiteral("%1 (*.%2)").arg(echanges::nomFormat(f), echanges::extension(f));
        QString filtre = filtres[0];
        QString fichier = fichierSortie(QStringLiteral("Exporter la sélection"), QStringLiteral("sorties"),
                                        echanges::extension(formats[0]), filtres.join(QStringLiteral(";;")), &filtre);
        if (fichier.isEmpty())
            return;
        echanges::OptionsExport options;
        if (const qsizetype k = filtres.indexOf(filtre); k >= 0)
            options.format = formats[k];
        else if (const auto parExtension = echanges::deviner({}, fichier))
            options.format = *parExtension;
        if (QFileInfo(fichier).suffix().isEmpty())
            fichier += u'.' + echanges::extension(options.format);
        echanges::Rapport rapport;
        if (const Resultat r = liste::exporter(banque(), choisies, fichier, options, rapport); !r) {
            m_s.erreur(r.erreur);
            return;
        }
        dire(QStringLiteral("Sélection exportée dans %1.").arg(QFileInfo(fichier).fileName()));
        m_s.message(rapport.texte(), Plateforme::Boutons::Ok, Plateforme::Icone::Aucune,
                    QStringLiteral("Exporter la sélection"));
    }

    // The students' quiz page, or the exam sheets (one version).
    void sortie(bool sujets)
    {
        const QList<int> choisies = selection();
        if (choisies.isEmpty() || !m_s.stockerFiche())
            return;
        const QString fichier =
            sujets ? fichierSortie(QStringLiteral("Sujets d'examen"), QStringLiteral("sorties"), QStringLiteral("pdf"),
                                   QStringLiteral("Documents PDF (*.pdf)"))
                   : fichierSortie(QStringLiteral("Page de quiz"), QStringLiteral("sorties"), QStringLiteral("html"),
                                   QStringLiteral("Pages web (*.html)"));
        if (fichier.isEmpty())
            return;
        const liste::Extrait x(banque(), choisies);
        classe::ResultatSortie r;
        if (!x.resultat()) {
            r.resultat = x.resultat();
        } else if (sujets) {
            classe::OptionsSujets o;
            o.titre = classe::titreParDefaut(banque());
            r = classe::ecrireSujets(x.banque(), {}, o, fichier);
        } else {
            classe::OptionsQuiz o;
            o.titre = classe::titreParDefaut(banque());
            r = classe::ecrireQuiz(x.banque(), {}, o, fichier);
        }
        if (!r.resultat) {
            m_s.erreur(r.resultat.erreur);
            return;
        }
        QString texte = (sujets ? QStringLiteral("Sujets de %1 question(s) écrits dans %2.")
                                : QStringLiteral("Page de quiz de %1 question(s) écrite dans %2."))
                            .arg(r.questions)
                            .arg(fichier);
        for (const QString &remarque : std::as_const(r.remarques))
            texte += u'\n' + x.renumeroter(remarque);
        dire(QStringLiteral("%1 écrit(e).").arg(QFileInfo(fichier).fileName()));
        m_s.message(texte, Plateforme::Boutons::Ok, Plateforme::Icone::Aucune,
                    sujets ? QStringLiteral("Sujets d'examen") : QStringLiteral("Page de quiz"));
    }

    // "2 fiches marquées sur 3 choisies (l'autre l'était déjà)." `deja`: what the cards left as
    // they were are, for one of them and for several.
    void dire(int faites, int choisies, const char *participe, const QString &suite, std::pair<const char *, const char *> deja)
    {
        QString t = fiches(faites, participe) + suite
                    + (choisies == 1 ? QStringLiteral(" sur 1 choisie") : QStringLiteral(" sur %1 choisies").arg(choisies));
        if (faites == choisies - 1)
            t += QStringLiteral(" (l'autre %1)").arg(QString::fromUtf8(deja.first));
        else if (faites < choisies)
            t += QStringLiteral(" (les autres %1)").arg(QString::fromUtf8(deja.second));
        dire(t + u'.');
    }

    SessionBanque &m_s;
    ModeleFiches m_modele;
};

} // namespace

QList<EntreeMenu> entreesListe(SessionBanque &s, QWidget *fenetre)
{
    return {{QStringLiteral("actionListeFiches"), QStringLiteral("Liste des fiches…"), [&s, fenetre] { ouvrirListe(s, fenetre); }}};
}

void ouvrirListe(SessionBanque &s, QWidget *fenetre)
{
    QWidget *w = s.dialogue<QWidget>(QStringLiteral("ListeFiches"));
    if (!w) {
        w = new FenetreListe(s, fenetre);
        s.garderDialogue(w);
    }
    w->show();
    w->raise();
    w->activateWindow();
}
