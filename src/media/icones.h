#pragma once
#include <QColor>
#include <QPixmap>

// The symbols of the media buttons, drawn for the size asked: a speaker for a sound, a framed
// landscape for a picture. `encre` is the colour of the speaker and of the frame's outline.
namespace icones {

QPixmap hautParleur(int cote, qreal echelle, const QColor &encre);
QPixmap image(int cote, qreal echelle, const QColor &encre);

} // namespace icones
