#include "KzDialWidget.h"

#include "KzDialItemButton.h"
#include "KzRoundButton.h"

#include <QApplication>
#include <QButtonGroup>
#include <QIcon>
#include <QMouseEvent>

#include <iterator>

namespace {
constexpr int kDialSize = 300;
constexpr int kCenterButton = 4;
constexpr int kCustomPrintButton = 5;
constexpr int kOneKeyPrintButton = 6;
constexpr int kTipPrintSectors = 8;
constexpr int kTipReChoose = 9;
const char* const kQuarterStyle = "background-color:rgba(80,80,80,120)";
const char* const kPrintStyle = "background-color:rgba(100,100,100,80)";
// The pictures are numbered per button; names are built from this folder.
const QString kPictureDir = QStringLiteral(":/Resources/");

QIcon TwoStateIcon(const QString& normal, const QString& selected)
{
    QIcon icon(normal);
    icon.addFile(selected, QSize(), QIcon::Selected, QIcon::Off);
    return icon;
}

void Centre(QWidget* child, int side)
{
    child->move((kDialSize - side) / 2, (kDialSize - side) / 2);
}
} // namespace

KzDialWidget::KzDialWidget(QWidget* parent)
    : QWidget(parent)
{
    resize(kDialSize, kDialSize);
    m_pGroup = new QButtonGroup(this);
    m_pGroup->setExclusive(false);
    setMouseTracking(true);
    CreateQuarterButtons();
    CreateCenterButton();
    CreatePrintButtons(0);
    connect(m_pGroup, SIGNAL(buttonClicked(int)), this, SLOT(slot_ButtonClicked(int)));
    connect(Button(0), &QAbstractButton::toggled, this, &KzDialWidget::slot_SettingToggled);
}

QAbstractButton* KzDialWidget::Button(int buttonID) const
{
    return m_pGroup->button(buttonID);
}

void KzDialWidget::CreateQuarterButtons()
{
    for (int i = 0; i < 4; ++i) {
        auto* button = new KzDialItemButton(0.25, i * 90.0, this);
        button->setObjectName(QStringLiteral("dialButton%1").arg(i));
        button->setStyleSheet(kQuarterStyle);
        button->setFixedSize(200, 200);
        Centre(button, 200);
        button->setIcon(TwoStateIcon(kPictureDir + QStringLiteral("0%1.png").arg(i),
                                     kPictureDir + QStringLiteral("0%1p.png").arg(i)));
        button->setCheckable(true);
        button->setChecked(false);
        m_pGroup->addButton(button, i);
    }
}

void KzDialWidget::CreateCenterButton()
{
    auto* button = new KzRoundButton(this);
    button->setObjectName(QStringLiteral("dialButton4"));
    button->resize(120, 120);
    Centre(button, 120);
    button->setIcon(QIcon(QStringLiteral(":Resources/1111.png")));
    button->setStyleSheet("background-color:rgb(80,80,80)");
    m_pGroup->addButton(button, kCenterButton);
}

void KzDialWidget::CreatePrintButtons(int nLanguage)
{
    for (int i = 0; i < 2; ++i) {
        auto* button = new KzDialItemButton(0.15, (i - 0.5) * 54.0, this);
        button->setObjectName(QStringLiteral("dialButton%1").arg(i + 5));
        button->setStyleSheet(kPrintStyle);
        button->setFixedSize(280, 280);
        Centre(button, 280);
        button->SetRingMode(true);
        button->hide();
        m_pGroup->addButton(button, i + 5);
    }
    SetLanguage(nLanguage);
}

void KzDialWidget::SetCenterIcon(const QIcon& icon)
{
    Button(kCenterButton)->setIcon(icon);
}

void KzDialWidget::SetLanguage(int nLanguage)
{
    const QString suffix = nLanguage == 1 ? QStringLiteral("-2") : QString();
    for (int i = 0; i < 2; ++i) {
        const QString stem = kPictureDir + QStringLiteral("Setting0%1").arg(i) + suffix;
        Button(i + 5)->setIcon(TwoStateIcon(stem + ".png", stem + "p.png"));
    }
}

void KzDialWidget::Uncheck(int buttonID)
{
    Button(buttonID)->setChecked(false);
}

// Button 0 acts through its checked state; the others fire once and
// spring back. The centre picture asks for a new printer and material.
void KzDialWidget::slot_ButtonClicked(int buttonID)
{
    using Action = void (KzDialWidget::*)();
    static const Action kActions[] = {
        nullptr,
        &KzDialWidget::signal_OpenButtonClicked,
        &KzDialWidget::signal_SaveButtonClicked,
        &KzDialWidget::signal_RemoveButtonClicked,
        &KzDialWidget::signal_ReChooseClicked,
        &KzDialWidget::signal_CustomPrintClicked,
        &KzDialWidget::signal_OneKeyPrintClicked,
    };
    if (buttonID <= 0 || buttonID >= int(std::size(kActions)))
        return;
    // Called through a copy: GCC 12's bounds sanitizer misreads a call
    // straight out of a table of member pointers as an index overflow.
    const Action action = kActions[buttonID];
    (this->*action)();
    if (buttonID == kCenterButton)
        emit signal_ShowTip(kTipReChoose);
    Uncheck(buttonID);
}

void KzDialWidget::slot_SettingToggled(bool bChecked)
{
    Button(kOneKeyPrintButton)->setVisible(bChecked);
    Button(kCustomPrintButton)->setVisible(bChecked);
    if (bChecked)
        emit signal_ShowTip(kTipPrintSectors);
}

void KzDialWidget::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    Forward(event);
    m_bPressed = true;
}

void KzDialWidget::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    Forward(event);
    m_bPressed = false;
}

void KzDialWidget::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton || m_bPressed)
        Forward(event);
}

// The dial's square is mostly empty: hand the event to whatever lies
// beneath it at the same point.
void KzDialWidget::Forward(QMouseEvent* event)
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    const QPoint inParent = mapToParent(event->pos());
    QWidget* beneath = parent->childAt(inParent);
    if (beneath) {
        const QPoint local = beneath->mapFrom(parent, inParent);
        QApplication::postEvent(beneath, new QMouseEvent(event->type(), local, event->button(),
                                                         event->buttons(), event->modifiers()));
    }
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
}
