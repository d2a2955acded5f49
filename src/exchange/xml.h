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
    // The root's next child named `nom`, read whole; its other children are skipped.
    bool suivant(const QString &nom, NoeudXml &noeud);
    // Once `suivant` answers false: whether the document was whole and well formed.
    bool fin(Resultat &resultat);
    // Without text nodes among an element's children, only its own text: enough where no
    // element mixes text and elements, and faster.
    void sansNoeudsTexte() { m_noeudsTexte = false; }
    // The whole document as a tree, the root element in `racine`.
    static bool arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat);

private:
    enum class Jeton { Debut, Fin, Texte, FinDocument, Erreur };
    Jeton lireJeton();
    bool prologue();
    bool lireNoeud(NoeudXml &noeud, int profondeur);
    bool sauterElement();
    bool erreur(const QString &detail, qsizetype position = -1);
    bool incomplet();
    QString nomLocal(QByteArrayView nom);
    QString decoder(QByteArrayView brut, bool attribut);
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
    QList<QPair<QString, QString>> m_attributs;
    QString m_texte;
    bool m_vide = false;
    bool m_texteBlanc = false;
    bool m_noeudsTexte = true;
    qsizetype m_debutJeton = 0;
    // Lines counted up to a position, on from the last one asked.
    qsizetype m_posLigne = 0;
    qint64 m_ligne = 1;
};

} // namespace echanges
