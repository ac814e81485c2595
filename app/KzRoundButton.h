#pragma once
// A picture button shaped as a circle touching the bottom edge, centred
// horizontally. Only the circle takes clicks. A checkable one shows its
// picture greyed until the mouse is over the circle; the current choice shows
// it in full, inside a ring of the highlight colour.
#include <QPixmap>
#include <QPushButton>

class KzRoundButton : public QPushButton
{
    Q_OBJECT

public:
    explicit KzRoundButton(QWidget* parent = nullptr);

    void SetCurrent(bool bCurrent);
    bool IsCurrent() const { return m_bCurrent; }

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int Diameter() const { return qMin(width(), height()); }

    QPixmap m_pixmapCircle;
    bool m_bHover = false;
    bool m_bCurrent = false;
};
