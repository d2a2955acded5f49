#include "files/listesfichiers.h"

#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <functional>

namespace {

// The file list: moving through it with the keys says which name is chosen, as a click does.
class ListeFichiers : public QListView {
public:
    using QListView::QListView;
    std::function<void(const QModelIndex &)> auClavier;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const QModelIndex avant = currentIndex();
        QListView::keyPressEvent(event);
        if (currentIndex() != avant && currentIndex().isValid() && auClavier)
            auClavier(currentIndex());
    }
};

QString propre(const QString &dossier)
{
    return QDir::cleanPath(QDir(dossier).absolutePath());
}

bool sous(const QString &dossier, const QString &racine)
{
    if (racine == u"/")
        return dossier.startsWith(u'/');
    return dossier == racine || dossier.startsWith(racine + u'/');
}

} // namespace

// What a list shows of its file system model. A name left out by the model itself has no
// index, so the folder shown could not be a list's root nor the folder tree's current item:
// the models hold every name, hidden ones included, and the lists leave out here what no
// one asked for, but never the folder shown nor those above it.
class FiltreListe : public QSortFilterProxyModel {
public:
    FiltreListe(bool dossiersSeuls, QObject *parent) : QSortFilterProxyModel(parent), m_dossiersSeuls(dossiersSeuls) {}

    QFileSystemModel *source() const { return static_cast<QFileSystemModel *>(sourceModel()); }
    void fixerDossier(const QString &dossier)
    {
        if (dossier == m_dossier)
            return;
        m_dossier = dossier;
        invalidateFilter();
    }
    using QSortFilterProxyModel::index;
    QModelIndex index(const QString &chemin) const { return mapFromSource(source()->index(chemin)); }
    QString chemin(const QModelIndex &index) const { return propre(source()->filePath(mapToSource(index))); }
    QString nom(const QModelIndex &index) const { return source()->fileName(mapToSource(index)); }

protected:
    bool filterAcceptsRow(int ligne, const QModelIndex &parent) const override
    {
        const QModelIndex index = source()->index(ligne, 0, parent);
        const QString chemin = propre(source()->filePath(index));
        if (sous(m_dossier, chemin))
            return true;
        if (source()->fileName(index).startsWith(u'.'))
            return false;
        return m_dossiersSeuls || !source()->isDir(index);
    }

private:
    bool m_dossiersSeuls;
    QString m_dossier;
};

namespace {

bool lisible(const QString &racine)
{
    const QFileInfo info(racine);
    return info.isDir() && info.isReadable() && QStorageInfo(racine).isReady();
}

QStringList separerMotifs(const QString &motifs)
{
    QStringList liste;
    for (const QString &m : motifs.split(u';', Qt::SkipEmptyParts))
        if (!m.trimmed().isEmpty())
            liste << m.trimmed();
    return liste;
}

} // namespace

ListesFichiers::ListesFichiers(Plateforme &plateforme, QWidget *parent, const QString &motifs)
    : ListesFichiers(plateforme, parent, Noms{}, motifs, ErreurLecteur{})
{
}

ListesFichiers::ListesFichiers(Plateforme &plateforme, QWidget *parent, const Noms &noms, const QString &motifs,
                               const ErreurLecteur &erreur)
    : QObject(parent), m_plateforme(plateforme), m_erreur(erreur)
{
    m_lecteurs = new QComboBox(parent);
    m_lecteurs->setObjectName(noms.lecteurs);

    m_modeleDossiers = new QFileSystemModel(this);
    m_modeleDossiers->setFilter(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
    m_modeleDossiers->setReadOnly(true);
    m_modeleDossiers->setRootPath(QStringLiteral("/"));
    m_filtreDossiers = new FiltreListe(true, this);
    m_filtreDossiers->setSourceModel(m_modeleDossiers);
    m_dossiers = new QTreeView(parent);
    m_dossiers->setObjectName(noms.dossiers);
    m_dossiers->setModel(m_filtreDossiers);
    m_dossiers->setHeaderHidden(true);
    for (int colonne = 1; colonne < m_modeleDossiers->columnCount(); ++colonne)
        m_dossiers->hideColumn(colonne);
    m_dossiers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dossiers->setUniformRowHeights(true);
    m_dossiers->setIndentation(12);

    m_modeleFichiers = new QFileSystemModel(this);
    m_modeleFichiers->setFilter(QDir::AllDirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    m_modeleFichiers->setNameFilterDisables(false);
    m_modeleFichiers->setReadOnly(true);
    auto *liste = new ListeFichiers(parent);
    m_fichiers = liste;
    m_fichiers->setObjectName(noms.fichiers);
    m_filtreFichiers = new FiltreListe(false, this);
    m_filtreFichiers->setSourceModel(m_modeleFichiers);
    m_fichiers->setModel(m_filtreFichiers);
    m_fichiers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fichiers->setUniformItemSizes(true);
    liste->auClavier = [this](const QModelIndex &index) { cliquer(index); };

    // The model sorts what it has read on a later turn of the event loop; sorting at once
    // means the names are in their place as soon as the folder counts as read.
    connect(m_modeleFichiers, &QFileSystemModel::directoryLoaded, this, [this](const QString &dossier) {
        m_modeleFichiers->sort(0, Qt::AscendingOrder);
        m_charges.insert(propre(dossier));
    });
    // The folder tree reads its levels in the background and sorts them as they come: the
    // folder shown is brought back into view until the user takes the tree in hand.
    auto recentrer = [this] {
        if (m_recentrer)
            QTimer::singleShot(0, this, [this] {
                if (m_recentrer)
                    m_dossiers->scrollTo(m_dossiers->currentIndex(), QAbstractItemView::PositionAtCenter);
            });
    };
    connect(m_modeleDossiers, &QFileSystemModel::directoryLoaded, this, recentrer);
    connect(m_modeleDossiers, &QFileSystemModel::rowsInserted, this, recentrer);
    connect(m_modeleDossiers, &QFileSystemModel::layoutChanged, this, recentrer);
    m_dossiers->installEventFilter(this);
    m_dossiers->viewport()->installEventFilter(this);
    m_dossiers->verticalScrollBar()->installEventFilter(this);
    connect(m_fichiers, &QListView::clicked, this, &ListesFichiers::cliquer);
    connect(m_dossiers->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &index) { dossierCourantChange(index); });
    connect(m_lecteurs, &QComboBox::activated, this, &ListesFichiers::lecteurChange);

    fixerMotifs(motifs);
    m_dossier = propre(QDir::currentPath());
    fixerLecteurs(lecteursMontes());
    fixerDossier(m_dossier);
}

ListesFichiers::~ListesFichiers() = default;

bool ListesFichiers::eventFilter(QObject *objet, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
    case QEvent::Wheel: m_recentrer = false; break;
    default: break;
    }
    return QObject::eventFilter(objet, event);
}

