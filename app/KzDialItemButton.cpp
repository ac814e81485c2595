#include "KzDialItemButton.h"

#include <QBitmap>
#include <QDebug>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

KzDialItemButton::KzDialItemButton(double dimen, double angle, QWidget* parent)
    : QPushButton(parent)
    , m_dAngle(angle)
    , m_dDimen(dimen)
{
    if (dimen > 1.0 || dimen <= 0.0) {
        qDebug() << "KzDialItemButton creater error:";
        qDebug() << "Dimen is less than 1";
        m_dDimen = 0.25;
    }
}

void KzDialItemButton::SetRingMode(bool bRing)
{
    m_bRingMode = bRing;
    ComputeIconRect();
    update();
}

void KzDialItemButton::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    m_nRadius = qMin(width(), height()) / 2;
    if (m_nRadius <= 0)
        return;
    BuildShape();
    ComputeIconRect();
}

// The sector leaves a gap of fixed arc length at each end on both circles,
// so neighbouring segments stay apart by the same pixels inside and out.
void KzDialItemButton::BuildShape()
{
    const int thickness = qMin(qRound(m_nRadius * 0.5), 35);
    const double r = m_nRadius - thickness;
    const double gIn = qRadiansToDegrees(m_dGap / r);
    const double gOut = qRadiansToDegrees(m_dGap / m_nRadius);
    const double sweep = m_dDimen * 360.0;
    const double start = -sweep / 2.0;
    const double a = m_dAngle;

    QPainterPath path;
    const double first = qDegreesToRadians(a + start + gIn);
    path.moveTo(r * qCos(first), -r * qSin(first));
    path.arcTo(QRectF(-m_nRadius, -m_nRadius, 2 * m_nRadius, 2 * m_nRadius), a + start + gOut,
               sweep - 2 * gOut);
    path.arcTo(QRectF(-r, -r, 2 * r, 2 * r), a - start - gIn, 2 * gIn - sweep);
    path.closeSubpath();

    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().window());
    painter.translate(width() / 2.0, height() / 2.0);
    painter.drawPath(path);
    painter.end();
    m_pixmapShape = QPixmap::fromImage(image);
    setMask(m_pixmapShape.mask());
}

void KzDialItemButton::ComputeIconRect()
{
    const int s = qMin(qRound(m_nRadius * 0.5), 40);
    const int d = m_nRadius - s / 2;
    if (m_bRingMode) {
        const int w = qRound(s * 0.4);
        const int h = qRound(s * 2.4);
        m_rectIcon = QRect(0, 0, w, h);
        m_rectIcon.moveCenter(QPoint(d, 0));
        return;
    }
    const double rad = qDegreesToRadians(m_dAngle);
    m_rectIcon = QRect(0, 0, s, s);
    m_rectIcon.moveCenter(QPoint(qRound(width() / 2.0 + qCos(rad) * d),
                                 qRound(height() / 2.0 - qSin(rad) * d)));
}

void KzDialItemButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_pixmapShape);
    if (m_rectIcon.isNull())
        return;

    QRectF target(m_rectIcon);
    if (!m_bRingMode && isDown()) {
        const QPointF centre = target.center();
        target.setSize(target.size() * 0.8);
        target.moveCenter(centre);
    }
    const bool selected = (isCheckable() && isChecked()) || isDown();
    const QPixmap picture =
        icon().pixmap(m_rectIcon.size(), selected ? QIcon::Selected : QIcon::Normal, QIcon::Off);
    if (m_bRingMode) {
        painter.translate(width() / 2.0, height() / 2.0);
        painter.rotate(-m_dAngle);
    }
    painter.drawPixmap(target, picture, QRectF(picture.rect()));
}
