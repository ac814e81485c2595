#ifndef KZSLICEWIDGET_H
#define KZSLICEWIDGET_H

#include "KzFileCopy.h"
#include "ui_CustomPrint.h"

#include <QFrame>
#include <QMap>
#include <QString>
#include <QThread>
#include <QVector>

#include <functional>

class KzGLView;
class KzSliceProfile;
class KzSliceWork;
class QButtonGroup;

// The floating slicing panel. Its one-key page starts a run with one of the
// three presets, its custom page with every adjustable setting. The panel owns
// the slicing job and the worker thread it runs on, has the view write the
// models for the engine, shows the run's progress, and afterwards lets the user
// save the G-code (to a file here, to the SD card through the main window).
class KzSliceWidget : public QFrame
{
    Q_OBJECT

public:
    explicit KzSliceWidget(QWidget* parent = nullptr);
    ~KzSliceWidget() override;

    // Each shows its page, or hides the panel when that page is already shown.
    void ShowCustomPrint();
    void ShowOnekeyPrint();
    // One run in the given slice mode (0 custom, 1 fast, 2 standard, 3 optimal).
    void StartSlice(int mode);
    void SaveGCodeAs();
    // A slice has ended well and its G-code may be saved.
    bool IsGCodeReady() const;
    bool SaveGCodeTo(QString path);
    // Copies the G-code to path and reads it back before it replaces the file there.
    KzFileCopy::Result SaveGCode(const QString& path, KzFileCopy::ReadBack* pReadBack = nullptr);
    // What the last run takes: "1 h 13 min · 2.4 m · 7 g" in the program's
    // language, the weight from the material's density and the filament
    // diameter the run sliced for. Empty while no run has ended well.
    QString GetPrintInfo();
    // The weight of the last run's filament in grams; -1 when unknown.
    double GetPrintGrams() const;
    void Retranslate();

    // The check box beside the SD button: eject the card as soon as a save to it succeeds.
    bool IsEjectAfterSave() const;
    void SetEjectAfterSave(bool bEject);
    // The eject button below it, shown while a card saved to may still be in its reader.
    void ShowEjectCard(bool bShown, bool bEnabled = true);

    // The main window's 3D view, stored here by the main window right after
    // it creates the panel; not owned.
    KzGLView* m_pGLView;

signals:
    void signal_StartSlice();
    void signal_ShowLayerControl();
    void signal_ShowTip(int tipID);
    void signal_ShowSaveSD();
    void signal_HideSaveSD();
    void signal_ShowPrintInfo();
    void signal_HidePrintInfo();
    void signal_HideQuitLayerButton();
    void signal_SaveTF();
    void signal_EjectCard();
    void signal_EjectAfterSaveToggled(bool bEject);
    // A tip with texts of its own: why a slicing run failed.
    void signal_ShowTipContext(QString strTitle, QString strDetail);

public slots:
    void slot_EnableSave();
    void slot_DisableSave();
    // The end of a run with the job's result code (0 sliced, 1 not started,
    // 2 stopped, 3 the engine failed).
    void slot_SliceComplete(int resultCode);
    void slot_ButtonClicked(int buttonID);
    void slot_ReceivePrintInfo(QString info);
    void slot_Reset();
    // The stop button: ends the run in progress.
    void slot_StopSlice();
    // The printer or the material was chosen anew. G-code sliced for another
    // choice is neither previewed nor saved: the preview ends, saving is
    // disabled, and a run under way is stopped.
    void slot_ChoiceChanged();

private slots:
    void slot_ReceiveFailReason(QString reason);
    void slot_ReceivePrintFigures(int seconds, int filamentMm);

private:
    void InitButtonTable();
    void ConnectJob();
    void EnterIdleState();
    void EnterSlicingState();
    void ApplyCustomPage(KzSliceProfile& profile);
    void PlaceButtonsForCustomPage();
    void PlaceButtonsForOnekeyPage();
    void PlaceCardControls();
    void ShowRunEnd(const QString& text);
    // What a run slices for: the printer and the material's temperatures.
    static QVector<int> CurrentChoice();

    Ui::CustomPrint ui;
    QThread m_thread;
    KzSliceWork* m_pSliceWork;
    QString m_strTmpSTLPath;
    QString m_strTmpGCodePath;
    QString m_strPrintInfo;
    // The last run's figures (-1 when the engine gave none) and the density
    // and filament diameter it was sliced for.
    int m_nPrintSeconds;
    int m_nPrintFilamentMm;
    double m_dRunDensity;
    double m_dRunDiameter;

    QButtonGroup* m_pButtonGroup;
    QMap<int, std::function<void()>> m_mapButtonActions;
    // Why the run in progress failed, when the job said so.
    QString m_strFailReason;
    // The choice the last run sliced for, and whether that run is to be
    // dropped because the choice has changed since it started.
    QVector<int> m_vecRunChoice;
    bool m_bDropRun;
    bool m_bSlicing;
};

#endif // KZSLICEWIDGET_H
