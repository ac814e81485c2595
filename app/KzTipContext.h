#pragma once
// The tip table: tip id -> (title, detail) as Chinese source texts. The
// balloon translates them when it shows them.
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

class KzTipContext : public QObject
{
    Q_OBJECT

public:
    KzTipContext();

    // How to begin: the balloon's tip while the plate is empty.
    static constexpr int ms_nStartTip = 20;

    void SelectTip(int tipID);
    // The tip's (title, detail) source texts; empty for an unknown id.
    QPair<QString, QString> GetTip(int tipID) const;

signals:
    void signal_TipChanged(QString strTitle, QString strDetail);

private:
    QMap<int, QPair<QString, QString>> m_mapTips;
};