QList<ListesFichiers::Lecteur> ListesFichiers::lecteursMontes()
{
    static const QSet<QByteArray> systemes = {
        "proc",   "sysfs",    "devtmpfs", "devpts",   "tmpfs",       "ramfs",    "cgroup",     "cgroup2",
        "securityfs", "debugfs", "tracefs", "pstore", "bpf",         "mqueue",   "hugetlbfs",  "autofs",
        "configfs", "fusectl", "squashfs", "nsfs",    "binfmt_misc", "efivarfs", "rpc_pipefs", "selinuxfs"};
    static const QStringList caches = {QStringLiteral("/proc"), QStringLiteral("/sys"),  QStringLiteral("/dev"),
                                       QStringLiteral("/run"),  QStringLiteral("/snap"), QStringLiteral("/boot"),
                                       QStringLiteral("/var/lib")};

    QList<Lecteur> lecteurs;
    QSet<QString> vus;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes()) {
        const QString racine = propre(v.rootPath());
        if (!v.isValid() || !v.isReady() || vus.contains(racine) || !QFileInfo(racine).isDir())
            continue;
        if (racine != u"/") {
            if (systemes.contains(v.fileSystemType().toLower()))
                continue;
            // Removable media may be mounted under /run/media; the rest of /run is the system's.
            const bool media = sous(racine, QStringLiteral("/run/media"));
            if (!media && std::any_of(caches.begin(), caches.end(), [&](const QString &c) { return sous(racine, c); }))
                continue;
        }
        vus.insert(racine);
        const QString nom = v.name().trimmed();
        lecteurs.append({racine, nom.isEmpty() ? racine : racine + QStringLiteral(" [") + nom + u']'});
    }
    if (!vus.contains(QStringLiteral("/")))
        lecteurs.append({QStringLiteral("/"), QStringLiteral("/")});
    std::sort(lecteurs.begin(), lecteurs.end(), [](const Lecteur &a, const Lecteur &b) {
        if ((a.racine == u"/") != (b.racine == u"/"))
            return a.racine == u"/";
        return a.racine < b.racine;
    });
    return lecteurs;
}

void ListesFichiers::fixerLecteurs(const QList<Lecteur> &lecteurs)
{
    const QSignalBlocker bloque(m_lecteurs);
    m_lecteurs->clear();
    for (const Lecteur &l : lecteurs)
        m_lecteurs->addItem(l.libelle, propre(l.racine));
    suivreLecteur();
}

QString ListesFichiers::lecteur() const { return m_lecteurs->currentData().toString(); }

int ListesFichiers::indexLecteur(const QString &dossier) const
{
    int meilleur = -1;
    qsizetype longueur = -1;
    for (int i = 0; i < m_lecteurs->count(); ++i) {
        const QString racine = m_lecteurs->itemData(i).toString();
        if (sous(dossier, racine) && racine.size() > longueur) {
            meilleur = i;
            longueur = racine.size();
        }
    }
    return meilleur;
}

// The drive list shows the volume of the folder shown, without running its own change.
void ListesFichiers::suivreLecteur()
{
    const QSignalBlocker bloque(m_lecteurs);
    m_lecteurs->setCurrentIndex(indexLecteur(m_dossier));
}

