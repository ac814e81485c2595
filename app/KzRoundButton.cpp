#include "KzRoundButton.h"

#include <QBitmap>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QtMath>

KzRoundButton::KzRoundButton(QWidget* parent)
    : QPushButton(parent)
{
    setMouseTracking(true);
}

void KzRoundButton::SetCurrent(bool bCurrent)
{
    m_bCurrent = bCurrent;
    update();
}

void KzRoundButton::enterEvent(QEvent*)
{
    m_bHover = true;
}

void KzRoundButton::leaveEvent(QEvent*)
{
    m_bHover = false;
}

// Hover follows the circle, not the rectangle; the move is not passed on.
void KzRoundButton::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::NoButton)
        return;
    const int d = Diameter();
    const QPointF centre(qRound(width() / 2.0), height() - d / 2.0);
    const QPointF delta = event->localPos() - centre;
    m_bHover = qSqrt(delta.x() * delta.x() + delta.y() * delta.y()) <= d / 2.0;
}

void KzRoundButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), m_pixmapCircle);

    const int d = Diameter();
    if (d <= 0)
        return;
    const bool greyed = (isCheckable() && !m_bHover && !m_bCurrent) || !isEnabled();
    const QPixmap picture = icon().pixmap(d, d, greyed ? QIcon::Disabled : QIcon::Normal);
    const int size = isDown() ? qRound(0.9 * d) : d;
    const QPointF centre(width() / 2.0, height() - d / 2.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(centre.x() - size / 2.0, centre.y() - size / 2.0, size, size), picture,
                       QRectF(picture.rect()));
    if (m_bCurrent) {
        const qreal ring = qMax(2.0, d / 30.0);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(75, 182, 226), ring));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(centre.x() - d / 2.0 + ring / 2, centre.y() - d / 2.0 + ring / 2, d - ring, d - ring));
    }
}

// The circle is drawn once per size; its mask keeps clicks outside it away.
void KzRoundButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    const int d = Diameter();
    if (d <= 0)
        return;
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().window());
    painter.drawEllipse(QRect((width() - d) / 2, height() - d, d, d));
    painter.end();
    m_pixmapCircle = QPixmap::fromImage(image);
    setMask(m_pixmapCircle.mask());
}
