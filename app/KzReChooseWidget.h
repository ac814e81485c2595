#ifndef KZRECHOOSEWIDGET_H
#define KZRECHOOSEWIDGET_H

#include "ui_ReChooseWidget.h"

#include <QDialog>

// Asks the user to confirm that the printer model and the material chosen for
// this print match. The window moves both choosers into verticalLayout_choose
// the first time it opens the dialog; "Yes" accepts, "No" and the close
// button reject (the window then restores the previous choice).
class KzReChooseWidget : public QDialog
{
    Q_OBJECT

public:
    explicit KzReChooseWidget(QWidget* parent = nullptr);

    // The form's texts again, in the language installed now.
    void Retranslate();

    // Where the window puts the machine and material choosers.
    QVBoxLayout* GetChooseLayout() const;

public slots:
    void slot_ButtonClicked(int buttonID);

private:
    Ui::ReChooseWidget ui;
};

#endif // KZRECHOOSEWIDGET_H
