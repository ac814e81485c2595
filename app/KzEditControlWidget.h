#ifndef KZEDITCONTROLWIDGET_H
#define KZEDITCONTROLWIDGET_H

#include "ui_Frame.h"

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QVariant>

class QMouseEvent;

// The edit mode bar: four round checkable buttons (move, rotate, scale, lay
// flat) floating over the 3D view while a model is selected, and below them
// a button that duplicates the selected model. A new mode goes
// to the view and the edit panel as one edit list [7, 3, mode]; every click
// shows the mode's tip. The bar's own background lets the mouse through: a
// press, drag or release there reaches the widget beneath it.
class KzEditControlWidget : public QFrame
{
    Q_OBJECT

public:
    explicit KzEditControlWidget(QWidget* parent = nullptr);

    // Edit modes by button group id.
    enum EditMode { ModeMove = 0, ModeRotate = 1, ModeScale = 2, ModeFloor = 3 };
    // The tip of a mode is its id plus this.
    static constexpr int ms_nFirstModeTip = 13;

signals:
    void signal_SendEditMode(QList<QVariant> editList);
    void signal_ShowTip(int tipID);
    void signal_DuplicateClicked();

public slots:
    void slot_ShowHide(bool bShow);
    void slot_EmitEditMode(int groupID);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    QWidget* WidgetBeneath(const QPoint& posInParent);
    void ForwardMouseEvent(QMouseEvent* e, QWidget* target);

    Ui::Frame ui;
    int m_nMode;
    bool m_bPressed;
    // The widget that got the forwarded press: the rest of the drag goes to
    // it, as it would if the bar were not there (the press grabs the mouse).
    QPointer<QWidget> m_pPressTarget;
};

#endif // KZEDITCONTROLWIDGET_H
