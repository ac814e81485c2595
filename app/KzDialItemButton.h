#pragma once
// One ring segment of the dial: a push button shaped as an annular sector.
// Its mask is the sector, so only the painted segment takes the mouse.
#include <QPixmap>
#include <QPushButton>
#include <QRect>

class KzDialItemButton : public QPushButton
{
    Q_OBJECT

public:
    KzDialItemButton(double dimen, double angle, QWidget* parent = nullptr);

    // Ring mode draws the icon as a narrow strip across the sector.
    void SetRingMode(bool bRing);
    QRect IconRect() const { return m_rectIcon; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildShape();
    void ComputeIconRect();

    int m_nRadius = 100;
    double m_dAngle = 0.0;
    double m_dDimen = 0.25;
    double m_dGap = 2.0;
    bool m_bRingMode = false;
    QPixmap m_pixmapShape;
    QRect m_rectIcon;
};
