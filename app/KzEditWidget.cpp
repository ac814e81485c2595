#include "KzEditWidget.h"

#include <QDoubleSpinBox>
#include <QEvent>

namespace {

// Edit-list codes and command sub-codes shared with the view and the edit bar.
enum EditListCode { EL_TRANSLATE = 0, EL_ROTATE = 1, EL_SCALE = 2, EL_SELECT = 5, EL_UPDATE = 6, EL_COMMAND = 7 };
enum CommandCode { CMD_RESET = 0, CMD_MAXIMIZE = 1, CMD_KEEPSCALE = 2, CMD_EDITMODE = 3, CMD_ENDEDIT = 4 };

const int kNoSelection = -1;

} // namespace

KzEditWidget::KzEditWidget(QWidget* parent)
    : QFrame(parent)
    , m_nCurCode(0)
    , m_nEditMode(0)
    , m_bKeepScale(true)
    , m_bEmit(false)
    , m_bEditOpen(false)
    , m_fValues{}
{
    ui.setupUi(this);
    setFixedSize(340, 200);
    setMouseTracking(true);
    InitHandlers();
    InitFields();
    ConnectFields();
    hide();
    ShowGroupOfMode(0);
    m_bEmit = true;
}

void KzEditWidget::InitHandlers()
{
    m_mapHandlers[EL_TRANSLATE] = &KzEditWidget::Receive_Translate;
    m_mapHandlers[EL_ROTATE] = &KzEditWidget::Receive_Rotate;
    m_mapHandlers[EL_SCALE] = &KzEditWidget::Receive_Scale;
    m_mapHandlers[EL_SELECT] = &KzEditWidget::Receive_Select;
    m_mapHandlers[EL_UPDATE] = &KzEditWidget::Receive_Update;
    m_mapHandlers[EL_COMMAND] = &KzEditWidget::Receive_Command;
    m_mapListSizes[EL_TRANSLATE] = 3;
    m_mapListSizes[EL_ROTATE] = 3;
    m_mapListSizes[EL_SCALE] = 9;
    m_mapListSizes[EL_SELECT] = 1;
    m_mapListSizes[EL_UPDATE] = 6;
    m_mapListSizes[EL_COMMAND] = 2;
}

void KzEditWidget::InitFields()
{
    QDoubleSpinBox* const fields[ms_nFieldCount] = {
        ui.Position_X, ui.Position_Y, ui.Position_Z, ui.Rotate_X, ui.Rotate_Y, ui.Rotate_Z,
        ui.Scale_X, ui.Scale_Y, ui.Scale_Z, ui.Size_X, ui.Size_Y, ui.Size_Z,
    };
    for (int i = 0; i < ms_nFieldCount; ++i)
        m_mapSpinBoxes[i] = fields[i];
    // The stored values start as the fields show them, so no ratio is ever
    // taken to a zero the fields never held.
    for (int i = 0; i < ms_nFieldCount; ++i)
        SetField(i, float(fields[i]->value()));
    ResetRelativeFields();
}

void KzEditWidget::ConnectFields()
{
    for (QDoubleSpinBox* field : { ui.Position_X, ui.Position_Y })
        connect(field, SIGNAL(valueChanged(double)), this, SLOT(slot_Position_Changed()));
    for (QDoubleSpinBox* field : { ui.Rotate_X, ui.Rotate_Y, ui.Rotate_Z })
        connect(field, SIGNAL(valueChanged(double)), this, SLOT(slot_Rotate_Changed()));
    for (QDoubleSpinBox* field : { ui.Scale_X, ui.Scale_Y, ui.Scale_Z })
        connect(field, SIGNAL(valueChanged(double)), this, SLOT(slot_Scale_Changed()));
    for (QDoubleSpinBox* field : { ui.Size_X, ui.Size_Y, ui.Size_Z })
        connect(field, SIGNAL(valueChanged(double)), this, SLOT(slot_Size_Changed()));
    for (QDoubleSpinBox* field : m_mapSpinBoxes)
        connect(field, SIGNAL(editingFinished()), this, SLOT(slot_EmitEditFinished()));
    connect(ui.radioButton_Uniform, SIGNAL(toggled(bool)), this, SLOT(slot_EmitKeepScale(bool)));
    for (QPushButton* button : { ui.pushButton_Reset, ui.pushButton_Reset_2, ui.pushButton_Reset_3 })
        connect(button, SIGNAL(clicked()), this, SLOT(slot_EmitReset()));
    for (QPushButton* button : { ui.pushButton_Maximize, ui.pushButton_Maximize_2, ui.pushButton_Maximize_3 })
        connect(button, SIGNAL(clicked()), this, SLOT(slot_EmitMaxisize()));
}

void KzEditWidget::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui.retranslateUi(this);
    QFrame::changeEvent(e);
}

void KzEditWidget::SetField(int i, float v)
{
    const bool emitting = m_bEmit;
    m_bEmit = false;
    QDoubleSpinBox* field = m_mapSpinBoxes.value(i);
    field->setValue(v);
    m_fValues[i / 3][i % 3] = float(field->value());
    m_bEmit = emitting;
}

void KzEditWidget::SetGroup(int group, float x, float y, float z)
{
    SetField(group * 3, x);
    SetField(group * 3 + 1, y);
    SetField(group * 3 + 2, z);
}

void KzEditWidget::SetGroupFrom(int group, QList<QVariant>& list)
{
    for (int k = 0; k < 3; ++k)
        SetField(group * 3 + k, list.takeFirst().toFloat());
}

