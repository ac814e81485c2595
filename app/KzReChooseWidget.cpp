#include "KzReChooseWidget.h"

KzReChooseWidget::KzReChooseWidget(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    ui.setupUi(this);
    resize(840, 412);
    ui.buttonGroup->setId(ui.pushButton_Close, 0);
    ui.buttonGroup->setId(ui.pushButton_Yes, 1);
    ui.buttonGroup->setId(ui.pushButton_No, 2);
    connect(ui.buttonGroup, SIGNAL(idClicked(int)), this, SLOT(slot_ButtonClicked(int)));
}

void KzReChooseWidget::Retranslate()
{
    ui.retranslateUi(this);
}

QVBoxLayout* KzReChooseWidget::GetChooseLayout() const
{
    return ui.verticalLayout_choose;
}

void KzReChooseWidget::slot_ButtonClicked(int buttonID)
{
    switch (buttonID) {
    case 1:
        accept();
        break;
    case 0:
    case 2:
        reject();
        break;
    default:
        break;
    }
}
