#pragma once
// The round command dial over the 3D view: four quarter segments round the
// printer picture, and two print segments shown while slicing is toggled on.
// Mouse events that miss every segment go on to the widget beneath.
#include <QWidget>

class QButtonGroup;
class QAbstractButton;
class QMouseEvent;

class KzDialWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KzDialWidget(QWidget* parent = nullptr);

    void SetCenterIcon(const QIcon& icon);
    // Language index 1 is English: the print segments take its word strips.
    void SetLanguage(int nLanguage);
    QAbstractButton* Button(int buttonID) const;

signals:
    void signal_OpenButtonClicked();
    void signal_RemoveButtonClicked();
    void signal_OneKeyPrintClicked();
    void signal_CustomPrintClicked();
    void signal_SaveButtonClicked();
    void signal_ReChooseClicked();
    void signal_ShowTip(int tipID);

public slots:
    void slot_ButtonClicked(int buttonID);
    void slot_SettingToggled(bool bChecked);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void CreateQuarterButtons();
    void CreateCenterButton();
    void CreatePrintButtons(int nLanguage);
    void Forward(QMouseEvent* event);
    void Uncheck(int buttonID);

    QButtonGroup* m_pGroup = nullptr;
    bool m_bPressed = false;
};
