#include "KzCardWindow.h"

#include "KzDataFolder.h"
#include "KzTipWidget.h"
#include "KzUserSettings.h"
#include "KzVellum.h"
#include "KzViewTestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QtTest>

namespace {

const int kSliceTimeout = 180 * 1000;

} // namespace

void KzCardWindow::Prepare()
{
    qunsetenv("LD_PRELOAD");
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
}

KzCardWindow::KzCardWindow(const QString& settingsFile)
{
    if (!settingsFile.isEmpty())
        m_pSettings.reset(new KzUserSettings(settingsFile));
    m_pWindow.reset(new KzVellum(nullptr, m_pSettings.get()));
    m_pWindow->show();
    if (!QTest::qWaitForWindowExposed(m_pWindow.get()))
        qWarning("KzCardWindow: the window was not shown");
}

// The window first: it writes its settings as it goes.
KzCardWindow::~KzCardWindow()
{
    m_pWindow.reset();
}

bool KzCardWindow::OpenAndSlice(const QString& folder, const QString& name)
{
    const QString stl = QDir(folder).filePath(name + ".stl");
    if (!KzViewTest::WriteBinaryStl(stl, KzViewTest::BoxTriangles(QVector3D(-8, -6, 0), QVector3D(8, 6, 10))))
        return false;
    m_pWindow->OpenModels({ stl });
    ShowOnekeyPage();
    auto* fast = m_pWindow->findChild<QPushButton*>("pushButton_Fast");
    if (!fast || !fast->isVisible())
        return false;
    QTest::mouseClick(fast, Qt::LeftButton);
    QPushButton* save = SaveSDButton();
    return QTest::qWaitFor([save] { return save->isEnabled(); }, kSliceTimeout);
}

void KzCardWindow::ShowOnekeyPage()
{
    QWidget* page = m_pWindow->findChild<QWidget*>("widget_OnekeyPrint");
    if (!page->isVisible())
        QMetaObject::invokeMethod(m_pWindow.get(), "slot_OneKeyPrint_Clicked");
}

QPushButton* KzCardWindow::SaveSDButton() const
{
    return m_pWindow->findChild<QPushButton*>("pushButton_SaveTF");
}

QPushButton* KzCardWindow::EjectCardButton() const
{
    return m_pWindow->findChild<QPushButton*>("pushButton_EjectCard");
}

QCheckBox* KzCardWindow::EjectAfterSaveBox() const
{
    return m_pWindow->findChild<QCheckBox*>("checkBox_EjectAfterSave");
}

void KzCardWindow::ClickSaveSD()
{
    QTest::mouseClick(SaveSDButton(), Qt::LeftButton);
}

void KzCardWindow::ClickEjectCard()
{
    QTest::mouseClick(EjectCardButton(), Qt::LeftButton);
}

// On the box's square, where a user clicks it.
void KzCardWindow::ClickEjectAfterSave()
{
    QCheckBox* box = EjectAfterSaveBox();
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect square = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, square.center());
}

QString KzCardWindow::TipTitle() const
{
    return m_pWindow->findChild<KzTipWidget*>()->GetTitle();
}

QString KzCardWindow::TipDetail() const
{
    return m_pWindow->findChild<KzTipWidget*>()->GetDetail();
}

void KzCardWindow::SetLanguage(int index)
{
    QMetaObject::invokeMethod(m_pWindow.get(), "slot_LanguageChanged", Q_ARG(int, index));
    // The application posts the change to every window: two rounds reach the panels.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QApplication::processEvents();
}

void KzCardWindow::Shot(const QString& name, bool bSettle) const
{
    const QString folder = qEnvironmentVariable("KZ_ROAD_SHOTS");
    if (folder.isEmpty())
        return;
    if (bSettle)
        QTest::qWait(100);
    m_pWindow->grab().save(QDir(folder).filePath(name + ".png"));
}
