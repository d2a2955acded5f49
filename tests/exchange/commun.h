#pragma once
// Banks laid on disk for the exchange tests, and cards read back from them.
#include "exchange/formats.h"
#include "support/banque.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace essai {

struct Banque {
    QTemporaryDir dir;
    QString nom = QStringLiteral("BASE.QZF");

    echanges::CheminsBanque chemins() const { return echanges::CheminsBanque::pres(dir.filePath(nom)); }
    QString chemin(const QString &f) const { return dir.filePath(f); }
    void poser(std::initializer_list<banque::Carte> cartes, const QStringList &themes = {})
    {
        banque::ecrire(chemins().banque, cartes);
        if (!themes.isEmpty())
            banque::ecrireThemes(chemins().themes, themes);
    }
    void media(const QString &nom, const QByteArray &octets) const
    {
        QDir().mkpath(chemins().medias);
        banque::ecrire(QDir(chemins().medias).filePath(nom), octets);
    }
    QByteArray lireMedia(const QString &nom) const { return banque::lire(QDir(chemins().medias).filePath(nom)); }
    QStringList medias() const { return QDir(chemins().medias).entryList(QDir::Files, QDir::Name); }
    QByteArray octets() const { return banque::lire(chemins().banque); }
    int nombre() const { return int(octets().size() / FicheQuestion::Taille); }
    FicheQuestion fiche(int n) const { return banque::carte(chemins().banque, n); }
    QStringList themes() const
    {
        TableThemes t;
        lireThemes(chemins().themes, t, false);
        QStringList l;
        for (int i = 0; i < 9; ++i)
            l << texte::sansEspaces(t.nom(i));
        while (!l.isEmpty() && l.last().isEmpty())
            l.removeLast();
        return l;
    }
    // A file written beside the bank.
    QString fichier(const QString &nom, const QByteArray &octets) const
    {
        banque::ecrire(dir.filePath(nom), octets);
        return dir.filePath(nom);
    }
};

inline QByteArray moodle(const QByteArray &questions)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n" + questions + "</quiz>\n";
}

// The bytes an export of the bank writes, or "ERREUR".
inline QByteArray exporter(const Banque &b, const echanges::OptionsExport &o, echanges::Rapport *rapport = nullptr)
{
    echanges::SourceBanque src;
    QBuffer tampon;
    tampon.open(QIODevice::WriteOnly);
    echanges::Rapport r;
    if (!src.ouvrir(b.chemins()) || !echanges::ecrire(src, tampon, o, r))
        return "ERREUR";
    if (rapport)
        *rapport = r;
    return tampon.data();
}

// A Moodle XML question whose text shows a picture it carries.
inline QByteArray image(const QByteArray &nom, const QByteArray &octets)
{
    return "<question type=\"multichoice\"><name><text>" + nom + "</text></name><questiontext format=\"html\">"
           "<text><![CDATA[<img src=\"@@PLUGINFILE@@/" + nom + "\">]]></text><file name=\"" + nom + "\" encoding=\"base64\">"
           + octets.toBase64() + "</file></questiontext><answer fraction=\"100\"><text>a</text></answer>"
           "<answer fraction=\"0\"><text>b</text></answer><answer fraction=\"0\"><text>c</text></answer></question>\n";
}

// A text in UTF-16 behind its byte order mark.
inline QByteArray utf16(const QString &t, bool petitBoutiste)
{
    QByteArray o = petitBoutiste ? "\xFF\xFE" : "\xFE\xFF";
    for (QChar c : t) {
        o += char(petitBoutiste ? c.unicode() & 0xFF : c.unicode() >> 8);
        o += char(petitBoutiste ? c.unicode() >> 8 : c.unicode() & 0xFF);
    }
    return o;
}

// A card of a bank in one line: texts as shown, "|" between fields, line breaks as "/".
inline QString resume(const FicheQuestion &f, const QStringList &themes)
{
    auto t = [](const char *c, int n) { return texte::affiche(c, n).replace(QLatin1String("\r\n"), QLatin1String("/")); };
    QStringList champs{t(f.Question, 200), t(f.Reponse[0], 125), t(f.Reponse[1], 125), t(f.Reponse[2], 125),
                       QString::number(echanges::bonneReponse(f)), t(f.Commentaire, 200),
                       themes.value(f.NumTheme)};
    return champs.join(u'|');
}

// A question a reader found, in the same shape; then its media (name, code, bytes), mark and
// initials when it has them.
inline QString resume(const echanges::Question &q)
{
    auto t = [](QString s) { return s.replace(u'\n', u'/'); };
    QStringList l{t(q.question), t(q.reponses[0]), t(q.reponses[1]), t(q.reponses[2]), QString::number(q.bonne),
                  t(q.commentaire), q.categorie};
    if (!q.media.isEmpty())
        l << q.media + '/' + QString::number(q.codeMedia) + '/' + QString::fromLatin1(q.octetsMedia);
    if (q.marque)
        l << QStringLiteral("marque");
    if (!q.auteur.isEmpty())
        l << q.auteur;
    return l.join(u'|');
}

inline QStringList resumes(const echanges::Lecture &l)
{
    QStringList r;
    for (const echanges::Question &q : l.questions)
        r << resume(q);
    for (const echanges::Remarque &m : l.remarques)
        r << m.ligne();
    if (!l.resultat)
        r << QStringLiteral("ERREUR ") + l.resultat.erreur;
    return r;
}

} // namespace essai
