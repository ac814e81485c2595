#include "KLayerControlWidget.h"

#include "KLayerBookmarkLabel.h"
#include "KzGLView.h"

#include <QEvent>

#include <cmath>

KLayerControlWidget::KLayerControlWidget(QWidget* parent)
    : QWidget(parent)
    , m_pBookmark(nullptr)
    , m_pGLView(nullptr)
{
    ui.setupUi(this);
    m_pBookmark = new KLayerBookmarkLabel(this);
    m_pBookmark->setStyleSheet(QStringLiteral("background:transparent;color:rgb(111,111,111);margin-left:8px"));
    m_pBookmark->setAlignment(Qt::AlignCenter);
    m_pBookmark->setText(QStringLiteral("99"));
    m_pBookmark->setFixedSize(40, 24);
    m_pBookmark->move(37, 28);
    ui.pushButton_back->hide();
}

KLayerControlWidget::~KLayerControlWidget() = default;

void KLayerControlWidget::slot_SetMaxLayer(int value)
{
    ui.Slider->setRange(0, value);
    ui.Slider->setValue(value);
    ui.MaxValueLabel->setText(QString::number(value));
}

void KLayerControlWidget::slot_SliderValueChanged(int value)
{
    const int max = ui.Slider->maximum();
    const int min = ui.Slider->minimum();
    // A range without width has one value: the tag stays level with the top.
    const double step = (max > min) ? ms_dBookmarkTravel / (max - min) : 0.0;
    const QPoint slider = ui.Slider->pos();
    m_pBookmark->move(slider.x() + 37, slider.y() + int(std::trunc((max - value) * step)));
    m_pBookmark->setText(QString::number(value));
    if (m_pGLView != nullptr)
        m_pGLView->SetCurrentLayer(value);
}

void KLayerControlWidget::slot_ButtonGroupClicked()
{
    if (m_pGLView != nullptr)
        m_pGLView->SetEnableMultiLayer(ui.MultiLayerButton->isChecked());
}

void KLayerControlWidget::slot_BackButton_Clicked()
{
    if (m_pGLView != nullptr)
        m_pGLView->QuitLayerMode();
    hide();
}

void KLayerControlWidget::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        ui.retranslateUi(this);
    QWidget::changeEvent(e);
}
