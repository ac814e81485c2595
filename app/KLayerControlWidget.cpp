#include "KLayerControlWidget.h"

#include "KLayerBookmarkLabel.h"
#include "KLayerLegendWidget.h"
#include "KzGLView.h"
#include "KzPrintFigures.h"

#include <QEvent>
#include <QHelpEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <cmath>

namespace {
// The tag is taller than one line to hold the height below the number; it
// rises by the difference so that its point stays level with the handle.
const int kBookmarkWidth = 55;
const int kBookmarkHeight = 36;
const int kBookmarkRise = (kBookmarkHeight - 24) / 2;
const int kLegendGap = 8;
}

KLayerControlWidget::KLayerControlWidget(QWidget* parent)
    : QWidget(parent)
    , m_pBookmark(nullptr)
    , m_pGLView(nullptr)
    , m_pZLabel(nullptr)
    , m_pLegend(nullptr)
{
    ui.setupUi(this);
    m_pBookmark = new KLayerBookmarkLabel(this);
    m_pBookmark->setStyleSheet(
        QStringLiteral("background:transparent;color:rgb(111,111,111);margin-left:8px;font-size:8pt"));
    m_pBookmark->setAlignment(Qt::AlignCenter);
    m_pBookmark->setText(QStringLiteral("99"));
    m_pBookmark->setFixedSize(kBookmarkWidth, kBookmarkHeight);
    m_pBookmark->move(37, 28 - kBookmarkRise);
    ui.pushButton_back->hide();

    // The current layer's height, below the slider's lowest number.
    m_pZLabel = new QLabel(ui.frame);
    m_pZLabel->setObjectName(QStringLiteral("ZValueLabel"));
    m_pZLabel->setAlignment(Qt::AlignCenter);
    m_pZLabel->setStyleSheet(QStringLiteral("font-size:8pt"));
    m_pZLabel->setMinimumHeight(20);
    ui.verticalLayout->insertWidget(ui.verticalLayout->indexOf(ui.MinValueLabel) + 1, m_pZLabel);
    ui.Slider->installEventFilter(this);

    if (parent != nullptr) {
        m_pLegend = new KLayerLegendWidget(parent);
        m_pLegend->hide();
        m_pLegend->installEventFilter(this);   // its size follows its language
        connect(m_pLegend, &KLayerLegendWidget::signal_TypeShown, this, [this](int type, bool shown) {
            if (m_pGLView != nullptr)
                m_pGLView->SetLayerTypeShown(type, shown);
        });
    }
}

KLayerControlWidget::~KLayerControlWidget() = default;

void KLayerControlWidget::slot_SetMaxLayer(int value)
{
    ui.Slider->setRange(0, value);
    ui.Slider->setValue(value);
    ui.MaxValueLabel->setText(QString::number(value));
    // The layers have changed (arrived, or trimmed): their heights and
    // features with them, even where the value stayed.
    UpdateLayerTexts(ui.Slider->value());
    UpdateLegend();
}

void KLayerControlWidget::slot_SliderValueChanged(int value)
{
    const int max = ui.Slider->maximum();
    const int min = ui.Slider->minimum();
    // A range without width has one value: the tag stays level with the top.
    const double step = (max > min) ? ms_dBookmarkTravel / (max - min) : 0.0;
    const QPoint slider = ui.Slider->pos();
    m_pBookmark->move(slider.x() + 37, slider.y() + int(std::trunc((max - value) * step)) - kBookmarkRise);
    if (m_pGLView != nullptr)
        m_pGLView->SetCurrentLayer(value);
    UpdateLayerTexts(value);
}

QString KLayerControlWidget::ZText(int layer) const
{
    const double z = m_pGLView != nullptr ? m_pGLView->GetLayerPreview().GetLayerZ(layer) : -1.0;
    return z >= 0.0 ? QString::number(z, 'f', 2) + QStringLiteral(" mm") : QString();
}

void KLayerControlWidget::UpdateLayerTexts(int value)
{
    const QString z = ZText(value);
    m_pBookmark->setText(z.isEmpty() ? QString::number(value) : QString::number(value) + QLatin1Char('\n') + z);
    m_pZLabel->setText(z);
    m_pBookmark->setToolTip(m_pGLView != nullptr ? LayerToolTip(value) : QString());
}

