#pragma once
#include "platform/platform.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>

class FiltreListe;
class QComboBox;
class QFileSystemModel;
class QListView;
class QModelIndex;
class QTreeView;
class QWidget;

// The drive list, the folder list and the file list of a window that browses for a file,
// wired together: choosing a drive moves the folder list there, a change of folder moves
// the file list there, a click on a file says which name was clicked.
//
// How to use it:
//     auto *listes = new ListesFichiers(plateforme, this, {"Drive", "listerep", "listefile"},
//                                       "*.jpg;*.bmp", {"Erreur de lecteur!", "ERREUR"});
//     place listes->vueLecteurs(), vueDossiers() and vueFichiers() in the window
//     connect(listes, &ListesFichiers::fichierClique, this, [](const QString &nom) { ... });
//     connect(listes, &ListesFichiers::dossierChange, this, [](const QString &dossier) { ... });
//     listes->fixerDossier(dossierMedia);   // a folder set by the program: same wiring as a click
// The widgets are children of the parent given; place them as you like. The lists start on the
// process's current folder and the volume that holds it.
//
// In tests: fixerDossier(), attendreChargement(), nomsAffiches() (the names shown, in order)
// and rectangleFichier(nom) (where to click in vueFichiers()->viewport()).
class ListesFichiers : public QObject {
    Q_OBJECT
public:
    struct Noms {
        QString lecteurs = QStringLiteral("Drive1");
        QString dossiers = QStringLiteral("Dir1");
        QString fichiers = QStringLiteral("File1");
    };
    // What a drive that cannot be read answers, before the drive list goes back to the
    // drive of the folder shown.
    struct ErreurLecteur {
        QString texte = QStringLiteral("Erreur de lecteur!");
        QString titre = QStringLiteral("Erreur");
        Plateforme::Icone icone = Plateforme::Icone::Exclamation;
    };
    struct Lecteur {
        QString racine;   // where the volume is mounted
        QString libelle;  // as the drive list shows it
    };

    ListesFichiers(Plateforme &plateforme, QWidget *parent, const Noms &noms, const QString &motifs,
                   const ErreurLecteur &erreur);
    ListesFichiers(Plateforme &plateforme, QWidget *parent, const QString &motifs = QStringLiteral("*.qzf"));
    ~ListesFichiers() override;

    QComboBox *vueLecteurs() const { return m_lecteurs; }
    QTreeView *vueDossiers() const { return m_dossiers; }
    QListView *vueFichiers() const { return m_fichiers; }

    // The volumes a person would pick, "/" first: real, ready file systems, without the
    // kernel's own and the packaged-software images.
    static QList<Lecteur> lecteursMontes();
    // Replaces the drives offered (tests offer volumes that cannot be read).
    void fixerLecteurs(const QList<Lecteur> &lecteurs);

    // The folder of the folder list, which the file list shows. Absolute, without a final "/".
    QString dossier() const { return m_dossier; }
    // Moves the folder list to an existing folder, as if the user had chosen it; false otherwise.
    bool fixerDossier(const QString &dossier);
    // As if the user had picked this drive in the drive list (by its mount point).
    void choisirLecteur(const QString &racine);
    // The mount point of the drive chosen in the drive list.
    QString lecteur() const;

    // Patterns separated by ";", e.g. "*.jpg;*.bmp". Matching ignores case, as the list does.
    void fixerMotifs(const QString &motifs);
    QString motifs() const { return m_motifs; }

    // The names the file list holds for its folder, in the order shown. While the folder is
    // still being read, the names it is about to show.
    QStringList nomsAffiches() const;
    // The name selected in the file list, "" when none is.
    QString nomChoisi() const;
    bool chargementTermine() const;
    // Runs the event loop until the file list has read its folder; false after the delay.
    bool attendreChargement(int millisecondes = 5000);
    // Where a name lies in vueFichiers()->viewport() (scrolled into view first); empty if not shown.
    QRect rectangleFichier(const QString &nom) const;

signals:
    void dossierChange(const QString &dossier);
    void fichierClique(const QString &nom);

protected:
    bool eventFilter(QObject *objet, QEvent *event) override;

private:
    void lecteurChange(int index);
    void dossierCourantChange(const QModelIndex &index);
    void montrerDossier(const QString &dossier);
    void suivreLecteur();
    int indexLecteur(const QString &dossier) const;
    void cliquer(const QModelIndex &index);

    Plateforme &m_plateforme;
    ErreurLecteur m_erreur;
    QString m_motifs;
    QString m_dossier;
    QHash<QString, QString> m_dernierDossier;  // per drive: the last folder shown on it
    QSet<QString> m_charges;                   // folders the file list has finished reading
    bool m_recentrer = false;                  // keep the folder shown in view while the tree loads

    QComboBox *m_lecteurs;
    QTreeView *m_dossiers;
    QListView *m_fichiers;
    QFileSystemModel *m_modeleDossiers;
    QFileSystemModel *m_modeleFichiers;
    FiltreListe *m_filtreDossiers;
    FiltreListe *m_filtreFichiers;
};
