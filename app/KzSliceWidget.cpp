#include "KzSliceWidget.h"

#include "KzConfigureData.h"
#include "KzFileCopy.h"
#include "KzGLView.h"
#include "KzSliceFileCheck.h"
#include "KzPrintFigures.h"
#include "KzSliceProfile.h"
#include "KzSliceWork.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

// Every numeric field of the custom page: the profile key it shows and the
// setter it feeds. Whole-number settings go through an int setter (the field's
// value truncated), lengths through a double one.
struct KzSliceField
{
    KzDoubleSpinBox* Ui::CustomPrint::*pField;
    const char* pKey;
    void (KzSliceProfile::*pSetReal)(double);
    void (KzSliceProfile::*pSetWhole)(int);
    // How the profile's value is read: as a double, or (whole-number fields)
    // as an int, so that a text such as 40.0 reads as 0 as everywhere else.
    bool bReadReal;
};

#define KZ_REAL(field, key, setter) { &Ui::CustomPrint::field, key, &KzSliceProfile::setter, nullptr, true }
#define KZ_WHOLE(field, key, setter) { &Ui::CustomPrint::field, key, nullptr, &KzSliceProfile::setter, false }

const KzSliceField kFields[] = {
    KZ_REAL(doubleSpinBox_LayerThickness, "layer_height", SetLayerThickness),
    KZ_REAL(doubleSpinBox_ShellThickness, "wall_thickness", SetWallThickness),
    KZ_REAL(doubleSpinBox_InitialLayerThickness, "bottom_thickness", SetInitialLayerThickness),
    KZ_WHOLE(doubleSpinBox_PrintSpeed, "print_speed", SetPrintSpeed),
    KZ_WHOLE(doubleSpinBox_TravelSpeed, "travel_speed", SetTravelSpeed),
    KZ_WHOLE(doubleSpinBox_BottomSpeed, "bottom_layer_speed", SetBottomSpeed),
    KZ_WHOLE(doubleSpinBox_InfillSpeed, "infill_speed", SetInfillSpeed),
    KZ_WHOLE(doubleSpinBox_SolidSpeed, "solidarea_speed", SetSolidAreaSpeed),
    KZ_WHOLE(doubleSpinBox_OuterSpeed, "inset0_speed", SetShellSpeed),
    KZ_WHOLE(doubleSpinBox_InnerSpeed, "insetx_speed", SetInnerSpeed),
    KZ_WHOLE(doubleSpinBox_UpSkinCount, "upSkin_Count", SetUpSkinCount),
    KZ_WHOLE(doubleSpinBox_DownSkinCount, "downSkin_Count", SetDownSkinCount),
    KZ_WHOLE(doubleSpinBox_InfillRate, "fill_density", SetInfillRate),
    KZ_WHOLE(doubleSpinBox_SupportAngle, "support_angle", SetSupportAngle),
    KZ_WHOLE(doubleSpinBox_SupportRate, "support_fill_rate", SetSupportRate),
    KZ_REAL(doubleSpinBox_XYDistance, "support_xy_distance", SetXYDistance),
    KZ_REAL(doubleSpinBox_ZDistance, "support_z_distance", SetZDistance),
    KZ_WHOLE(doubleSpinBox_SprayTemperature, "print_temperature", SetPrintTemperature),
    KZ_WHOLE(doubleSpinBox_PlatformTemperature, "print_bed_temperature", SetBedTemperature),
    KZ_WHOLE(doubleSpinBox_EdgeCount, "brim_line_count", SetBrimEdgeCount),
    // The retraction speed is read as a double but sent whole.
    { &Ui::CustomPrint::lineEdit_RetractionSpeed, "retraction_speed", nullptr,
      &KzSliceProfile::SetRetractionSpeed, true },
    KZ_REAL(lineEdit_RetractionDistance, "retraction_amount", SetRetractionAmount),
    KZ_REAL(lineEdit_RetractionMinDistance, "retraction_min_travel", SetRetractionMinTravel),
    KZ_REAL(lineEdit_RetractionMinExtrusion, "retraction_minimal_extrusion", SetRetractionMinExtrusion),
    KZ_REAL(lineEdit_RetractionZHop, "retraction_hop", SetRetractionZHop),
    KZ_REAL(doubleSpinBox_ExtraEdge, "raft_margin", SetRaftExtraEdge),
    KZ_REAL(doubleSpinBox_RaftSpacing, "raft_line_spacing", SetRaftLineSpacing),
    KZ_REAL(doubleSpinBox_RaftBaseThickness, "raft_base_thickness", SetRaftBaseThickness),
    KZ_REAL(doubleSpinBox_RaftBaseLineSpacing, "raft_base_linewidth", SetRaftBaseLinewidth),
    KZ_REAL(doubleSpinBox_RaftInterfaceThickness, "raft_interface_thickness", SetRaftInterfaceThickness),
    KZ_REAL(doubleSpinBox_RaftInterfaceLineSpacing, "raft_interface_linewidth", SetRaftInterfaceLinewidth),
    KZ_REAL(doubleSpinBox_RaftAirGap, "raft_airgap_all", SetRaftAirgap),
    KZ_REAL(doubleSpinBox_RaftAirGap0, "raft_airgap", SetRaftAirgap0),
    KZ_WHOLE(doubleSpinBox_RaftSurfaceLayerCount, "raft_surface_layers", SetSurfaceLayerCount),
    KZ_REAL(doubleSpinBox_RaftSurfaceThickness, "raft_surface_thickness", SetSurfaceLayerThickness),
    KZ_REAL(doubleSpinBox_RaftSurfaceLineWidth, "raft_surface_linewidth", SetSurfaceLayerLinewidth),
};

