#pragma once
// A centred label whose font grows with its height: the line height is
// about half the label's height.
#include <QLabel>

class KzEasyLabel : public QLabel
{
    Q_OBJECT

public:
    explicit KzEasyLabel(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};
