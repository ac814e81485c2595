#include "KzEditControlWidget.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>

namespace {

// The edit-list codes this bar speaks (the view's command list).
const int kEditListCommand = 7;
const int kCommandEditMode = 3;

} // namespace

KzEditControlWidget::KzEditControlWidget(QWidget* parent)
    : QFrame(parent)
    , m_nMode(ModeMove)
    , m_bPressed(false)
{
    ui.setupUi(this);
    ui.buttonGroup->setId(ui.pushButton_Translate, ModeMove);
    ui.buttonGroup->setId(ui.pushButton_Rotate, ModeRotate);
    ui.buttonGroup->setId(ui.pushButton_Scale, ModeScale);
    ui.buttonGroup->setId(ui.pushButton_Floor, ModeFloor);
    connect(ui.buttonGroup, SIGNAL(idClicked(int)), this, SLOT(slot_EmitEditMode(int)));
    connect(ui.pushButton_Duplicate, &QPushButton::clicked, this, &KzEditControlWidget::signal_DuplicateClicked);
}

void KzEditControlWidget::slot_ShowHide(bool bShow)
{
    setVisible(bShow);
}

void KzEditControlWidget::slot_EmitEditMode(int groupID)
{
    if (groupID != m_nMode) {
        m_nMode = groupID;
        emit signal_SendEditMode({ kEditListCommand, kCommandEditMode, groupID });
    }
    emit signal_ShowTip(groupID + ms_nFirstModeTip);
}

void KzEditControlWidget::mousePressEvent(QMouseEvent* e)
{
    QWidget::mousePressEvent(e);
    m_pPressTarget = parentWidget() ? WidgetBeneath(mapToParent(e->pos())) : nullptr;
    ForwardMouseEvent(e, m_pPressTarget);
    m_bPressed = true;
}

void KzEditControlWidget::mouseMoveEvent(QMouseEvent* e)
{
    QWidget::mouseMoveEvent(e);
    if (m_bPressed)
        ForwardMouseEvent(e, m_pPressTarget);
}

void KzEditControlWidget::mouseReleaseEvent(QMouseEvent* e)
{
    QWidget::mouseReleaseEvent(e);
    ForwardMouseEvent(e, m_pPressTarget);
    // The drag ends with the last button let go.
    if (e->buttons() == Qt::NoButton) {
        m_bPressed = false;
        m_pPressTarget = nullptr;
    }
}

void KzEditControlWidget::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui.retranslateUi(this);
    QFrame::changeEvent(e);
}

QWidget* KzEditControlWidget::WidgetBeneath(const QPoint& posInParent)
{
    // The bar and its buttons are skipped while it is transparent.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    QWidget* beneath = parentWidget()->childAt(posInParent);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    return beneath;
}

void KzEditControlWidget::ForwardMouseEvent(QMouseEvent* e, QWidget* target)
{
    if (!target)
        return;
    // The target lies inside the bar's parent, which is also its ancestor.
    const QPoint inParent = mapToParent(e->pos());
    const QPointF local = target->mapFrom(parentWidget(), inParent) + (e->localPos() - e->pos());
    QCoreApplication::postEvent(target, new QMouseEvent(e->type(), local, e->windowPos(), e->screenPos(),
                                                        e->button(), e->buttons(), e->modifiers()));
}