void ListesFichiers::choisirLecteur(const QString &racine)
{
    const int i = m_lecteurs->findData(propre(racine));
    if (i < 0)
        return;
    {
        const QSignalBlocker bloque(m_lecteurs);
        m_lecteurs->setCurrentIndex(i);
    }
    lecteurChange(i);
}

void ListesFichiers::lecteurChange(int index)
{
    const QString racine = m_lecteurs->itemData(index).toString();
    if (racine.isEmpty())
        return;
    if (!lisible(racine)) {
        m_plateforme.messageOk(m_erreur.texte, m_erreur.icone, m_erreur.titre);
        suivreLecteur();
        return;
    }
    // The folder last shown on that drive, as a drive keeps its own current folder.
    QString cible = m_dernierDossier.value(racine);
    const QString courant = propre(QDir::currentPath());
    if (cible.isEmpty() || !QFileInfo(cible).isDir())
        cible = sous(courant, racine) && indexLecteur(courant) == index ? courant : racine;
    if (!fixerDossier(cible))
        fixerDossier(racine);
}

bool ListesFichiers::fixerDossier(const QString &dossier)
{
    const QString chemin = propre(dossier);
    if (!QFileInfo(chemin).isDir())
        return false;
    m_filtreDossiers->fixerDossier(chemin);
    const QModelIndex index = m_filtreDossiers->index(chemin);
    if (index.isValid() && m_dossiers->currentIndex() != index) {
        m_dossiers->setCurrentIndex(index);  // runs the folder change
        m_recentrer = true;
        m_dossiers->scrollTo(index, QAbstractItemView::PositionAtCenter);
        m_dossiers->expand(index);
    }
    if (m_dossier != chemin || m_modeleFichiers->rootPath() != chemin)
        montrerDossier(chemin);
    return true;
}

void ListesFichiers::dossierCourantChange(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const QString chemin = m_filtreDossiers->chemin(index);
    if (chemin != m_dossier || m_modeleFichiers->rootPath() != chemin)
        montrerDossier(chemin);
}

void ListesFichiers::montrerDossier(const QString &dossier)
{
    m_dossier = dossier;
    m_charges.remove(dossier);  // read again when shown again
    m_filtreDossiers->fixerDossier(dossier);
    m_filtreFichiers->fixerDossier(dossier);
    m_modeleFichiers->setRootPath(dossier);
    m_fichiers->setRootIndex(m_filtreFichiers->index(dossier));
    m_fichiers->clearSelection();
    suivreLecteur();
    if (m_lecteurs->currentIndex() >= 0)
        m_dernierDossier.insert(lecteur(), dossier);
    emit dossierChange(dossier);
}

void ListesFichiers::fixerMotifs(const QString &motifs)
{
    m_motifs = motifs;
    m_modeleFichiers->setNameFilters(separerMotifs(motifs));
}

QStringList ListesFichiers::nomsAffiches() const
{
    if (!chargementTermine()) {
        QDir dossier(m_dossier);
        return dossier.entryList(separerMotifs(m_motifs), QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList noms;
    const QModelIndex racine = m_fichiers->rootIndex();
    for (int i = 0, n = m_filtreFichiers->rowCount(racine); i < n; ++i)
        noms << m_filtreFichiers->nom(m_filtreFichiers->index(i, 0, racine));
    return noms;
}

bool ListesFichiers::chargementTermine() const { return m_charges.contains(m_dossier); }

bool ListesFichiers::attendreChargement(int millisecondes)
{
    if (chargementTermine())
        return true;
    QEventLoop boucle;
    QTimer delai;
    delai.setSingleShot(true);
    connect(&delai, &QTimer::timeout, &boucle, &QEventLoop::quit);
    const QMetaObject::Connection fin =
        connect(m_modeleFichiers, &QFileSystemModel::directoryLoaded, &boucle, [this, &boucle] {
            if (chargementTermine())
                boucle.quit();
        });
    delai.start(millisecondes);
    boucle.exec();
    disconnect(fin);
    return chargementTermine();
}

QRect ListesFichiers::rectangleFichier(const QString &nom) const
{
    const QModelIndex racine = m_fichiers->rootIndex();
    for (int i = 0, n = m_filtreFichiers->rowCount(racine); i < n; ++i) {
        const QModelIndex index = m_filtreFichiers->index(i, 0, racine);
        if (m_filtreFichiers->nom(index) == nom) {
            m_fichiers->scrollTo(index);
            return m_fichiers->visualRect(index);
        }
    }
    return {};
}

QString ListesFichiers::nomChoisi() const
{
    const QModelIndex index = m_fichiers->currentIndex();
    if (!index.isValid() || index.parent() != m_fichiers->rootIndex() || !m_fichiers->selectionModel()->isSelected(index))
        return {};
    return m_filtreFichiers->nom(index);
}

void ListesFichiers::cliquer(const QModelIndex &index)
{
    if (index.isValid())
        emit fichierClique(m_filtreFichiers->nom(index));
}
