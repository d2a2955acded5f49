#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QString>
#include <utility>

struct _xmlTextReader;
struct _xmlError;

namespace echanges {

// An XML document read node by node with libxml2's streaming reader, with messages in words
// for the user that name the file and the place of a fault. Documents come from strangers:
// nothing is fetched from the network, DTDs and the entities they declare are refused, and the
// sizes of texts, names and nesting are bounded. Reads UTF-8, UTF-16 with its mark and the
// encodings a document declares. Once a fault is met, nothing more is read.
class LecteurXml {
public:
    LecteurXml(const QByteArray &contenu, QString nomFichier);
    ~LecteurXml();
    LecteurXml(const LecteurXml &) = delete;
    LecteurXml &operator=(const LecteurXml &) = delete;

    // The next node: false at the end of the document, or at a fault.
    bool lire();
    // Up to the root element: false, with the message, when there is none.
    bool racine(Resultat &resultat);
    // The next child element of the element at depth `parent`, the reader standing on it or
    // inside it: false past its end.
    bool enfant(int parent);
    // Through the end of the current element, its content read for faults but left unused.
    void sauter();
    // The current element's own text, read through its end: its text and CDATA pieces joined,
    // those of blanks only left out. Valid until the next call.
    QByteArrayView texteUtf8();
    QString texte() { return QString::fromUtf8(texteUtf8()); }
    // Reads to the end: false, with the message, when the document is not whole and well formed.
    bool fin(Resultat &resultat);
    bool ok() const { return m_erreur.ok; }

    // The node the reader stands on.
    bool estElement() const;
    bool estTexte() const;  // text or CDATA
    bool estBlanc() const;  // blanks between elements
    int profondeur() const;
    bool vide() const;
    QByteArrayView nom() const;     // local name; lasts as long as the reader
    QByteArrayView valeur() const;  // of a text
    qint64 ligne() const { return m_ligne; }  // of an element's start tag
    // An attribute by its local name; empty when missing.
    QString attribut(QByteArrayView nom);
    bool attributVaut(QByteArrayView nom, QByteArrayView valeur);

private:
    QByteArrayView attributUtf8(QByteArrayView nom);
    static void noter(void *moi, _xmlError *e);
    void trouverBalise();
    bool traduire();
    bool echouer(const QString &detail, qint64 ligne, int colonne);
    bool echouer(const QString &detail, qsizetype position);
    bool incomplet();
    std::pair<qint64, int> place(qsizetype position) const;
    qsizetype position(qint64 ligne, int colonne) const;

    QByteArray m_octets, m_texte;
    QString m_nomFichier;
    _xmlTextReader *m_lecteur = nullptr;
    bool m_ascii = true;  // positions can be found in the bytes themselves
    int m_type = 0;
    bool m_racineVue = false;
    Resultat m_erreur = Resultat::succes();
    // The first fault the parser reported.
    struct Faute {
        bool vue = false;
        int code = 0, niveau = 0, ligne = 0, colonne = 0, valeur = 0;
        QByteArray mot1, mot2, message;
    } m_faute;
    // Start tags looked for in the bytes, and lines counted, from where the last one stood.
    qsizetype m_curseur = 0, m_posLigne = 0, m_balise = -1;
    qint64 m_ligneCurseur = 1, m_ligne = 0;
};

} // namespace echanges
