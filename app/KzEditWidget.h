#ifndef KZEDITWIDGET_H
#define KZEDITWIDGET_H

#include "ui_ModelEdit.h"

#include <QFrame>
#include <QList>
#include <QMap>
#include <QVariant>

class QDoubleSpinBox;

// The numeric model edit panel: position, rotation, scale and size of the
// selected model instance, with Reset, Maximize and a uniform-scale switch.
// It shows the group of the current edit mode (move, rotate, scale; none in
// lay-flat mode). It hears the view's and the edit bar's edit lists and sends
// numeric edits back to the view as edit lists.
//
// Rotation and scale fields are relative to the selection: they read 0 and 1
// when another instance is selected or Reset is pressed. A rotation field
// step sends only the step; a scale or size change sends the ratio to the
// previous value (one ratio for all axes when uniform). Fields written by the
// panel itself send nothing. An edit is sent after the panel has written its
// own fields, so the position and size the view reports back have the last word.
// When the user is done with a field (Enter, or the focus leaves it) the panel
// says so, [7, 4]: the view takes the values typed in between as one undo step.
class KzEditWidget : public QFrame
{
    Q_OBJECT

public:
    explicit KzEditWidget(QWidget* parent = nullptr);

    // Field groups and the index of a group's first field (x; y and z follow).
    enum FieldGroup { GroupPosition = 0, GroupRotate = 1, GroupScale = 2, GroupSize = 3 };
    static constexpr int ms_nFieldCount = 12;

signals:
    void signal_SendEditData(QList<QVariant> editList);

public slots:
    void slot_ReceiveEditList(QList<QVariant> editList);
    void slot_Position_Changed();
    void slot_Rotate_Changed();
    void slot_Scale_Changed();
    void slot_Size_Changed();
    void slot_EmitReset();
    void slot_EmitMaxisize();
    void slot_EmitKeepScale(bool bChecked);
    void slot_EmitEditFinished();

protected:
    void changeEvent(QEvent* e) override;

private:
    typedef void (KzEditWidget::*ListHandler)(QList<QVariant>&);

    void InitHandlers();
    void InitFields();
    void ConnectFields();

    // Writes field i without sending anything and keeps the value it shows.
    void SetField(int i, float v);
    // Writes the three fields of a group from the front of the list.
    void SetGroupFrom(int group, QList<QVariant>& list);
    void SetGroup(int group, float x, float y, float z);
    void ResetRelativeFields();
    float FieldValue(int i) const;
    // Ratios of the group's fields to their last values, one for all axes when uniform.
    void Ratios(int group, float f[3]) const;
    void SendScale(const float f[3]);
    void SendEdit(const QList<QVariant>& list);
    void ShowGroupOfMode(int mode);

    void Receive_Translate(QList<QVariant>& list);
    void Receive_Rotate(QList<QVariant>& list);
    void Receive_Scale(QList<QVariant>& list);
    void Receive_Select(QList<QVariant>& list);
    void Receive_Update(QList<QVariant>& list);
    void Receive_Command(QList<QVariant>& list);

    int m_nCurCode;
    int m_nEditMode;
    bool m_bKeepScale;
    bool m_bEmit;
    // A field has sent an edit that no end-of-edit list has closed yet.
    bool m_bEditOpen;
    float m_fValues[4][3];
    QMap<int, ListHandler> m_mapHandlers;
    // How many elements each code's list carries after the code.
    QMap<int, int> m_mapListSizes;
    QMap<int, QDoubleSpinBox*> m_mapSpinBoxes;
    Ui::ModelEdit ui;
};

#endif // KZEDITWIDGET_H