#undef KZ_REAL
#undef KZ_WHOLE

// The profile's words for the combo boxes' items, by index.
const char* const kSupportTexts[] = { "Everywhere", "Touching buildplate", "None" };
const char* const kAdhesionTexts[] = { "Brim", "Raft", "Skirt" };

int SupportIndex(const QString& text)
{
    if (text == QLatin1String("Everywhere"))
        return 0;
    return text == QLatin1String("None") ? 2 : 1;
}

int AdhesionIndex(const QString& text)
{
    if (text == QLatin1String("Brim"))
        return 0;
    return text == QLatin1String("Raft") ? 1 : 2;
}

// Machines without a heated bed.
bool HasNoHeatedBed(int machineType)
{
    return machineType == 4 || machineType == 5;
}

// The panel's own layout of the action buttons (the form places them for the
// custom page): a second row for the SD button, one button width plus a gap apart.
const int kButtonPitch = 125;
const int kSecondRowY = 91;
// Below the SD button: its check box, then the eject button.
const int kEjectAfterSaveBelow = 36;
const int kEjectCardBelow = 66;

// Result codes of the slicing job.
enum { ResultSliced = 0, ResultStopped = 2 };

// The tip of models that stand outside the build volume.
const int kTipOutOfBounds = 19;
const int kTipSliceDone = 12;

} // namespace

KzSliceWidget::KzSliceWidget(QWidget* parent)
    : QFrame(parent)
    , m_pGLView(nullptr)
    , m_pSliceWork(new KzSliceWork)
    , m_nPrintSeconds(-1)
    , m_nPrintFilamentMm(-1)
    , m_dRunDensity(0.0)
    , m_dRunDiameter(0.0)
    , m_pButtonGroup(new QButtonGroup(this))
    , m_bDropRun(false)
    , m_bSlicing(false)
{
    ui.setupUi(this);
    ui.widget_OnekeyPrint->hide();
    ui.label_OnekeyPrint->hide();

    const std::shared_ptr<KzConfigureData> configure = KzConfigureData::GetInstance();
    m_strTmpSTLPath = configure->GetTmpSTLFilePath();
    m_strTmpGCodePath = configure->GetTmpGcodeFilePath();
    m_pSliceWork->SetGCodeFilePath(m_strTmpGCodePath);
    m_pSliceWork->SetSTLFilePath(m_strTmpSTLPath);
    m_pSliceWork->moveToThread(&m_thread);

    InitButtonTable();
    slot_Reset();
    ConnectJob();

    ui.pushButton_SaveData->setEnabled(false);
    ui.pushButton_SaveTF->setEnabled(false);
    ui.pushButton_EjectCard->hide();
    ui.widget_progress->slot_Reset();
    emit signal_HideSaveSD();
    emit signal_HidePrintInfo();
    emit signal_HideQuitLayerButton();
    EnterIdleState();
}

