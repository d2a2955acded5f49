#include "exchange/xml.h"

namespace echanges {

QString NoeudXml::attribut(const QString &n) const
{
    for (const auto &[cle, valeur] : attributs)
        if (cle == n)
            return valeur;
    return {};
}

const NoeudXml *NoeudXml::enfant(const QString &chemin) const
{
    const NoeudXml *n = this;
    for (const QString &niveau : chemin.split(u'/')) {
        const NoeudXml *trouve = nullptr;
        for (const NoeudXml &f : n->fils)
            if (f.nom == niveau) {
                trouve = &f;
                break;
            }
        if (!trouve)
            return nullptr;
        n = trouve;
    }
    return n;
}

QList<const NoeudXml *> NoeudXml::enfants(const QString &chemin) const
{
    const qsizetype barre = chemin.lastIndexOf(u'/');
    const NoeudXml *parent = barre < 0 ? this : enfant(chemin.left(barre));
    const QString nomFils = chemin.mid(barre + 1);
    QList<const NoeudXml *> l;
    if (parent)
        for (const NoeudXml &f : parent->fils)
            if (f.nom == nomFils)
                l << &f;
    return l;
}

QString NoeudXml::texteDe(const QString &chemin) const
{
    const NoeudXml *n = enfant(chemin);
    return n ? n->texte : QString();
}

LecteurXml::LecteurXml(const QByteArray &contenu, QString nomFichier) : m_xml(contenu), m_nomFichier(std::move(nomFichier)) {}

Resultat LecteurXml::erreur() const
{
    if (m_tropProfond)
        return Resultat::echec(QStringLiteral("Le fichier %1 n'est pas lisible (ligne %2) : ses éléments XML sont "
                                              "imbriqués trop profondément.")
                                   .arg(m_nomFichier)
                                   .arg(m_xml.lineNumber()));
    if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
        return Resultat::echec(QStringLiteral("Le fichier %1 est incomplet : son XML s'arrête ligne %2, colonne %3, "
                                              "avant la fin du document.")
                                   .arg(m_nomFichier)
                                   .arg(m_xml.lineNumber())
                                   .arg(m_xml.columnNumber()));
    return Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un XML valide (ligne %2, colonne %3) : %4")
                               .arg(m_nomFichier)
                               .arg(m_xml.lineNumber())
                               .arg(m_xml.columnNumber())
                               .arg(m_xml.errorString()));
}

bool LecteurXml::racine(const QString &attendu, const QString &format, Resultat &resultat)
{
    while (!m_xml.atEnd()) {
        if (m_xml.readNext() == QXmlStreamReader::StartElement) {
            if (m_xml.name() == attendu)
                return true;
            resultat = Resultat::echec(QStringLiteral("Le fichier %1 n'est pas un fichier %2 : son élément racine est "
                                                      "« %3 » (ligne %4), « %5 » est attendu.")
                                           .arg(m_nomFichier, format, m_xml.name().toString())
                                           .arg(m_xml.lineNumber())
                                           .arg(attendu));
            return false;
        }
    }
    resultat = m_xml.hasError() ? erreur()
                                : Resultat::echec(QStringLiteral("Le fichier %1 ne contient aucun élément XML.").arg(m_nomFichier));
    return false;
}

bool LecteurXml::lireNoeud(NoeudXml &noeud, int profondeur)
{
    noeud.nom = m_xml.name().toString();
    noeud.ligne = m_xml.lineNumber();
    for (const QXmlStreamAttribute &a : m_xml.attributes())
        noeud.attributs.append({a.name().toString(), a.value().toString()});
    if (profondeur > 64) {
        m_tropProfond = true;
        m_xml.raiseError(QStringLiteral("trop profond"));
        return false;
    }
    while (!m_xml.atEnd()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            noeud.fils.emplace_back();
            if (!lireNoeud(noeud.fils.back(), profondeur + 1))
                return false;
            break;
        }
        case QXmlStreamReader::EndElement: return true;
        case QXmlStreamReader::Characters: {
            const QString t = m_xml.text().toString();
            noeud.texte += t;
            if (!noeud.fils.empty() && noeud.fils.back().nom.isEmpty())
                noeud.fils.back().texte += t;
            else
                noeud.fils.push_back({QString(), t, {}, {}, m_xml.lineNumber()});
            break;
        }
        default: break;
        }
    }
    return false;
}

bool LecteurXml::suivant(const QString &nom, NoeudXml &noeud)
{
    while (!m_xml.atEnd()) {
        const auto jeton = m_xml.readNext();
        if (jeton == QXmlStreamReader::EndElement)
            return false;  // the end of the root
        if (jeton != QXmlStreamReader::StartElement)
            continue;
        if (m_xml.name() != nom) {
            m_xml.skipCurrentElement();
            continue;
        }
        noeud = {};
        return lireNoeud(noeud, 0);
    }
    return false;
}

bool LecteurXml::fin(Resultat &resultat)
{
    while (!m_xml.atEnd() && !m_xml.hasError())
        m_xml.readNext();
    if (m_xml.hasError()) {
        resultat = erreur();
        return false;
    }
    return true;
}

bool LecteurXml::arbre(const QByteArray &contenu, const QString &nomFichier, NoeudXml &racine, Resultat &resultat)
{
    LecteurXml l(contenu, nomFichier);
    while (!l.m_xml.atEnd()) {
        if (l.m_xml.readNext() == QXmlStreamReader::StartElement) {
            if (!l.lireNoeud(racine, 0))
                break;
            return l.fin(resultat);
        }
    }
    resultat = l.m_xml.hasError()
                   ? l.erreur()
                   : Resultat::echec(QStringLiteral("Le fichier %1 ne contient aucun élément XML.").arg(nomFichier));
    return false;
}

} // namespace echanges
