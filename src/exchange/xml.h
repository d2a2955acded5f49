#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QXmlStreamReader>
#include <vector>

namespace echanges {

// A small piece of an XML document held as a tree: a question of a Moodle file, a QTI item.
struct NoeudXml {
    QString nom;     // local name; empty for a text node
    QString texte;   // a text node's characters; for an element, its own text nodes joined
    QList<QPair<QString, QString>> attributs;  // local names
    std::vector<NoeudXml> fils;                // elements and text nodes, in document order
    qint64 ligne = 0;

    QString attribut(const QString &nom) const;
    // "a/b": the first child a, then its first child b.
    const NoeudXml *enfant(const QString &chemin) const;
    // "a/b": every b under the first a (every a for a one-level path).
    QList<const NoeudXml *> enfants(const QString &chemin) const;
    QString texteDe(const QString &chemin) const;
};

// Reads an XML document element by element, with messages in words for the user that name
// the file and the place of a fault.
class LecteurXml {
public:
    LecteurXml(const QByteArray &contenu, QString nomFichier);

    // Up to the root element: false, with the message, when it is not `attendu`.
    bool racine(const QString &attendu, const QString &format, Resultat &resultat);
    // The root's next child named `nom`, read whole; its other children are skipped.
    bool suivant(const QString &nom, NoeudXml &noeud);
    // Once `suivant` answers false: whether the document was whole and well formed.
    bool fin(Resultat &resultat);
    // The whole document as a tree, the root element in `racine`.
    static bool arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat);

private:
    bool lireNoeud(NoeudXml &noeud, int profondeur);
    Resultat erreur() const;

    QXmlStreamReader m_xml;
    QString m_nomFichier;
    bool m_tropProfond = false;
};

} // namespace echanges