// A run in progress is stopped (the engine is killed within a fraction of a
// second) and the thread is waited for, so nothing outlives the panel.
KzSliceWidget::~KzSliceWidget()
{
    if (m_thread.isRunning()) {
        m_pSliceWork->Stop();
        m_thread.quit();
        m_thread.wait();
    } else {
        // Never started: its finished signal, which deletes the job, never comes.
        delete m_pSliceWork;
    }
}

void KzSliceWidget::InitButtonTable()
{
    m_pButtonGroup->addButton(ui.pushButton_Close, 0);
    m_pButtonGroup->addButton(ui.pushButton_StartSlice, 1);
    m_pButtonGroup->addButton(ui.pushButton_SaveData, 2);
    m_pButtonGroup->addButton(ui.pushButton_Fast, 3);
    m_pButtonGroup->addButton(ui.pushButton_Standard, 4);
    m_pButtonGroup->addButton(ui.pushButton_Optimal, 5);
    m_mapButtonActions.insert(0, [this] { hide(); });
    m_mapButtonActions.insert(1, [this] { StartSlice(SliceMode_Custom); });
    m_mapButtonActions.insert(2, [this] { SaveGCodeAs(); });
    m_mapButtonActions.insert(3, [this] { StartSlice(SliceMode_Fast); });
    m_mapButtonActions.insert(4, [this] { StartSlice(SliceMode_Standard); });
    m_mapButtonActions.insert(5, [this] { StartSlice(SliceMode_Optimal); });
    connect(m_pButtonGroup, SIGNAL(buttonClicked(int)), this, SLOT(slot_ButtonClicked(int)));
}

// The job lives on the worker thread: every connection with it is queued.
void KzSliceWidget::ConnectJob()
{
    KzProgressWidget* progress = ui.widget_progress;
    connect(m_pSliceWork, &KzSliceWork::signal_UpdateProgressRange, progress, &KzProgressWidget::slot_SetRange);
    connect(m_pSliceWork, &KzSliceWork::signal_UpdateProgressValue, progress, &KzProgressWidget::slot_SetValue);
    connect(m_pSliceWork, &KzSliceWork::signal_UpdateTipText, progress, &KzProgressWidget::slot_SetText);
    connect(m_pSliceWork, &KzSliceWork::signal_UpdateTipText, this, &KzSliceWidget::slot_ReceiveFailReason);
    connect(m_pSliceWork, &KzSliceWork::signal_SliceOver, this, &KzSliceWidget::slot_SliceComplete);
    connect(m_pSliceWork, &KzSliceWork::signal_SendPrintFigures, this, &KzSliceWidget::slot_ReceivePrintFigures);
    connect(m_pSliceWork, &KzSliceWork::signal_SendPrintInfo, this, &KzSliceWidget::slot_ReceivePrintInfo);
    connect(&m_thread, &QThread::finished, m_pSliceWork, &QObject::deleteLater);
    connect(this, &KzSliceWidget::signal_StartSlice, m_pSliceWork, &KzSliceWork::slot_StartSlice);
    connect(ui.pushButton_SaveTF, &QPushButton::clicked, this, &KzSliceWidget::signal_SaveTF);
    connect(ui.pushButton_EjectCard, &QPushButton::clicked, this, &KzSliceWidget::signal_EjectCard);
    connect(ui.checkBox_EjectAfterSave, &QCheckBox::toggled, this, &KzSliceWidget::signal_EjectAfterSaveToggled);
    connect(ui.pushButton_Reset, &QPushButton::clicked, this, &KzSliceWidget::slot_Reset);
    connect(ui.pushButton_StopSlice, &QPushButton::clicked, this, &KzSliceWidget::slot_StopSlice);
}

void KzSliceWidget::EnterIdleState()
{
    m_bSlicing = false;
    ui.pushButton_StartSlice->setEnabled(true);
    ui.widget_OnekeyPrint->setEnabled(true);
    ui.pushButton_StopSlice->hide();
}

void KzSliceWidget::EnterSlicingState()
{
    m_bSlicing = true;
    m_bDropRun = false;
    m_vecRunChoice = CurrentChoice();
    m_strPrintInfo.clear();
    m_nPrintSeconds = -1;
    m_nPrintFilamentMm = -1;
    m_strFailReason.clear();
    ui.widget_OnekeyPrint->setEnabled(false);
    ui.pushButton_StartSlice->setEnabled(false);
    ui.pushButton_SaveData->setEnabled(false);
    ui.pushButton_SaveTF->setEnabled(false);
    ui.pushButton_StopSlice->show();
    ui.widget_progress->slot_Reset();
    emit signal_HideSaveSD();
    emit signal_HidePrintInfo();
    emit signal_HideQuitLayerButton();
}

