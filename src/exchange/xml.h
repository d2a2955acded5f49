#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

namespace echanges {

// A small piece of an XML document held as a tree: a QTI item, a package's manifest.
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

// An element of a document with its descendants, their texts and attribute values as UTF-8
// in one buffer: reading a bank-sized Moodle file this way spares a string per node.
// Element 0 is the one read.
class ElementsXml {
public:
    struct Element {
        QByteArrayView nom;  // local name, owned by the reader
        int premierFils = -1, suivant = -1;
        int debutAttributs = 0, finAttributs = 0;
        int premierTexte = -1, dernierTexte = -1;
    };
    struct Morceau {
        qsizetype debut = 0, taille = 0;  // in the buffer
    };
    struct Attribut {
        QByteArrayView nom;  // local name, owned by the reader
        Morceau valeur;
    };
    struct Texte {
        Morceau morceau;
        int suivant = -1;
    };

    qint64 ligne = 0;  // of the element read
    std::vector<Element> elements;
    std::vector<Attribut> attributs;
    std::vector<Texte> textes;
    QByteArray octets;

    void vider();
    // The first child named `nom`, or -1.
    int enfant(int e, QByteArrayView nom) const;
    // The children named `nom`, in order, into `sortie` (emptied first).
    void enfants(int e, QByteArrayView nom, std::vector<int> &sortie) const;
    // The value of the attribute; empty when missing.
    QString attribut(int e, QByteArrayView nom) const;
    // Whether that value is `valeur` (UTF-8); a missing attribute is empty.
    bool attributVaut(int e, QByteArrayView nom, QByteArrayView valeur) const;
    // The element's own text: its text and CDATA pieces joined, those of blanks only left out.
    QString texte(int e) const;
    // The same as UTF-8.
    QByteArray texteUtf8(int e) const;
    bool sansTexte(int e) const { return e < 0 || elements[size_t(e)].premierTexte < 0; }

private:
    QByteArrayView vue(Morceau m) const { return QByteArrayView(octets).sliced(m.debut, m.taille); }
};

// Reads an XML document element by element, with messages in words for the user that name
// the file and the place of a fault. Documents come from strangers: nothing is fetched from
// the network, DTDs and the entities they declare are refused, and the sizes of texts, names
// and nesting are bounded. Reads UTF-8, UTF-16 with its mark and the encodings a document
// declares.
class LecteurXml {
public:
    LecteurXml(const QByteArray &contenu, QString nomFichier);
    ~LecteurXml();
    LecteurXml(const LecteurXml &) = delete;
    LecteurXml &operator=(const LecteurXml &) = delete;

    // Up to the root element: false, with the message, when it is not `attendu`.
    bool racine(const QString &attendu, const QString &format, Resultat &resultat);
    // The root's next child named `nom`, read whole (its names hold as long as the reader
    // lives); its other children are skipped.
    bool suivant(QByteArrayView nom, ElementsXml &element);
    // Once `suivant` answers false: whether the document was whole and well formed.
    bool fin(Resultat &resultat);
    // The whole document as a tree, the root element in `racine`.
    static bool arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat);

    struct Etat;

private:
    std::unique_ptr<Etat> d;
};

} // namespace echanges
