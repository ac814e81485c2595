#pragma once
// The tip balloon over the 3D view: a title and a detail, translated when
// shown, cleared ten seconds after the last tip. A cleared balloon shows the
// resting tip when there is one (how to begin, on an empty plate) instead of
// standing empty. Clicks fall through it.
#include <QFrame>
#include <QString>
#include <QStringList>

namespace Ui {
class TipWidget;
}
class KzLoadReport;
class KzTipContext;

class KzTipWidget : public QFrame
{
    Q_OBJECT

public:
    explicit KzTipWidget(QWidget* parent = nullptr);
    ~KzTipWidget() override;

    void ClearTip();
    // The table tip a cleared balloon shows; -1 for none. Shown at once when
    // the balloon stands cleared.
    void SetRestingTip(int tipID);
    // A table tip whose detail is a free text (a file name, an engine's
    // reason) instead of the table's detail.
    void ShowTipText(int tipID, const QString& strDetail);

    QString GetTitle() const;
    QString GetDetail() const;

    // What opening a model file came to, as the balloon words it: nothing
    // for a clean load; else the file and why it was refused, or what was
    // left out of it.
    static QStringList DescribeLoad(const KzLoadReport& report);

    static const int ms_nClearAfterMs = 10000;

public slots:
    void slot_SetCurrentTip(int tipID);
    void slot_SetTipContext(QString strTitle, QString strDetail);
    // What opening a model file came to: tip 1, with what was left out of
    // the file if anything; or the failure, naming the file and the reason.
    void slot_ShowLoadReport(const KzLoadReport& report);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    Ui::TipWidget* m_pUi = nullptr;
    int m_nTimerId = -1;
    KzTipContext* m_pTipContext = nullptr;
    QString m_strFreeDetail;
    bool m_bFreeDetail = false;
    int m_nRestingTip = -1;
    bool m_bResting = true;   // no tip since the balloon was last cleared
};