void KzSliceWidget::ShowCustomPrint()
{
    if (isVisible() && ui.widget_CustomWidget->isVisible()) {
        hide();
        return;
    }
    show();
    ui.widget_CustomWidget->show();
    ui.label_CustomPrint->show();
    ui.widget_OnekeyPrint->hide();
    ui.label_OnekeyPrint->hide();
    ui.pushButton_StartSlice->show();
    PlaceButtonsForCustomPage();
    emit signal_ShowTip(11);
}

void KzSliceWidget::ShowOnekeyPrint()
{
    if (isVisible() && ui.widget_OnekeyPrint->isVisible()) {
        hide();
        return;
    }
    show();
    ui.widget_OnekeyPrint->show();
    ui.label_OnekeyPrint->show();
    ui.widget_CustomWidget->hide();
    ui.label_CustomPrint->hide();
    ui.pushButton_StartSlice->hide();
    PlaceButtonsForOnekeyPage();
    emit signal_ShowTip(10);
}

// Start button and save-data button side by side, the SD button below the start button.
void KzSliceWidget::PlaceButtonsForCustomPage()
{
    const QPoint start = ui.pushButton_StartSlice->pos();
    ui.pushButton_SaveData->move(start.x() + kButtonPitch, start.y());
    ui.pushButton_SaveTF->move(start.x(), kSecondRowY);
    PlaceCardControls();
}

// Without the start button the two save buttons take its row, leaving no gap.
void KzSliceWidget::PlaceButtonsForOnekeyPage()
{
    const QPoint start = ui.pushButton_StartSlice->pos();
    ui.pushButton_SaveData->move(start);
    ui.pushButton_SaveTF->move(start.x() + kButtonPitch, start.y());
    PlaceCardControls();
}

// The card's own controls stay under the SD button, on either page.
void KzSliceWidget::PlaceCardControls()
{
    const QPoint sd = ui.pushButton_SaveTF->pos();
    ui.checkBox_EjectAfterSave->move(sd.x(), sd.y() + kEjectAfterSaveBelow);
    ui.pushButton_EjectCard->move(sd.x(), sd.y() + kEjectCardBelow);
}

bool KzSliceWidget::IsEjectAfterSave() const
{
    return ui.checkBox_EjectAfterSave->isChecked();
}

void KzSliceWidget::SetEjectAfterSave(bool bEject)
{
    ui.checkBox_EjectAfterSave->setChecked(bEject);
}

void KzSliceWidget::ShowEjectCard(bool bShown, bool bEnabled)
{
    ui.pushButton_EjectCard->setVisible(bShown);
    ui.pushButton_EjectCard->setEnabled(bEnabled);
}

void KzSliceWidget::StartSlice(int mode)
{
    if (m_bSlicing)
        return; // one run at a time; the start controls are disabled meanwhile
    // Without the preset file the engine would get other settings than chosen.
    if (!KzSliceFileCheck::CheckAndReport(this))
        return;
    KzProgressWidget* progress = ui.widget_progress;
    progress->slot_Reset();
    progress->slot_SetText(QCoreApplication::translate("CustomPrint", "分析模型中..."));
    // Painted at once without running the event loop, so no second click can
    // start a run while the models are written.
    progress->repaint();

    // Models past the machine's limits would drive the printer into its frame.
    if (m_pGLView && !m_pGLView->AreAllModelsInBound()) {
        progress->slot_Reset();
        emit signal_ShowTip(kTipOutOfBounds);
        return;
    }
    if (!m_pGLView || !m_pGLView->SaveAllModel(m_strTmpSTLPath)) {
        progress->slot_SetText(QCoreApplication::translate("CustomPrint", "切片失败"));
        return;
    }
    // The run replaces the G-code a preview may show: leave that preview, or a
    // run that fails would keep the view in an empty layer mode.
    m_pGLView->QuitLayerMode();
    EnterSlicingState();

    KzSliceProfile profile(static_cast<emSliceMode>(mode));
    const std::shared_ptr<KzConfigureData> configure = KzConfigureData::GetInstance();
    profile.SetChoice(*configure);
    if (mode == SliceMode_Custom) {
        ApplyCustomPage(profile);
        if (HasNoHeatedBed(configure->GetCurrentMachineType()))
            profile.SetBedTemperature(0);
    }

    m_dRunDensity = configure->GetMaterialDensity();
    m_dRunDiameter = profile.GetProfileMap().value(QStringLiteral("filament_diameter")).toDouble();
    m_pSliceWork->SetParamString(profile.GetCommandStrings());
    m_thread.start();
    emit signal_StartSlice();
}

