#pragma once
// A spin box the mouse wheel cannot change, so scrolling a settings page
// never alters a value by accident.
#include <QDoubleSpinBox>

class KzDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit KzDoubleSpinBox(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
