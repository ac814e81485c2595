#include "KzEasyLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QtMath>

KzEasyLabel::KzEasyLabel(QWidget* parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
}

// The smallest point size whose line height reaches half the new height.
void KzEasyLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    const int target = qRound(0.5 * event->size().height());
    QFont font = this->font();
    int points = 1;
    font.setPointSize(points);
    while (QFontMetrics(font).height() < target && points < 500) {
        font.setPointSize(++points);
    }
    setStyleSheet(QString("font-size:%1pt").arg(points));
}
