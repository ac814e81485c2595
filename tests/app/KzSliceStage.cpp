#include "KzSliceStage.h"
#include "KzDataFolder.h"

#include "KzConfigureData.h"
#include "KzGLView.h"
#include "KzProgressWidget.h"
#include "KzSliceWidget.h"
#include "KzViewTestSupport.h"

#include <QDir>
#include <QPushButton>
#include <QtTest>

KzSliceStage::KzSliceStage() = default;
KzSliceStage::~KzSliceStage() = default;

QString KzSliceStage::StartMachine()
{
    qunsetenv("LD_PRELOAD");
    // The store reads the shipped machine file of the build's data folder.
    KzDataFolder::Use(QStringLiteral(KZ_OUTPUT_DIR));
    const std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    config->SetMaterialID(0);
    return config->GetTmpGcodeFilePath();
}

void KzSliceStage::Build()
{
    m_pWindow.reset(new QWidget);
    m_pWindow->resize(1000, 700);
    m_pView = new KzGLView(m_pWindow.get());
    m_pView->setGeometry(0, 0, 1000, 700);
    m_pPanel = new KzSliceWidget(m_pWindow.get());
    m_pPanel->m_pGLView = m_pView;
    m_pPanel->move(300, 30);
    m_pPanel->hide(); // as in the window: the dial shows it
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    m_pView->slot_ReloadSize();
}

void KzSliceStage::Clear()
{
    m_pWindow.reset();
    m_pPanel = nullptr;
    m_pView = nullptr;
}

void KzSliceStage::OpenCube(const QString& folder, double size)
{
    using namespace KzViewTest;
    const QString path = QDir(folder).filePath(QString("cube%1.stl").arg(size));
    const float h = float(size / 2);
    QVERIFY(WriteBinaryStl(path, BoxTriangles(QVector3D(-h, -h, 0), QVector3D(h, h, float(size)))));
    m_pView->makeCurrent();
    QVERIFY(m_pView->OpenSTLFile(path));
    m_pView->doneCurrent();
}

void KzSliceStage::ExpectIdle()
{
    QVERIFY(Button("pushButton_StartSlice")->isEnabled());
    QVERIFY(m_pPanel->findChild<QWidget*>("widget_OnekeyPrint")->isEnabled());
    QVERIFY(!Button("pushButton_SaveData")->isEnabled());
    QVERIFY(!Button("pushButton_SaveTF")->isEnabled());
    QVERIFY(!Button("pushButton_StopSlice")->isVisible());
    QVERIFY(!m_pView->IsLayerMode());
}

QPushButton* KzSliceStage::Button(const char* name) const
{
    return m_pPanel->findChild<QPushButton*>(name);
}

KzProgressWidget* KzSliceStage::Progress() const
{
    return m_pPanel->findChild<KzProgressWidget*>("widget_progress");
}