void KzSliceWidget::ApplyCustomPage(KzSliceProfile& profile)
{
    for (const KzSliceField& field : kFields) {
        const double value = (ui.*field.pField)->value();
        if (field.pSetReal)
            (profile.*field.pSetReal)(value);
        else
            (profile.*field.pSetWhole)(int(value));
    }
    profile.SetSupportArea(QLatin1String(kSupportTexts[ui.comboBox_SupportArea->currentIndex()]));
    profile.SetAdhersionType(QLatin1String(kAdhesionTexts[ui.comboBox_Adhersion->currentIndex()]));
}

void KzSliceWidget::slot_Reset()
{
    KzSliceProfile profile(SliceMode_Custom);
    const QMap<QString, QVariant> values = profile.GetProfileMap();
    for (const KzSliceField& field : kFields) {
        const QVariant value = values.value(QLatin1String(field.pKey));
        (ui.*field.pField)->setValue(field.bReadReal ? value.toDouble() : value.toInt());
    }
    ui.comboBox_SupportArea->setCurrentIndex(SupportIndex(values.value(QStringLiteral("support")).toString()));
    ui.comboBox_Adhersion->setCurrentIndex(
        AdhesionIndex(values.value(QStringLiteral("platform_adhesion")).toString()));
}

// Only a finished run leads to the preview and to saving; a stopped or failed
// one says so and leaves whatever G-code there is alone.
void KzSliceWidget::slot_SliceComplete(int resultCode)
{
    // A run for a choice since dropped ends as stopped, even when its engine
    // finished before the stop reached it.
    if (m_bDropRun && resultCode == ResultSliced)
        resultCode = ResultStopped;
    EnterIdleState();
    if (resultCode == ResultSliced) {
        slot_EnableSave();
        if (m_pGLView)
            m_pGLView->EnterLayerMode();
        emit signal_ShowLayerControl();
        emit signal_ShowTip(kTipSliceDone);
        return;
    }
    if (resultCode == ResultStopped) {
        ShowRunEnd(QCoreApplication::translate("CustomPrint", "已停止"));
        return;
    }
    const QString failed = QCoreApplication::translate("CustomPrint", "切片失败");
    ShowRunEnd(failed);
    if (!m_strFailReason.isEmpty())
        emit signal_ShowTipContext(failed, m_strFailReason);
}

void KzSliceWidget::ShowRunEnd(const QString& text)
{
    ui.widget_progress->slot_Reset();
    ui.widget_progress->slot_SetText(text);
}

void KzSliceWidget::slot_StopSlice()
{
    if (m_bSlicing)
        m_pSliceWork->Stop();
}

QVector<int> KzSliceWidget::CurrentChoice()
{
    const std::shared_ptr<KzConfigureData> configure = KzConfigureData::GetInstance();
    int printTemperature = 0;
    int bedTemperature = 0;
    configure->GetMaterialTemperature(printTemperature, bedTemperature);
    return { configure->GetCurrentMachineType(), printTemperature, bedTemperature };
}

void KzSliceWidget::slot_ChoiceChanged()
{
    if (CurrentChoice() == m_vecRunChoice)
        return;
    const bool dropped = m_bSlicing || ui.pushButton_SaveData->isEnabled();
    if (m_bSlicing) {
        m_bDropRun = true;
        m_pSliceWork->Stop();
    }
    if (m_pGLView)
        m_pGLView->QuitLayerMode();
    slot_DisableSave();
    // The balloon may still ask to save what was just dropped.
    if (dropped)
        emit signal_ShowTipContext(QT_TRANSLATE_NOOP("KzTipWidget", "切片"),
                                   QT_TRANSLATE_NOOP("KzTipWidget", "机型或材料已更改，请重新切片"));
}

