#pragma once
#include "store/fichequestion.h"
#include "store/tablethemes.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QString>
#include <QStringList>
#include <initializer_list>

// Small helpers to lay banks on disk for the tests.
namespace banque {

struct Carte {
    QString question;
    int theme = 0;
    int bonne = 1;  // 1 to 3, 0 = none
    int marque = 0;
    QStringList reponses = {};
    QString commentaire = {};
    QString auteur = {};
    QString media = {};
    int code = 0;
};

inline FicheQuestion fiche(const Carte &c)
{
    FicheQuestion f;
    texte::stocker(f.Question, c.question);
    for (int k = 0; k < 3; ++k) {
        texte::stocker(f.Reponse[k], c.reponses.value(k));
        f.BonneReponse[k] = c.bonne == k + 1 ? -1 : 0;
    }
    texte::stocker(f.Commentaire, c.commentaire);
    f.NumTheme = quint8(c.theme);
    f.Marque = qint16(c.marque);
    texte::stocker(f.Auteur, c.auteur);
    texte::stocker(f.FichierMedia, c.media);
    f.TailleImage = qint16(c.code);
    return f;
}

inline bool ecrire(const QString &chemin, const QByteArray &octets)
{
    QFile f(chemin);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(octets) == octets.size();
}

inline QByteArray octets(std::initializer_list<Carte> cartes)
{
    QByteArray b;
    for (const Carte &c : cartes)
        b += fiche(c).octets();
    return b;
}

inline bool ecrire(const QString &chemin, std::initializer_list<Carte> cartes) { return ecrire(chemin, octets(cartes)); }

inline QByteArray lire(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray enregistrement(const QByteArray &fichier, int n)
{
    return fichier.mid(qsizetype(n - 1) * FicheQuestion::Taille, FicheQuestion::Taille);
}

inline FicheQuestion carte(const QString &chemin, int n)
{
    const QByteArray r = enregistrement(lire(chemin), n);
    return FicheQuestion::depuisOctets(r.constData(), r.size());
}

inline bool ecrireThemes(const QString &chemin, const QStringList &noms)
{
    TableThemes t;
    for (int i = 0; i < noms.size() && i < 9; ++i)
        t.fixerNom(i, noms[i]);
    QByteArray b(TableThemes::Taille, '\0');
    t.versOctets(b.data());
    return ecrire(chemin, b);
}

// Lays out entries under a folder, the folders above made: "x/" a folder; "x:n" a bank of n cards
// whose questions are x's first letter in capitals and the card's number; any other "x" a file
// holding its own name. False when one could not be made.
inline bool poser(const QString &dossier, const QStringList &entrees)
{
    bool ok = true;
    for (const QString &e : entrees) {
        const QString chemin = dossier + '/' + e.section(':', 0, 0);
        ok = QDir().mkpath(e.endsWith('/') ? chemin : QFileInfo(chemin).path()) && ok;
        if (e.endsWith('/'))
            continue;
        QByteArray b = e.toUtf8();
        if (e.contains(':')) {
            b.clear();
            for (int i = 1; i <= e.section(':', 1).toInt(); ++i)
                b += fiche({e.left(1).toUpper() + QString::number(i)}).octets();
        }
        ok = ecrire(chemin, b) && ok;
    }
    return ok;
}

} // namespace banque
