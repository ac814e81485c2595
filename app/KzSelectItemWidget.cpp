#include "KzSelectItemWidget.h"

#include "KzEasyLabel.h"
#include "KzRoundButton.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QResizeEvent>

#include <cmath>


namespace {

// The gap between the picture and the name, and the used height per width.
const int kNameGap = 10;
const double kHeightPerWidth = 1.2;
// The tile's own look, and that of the current choice.
const char* const kTileStyle = "*{background:transparent;font-weight:bold;}";
const char* const kCurrentTileStyle = "*{background:transparent;font-weight:bold;}QLabel{color:rgb(10,60,130);}";
const char* const kDetailStyle = "font-size:8pt;font-weight:normal;";

int Round(double value)
{
    return int(std::lround(value));
}

} // namespace

KzSelectItemWidget::KzSelectItemWidget(int id, QWidget* parent)
    : QWidget(parent)
    , m_pButton(nullptr)
    , m_pLabel(new KzEasyLabel(this))
    , m_pDetailLabel(new QLabel(this))
    , m_pRoundButton(new KzRoundButton(this))
    , m_nId(id)
{
    m_pButton = m_pRoundButton;
    // The tile shows the page behind it; the names take the default family.
    setStyleSheet(kTileStyle);
    m_pDetailLabel->setStyleSheet(kDetailStyle);
    m_pDetailLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pDetailLabel->hide();
    m_pButton->setStyleSheet("background:rgb(85,85,85)");
    m_pButton->setFocusPolicy(Qt::NoFocus);
    m_pLabel->setAlignment(Qt::AlignCenter);
    connect(m_pButton, SIGNAL(clicked()), this, SLOT(slot_ButtonClicked()));
}

void KzSelectItemWidget::SetName(const QString& strName)
{
    m_pLabel->setText(strName);
}

void KzSelectItemWidget::SetPicture(const QIcon& icon)
{
    m_pButton->setIcon(icon);
}

void KzSelectItemWidget::SetDetail(const QString& strDetail)
{
    m_pDetailLabel->setText(strDetail);
    m_pDetailLabel->setVisible(!strDetail.isEmpty());
    PlaceParts(size());
}

void KzSelectItemWidget::SetCurrent(bool bCurrent)
{
    if (bCurrent == IsCurrent())
        return;
    m_pRoundButton->SetCurrent(bCurrent);
    setStyleSheet(bCurrent ? kCurrentTileStyle : kTileStyle);
}

bool KzSelectItemWidget::IsCurrent() const
{
    return m_pRoundButton->IsCurrent();
}

int KzSelectItemWidget::GetId() const
{
    return m_nId;
}

QPushButton* KzSelectItemWidget::GetPictureButton() const
{
    return m_pButton;
}

QLabel* KzSelectItemWidget::GetNameLabel() const
{
    return m_pLabel;
}

QLabel* KzSelectItemWidget::GetDetailLabel() const
{
    return m_pDetailLabel;
}

void KzSelectItemWidget::slot_ButtonClicked()
{
    emit signal_ButtonClicked(m_nId);
}

void KzSelectItemWidget::CalculateLayout(const QSize& size, QRect& picture, QRect& name)
{
    const int w = size.width();
    const int h = size.height();
    int side = 0;
    int used = 0;
    if (h > kHeightPerWidth * w + kNameGap) {
        side = w;
        used = Round(kHeightPerWidth * w + kNameGap);
    } else {
        used = h;
        side = qMax(0, Round((h - kNameGap) / kHeightPerWidth));
    }
    const int left = (w - side) / 2;
    const int top = (h - used) / 2;
    picture = QRect(left, top, side, side);
    name = QRect(left, top + side + kNameGap, side, qMax(0, used - side));
}

void KzSelectItemWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    PlaceParts(e->size());
}

// A detail line takes one line of its own at the bottom, across the whole
// tile; picture and name share what is left.
void KzSelectItemWidget::PlaceParts(const QSize& size)
{
    m_pDetailLabel->ensurePolished();
    const int detail = m_pDetailLabel->isVisibleTo(this) ? m_pDetailLabel->fontMetrics().height() + 2 : 0;
    QRect picture;
    QRect name;
    CalculateLayout(QSize(size.width(), qMax(0, size.height() - detail)), picture, name);
    m_pButton->setGeometry(picture);
    m_pButton->setIconSize(picture.size());
    // The name's rectangle runs on by the gap below the picture; the line
    // below it must not.
    if (detail > 0)
        name.setBottom(qMin(name.bottom(), size.height() - detail - 1));
    m_pLabel->setGeometry(name);
    m_pDetailLabel->setGeometry(0, size.height() - detail, size.width(), detail);
}
