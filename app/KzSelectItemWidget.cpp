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

int Round(double value)
{
    return int(std::lround(value));
}

} // namespace

KzSelectItemWidget::KzSelectItemWidget(int id, QWidget* parent)
    : QWidget(parent)
    , m_pButton(new KzRoundButton(this))
    , m_pLabel(new KzEasyLabel(this))
    , m_nId(id)
{
    // The tile shows the page behind it; the names take the default family.
    setStyleSheet("background:transparent;font-weight:bold;");
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
    QRect picture;
    QRect name;
    CalculateLayout(e->size(), picture, name);
    m_pButton->setGeometry(picture);
    m_pButton->setIconSize(picture.size());
    m_pLabel->setGeometry(name);
}