// The times are the engine's own, from its comment at the end of each layer.
QString KLayerControlWidget::LayerToolTip(int layer) const
{
    QString head = tr("第 %1 层").arg(layer);
    const QString z = ZText(layer);
    if (!z.isEmpty())
        head += QStringLiteral(" · Z ") + z;
    QStringList lines(head);
    const KLayerFeature& preview = m_pGLView->GetLayerPreview();
    const double start = layer == 0 ? 0.0 : preview.GetLayerElapsed(layer - 1);
    const double end = preview.GetLayerElapsed(layer);
    if (start >= 0.0 && end >= start) {
        lines << tr("到达此层：%1").arg(KzPrintFigures::TimeText(start));
        lines << tr("此层用时：%1").arg(KzPrintFigures::TimeText(end - start));
        lines << tr("打印完此层：%1").arg(KzPrintFigures::TimeText(end));
    } else {
        lines << tr("此G-code没有逐层的时间");
    }
    return lines.join(QLatin1Char('\n'));
}

void KLayerControlWidget::UpdateLegend()
{
    if (m_pLegend == nullptr || m_pGLView == nullptr)
        return;
    const KLayerFeature& preview = m_pGLView->GetLayerPreview();
    unsigned int types = preview.GetPresentTypes();
    // The travel moves are drawn with a single layer only.
    if (!ui.MultiLayerButton->isChecked() && types != 0)
        types |= 1u << KLayerLegendWidget::ms_nTravelType;
    QMap<int, QColor> colours;
    for (int type = 0; type < KLayerLegendWidget::ms_nTravelType; ++type)
        colours.insert(type, preview.GetColor(type));
    colours.insert(KLayerLegendWidget::ms_nTravelType, KLayerFeature::GetTravelColor());
    m_pLegend->SetEntries(types, colours);
    PlaceLegend();
}

// Left of the panel, level with its top.
void KLayerControlWidget::PlaceLegend()
{
    if (m_pLegend != nullptr)
        m_pLegend->move(x() - m_pLegend->width() - kLegendGap, y());
}

void KLayerControlWidget::slot_ButtonGroupClicked()
{
    if (m_pGLView != nullptr)
        m_pGLView->SetEnableMultiLayer(ui.MultiLayerButton->isChecked());
    UpdateLegend();
}

void KLayerControlWidget::slot_BackButton_Clicked()
{
    if (m_pGLView != nullptr)
        m_pGLView->QuitLayerMode();
    hide();
}

// The handle tells the time up to its layer; the rest of the groove nothing.
bool KLayerControlWidget::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_pLegend && e->type() == QEvent::Resize)
        PlaceLegend();
    if (watched != ui.Slider || e->type() != QEvent::ToolTip || m_pGLView == nullptr)
        return QWidget::eventFilter(watched, e);
    auto* help = static_cast<QHelpEvent*>(e);
    QStyleOptionSlider option;
    option.initFrom(ui.Slider);
    option.orientation = ui.Slider->orientation();
    option.minimum = ui.Slider->minimum();
    option.maximum = ui.Slider->maximum();
    option.sliderPosition = ui.Slider->sliderPosition();
    option.sliderValue = ui.Slider->value();
    option.upsideDown = !ui.Slider->invertedAppearance();   // vertical sliders grow upwards
    const QRect handle = ui.Slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, ui.Slider);
    if (handle.contains(help->pos()))
        QToolTip::showText(help->globalPos(), LayerToolTip(ui.Slider->value()), ui.Slider, handle);
    else
        QToolTip::hideText();
    return true;
}

void KLayerControlWidget::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (m_pLegend == nullptr)
        return;
    UpdateLegend();
    m_pLegend->show();
    m_pLegend->raise();
}

void KLayerControlWidget::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    if (m_pLegend != nullptr)
        m_pLegend->hide();
}

void KLayerControlWidget::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    PlaceLegend();
}

void KLayerControlWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    PlaceLegend();
}

void KLayerControlWidget::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange) {
        ui.retranslateUi(this);
        // The form's texts bring back its placeholder for the highest layer.
        ui.MaxValueLabel->setText(QString::number(ui.Slider->maximum()));
        UpdateLayerTexts(ui.Slider->value());
    }
    QWidget::changeEvent(e);
}
