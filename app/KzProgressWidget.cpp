#include "KzProgressWidget.h"

#include <QLabel>
#include <QPainter>
#include <QStyleOption>

KzProgressWidget::KzProgressWidget(QWidget* parent)
    : QWidget(parent)
    , m_pLabel(new QLabel(this))
{
    m_pLabel->setAlignment(Qt::AlignCenter);
    m_pLabel->setStyleSheet("background:transparent");
    m_pLabel->setGeometry(rect());
}

QString KzProgressWidget::GetLabelText() const
{
    return m_pLabel->text();
}

// The divisions below need maximum > minimum; an empty or inverted range
// becomes one step wide.
void KzProgressWidget::slot_SetRange(int minValue, int maxValue)
{
    m_nMinimum = minValue;
    m_nMaximum = maxValue > minValue ? maxValue : minValue + 1;
    update();
}

void KzProgressWidget::slot_SetValue(int value)
{
    m_nValue = value < m_nMinimum ? m_nMinimum : qMin(value, m_nMaximum);
    m_pLabel->setText(QString::number(m_nValue * 100 / (m_nMaximum - m_nMinimum)) + "%");
    update();
}

void KzProgressWidget::slot_SetText(QString textTip)
{
    m_strText = textTip;
    m_pLabel->setText(textTip);
    update();
}

void KzProgressWidget::slot_Reset()
{
    m_nMaximum = 100;
    m_nMinimum = 0;
    m_nValue = 0;
    m_strText.clear();
    m_pLabel->clear();
    update();
}

// The bar is a pill clipped to the progress: the value itself (not minus
// the minimum) sets the filled width.
void KzProgressWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    const int w = width();
    const int h = height();
    painter.setRenderHints(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_colorBar);
    painter.setClipRect(0, 0, w * m_nValue / (m_nMaximum - m_nMinimum), h);
    painter.drawRoundedRect(QRectF(0, 0, w, h), h / 2, h / 2);
}

void KzProgressWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_pLabel->setGeometry(rect());
}
