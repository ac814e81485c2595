#include "KLayerBookmarkLabel.h"

#include <QPainter>
#include <QPolygon>

KLayerBookmarkLabel::KLayerBookmarkLabel(QWidget* parent)
    : QLabel(parent)
{
}

void KLayerBookmarkLabel::paintEvent(QPaintEvent* e)
{
    const int w = width();
    const int h = height();
    const int t = h / 3;   // the point's depth, and its inset from top and bottom
    {
        QPainter painter(this);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(19, 29, 33));
        painter.drawRect(QRect(QPoint(t, 0), QPoint(w - 1, h - 1)));
        const QPolygon point({QPoint(0, h / 2), QPoint(t, t), QPoint(t, h - t)});
        painter.drawPolygon(point, Qt::OddEvenFill);
    }
    QLabel::paintEvent(e);   // the number, over the tag
}
