#ifndef KZVELLUM_H
#define KZVELLUM_H

#include "KzFileCopy.h"
#include "KzRemovableStorage.h"
#include "ui_KzVellumClass.h"

#include <QDialog>
#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

class KLayerControlWidget;
class KzCardEject;
class KzLoadReport;
class KzDialWidget;
class KzEditControlWidget;
class KzEditWidget;
class KzMachineSelectWidget;
class KzMaterialSelectWidget;
class KzReChooseWidget;
class KzSliceWidget;
class KzTipWidget;
class KzUserSettings;
class QCloseEvent;
class QKeyEvent;
class QAction;
class QLabel;
class QMouseEvent;
class QPushButton;
class QResizeEvent;

// The main window: a frameless dialog that draws its own title bar (logo,
// machine name, language box, minimise, maximise, restore and close), is
// dragged by that bar and resized from any edge or corner. Below the bar it
// shows one of three pages: machine choice, material choice or the 3D view.
// Mouse moves that the children do not use climb up to the window, which
// watches them for the resize band along its border; that is why the title
// bar's children and the pages track the mouse too.
//
// Keyboard shortcuts act wherever the focus is in the window, except in a
// field that uses the keys itself (numbers, lists, sliders): there the keys
// go to the field. The tool tips of the dial and the buttons name them.
//
// Given the user's settings, the window starts on the printer, material,
// place and size remembered there and keeps them up to date; without, it
// starts as the machine file says and remembers nothing.
class KzVellum : public QDialog
{
    Q_OBJECT

public:
    explicit KzVellum(QWidget* parent = nullptr, KzUserSettings* settings = nullptr);
    ~KzVellum() override;

    // Opens each model file as the open dialog does: one at once, several one
    // after another while the window stays responsive. A file that cannot be
    // read does not stop the others; the balloon names each one refused, with
    // its reason, once all are tried. The files of one call are one undo step.
    void OpenModels(const QStringList& paths);
    // Whether several files are being opened still.
    bool IsOpeningModels() const;
    // Refused files a batch's last balloon names; it counts the others.
    static constexpr int ms_nRefusalLines = 4;

    // Edge bits of m_nEdgeFlags; corners combine them (5, 6, 9, 10).
    enum EdgeFlag { EdgeTop = 1, EdgeBottom = 2, EdgeLeft = 4, EdgeRight = 8 };

    // The band along the window's border where a press starts a resize, and
    // the smallest size an edge drag may leave (the form's minimum size).
    static constexpr int ms_nEdgeBand = 10;
    static constexpr int ms_nMinWidth = 1200;
    static constexpr int ms_nMinHeight = 700;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private slots:
    void slot_OpenFileButton_Clicked();
    void slot_RemoveButton_Clicked();
    void slot_OneKeyPrint_Clicked();
    void slot_CustomPrint_Clicked();
    void slot_SaveButton_Clicked();
    void slot_ReChoose_Clicked();
    void slot_SaveToSD_Clicked();
    void slot_BackButton_Clicked();
    void slot_Button_Clicked(int buttonID);
    void slot_MachineSelected(int machineID);
    void slot_MaterialSelected(int materialID);
    void slot_ShowPrintInfo();
    void slot_HidePrintInfo();
    // Applies language index of the box (0 Chinese, 1 English) to every
    // panel; a choice in the box is also remembered for the next start.
    void slot_LanguageChanged(int index);
    void slot_LanguageChosen(int index);
    // Keyboard shortcuts, and the buttons that share them.
    void slot_Undo_Triggered();
    void slot_Redo_Triggered();
    void slot_Duplicate_Triggered();
    void slot_Arrange_Triggered();
    void slot_Escape_Triggered();
    void slot_SaveGCode_Triggered();
    void slot_Guide_Triggered();
    void slot_FocusChanged(QWidget* old, QWidget* now);
    void slot_OpenNextModel();
    void slot_LoadReported(const KzLoadReport& report);
    void UpdateRestingTip();
    // The card saved to: ejected on request, or at once after a save when
    // the user asked for that; the outcome told by the balloon.
    void slot_EjectCard_Clicked();
    void slot_CardEjected(int result, const QString& detail);

private:
    static void InstallFontSubstitutes();

    // Panels and floating controls over the view, their connections, their
    // places and texts.
    void CreatePanels();
    void CreateFloatingControls();
    void ConnectPanels();
    void PlacePanels();
    void PlaceTip();
    void RetranslatePanels();
    void FillLanguageBox();
    int StartLanguage() const;
    void CreateShortcuts();
    void RetranslateToolTips();
    void Nudge(Qt::ArrowType direction, float millimetres);
    // Changes to the plate wait while the layers are shown; says so when they are.
    bool RefuseInLayerMode();
    QUrl GuideUrl() const;
    // The centre picture and the materials that go with a machine.
    bool ApplyMachineLook(int machineID);
    void ApplyLogoOverride();

    void RestoreWindowGeometry();
    void RememberChoice();
    bool OpenModelFile(const QString& path);
    QString RefusalOf(const QString& path) const;
    void FinishOpening();
    void ShowOpenProgress();
    void StopOpening();
    void ShowCardSaved(KzFileCopy::ReadBack readBack, bool bEjecting);
    void StartEject(bool bInteractive);

    void ShowPage(QWidget* page);
    void ShowMaximizedWindow();
    void ShowNormalWindow();
    void UpdateEdgeFlags(const QPoint& pos);
    void ResizeByEdges(const QPoint& globalPos);
    void PlacePageControls();

    KzDialWidget* m_pDialWidget;
    KzEditWidget* m_pEditWidget;
    KzSliceWidget* m_pSliceWidget;
    KzReChooseWidget* m_pReChooseWidget;
    KzTipWidget* m_pTipWidget;
    KzEditControlWidget* m_pEditControlWidget;
    KLayerControlWidget* m_pLayerControlWidget;
    KzMachineSelectWidget* m_pMachineSelectWidget;
    KzMaterialSelectWidget* m_pMaterialSelectWidget;
    KzRemovableStorage m_removableStorage;
    KzCardEject* m_pCardEject;
    // The card the last save went to (empty when none is left to eject), its
    // device, and whether the eject under way may ask the user to authenticate.
    QString m_strSavedCard;
    quint64 m_nSavedCardDevice;
    bool m_bEjectInteractive;
    QPushButton* m_pResetCameraButton;
    QPushButton* m_pArrangeButton;
    QPushButton* m_pSaveSDButton;
    QPushButton* m_pQuitSliceButton;
    QLabel* m_pLinkLabel;
    QLabel* m_pPrintInfoLabel;
    QList<QAction*> m_listShortcuts;
    // The choosers move into the re-choose dialog the first time it opens.
    bool m_bChoosersInDialog;
    KzUserSettings* m_pUserSettings;
    // Where the open dialog starts: the folder of the last model opened.
    QString m_strModelFolder;
    // Several files being opened: those still to come, how many there are
    // in all (0 when no batch runs), tried and opened so far, why those
    // refused were, and whether Escape stopped the batch.
    QTimer m_openTimer;
    QStringList m_listOpenQueue;
    int m_nOpenTotal = 0;
    int m_nOpenDone = 0;
    int m_nOpened = 0;
    QStringList m_listRefused;
    bool m_bOpenStopped = false;

    Ui::KzVellumClass ui;
    bool m_bChosen;
    bool m_bTitleDrag;
    bool m_bResize;
    QPoint m_ptLastDrag;
    int m_nEdgeFlags;
    QTranslator m_translator;
};

#endif // KZVELLUM_H
