#pragma once
// A grey band whose left end is cut at 45 degrees, behind setting names.
#include <QWidget>

class KzLabelWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KzLabelWidget(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
