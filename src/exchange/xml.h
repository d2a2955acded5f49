#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
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

// An element of a document read in place, with its descendants: names, attribute values and
// texts stay views into the document's bytes and are decoded only when asked. Reading a
// bank-sized Moodle file this way spares a string per node. Element 0 is the one read.
class ElementsXml {
public:
    struct Element {
        QByteArrayView nom;  // local name
        int premierFils = -1, suivant = -1;
        int debutAttributs = 0, finAttributs = 0;
        int premierTexte = -1, dernierTexte = -1;
    };
    struct Attribut {
        QByteArrayView nom, valeur;  // local name; the value as written, checked
    };
    struct Texte {
        QByteArrayView brut;  // as written, references checked; a CDATA section's content
        bool cdata = false;
        int suivant = -1;
    };

    qint64 ligne = 0;  // of the element read
    std::vector<Element> elements;
    std::vector<Attribut> attributs;
    std::vector<Texte> textes;

    void vider();
    // The first child named `nom`, or -1.
    int enfant(int e, QByteArrayView nom) const;
    // The children named `nom`, in order, into `sortie` (emptied first).
    void enfants(int e, QByteArrayView nom, std::vector<int> &sortie) const;
    // The value of the attribute, decoded; empty when missing.
    QString attribut(int e, QByteArrayView nom) const;
    // Whether that value, decoded, is `valeur` (UTF-8); a missing attribute is empty.
    bool attributVaut(int e, QByteArrayView nom, QByteArrayView valeur) const;
    // The element's own text, decoded: its text and CDATA pieces joined, those of blanks only
    // between its children left out.
    QString texte(int e) const;
    // The same as UTF-8.
    QByteArray texteUtf8(int e) const;
    bool sansTexte(int e) const { return e < 0 || elements[size_t(e)].premierTexte < 0; }
};

// Reads an XML document element by element, with messages in words for the user that name
// the file and the place of a fault. Our own reader: a bank-sized Moodle file must be read
// within a fraction of a second, several times faster than Qt's stream reader does it.
// It checks what makes a document well formed (nesting, names, quotes, references,
// characters, one root) and reads UTF-8, UTF-16 and the Latin encodings; it takes no DTD.
class LecteurXml {
public:
    LecteurXml(const QByteArray &contenu, QString nomFichier);

    // Up to the root element: false, with the message, when it is not `attendu`.
    bool racine(const QString &attendu, const QString &format, Resultat &resultat);
    // The root's next child named `nom`, read whole in place (the views hold as long as the
    // reader lives); its other children are skipped.
    bool suivant(QByteArrayView nom, ElementsXml &element);
    // Once `suivant` answers false: whether the document was whole and well formed.
    bool fin(Resultat &resultat);
    // The whole document as a tree, the root element in `racine`.
    static bool arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat);

private:
    enum class Jeton { Debut, Fin, Texte, FinDocument, Erreur };
    Jeton lireJeton();
    bool prologue();
    bool lireNoeud(NoeudXml &noeud, int profondeur);
    bool lireElement(ElementsXml &arbre, int profondeur);
    bool verifier(QByteArrayView brut);
    bool sauterElement();
    bool erreur(const QString &detail, qsizetype position = -1);
    bool incomplet();
    QString nomLocal(QByteArrayView nom);
    QString texteJeton() const;
    qint64 ligneA(qsizetype position);
    int colonneA(qsizetype position);

    QByteArray m_octets;
    QString m_nomFichier;
    qsizetype m_pos = 0;
    bool m_prologueLu = false, m_racineVue = false, m_racineFermee = false;
    Resultat m_erreur;
    bool m_enErreur = false;
    std::vector<QByteArrayView> m_pile;
    QHash<QByteArrayView, QString> m_noms;  // local names read once, shared by every node
    // The last token.
    QByteArrayView m_nom;
    std::vector<ElementsXml::Attribut> m_attributs;
    QByteArrayView m_texte;  // as written
    bool m_cdata = false;
    bool m_vide = false;
    bool m_texteBlanc = false;
    qsizetype m_debutJeton = 0;
    // Lines counted up to a position, on from the last one asked.
    qsizetype m_posLigne = 0;
    qint64 m_ligne = 1;
};

} // namespace echanges
