// A picture in a black frame with a drop shadow: the wizard pages and the splash window show
// their pictures this way. Clicking it does nothing.
#pragma once

#include <QImage>
#include <QWidget>

namespace ts {

class CBigButton : public QWidget {
    Q_OBJECT
public:
    explicit CBigButton(QWidget* parent = nullptr);

    // Loads a picture (a resource path such as ":/res/title.bmp") and sizes the button 8
    // pixels larger than it in each direction. False when the picture cannot be read.
    bool LoadPicture(const QString& resource);
    const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage m_picture;
};

}  // namespace ts