void KzEditWidget::ResetRelativeFields()
{
    SetGroup(GroupRotate, 0, 0, 0);
    SetGroup(GroupScale, 1, 1, 1);
}

float KzEditWidget::FieldValue(int i) const
{
    return float(m_mapSpinBoxes.value(i)->value());
}

void KzEditWidget::ShowGroupOfMode(int mode)
{
    ui.widget_translate->setVisible(mode == 0);
    ui.widget_rotate->setVisible(mode == 1);
    ui.widget_scale->setVisible(mode == 2);
}

// --- Receiving --------------------------------------------------------------

void KzEditWidget::slot_ReceiveEditList(QList<QVariant> editList)
{
    if (editList.isEmpty())
        return;
    const int code = editList.takeFirst().toInt();
    const ListHandler handler = m_mapHandlers.value(code, nullptr);
    // A list shorter than its code needs is not read past its end.
    if (handler && editList.size() >= m_mapListSizes.value(code))
        (this->*handler)(editList);
}

void KzEditWidget::Receive_Translate(QList<QVariant>& list)
{
    SetGroupFrom(GroupPosition, list);
}

void KzEditWidget::Receive_Rotate(QList<QVariant>& list)
{
    SetGroupFrom(GroupRotate, list);
}

void KzEditWidget::Receive_Scale(QList<QVariant>& list)
{
    SetGroupFrom(GroupScale, list);
    SetGroupFrom(GroupPosition, list);
    SetGroupFrom(GroupSize, list);
}

void KzEditWidget::Receive_Select(QList<QVariant>& list)
{
    const int code = list.takeFirst().toInt();
    if (code == kNoSelection) {
        hide();
        return;
    }
    if (code != m_nCurCode) {
        m_nCurCode = code;
        ResetRelativeFields();
    }
    show();
}

void KzEditWidget::Receive_Update(QList<QVariant>& list)
{
    SetGroupFrom(GroupPosition, list);
    SetGroupFrom(GroupSize, list);
}

void KzEditWidget::Receive_Command(QList<QVariant>& list)
{
    // Only the mode command concerns the panel; the others are its own.
    if (list.takeFirst().toInt() != CMD_EDITMODE)
        return;
    m_nEditMode = list.takeFirst().toInt();
    ShowGroupOfMode(m_nEditMode);
}

// --- Sending ----------------------------------------------------------------

void KzEditWidget::slot_Position_Changed()
{
    if (!m_bEmit)
        return;
    SendEdit({ int(EL_TRANSLATE), FieldValue(0), FieldValue(1), FieldValue(2) });
    for (int k = 0; k < 3; ++k)
        m_fValues[GroupPosition][k] = FieldValue(k);
}

void KzEditWidget::slot_Rotate_Changed()
{
    float step[3];
    for (int k = 0; k < 3; ++k) {
        const float value = FieldValue(GroupRotate * 3 + k);
        step[k] = value - m_fValues[GroupRotate][k];
        m_fValues[GroupRotate][k] = value;
    }
    if (m_bEmit)
        SendEdit({ int(EL_ROTATE), step[0], step[1], step[2] });
}

void KzEditWidget::Ratios(int group, float f[3]) const
{
    for (int k = 0; k < 3; ++k) {
        const float last = m_fValues[group][k];
        f[k] = last > 0 ? FieldValue(group * 3 + k) / last : 1.0f;
    }
    if (m_bKeepScale) {
        // One field changes at a time, so the product is that field's ratio.
        const float u = f[0] * f[1] * f[2];
        f[0] = f[1] = f[2] = u;
    }
}

void KzEditWidget::SendScale(const float f[3])
{
    SendEdit({ int(EL_SCALE), f[0], f[1], f[2] });
}

void KzEditWidget::slot_Scale_Changed()
{
    if (!m_bEmit)
        return;
    float f[3];
    Ratios(GroupScale, f);
    for (int k = 0; k < 3; ++k) {
        SetField(GroupScale * 3 + k, m_fValues[GroupScale][k] * f[k]);
        SetField(GroupSize * 3 + k, m_fValues[GroupSize][k] * f[k]);
    }
    SendScale(f);
}

void KzEditWidget::slot_Size_Changed()
{
    if (!m_bEmit)
        return;
    float f[3];
    Ratios(GroupSize, f);
    for (int k = 0; k < 3; ++k)
        SetField(GroupSize * 3 + k, m_fValues[GroupSize][k] * f[k]);
    SetGroup(GroupScale, 1, 1, 1);
    SendScale(f);
}

void KzEditWidget::slot_EmitReset()
{
    ResetRelativeFields();
    emit signal_SendEditData({ int(EL_COMMAND), int(CMD_RESET) });
}

void KzEditWidget::slot_EmitMaxisize()
{
    emit signal_SendEditData({ int(EL_COMMAND), int(CMD_MAXIMIZE) });
}

void KzEditWidget::slot_EmitKeepScale(bool bChecked)
{
    m_bKeepScale = bChecked;
    emit signal_SendEditData({ int(EL_COMMAND), int(CMD_KEEPSCALE), bChecked });
}

void KzEditWidget::SendEdit(const QList<QVariant>& list)
{
    m_bEditOpen = true;
    emit signal_SendEditData(list);
}

void KzEditWidget::slot_EmitEditFinished()
{
    if (!m_bEditOpen)
        return;
    m_bEditOpen = false;
    emit signal_SendEditData({ int(EL_COMMAND), int(CMD_ENDEDIT) });
}
