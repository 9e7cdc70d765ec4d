#include "ui/BigButton.h"

#include <QPainter>

#include "ui/Resources.h"

namespace ts {

CBigButton::CBigButton(QWidget* parent) : QWidget(parent) {
    // A picture, not a control: it takes no focus and lets clicks through to its window.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool CBigButton::LoadPicture(const QString& resource) {
    EnsureResources();
    QImage image(resource);
    if (image.isNull()) return false;
    // Palette pictures keep their colour table; drawing maps it to the screen.
    m_picture = image;
    setFixedSize(image.width() + 8, image.height() + 8);
    update();
    return true;
}

void CBigButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    // The frame: a one-pixel black outline around a white field, leaving 4 pixels for the
    // shadow on the right and at the bottom.
    p.fillRect(QRect(0, 0, w - 4, h - 4), Qt::black);
    p.fillRect(QRect(1, 1, w - 6, h - 6), Qt::white);
    const QColor shadow(64, 64, 64);
    p.fillRect(QRect(w - 4, 4, 4, h - 4), shadow);
    p.fillRect(QRect(4, h - 4, w - 4, 4), shadow);
    if (!m_picture.isNull()) p.drawImage(QPoint(2, 2), m_picture);
}

}  // namespace ts
