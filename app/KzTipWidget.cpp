#include "KzTipWidget.h"

#include "KzTipContext.h"
#include "ui_TipWidget.h"

#include <QTimerEvent>

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
    m_pUi->label_Title->setText(tr(strTitle.toUtf8().constData()));
    m_pUi->label_Detail->setText(m_bFreeDetail ? m_strFreeDetail : tr(strDetail.toUtf8().constData()));
    m_nTimerId = startTimer(ms_nClearAfterMs);
}

void KzTipWidget::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_nTimerId)
        return QFrame::timerEvent(event);
    ClearTip();
    killTimer(m_nTimerId);
    m_nTimerId = -1;
}
