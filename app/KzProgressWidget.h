#pragma once
// The slicing progress bar: a pill-shaped bar with a centred percentage
// (or free text) label over it.
#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

class KzProgressWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KzProgressWidget(QWidget* parent = nullptr);

    int GetMinimum() const { return m_nMinimum; }
    int GetMaximum() const { return m_nMaximum; }
    int GetValue() const { return m_nValue; }
    QString GetLabelText() const;

signals:
    void signal_ButtonPressed();

public slots:
    void slot_SetRange(int minValue, int maxValue);
    void slot_SetValue(int value);
    void slot_SetText(QString textTip);
    void slot_Reset();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_strText;
    int m_nMaximum = 100;
    int m_nMinimum = 0;
    int m_nValue = 0;
    QLabel* m_pLabel = nullptr;
    QColor m_colorBar = QColor(75, 182, 226, 255);
};
