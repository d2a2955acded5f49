#pragma once
// A program folder with a bank and its media folder, the fake desktop and the main window.
#include "support/editeur.h"
#include "media/formmultimedia.h"

#include <QBuffer>
#include <QGroupBox>
#include <QImage>
#include <QRegularExpression>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>

namespace media_test {

using namespace Qt::StringLiterals;

inline QByteArray jpeg(int largeur, int hauteur, Qt::GlobalColor couleur)
{
    QImage image(largeur, hauteur, QImage::Format_RGB32);
    image.fill(couleur);
    QByteArray octets;
    QBuffer tampon(&octets);
    tampon.open(QIODevice::WriteOnly);
    image.save(&tampon, "JPG");
    return octets;
}

struct Banc : Editeur {
    Banc() : Editeur(PlusTard{}) {}
    bool poser(const QString &nom, const QByteArray &octets)
    {
        return QDir().mkpath(QFileInfo(chemin(nom)).path()) && banque::ecrire(chemin(nom), octets);
    }
    // The usual media folder: pictures of every kind of name, two sounds.
    bool poserMedias(const QString &dossier = u"BASE"_s)
    {
        bool ok = true;
        for (const QString &nom : {u"photo.jpg"_s, u"abcdefgh.jpg"_s, u"abcdefghi.jpg"_s, u"PHOTO2.JPG"_s})
            ok = ok && poser(dossier + u'/' + nom, jpeg(40, 30, Qt::darkCyan));
        ok = ok && poser(dossier + u"/avant.jpg"_s, jpeg(20, 10, Qt::red));
        ok = ok && poser(dossier + u"/casse.jpg"_s, "pas une image"_ba);
        for (const QString &nom : {u"son.wav"_s, u"autre.wav"_s, u"abcdefghi.wav"_s, u"chant.ogg"_s, u"chant.mp3"_s})
            ok = ok && poser(dossier + u'/' + nom, "RIFF"_ba);
        return ok;
    }
    FormMultimedia *dialogue() { return qobject_cast<FormMultimedia *>(dialogueCharge(f, u"FormMultimedia"_s)); }
    // Clicks "&Charger un fichier SON ou IMAGE" and waits for the file list.
    FormMultimedia *ouvrirDialogue()
    {
        clic("BoutMultimedia");
        FormMultimedia *d = dialogue();
        if (!d || !QTest::qWaitForWindowExposed(d) || !d->listes()->attendreChargement())
            return nullptr;
        return d;
    }
    // The file list applies new patterns on the next turn of the event loop.
    bool cliquer(const QString &nom)
    {
        ListesFichiers &l = *dialogue()->listes();
        for (int i = 0; i < 100 && l.attendreChargement() && !l.rectangleFichier(nom).isValid(); ++i)
            QTest::qWait(20);
        return cliquerFichier(l, nom);
    }
    QStringList noms()
    {
        QCoreApplication::processEvents();
        QStringList l = dialogue()->listes()->nomsAffiches();
        std::sort(l.begin(), l.end());
        return l;
    }
};

} // namespace media_test
