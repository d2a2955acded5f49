#pragma once
#include <QScrollArea>

class SessionBanque;
class QLabel;

// A card's picture at its own size in a small window of its own, scrolled when it is larger
// than the screen allows. Found in the session as the dialog "VisionneuseImage".
class VisionneuseImage : public QScrollArea {
    Q_OBJECT
public:
    VisionneuseImage();

    // Shows the picture, the window titled with the file's name.
    void montrer(const QString &chemin, const QImage &image);
    QLabel *vue() const { return m_vue; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_vue;
};

// What the main window's play button does for a card that is not a sound.
namespace lecture {

// Opens the picture in the viewer (the one already open, or a new one).
void voirImage(SessionBanque &session, const QString &chemin);
// Hands a video to the desktop's own player.
void ouvrirVideo(SessionBanque &session, const QString &chemin);

} // namespace lecture
