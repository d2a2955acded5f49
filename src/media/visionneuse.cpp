#include "media/visionneuse.h"
#include "editor/session.h"

#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

VisionneuseImage::VisionneuseImage() : QScrollArea(nullptr)
{
    setObjectName(QStringLiteral("VisionneuseImage"));
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setAlignment(Qt::AlignCenter);
    setWidgetResizable(false);
    m_vue = new QLabel;
    m_vue->setObjectName(QStringLiteral("vue"));
    setWidget(m_vue);
}

void VisionneuseImage::montrer(const QString &chemin, const QImage &image)
{
    setWindowTitle(QFileInfo(chemin).fileName());
    m_vue->setPixmap(QPixmap::fromImage(image));
    m_vue->resize(image.size());
    // The picture whole when the screen allows it, else as much as fits, with scroll bars.
    QSize plafond(800, 600);
    if (const QScreen *ecran = screen())
        plafond = ecran->availableGeometry().size() * 9 / 10;
    const int bord = 2 * frameWidth();
    resize(QSize(image.width() + bord, image.height() + bord).boundedTo(plafond).expandedTo(QSize(120, 80)));
    show();
    raise();
    activateWindow();
}

void VisionneuseImage::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QScrollArea::keyPressEvent(event);
}

namespace lecture {

namespace {

bool present(SessionBanque &session, const QString &chemin)
{
    if (QFileInfo(chemin).isFile())
        return true;
    session.message(QStringLiteral("Impossible de trouver le fichier : ") + chemin
                    + QStringLiteral(" Le fichier a été déplacé ou effacé"));
    return false;
}

} // namespace

void voirImage(SessionBanque &session, const QString &chemin)
{
    if (!present(session, chemin))
        return;
    QImageReader lecteur(chemin);
    lecteur.setAutoTransform(true);
    const QImage image = lecteur.read();
    if (image.isNull()) {
        session.erreur(QStringLiteral("Le fichier %1 n'est pas une image lisible (JPEG ou BMP).").arg(chemin));
        return;
    }
    auto *vue = session.dialogue<VisionneuseImage>(QStringLiteral("VisionneuseImage"));
    if (!vue) {
        vue = new VisionneuseImage;
        session.garderDialogue(vue);
    }
    vue->montrer(chemin, image);
}

void ouvrirVideo(SessionBanque &session, const QString &chemin)
{
    if (!present(session, chemin))
        return;
    if (!session.plateforme().ouvrirFichier(chemin))
        session.erreur(QStringLiteral("Aucune application du bureau ne peut ouvrir le fichier : ") + chemin);
}

} // namespace lecture
