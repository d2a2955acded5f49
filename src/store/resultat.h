#pragma once
#include <QString>

// What a store operation answers: success, or the reason it failed, in words for the user.
struct Resultat {
    bool ok = true;
    QString erreur;

    static Resultat succes() { return {}; }
    static Resultat echec(const QString &texte) { return {false, texte}; }
    explicit operator bool() const { return ok; }
};
