#pragma once
#include "store/resultat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The sample bank, built from its readable source with the store's own record code.
namespace exemple {

struct Banque {
    QString nom;         // "DEMO": the files DEMO.qzf, DEMO.prm and the media folder DEMO/
    QByteArray fiches;   // the question file, 803 bytes a card
    QByteArray themes;   // the theme file, 339 bytes
    QStringList medias;  // media files the cards name, each once, in order of first use
};

// Reads the source (UTF-8 JSON) and checks every card against what the editor itself would
// store and show unchanged; a card may only name a media file listed in mediasConnus.
// An error names the card (from 1) and the field.
Resultat lire(const QByteArray &json, const QStringList &mediasConnus, Banque &banque);

} // namespace exemple
