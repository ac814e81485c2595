#include "KLayerLegendWidget.h"

#include "emPathType.h"

#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The order of the list: from the outside of a print inwards, then what
// stands beside it.
const int kOrder[] = {PathWallOuter, PathWallInner, PathSkin, PathFill, PathSupport,
                      PathSkirt, PathLayerStart, KLayerLegendWidget::ms_nTravelType};

const char* const kNames[] = {
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "外壁"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "内壁"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "顶底面"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "裙边/边沿"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "填充"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "其他"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "支撑"),
    QT_TRANSLATE_NOOP("KLayerLegendWidget", "空驶"),
};

const char* const kStyle =
    "KLayerLegendWidget{background-color:rgba(65,65,65,230);border-radius:5px;}"
    "QLabel{color:rgb(245,245,245);font-size:10pt;background:transparent;}"
    "QPushButton{color:rgb(245,245,245);background:transparent;border:none;text-align:left;"
    "font-size:10pt;padding:2px 4px;}"
    "QPushButton:!checked{color:rgb(130,130,130);}"
    "QPushButton:hover{background-color:rgb(80,80,80);}";

} // namespace

KLayerLegendWidget::KLayerLegendWidget(QWidget* parent)
    : QFrame(parent)
    , m_pTitle(new QLabel(this))
{
    setStyleSheet(QLatin1String(kStyle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(0);
    layout->addWidget(m_pTitle);
    for (int type : kOrder)
        AddButton(type);
    Retranslate();
    SetEntries(0, {});
}

void KLayerLegendWidget::AddButton(int type)
{
    auto* button = new QPushButton(this);
    button->setObjectName(QStringLiteral("legend_%1").arg(type));
    button->setCheckable(true);
    button->setChecked(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(12, 12));
    layout()->addWidget(button);
    m_mapButtons.insert(type, button);
    connect(button, &QPushButton::toggled, this, [this, type](bool on) { emit signal_TypeShown(type, on); });
}

void KLayerLegendWidget::SetEntries(unsigned int types, const QMap<int, QColor>& colours)
{
    for (auto it = m_mapButtons.cbegin(); it != m_mapButtons.cend(); ++it) {
        it.value()->setVisible((types & (1u << it.key())) != 0);
        it.value()->setIcon(Swatch(colours.value(it.key(), Qt::black)));
    }
    adjustSize();
}

bool KLayerLegendWidget::IsShown(int type) const
{
    const QPushButton* button = m_mapButtons.value(type);
    return button == nullptr || button->isChecked();
}

// The colour as a filled square while shown, as a frame while hidden.
QIcon KLayerLegendWidget::Swatch(const QColor& colour)
{
    QIcon icon;
    for (bool on : {true, false}) {
        QPixmap pixmap(12, 12);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setPen(QPen(colour, 2));
        painter.setBrush(on ? QBrush(colour) : QBrush(Qt::NoBrush));
        painter.drawRect(QRectF(1, 1, 10, 10));
        painter.end();
        icon.addPixmap(pixmap, QIcon::Normal, on ? QIcon::On : QIcon::Off);
    }
    return icon;
}

void KLayerLegendWidget::Retranslate()
{
    m_pTitle->setText(tr("图例（点击隐藏）"));
    for (auto it = m_mapButtons.cbegin(); it != m_mapButtons.cend(); ++it)
        it.value()->setText(tr(kNames[it.key()]));
    adjustSize();
}

void KLayerLegendWidget::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange)
        Retranslate();
    QFrame::changeEvent(e);
}
