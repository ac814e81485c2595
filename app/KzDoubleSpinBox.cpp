#include "KzDoubleSpinBox.h"

#include <QWheelEvent>

KzDoubleSpinBox::KzDoubleSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{
}

// Taken and dropped: neither the value nor an enclosing scroll area moves.
void KzDoubleSpinBox::wheelEvent(QWheelEvent* event)
{
    event->accept();
}