void KzSliceWidget::slot_ReceiveFailReason(QString reason)
{
    m_strFailReason = reason;
}

void KzSliceWidget::slot_EnableSave()
{
    ui.pushButton_SaveData->setEnabled(true);
    ui.pushButton_SaveTF->setEnabled(true);
    emit signal_ShowSaveSD();
    emit signal_ShowPrintInfo();
}

void KzSliceWidget::slot_DisableSave()
{
    ui.pushButton_SaveData->setEnabled(false);
    ui.pushButton_SaveTF->setEnabled(false);
    ui.widget_progress->slot_Reset();
    emit signal_HideSaveSD();
    emit signal_HidePrintInfo();
    emit signal_HideQuitLayerButton();
}

void KzSliceWidget::slot_ButtonClicked(int buttonID)
{
    const auto action = m_mapButtonActions.constFind(buttonID);
    if (action != m_mapButtonActions.constEnd())
        action.value()();
}

void KzSliceWidget::slot_ReceivePrintInfo(QString info)
{
    m_strPrintInfo = info;
}

void KzSliceWidget::SaveGCodeAs()
{
    QString path = QFileDialog::getSaveFileName(nullptr, QCoreApplication::translate("CustomPrint", "保存GCode"),
                                                QString(), QStringLiteral("*.gcode"));
    if (path.isEmpty())
        return;
    static const QRegularExpression extension(QStringLiteral("\\.gcode$"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (!extension.match(path).hasMatch())
        path += QStringLiteral(".gcode");
    const QString title = QCoreApplication::translate("CustomPrint", "tip");
    // Copying a long print onto a slow card takes a while: show that it works.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const KzFileCopy::Result result = SaveGCode(path);
    QApplication::restoreOverrideCursor();
    if (result == KzFileCopy::ResultCopied)
        QMessageBox::about(nullptr, title, QCoreApplication::translate("CustomPrint", "保存成功"));
    else if (result == KzFileCopy::ResultReadBackDiffers)
        QMessageBox::warning(nullptr, title,
                             QCoreApplication::translate("CustomPrint", "保存失败：读回的数据与写入的不同，磁盘可能有故障。原文件未改动。"));
    else
        QMessageBox::information(nullptr, title, QCoreApplication::translate("CustomPrint", "保存失败"));
}

bool KzSliceWidget::IsGCodeReady() const
{
    return ui.pushButton_SaveData->isEnabled();
}

bool KzSliceWidget::SaveGCodeTo(QString path)
{
    return SaveGCode(path) == KzFileCopy::ResultCopied;
}

// The old file at path stays whole unless the new one was written completely
// and read back the same.
KzFileCopy::Result KzSliceWidget::SaveGCode(const QString& path, KzFileCopy::ReadBack* pReadBack)
{
    if (pReadBack)
        *pReadBack = KzFileCopy::ReadBackNone;
    if (path.isEmpty())
        return KzFileCopy::ResultFailed;
    return KzFileCopy::Copy(m_strTmpGCodePath, path, pReadBack);
}

QString KzSliceWidget::GetPrintInfo()
{
    if (m_strPrintInfo.isEmpty() || (m_nPrintSeconds < 0 && m_nPrintFilamentMm < 0))
        return m_strPrintInfo;
    return KzPrintFigures::Summary(m_nPrintSeconds, m_nPrintFilamentMm, GetPrintGrams());
}

double KzSliceWidget::GetPrintGrams() const
{
    if (m_nPrintFilamentMm < 0 || m_dRunDiameter <= 0.0 || m_dRunDensity <= 0.0)
        return -1.0;
    return KzPrintFigures::Grams(m_nPrintFilamentMm, m_dRunDiameter, m_dRunDensity);
}

void KzSliceWidget::slot_ReceivePrintFigures(int seconds, int filamentMm)
{
    m_nPrintSeconds = seconds;
    m_nPrintFilamentMm = filamentMm;
}

void KzSliceWidget::Retranslate()
{
    const int support = ui.comboBox_SupportArea->currentIndex();
    const int adhesion = ui.comboBox_Adhersion->currentIndex();
    ui.retranslateUi(this);
    ui.comboBox_SupportArea->setCurrentIndex(support);
    ui.comboBox_Adhersion->setCurrentIndex(adhesion);
}
