#include "KzLabelWidget.h"

#include <QPainter>
#include <QPolygon>

KzLabelWidget::KzLabelWidget(QWidget* parent)
    : QWidget(parent)
{
}

void KzLabelWidget::paintEvent(QPaintEvent*)
{
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(85, 85, 85));
    const QPolygon band({ QPoint(0, h), QPoint(w, h), QPoint(w, 0), QPoint(h, 0) });
    painter.drawPolygon(band, Qt::OddEvenFill);
}
