#pragma once
#include <QColor>
#include <QPixmap>
#include <QPushButton>

// The symbols of the media buttons, drawn for the size asked: a speaker for a sound, a framed
// landscape for a picture. `encre` is the colour of the speaker and of the frame's outline.
namespace icones {

QPixmap hautParleur(int cote, qreal echelle, const QColor &encre);
QPixmap image(int cote, qreal echelle, const QColor &encre);

} // namespace icones

// The play button: its caption stays "U" (a sound) or "µ" (a picture or a video), which
// it draws as a symbol.
class BoutonSymbole : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};
