#pragma once
#include "editor/entree_menu.h"
#include "liste/liste.h"

#include <QAbstractTableModel>
#include <QFile>
#include <QHash>
#include <QList>

class QWidget;
class SessionBanque;

// The cards of the open bank as rows, read from the bank as they are shown: only the rows in
// view are decoded, and a small cache keeps the last ones.
class ModeleFiches : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ModeleFiches(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // Reads the bank again (the index and every row).
    void charger(const QString &cheminBanque, const TableThemes &themes);
    void fixerThemes(const TableThemes &themes);
    // Card `numero` changed in the bank (or was added after the last).
    void carteChangee(int numero);
    void filtrer(const liste::Filtre &filtre);
    void fixerCourante(int numero);

    const QString &chemin() const { return m_chemin; }
    int nombreDansBanque() const { return m_index.nombre(); }
    int numero(int ligne) const { return m_lignes.value(ligne); }
    int ligne(int numero) const { return int(m_lignes.indexOf(numero)); }
    const liste::Filtre &filtre() const { return m_filtre; }
    // Records read from the bank since the model was made.
    qint64 lectures() const { return m_lectures; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_lignes.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : liste::NbColonnes; }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

signals:
    void lignesChangees();

private:
    const QStringList &rangee(int numero) const;
    void recalculer();

    QString m_chemin;
    mutable QFile m_fichier;
    TableThemes m_themes;
    liste::Index m_index;
    liste::Filtre m_filtre;
    liste::Tri m_tri;
    QList<int> m_lignes;
    int m_courante = 0;
    mutable QHash<int, QStringList> m_cache;
    mutable QList<int> m_ordreCache;
    mutable qint64 m_lectures = 0;
};

// "Liste des fiches…" (ListeFiches): every card of the bank in a table, filtered and sorted,
// beside the editor; a selection is marked, moved to a theme or deleted in one rewrite.
QList<EntreeMenu> entreesListe(SessionBanque &session, QWidget *fenetre);
void ouvrirListe(SessionBanque &session, QWidget *fenetre);
