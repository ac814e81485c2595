#include "KzTipWidget.h"

#include "KzLoadReport.h"
#include "KzTipContext.h"
#include "ui_TipWidget.h"

#include <QFileInfo>
#include <QStringList>
#include <QTimerEvent>

namespace {

// Why a 3MF package was refused, by KzLoadReport::emPackageFault.
const char* const kPackageFaults[] = {
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：无法读取此3MF文件"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：无法读取此3MF文件"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：不是3MF文件（不是zip压缩包）"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：3MF压缩包已损坏"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：3MF文件中没有三维模型"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：3MF文件中的模型数据格式错误"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：有三角面的顶点索引无效"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：构建项引用了不存在的对象"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：其中有无效的坐标或变换"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：网格数据超过2 GB"),
    QT_TRANSLATE_NOOP("KzTipWidget", "未打开%1：其中没有要打印的对象"),
};
static_assert(sizeof(kPackageFaults) / sizeof(kPackageFaults[0]) == KzLoadReport::Package_NoItems + 1,
              "a text for every reason");

} // namespace

KzTipWidget::KzTipWidget(QWidget* parent)
    : QFrame(parent)
    , m_pUi(new Ui::TipWidget)
    , m_pTipContext(new KzTipContext)
{
    m_pUi->setupUi(this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(m_pTipContext, &KzTipContext::signal_TipChanged, this, &KzTipWidget::slot_SetTipContext);
}

KzTipWidget::~KzTipWidget()
{
    delete m_pTipContext;
    delete m_pUi;
}

void KzTipWidget::ClearTip()
{
    m_pUi->label_Title->clear();
    m_pUi->label_Detail->clear();
    m_bResting = true;
    if (m_nRestingTip >= 0) {
        const QPair<QString, QString> tip = m_pTipContext->GetTip(m_nRestingTip);
        m_pUi->label_Title->setText(tr(tip.first.toUtf8().constData()));
        m_pUi->label_Detail->setText(tr(tip.second.toUtf8().constData()));
    }
}

void KzTipWidget::SetRestingTip(int tipID)
{
    if (tipID == m_nRestingTip)
        return;
    m_nRestingTip = tipID;
    if (m_bResting)
        ClearTip();
}

void KzTipWidget::ShowTipText(int tipID, const QString& strDetail)
{
    m_strFreeDetail = strDetail;
    m_bFreeDetail = true;
    m_pTipContext->SelectTip(tipID);
    m_bFreeDetail = false;
}

QString KzTipWidget::GetTitle() const
{
    return m_pUi->label_Title->text();
}

QString KzTipWidget::GetDetail() const
{
    return m_pUi->label_Detail->text();
}

void KzTipWidget::slot_SetCurrentTip(int tipID)
{
    m_pTipContext->SelectTip(tipID);
}

// Texts the translation lacks show as they are. Each tip restarts the
// clearing time.
void KzTipWidget::slot_SetTipContext(QString strTitle, QString strDetail)
{
    if (m_nTimerId != -1)
        killTimer(m_nTimerId);
    m_bResting = false;
    m_pUi->label_Title->setText(tr(strTitle.toUtf8().constData()));
    m_pUi->label_Detail->setText(m_bFreeDetail ? m_strFreeDetail : tr(strDetail.toUtf8().constData()));
    m_nTimerId = startTimer(ms_nClearAfterMs);
}

QStringList KzTipWidget::DescribeLoad(const KzLoadReport& report)
{
    const QString name = QFileInfo(report.GetFileName()).fileName();
    QStringList lines;
    switch (report.GetVerdict()) {
    case KzLoadReport::Verdict_Loaded:
        if (report.GetDropped() == 0 && !report.IsShort())
            return lines;
        lines << tr("读取STL文件完成：%1").arg(name);
        break;
    case KzLoadReport::Verdict_Unreadable:
        lines << tr("无法读取模型文件：%1").arg(name);
        break;
    case KzLoadReport::Verdict_NoFacets:
        lines << tr("无法读取模型文件%1：其中没有可用的三角面").arg(name);
        break;
    case KzLoadReport::Verdict_TooLarge:
        lines << tr("未打开%1：模型长达%2米，超出任何打印机的范围")
                     .arg(name, QString::number(report.GetExtent() / 1000, 'g', 3));
        break;
    case KzLoadReport::Verdict_BadPackage:
        lines << tr(kPackageFaults[report.GetPackageFault()]).arg(name);
        break;
    }
    if (report.IsShort())
        lines << tr("文件不完整：%2个三角面中只读到%1个").arg(report.GetRecords()).arg(report.GetPromised());
    if (report.GetDropped() > 0)
        lines << tr("跳过了%1个坐标无效的三角面").arg(report.GetDropped());
    return lines;
}

void KzTipWidget::slot_ShowLoadReport(const KzLoadReport& report)
{
    const QStringList lines = DescribeLoad(report);
    if (lines.isEmpty()) {
        slot_SetCurrentTip(1);
        return;
    }
    const int tip = report.IsUsable() ? 1 : 2;
    ShowTipText(tip, lines.join(QLatin1Char('\n')));
}

void KzTipWidget::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_nTimerId)
        return QFrame::timerEvent(event);
    ClearTip();
    killTimer(m_nTimerId);
    m_nTimerId = -1;
}
