#pragma once

#include "toolkit/Control.h"

#include <QImage>
#include <QWidget>

// A picture drawn on its parent at its top left corner, not stretched (its pixels are the layout's,
// so it scales with the screen). Without a picture it is an invisible area that still takes the
// pointer. With auto-size on it takes its picture's size.
class PictureBox : public Control<QWidget> {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent);

    const QImage &picture() const { return m_picture; }
    // Replaces the picture; its alpha channel decides what shows through.
    void setPicture(const QImage &picture);
    void setAutoSize(bool autoSize);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    bool m_autoSize = false;
};
