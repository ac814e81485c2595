#include "KzVellum.h"

#include "KLayerControlWidget.h"
#include "KzCardEject.h"
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzDialWidget.h"
#include "KzEditControlWidget.h"
#include "KzEditWidget.h"
#include "KzGLView.h"
#include "KzMachineSelectWidget.h"
#include "KzMaterialSelectWidget.h"
#include "KzPrinterChoice.h"
#include "KzReChooseWidget.h"
#include "KzSliceWidget.h"
#include "KzTipContext.h"
#include "KzTipWidget.h"
#include "KzUserSettings.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegExp>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSurfaceFormat>
#include <QTextEdit>
#include <QUrl>

#include <functional>

namespace {

// The form asks for the Windows font family of its Chinese texts; on Linux
// WenQuanYi Micro Hei carries the same glyphs in the same plain style.
const char* const kFormFontFamily = "微软雅黑";
const char* const kFormFontStandIn = "WenQuanYi Micro Hei";

// The languages by language box index: the Chinese source texts need no
// translation file. Each is named in its own language, and remembered by its
// locale name.
struct KzLanguage
{
    const char* locale;
    const char* name;
    const char* file;
};
const KzLanguage kLanguages[] = {
    { "zh_CN", "简体中文", "" },
    { "en", "English", ":/kzvellum_en.qm" },
};
const int kLanguageCount = int(sizeof(kLanguages) / sizeof(kLanguages[0]));
const int kLanguageChinese = 0;
const int kLanguageEnglish = 1;

// The floating push buttons and the print-information label over the view.
// Padding, because without it the label is drawn inside a margin that the
// size hint does not leave, and the text was clipped at both sides. The
// rules name the buttons: their tool tips keep the usual look.
const char* const kFloatingButtonStyle =
    "QPushButton{color:rgb(150,150,150);border:none;background-color:rgba(75,182,226,150);font:bold 10pt;"
    "padding:3px 6px}"
    "QPushButton:pressed{background-color:rgb(80,100,105)}";
const char* const kPrintInfoStyle =
    "*{color:rgb(150,150,150);background-color:rgba(75,182,226,150);font:bold 10pt;padding:2px;}";
const char* const kLinkStyle =
    "QLabel{background-color:rgb(64,64,64);color:rgb(245,245,245);font:bold 10pt;}";

// The dial's centre picture of each printer model, by machine id.
const char* const kMachinePictures[] = {
    ":/Resources/3333.png", ":/Resources/4444.png", ":/Resources/2222.png",
    ":/Resources/1111.png", ":/Resources/5555.png", ":/Resources/6666.png",
};

// The keyboard's shortcuts.
const int kKeyOpen = Qt::CTRL | Qt::Key_O;
const int kKeySaveGCode = Qt::CTRL | Qt::Key_S;
const int kKeySavePlate = Qt::CTRL | Qt::SHIFT | Qt::Key_S;
const int kKeyUndo = Qt::CTRL | Qt::Key_Z;
const int kKeyRedo = Qt::CTRL | Qt::SHIFT | Qt::Key_Z;
const int kKeyRedoToo = Qt::CTRL | Qt::Key_Y;
const int kKeyRemove = Qt::Key_Delete;
const int kKeyEscape = Qt::Key_Escape;
const int kKeyDuplicate = Qt::CTRL | Qt::Key_D;
const int kKeyArrange = Qt::Key_A;
const int kKeyGuide = Qt::Key_F1;
// An arrow moves the selected model this far, with Shift the larger step.
const float kNudgeStep = 1.0f;
const float kNudgeLargeStep = 10.0f;

// Widgets that use the keys themselves: while one has the focus, the keys
// are its own and no shortcut acts.
bool UsesKeys(const QWidget* w)
{
    return qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QLineEdit*>(w)
        || qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSlider*>(w)
        || qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w)
        || qobject_cast<const QAbstractItemView*>(w);
}

// A user's own picture for the dial's centre, in the data folder.
QString LogoPath()
{
    return KzDataFolder::GetConfigureFile("logo.png");
}

// Shows the busy cursor while long work runs on the GUI thread.
class KzBusyCursor
{
public:
    KzBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~KzBusyCursor() { QApplication::restoreOverrideCursor(); }
    KzBusyCursor(const KzBusyCursor&) = delete;
    KzBusyCursor& operator=(const KzBusyCursor&) = delete;
};

Qt::CursorShape CursorForEdges(int edges)
{
    switch (edges) {
    case KzVellum::EdgeTop:
    case KzVellum::EdgeBottom:
        return Qt::SizeVerCursor;
    case KzVellum::EdgeLeft:
    case KzVellum::EdgeRight:
        return Qt::SizeHorCursor;
    case KzVellum::EdgeTop | KzVellum::EdgeLeft:
    case KzVellum::EdgeBottom | KzVellum::EdgeRight:
        return Qt::SizeFDiagCursor;
    case KzVellum::EdgeBottom | KzVellum::EdgeLeft:
    case KzVellum::EdgeTop | KzVellum::EdgeRight:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

KzVellum::KzVellum(QWidget* parent, KzUserSettings* settings)
    : QDialog(parent)
    , m_pDialWidget(nullptr)
    , m_pEditWidget(nullptr)
    , m_pSliceWidget(nullptr)
    , m_pReChooseWidget(nullptr)
    , m_pTipWidget(nullptr)
    , m_pEditControlWidget(nullptr)
    , m_pLayerControlWidget(nullptr)
    , m_pMachineSelectWidget(nullptr)
    , m_pMaterialSelectWidget(nullptr)
    , m_pCardEject(new KzCardEject(this))
    , m_nSavedCardDevice(0)
    , m_bEjectInteractive(false)
    , m_pResetCameraButton(nullptr)
    , m_pArrangeButton(nullptr)
    , m_pSaveSDButton(nullptr)
    , m_pQuitSliceButton(nullptr)
    , m_pLinkLabel(nullptr)
    , m_pPrintInfoLabel(nullptr)
    , m_bChoosersInDialog(false)
    , m_pUserSettings(settings)
    , m_strModelFolder(settings ? settings->GetModelFolder() : QString())
    , m_bChosen(false)
    , m_bTitleDrag(false)
    , m_bResize(false)
    , m_ptLastDrag(0, 0)
    , m_nEdgeFlags(0)
{
    InstallFontSubstitutes();
    setWindowIcon(QIcon(":/Resources/KzVellum.png"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);

    // Multisampling must be asked for before the first OpenGL widget exists.
    QSurfaceFormat::setDefaultFormat(KzGLView::DefaultSurfaceFormat());

    ui.setupUi(this);
    ui.pushButton_Normalize->hide();
    CreatePanels();

    ui.widget_Titile->installEventFilter(this);
    setMouseTracking(true);

    ShowPage(ui.widget_MachineSelect);

    ui.buttonGroup->setId(ui.pushButton_Back, 0);
    ui.buttonGroup->setId(ui.pushButton_Minimize, 2);
    ui.buttonGroup->setId(ui.pushButton_Maximize, 3);
    ui.buttonGroup->setId(ui.pushButton_Normalize, 4);
    ui.buttonGroup->setId(ui.pushButton_Close, 5);
    connect(ui.buttonGroup, SIGNAL(idClicked(int)), this, SLOT(slot_Button_Clicked(int)));
    FillLanguageBox();
    connect(ui.comboBox, SIGNAL(currentIndexChanged(int)), this, SLOT(slot_LanguageChanged(int)));
    connect(ui.comboBox, SIGNAL(activated(int)), this, SLOT(slot_LanguageChosen(int)));
    ConnectPanels();
    CreateShortcuts();

    ShowNormalWindow();
    QApplication::installTranslator(&m_translator);

    // Start with the machine and material chosen last time, or the machine
    // the machine file marks as selected and material 0.
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(KzPrinterChoice::GetStartMachineType(m_pUserSettings));
    // The look of the machine started on (its picture and materials).
    ApplyMachineLook(config->GetCurrentMachineType());
    ApplyLogoOverride();
    ui.windowTitle->setText(config->GetCurrentMachineName());
    ui.openGLWidget->slot_ReloadSize();
    config->SetMaterialID(KzPrinterChoice::GetStartMaterialID(m_pUserSettings));

    ShowPage(ui.widget_GL);
    m_bChosen = true;
    slot_LanguageChanged(StartLanguage());
    RestoreWindowGeometry();
    // The keys start on the plate, not on the language box.
    ui.openGLWidget->setFocus();
}

KzVellum::~KzVellum()
{
    if (IsOpeningModels())
        QApplication::restoreOverrideCursor();
    // The children's destruction moves the focus; the shortcuts go first.
    disconnect(qApp, &QApplication::focusChanged, this, &KzVellum::slot_FocusChanged);
    // The view empties its history as it goes, long after this window's part.
    disconnect(ui.openGLWidget->GetUndoStack(), nullptr, this, nullptr);
    delete m_pReChooseWidget;
}

void KzVellum::RestoreWindowGeometry()
{
    if (!m_pUserSettings || !restoreGeometry(m_pUserSettings->GetWindowGeometry()))
        return;
    // Keep the maximise and restore buttons paired with the state restored.
    if (isMaximized())
        ShowMaximizedWindow();
}

void KzVellum::RememberChoice()
{
    if (!m_pUserSettings)
        return;
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    m_pUserSettings->SetChoice(config->GetCurrentMachineType(), config->GetCurrentMaterialID());
}

void KzVellum::closeEvent(QCloseEvent* e)
{
    if (m_pUserSettings)
        m_pUserSettings->SetWindowGeometry(saveGeometry());
    RememberChoice();
    QDialog::closeEvent(e);
}

void KzVellum::InstallFontSubstitutes()
{
    if (!QFont::substitutes(kFormFontFamily).contains(kFormFontStandIn))
        QFont::insertSubstitution(kFormFontFamily, kFormFontStandIn);
}

void KzVellum::ShowPage(QWidget* page)
{
    for (QWidget* w : { ui.widget_MachineSelect, ui.widget_MaterialSelect, ui.widget_GL })
        w->setVisible(w == page);
}

void KzVellum::ShowMaximizedWindow()
{
    // A hover that ended on the border must not leave a resize armed or its
    // cursor shown while the window fills the screen.
    m_nEdgeFlags = 0;
    setCursor(Qt::ArrowCursor);
    ui.pushButton_Normalize->show();
    ui.pushButton_Maximize->hide();
    showMaximized();
}

void KzVellum::ShowNormalWindow()
{
    ui.pushButton_Normalize->hide();
    ui.pushButton_Maximize->show();
    showNormal();
}

void KzVellum::slot_Button_Clicked(int buttonID)
{
    switch (buttonID) {
    case 0:
        ShowPage(ui.widget_MachineSelect);
        break;
    case 2:
        showMinimized();
        break;
    case 3:
        ShowMaximizedWindow();
        break;
    case 4:
        ShowNormalWindow();
        break;
    case 5:
        close();
        break;
    default:
        break;
    }
}

void KzVellum::FillLanguageBox()
{
    ui.comboBox->clear();
    for (const KzLanguage& language : kLanguages)
        ui.comboBox->addItem(QString::fromUtf8(language.name), QString::fromLatin1(language.locale));
}

// The language the user chose last time; on the first start the system's:
// Chinese for a Chinese locale, English for any other.
int KzVellum::StartLanguage() const
{
    const QString remembered = m_pUserSettings ? m_pUserSettings->GetLanguage() : QString();
    const int index = ui.comboBox->findData(remembered);
    if (!remembered.isEmpty() && index >= 0)
        return index;
    return QLocale().name().startsWith(QLatin1String("zh")) ? kLanguageChinese : kLanguageEnglish;
}

// Only a choice in the box is remembered; the start's own pick is not, so a
// user who never chose keeps following the system.
void KzVellum::slot_LanguageChosen(int index)
{
    if (m_pUserSettings && index >= 0 && index < kLanguageCount)
        m_pUserSettings->SetLanguage(QString::fromLatin1(kLanguages[index].locale));
    // The box would keep the keys from the shortcuts; they go back to the plate.
    ui.openGLWidget->setFocus();
}

void KzVellum::slot_LanguageChanged(int index)
{
    const QString file = (index >= 0 && index < kLanguageCount) ? kLanguages[index].file : "";
    // An empty or unreadable file leaves the translator empty: Chinese shows.
    if (!m_translator.load(file) && !file.isEmpty())
        qDebug("KzVellum: cannot load the translation %s", qPrintable(file));
    if (index >= 0 && index < kLanguageCount && ui.comboBox->currentIndex() != index) {
        const QSignalBlocker quiet(ui.comboBox);
        ui.comboBox->setCurrentIndex(index);
    }

    m_pTipWidget->ClearTip();
    m_pDialWidget->SetLanguage(index);

    setWindowTitle(QCoreApplication::translate("KzVellumClass", "KzVellum"));
    m_pResetCameraButton->setText(tr("重置\n视角"));
    m_pArrangeButton->setText(tr("自动\n摆放"));
    m_pSaveSDButton->setText(tr("保存\nSD卡"));
    m_pQuitSliceButton->setText(tr("退出\n切片"));
    ui.label_SelectMachine->setText(tr("选择机型"));
    ui.label_SelectMaterial->setText(tr("选择材料"));
    RetranslatePanels();
    PlacePanels();
}

bool KzVellum::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pSliceWidget && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        PlaceTip();
    if (watched == ui.widget_Titile) {
        const QEvent::Type type = event->type();
        if (!m_bResize && !isMaximized()) {
            if (type == QEvent::MouseButtonPress) {
                const QMouseEvent* e = static_cast<QMouseEvent*>(event);
                if (e->button() == Qt::LeftButton) {
                    m_bTitleDrag = true;
                    m_ptLastDrag = e->globalPos();
                }
            } else if (type == QEvent::MouseButtonRelease) {
                m_bTitleDrag = false;
            } else if (type == QEvent::MouseMove) {
                const QMouseEvent* e = static_cast<QMouseEvent*>(event);
                if ((e->buttons() & Qt::LeftButton) && m_bTitleDrag) {
                    move(pos() + e->globalPos() - m_ptLastDrag);
                    m_ptLastDrag = e->globalPos();
                }
            } else if (type == QEvent::MouseButtonDblClick) {
                ShowMaximizedWindow();
            }
        } else if (isMaximized() && type == QEvent::MouseButtonDblClick) {
            ShowNormalWindow();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void KzVellum::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_nEdgeFlags != 0)
        m_bResize = true;
}

void KzVellum::mouseReleaseEvent(QMouseEvent*)
{
    m_bResize = false;
}

void KzVellum::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() == Qt::NoButton) {
        if (!isMaximized())
            UpdateEdgeFlags(e->pos());
    } else if (e->buttons() == Qt::LeftButton && m_bResize) {
        ResizeByEdges(e->globalPos());
    }
}

void KzVellum::UpdateEdgeFlags(const QPoint& pos)
{
    int edges = 0;
    if (pos.x() < ms_nEdgeBand)
        edges |= EdgeLeft;
    else if (pos.x() > width() - ms_nEdgeBand)
        edges |= EdgeRight;
    if (pos.y() < ms_nEdgeBand)
        edges |= EdgeTop;
    else if (pos.y() > height() - ms_nEdgeBand)
        edges |= EdgeBottom;
    m_nEdgeFlags = edges;
    setCursor(CursorForEdges(edges));
}

void KzVellum::ResizeByEdges(const QPoint& globalPos)
{
    QRect r = geometry();
    if (m_nEdgeFlags & EdgeLeft)
        r.setLeft(qMin(globalPos.x(), r.right() - ms_nMinWidth) - 1);
    else if (m_nEdgeFlags & EdgeRight)
        r.setRight(qMax(globalPos.x(), r.left() + ms_nMinWidth) + 1);
    if (m_nEdgeFlags & EdgeBottom)
        r.setBottom(qMax(globalPos.y(), r.top() + ms_nMinHeight) + 1);
    else if (m_nEdgeFlags & EdgeTop)
        r.setTop(qMin(globalPos.y(), r.bottom() - ms_nMinHeight) - 1);
    setGeometry(r);
}

void KzVellum::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    PlacePageControls();
    PlacePanels();
}

void KzVellum::PlacePageControls()
{
    const int w = width();
    const int h = height();
    const QPoint centre(w / 2, (h - 50) / 2 + 150);

    QRect machine = ui.label_SelectMachine->geometry();
    machine.moveCenter(centre);
    ui.label_SelectMachine->setGeometry(machine);
    ui.label_SelectMaterial->setGeometry(machine);

    QRect back = ui.pushButton_Back->geometry();
    back.moveCenter(QPoint(centre.x(), centre.y() + 35));
    ui.pushButton_Back->setGeometry(back);
}

void KzVellum::keyPressEvent(QKeyEvent* e)
{
    // A dialog closes on Escape; this one is the main window and closing it
    // would throw away everything on the plate, so Escape does nothing here.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

// ---- Panels and floating controls ------------------------------------------

void KzVellum::CreatePanels()
{
    QWidget* page = ui.widget_GL;
    KzGLView* view = ui.openGLWidget;

    m_pDialWidget = new KzDialWidget(page);
    m_pDialWidget->move(0, 0);
    m_pEditWidget = new KzEditWidget(page);
    m_pEditControlWidget = new KzEditControlWidget(this);
    m_pEditControlWidget->hide();
    m_pLayerControlWidget = new KLayerControlWidget(this);
    m_pLayerControlWidget->SetGLView(view);
    m_pLayerControlWidget->hide();

    m_pMachineSelectWidget = new KzMachineSelectWidget(this);
    m_pMachineSelectWidget->setMouseTracking(true);
    (new QHBoxLayout(ui.widget_MachineSelect))->addWidget(m_pMachineSelectWidget);
    m_pMaterialSelectWidget = new KzMaterialSelectWidget(this);
    (new QHBoxLayout(ui.widget_MaterialSelect))->addWidget(m_pMaterialSelectWidget);

    m_pSliceWidget = new KzSliceWidget(page);
    m_pSliceWidget->m_pGLView = view;
    m_pSliceWidget->hide();
    m_pReChooseWidget = new KzReChooseWidget(this);
    m_pReChooseWidget->hide();
    m_pTipWidget = new KzTipWidget(page);
    // The balloon only tells: the slice panel's buttons stay above it, and
    // it makes way for the panel where that would hide its words.
    m_pTipWidget->stackUnder(m_pDialWidget);
    m_pTipWidget->show();
    UpdateRestingTip();
    CreateFloatingControls();
    m_pSliceWidget->installEventFilter(this);
}

void KzVellum::CreateFloatingControls()
{
    QWidget* page = ui.widget_GL;
    // Their texts come with the language, applied at the end of construction.
    m_pResetCameraButton = new QPushButton(page);
    m_pArrangeButton = new QPushButton(page);
    m_pSaveSDButton = new QPushButton(page);
    m_pQuitSliceButton = new QPushButton(page);
    for (QPushButton* button : { m_pResetCameraButton, m_pArrangeButton, m_pSaveSDButton, m_pQuitSliceButton }) {
        button->setStyleSheet(kFloatingButtonStyle);
        // A click must not take the keys from the plate.
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_pSaveSDButton->hide();
    m_pQuitSliceButton->hide();

    m_pPrintInfoLabel = new QLabel(page);
    m_pPrintInfoLabel->setFixedHeight(50);
    m_pPrintInfoLabel->setStyleSheet(kPrintInfoStyle);
    m_pPrintInfoLabel->hide();

    // The user guide shipped beside the program, opened in the system browser.
    m_pLinkLabel = new QLabel(this);
    m_pLinkLabel->setTextFormat(Qt::RichText);
    m_pLinkLabel->setStyleSheet(kLinkStyle);
    m_pLinkLabel->setAlignment(Qt::AlignHCenter);
    m_pLinkLabel->setOpenExternalLinks(true);
    m_pLinkLabel->show();
}

void KzVellum::ConnectPanels()
{
    KzGLView* view = ui.openGLWidget;
    connect(m_pMachineSelectWidget, &KzMachineSelectWidget::signal_ItemClicked, this, &KzVellum::slot_MachineSelected);
    connect(m_pMaterialSelectWidget, &KzMaterialSelectWidget::signal_ItemClicked, this, &KzVellum::slot_MaterialSelected);

    connect(m_pDialWidget, &KzDialWidget::signal_OpenButtonClicked, this, &KzVellum::slot_OpenFileButton_Clicked);
    connect(m_pDialWidget, &KzDialWidget::signal_RemoveButtonClicked, this, &KzVellum::slot_RemoveButton_Clicked);
    connect(m_pDialWidget, &KzDialWidget::signal_OneKeyPrintClicked, this, &KzVellum::slot_OneKeyPrint_Clicked);
    connect(m_pDialWidget, &KzDialWidget::signal_CustomPrintClicked, this, &KzVellum::slot_CustomPrint_Clicked);
    connect(m_pDialWidget, &KzDialWidget::signal_SaveButtonClicked, this, &KzVellum::slot_SaveButton_Clicked);
    connect(m_pDialWidget, &KzDialWidget::signal_ReChooseClicked, this, &KzVellum::slot_ReChoose_Clicked);
    connect(m_pDialWidget, &KzDialWidget::signal_ShowTip, m_pTipWidget, &KzTipWidget::slot_SetCurrentTip);

    connect(view, &KzGLView::signal_ShowHideEditControl, m_pEditControlWidget, &KzEditControlWidget::slot_ShowHide);
    connect(view, &KzGLView::signal_SendEditList, m_pEditWidget, &KzEditWidget::slot_ReceiveEditList);
    connect(view, &KzGLView::signal_MaxLayerChanged, m_pLayerControlWidget, &KLayerControlWidget::slot_SetMaxLayer);
    connect(view, &KzGLView::signal_ModelClicked, m_pSliceWidget, &QWidget::hide);
    connect(view, &KzGLView::signal_DisableSaveGCode, m_pSliceWidget, &KzSliceWidget::slot_DisableSave);
    connect(view, &KzGLView::signal_LoadReported, this, &KzVellum::slot_LoadReported);
    connect(view, &KzGLView::signal_FilesDropped, this, &KzVellum::OpenModels);
    m_openTimer.setSingleShot(true);
    m_openTimer.setInterval(0);
    connect(&m_openTimer, &QTimer::timeout, this, &KzVellum::slot_OpenNextModel);
    // Every plate change moves the undo stack's index; an empty plate asks
    // for a model.
    connect(view->GetUndoStack(), &QUndoStack::indexChanged, this, &KzVellum::UpdateRestingTip);

    connect(m_pEditControlWidget, &KzEditControlWidget::signal_SendEditMode, view, &KzGLView::slot_ReceiveEditList);
    connect(m_pEditControlWidget, &KzEditControlWidget::signal_SendEditMode, m_pEditWidget, &KzEditWidget::slot_ReceiveEditList);
    connect(m_pEditControlWidget, &KzEditControlWidget::signal_ShowTip, m_pTipWidget, &KzTipWidget::slot_SetCurrentTip);
    connect(m_pEditWidget, &KzEditWidget::signal_SendEditData, view, &KzGLView::slot_ReceiveEditList);

    connect(m_pSliceWidget, &KzSliceWidget::signal_ShowLayerControl, m_pLayerControlWidget, &QWidget::show);
    connect(m_pSliceWidget, &KzSliceWidget::signal_ShowLayerControl, m_pQuitSliceButton, &QWidget::show);
    connect(m_pSliceWidget, &KzSliceWidget::signal_ShowTip, m_pTipWidget, &KzTipWidget::slot_SetCurrentTip);
    connect(m_pSliceWidget, &KzSliceWidget::signal_ShowTipContext, m_pTipWidget, &KzTipWidget::slot_SetTipContext);
    connect(m_pSliceWidget, &KzSliceWidget::signal_HideSaveSD, m_pSaveSDButton, &QWidget::hide);
    connect(m_pSliceWidget, &KzSliceWidget::signal_HideQuitLayerButton, m_pQuitSliceButton, &QWidget::hide);
    // The preview also ends without the quit button (a model opened, a new
    // run): its slider must not stay behind with no way to dismiss it.
    connect(m_pSliceWidget, &KzSliceWidget::signal_HideQuitLayerButton, m_pLayerControlWidget, &QWidget::hide);
    connect(m_pSliceWidget, &KzSliceWidget::signal_ShowPrintInfo, this, &KzVellum::slot_ShowPrintInfo);
    connect(m_pSliceWidget, &KzSliceWidget::signal_HidePrintInfo, this, &KzVellum::slot_HidePrintInfo);
    connect(m_pSliceWidget, &KzSliceWidget::signal_SaveTF, this, &KzVellum::slot_SaveToSD_Clicked);
    connect(m_pSliceWidget, &KzSliceWidget::signal_EjectCard, this, &KzVellum::slot_EjectCard_Clicked);
    connect(m_pCardEject, &KzCardEject::signal_Finished, this, &KzVellum::slot_CardEjected);
    if (m_pUserSettings) {
        m_pSliceWidget->SetEjectAfterSave(m_pUserSettings->GetEjectAfterSave());
        connect(m_pSliceWidget, &KzSliceWidget::signal_EjectAfterSaveToggled, this,
                [this](bool eject) { m_pUserSettings->SetEjectAfterSave(eject); });
    }

    connect(m_pResetCameraButton, &QPushButton::clicked, view, &KzGLView::slot_ResetView);
    connect(m_pArrangeButton, &QPushButton::clicked, this, &KzVellum::slot_Arrange_Triggered);
    connect(m_pEditControlWidget, &KzEditControlWidget::signal_DuplicateClicked, this, &KzVellum::slot_Duplicate_Triggered);
    connect(m_pSaveSDButton, &QPushButton::clicked, this, &KzVellum::slot_SaveToSD_Clicked);
    connect(m_pQuitSliceButton, &QPushButton::clicked, this, &KzVellum::slot_BackButton_Clicked);
}

void KzVellum::PlacePanels()
{
    if (!m_pLinkLabel)
        return;
    const int w = width();
    const int h = height();
    const int t = ui.widget_Titile->height();

    m_pLinkLabel->setGeometry(w - 170, 60, 150, 20);
    m_pLinkLabel->adjustSize();
    m_pLinkLabel->move(w - m_pLinkLabel->width() - 20, 60);
    // 270 px above the bottom, but on a short window not over the dial's
    // bottom sector, which removes the model the panel shows.
    const QWidget* removeSector = m_pDialWidget->findChild<QWidget*>(QStringLiteral("dialButton3"));
    const int belowDial = removeSector ? m_pDialWidget->y() + removeSector->geometry().bottom() + 1 : 0;
    m_pEditWidget->move(50, qMax(h - m_pEditWidget->height() - 270, belowDial));
    m_pEditControlWidget->move(400, (h - 66) / 2 - m_pEditControlWidget->height() / 2 + 65);
    m_pSliceWidget->move(300, 30);
    m_pLayerControlWidget->move(w - 100, (h - m_pLayerControlWidget->height()) / 2 + t / 2);
    m_pResetCameraButton->move(w / 2, h - t - 100);
    m_pResetCameraButton->adjustSize();
    // Left of the reset button, 6 px apart, so the buttons to its right keep their places.
    m_pArrangeButton->adjustSize();
    m_pArrangeButton->move(w / 2 - 6 - m_pArrangeButton->width(), h - t - 100);
    m_pQuitSliceButton->move(w / 2 + 70, h - t - 100);
    m_pQuitSliceButton->adjustSize();
    m_pPrintInfoLabel->move(w / 2 + 140, h - t - 100);
    m_pSaveSDButton->move(w / 2 + 210, h - t - 100);
    m_pSaveSDButton->adjustSize();
    PlaceTip();
}

// 100 px above the bottom, but never over the edit panel's buttons. The
// open slice panel stays above the balloon, its buttons in reach; where it
// would hide the balloon's words (a small window), the balloon moves to its
// right, above the floating buttons.
void KzVellum::PlaceTip()
{
    QRect tip(QPoint(50, qMax(height() - m_pTipWidget->height() - 100, m_pEditWidget->geometry().bottom() + 1)),
              m_pTipWidget->size());
    if (m_pSliceWidget->isVisible() && m_pSliceWidget->geometry().intersects(tip)) {
        tip.moveLeft(m_pSliceWidget->geometry().right() + 11);
        tip.moveBottom(qMin(tip.bottom(), m_pResetCameraButton->y() - 11));
    }
    m_pTipWidget->move(tip.topLeft());
}

void KzVellum::RetranslatePanels()
{
    const QString guide = GuideUrl().toString();
    m_pLinkLabel->setText(QString("<a href=\"%1\" style=\"text-decoration:none;color:#F0F0F0;\">%2</a>")
                              .arg(guide.toHtmlEscaped(), tr("KzVellum帮助").toHtmlEscaped()));
    m_pSliceWidget->Retranslate();
    if (m_pPrintInfoLabel != nullptr && m_pPrintInfoLabel->isVisible())
        slot_ShowPrintInfo();   // the figures in the new language
    m_pReChooseWidget->Retranslate();
    m_pMachineSelectWidget->Retranslate();
    RetranslateToolTips();
}

QUrl KzVellum::GuideUrl() const
{
    return QUrl::fromLocalFile(KzDataFolder::GetHelpFile("index.html"));
}

bool KzVellum::ApplyMachineLook(int machineID)
{
    const int count = int(sizeof(kMachinePictures) / sizeof(kMachinePictures[0]));
    if (machineID < 0 || machineID >= count)
        return false;
    m_pMaterialSelectWidget->ShowMaterialsOfMachine(machineID);
    m_pDialWidget->SetCenterIcon(QIcon(kMachinePictures[machineID]));
    return true;
}

void KzVellum::ApplyLogoOverride()
{
    if (QFileInfo::exists(LogoPath()))
        m_pDialWidget->SetCenterIcon(QIcon(LogoPath()));
}

// ---- Workflows -------------------------------------------------------------

void KzVellum::UpdateRestingTip()
{
    m_pTipWidget->SetRestingTip(ui.openGLWidget->HasModels() ? -1 : KzTipContext::ms_nStartTip);
}

void KzVellum::slot_OpenFileButton_Clicked()
{
    m_pTipWidget->slot_SetCurrentTip(0);
    const QString start = QFileInfo(m_strModelFolder).isDir() ? m_strModelFolder : QDir::homePath();
    QStringList patterns;
    for (const QString& suffix : KzGLView::ModelSuffixes())
        patterns << "*." + suffix << "*." + suffix.toUpper();
    const QString filter = tr("模型文件 (%1)").arg(patterns.join(' ')) + ";;" + tr("所有文件 (*)");
    const QStringList paths = QFileDialog::getOpenFileNames(nullptr, tr("打开模型"), start, filter);
    if (paths.isEmpty()) {
        m_pTipWidget->slot_SetCurrentTip(2);
        return;
    }
    OpenModels(paths);
}

// One file opens at once, as it always did. Several open one per turn of the
// event loop, so the window keeps drawing and taking input; the balloon
// counts them and the cursor stays busy until the last. Files that come
// while others are opening join them.
void KzVellum::OpenModels(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (paths.size() == 1 && !IsOpeningModels()) {
        OpenModelFile(paths.first());
        return;
    }
    if (!IsOpeningModels()) {
        m_nOpenTotal = 0;
        m_nOpenDone = 0;
        m_nOpened = 0;
        m_listRefused.clear();
        m_bOpenStopped = false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ui.openGLWidget->BeginPlateBatch(tr("打开模型"));
    }
    m_listOpenQueue << paths;
    m_nOpenTotal += paths.size();
    ShowOpenProgress();
    m_openTimer.start();
}

bool KzVellum::IsOpeningModels() const
{
    return m_nOpenTotal > 0;
}

void KzVellum::slot_OpenNextModel()
{
    if (m_listOpenQueue.isEmpty()) {
        FinishOpening();
        return;
    }
    ++m_nOpenDone;
    if (OpenModelFile(m_listOpenQueue.takeFirst()))
        ++m_nOpened;
    ShowOpenProgress();
    m_openTimer.start();
}

void KzVellum::ShowOpenProgress()
{
    m_pTipWidget->slot_SetTipContext(
        tr("打开"), tr("正在打开模型：%1 / %2").arg(m_nOpenDone).arg(m_nOpenTotal) + '\n' + tr("按Esc停止"));
}

// The whole batch is one undo step. The balloon says how many opened and
// names each file refused, with its reason.
void KzVellum::FinishOpening()
{
    ui.openGLWidget->EndPlateBatch();
    QApplication::restoreOverrideCursor();
    QStringList lines;
    const int refused = m_listRefused.size();
    if (refused == 0)
        lines << tr("已打开%1个模型").arg(m_nOpened);
    else
        lines << tr("已打开%1个模型，%2个未打开：").arg(m_nOpened).arg(refused);
    lines << m_listRefused.mid(0, ms_nRefusalLines);
    if (refused > ms_nRefusalLines)
        lines << tr("……另有%1个文件未打开").arg(refused - ms_nRefusalLines);
    if (m_bOpenStopped)
        lines << tr("已按Esc停止，其余%1个文件未打开").arg(m_nOpenTotal - m_nOpenDone);
    m_pTipWidget->slot_SetTipContext(tr("打开"), lines.join('\n'));
    m_nOpenTotal = 0;
}

// Escape ends a batch after the file being read; those opened stay.
void KzVellum::StopOpening()
{
    m_listOpenQueue.clear();
    m_bOpenStopped = true;
}

// Why a file is not even tried, or empty: what is not a model by its name,
// or not there, is refused before the view reads it.
QString KzVellum::RefusalOf(const QString& path) const
{
    const QFileInfo file(path);
    if (!KzGLView::IsModelFile(path))
        return tr("%1：不是STL、OBJ或3MF文件").arg(file.fileName());
    if (!file.exists())
        return tr("%1：文件不存在").arg(file.fileName());
    return QString();
}

bool KzVellum::OpenModelFile(const QString& path)
{
    const QString refusal = RefusalOf(path);
    if (!refusal.isEmpty()) {
        qWarning("KzVellum: cannot open the model %s", qPrintable(path));
        if (IsOpeningModels())
            m_listRefused << refusal;
        else
            m_pTipWidget->ShowTipText(2, refusal);
        return false;
    }
    bool opened = false;
    {
        // The view tells what the open came to (signal_LoadReported).
        KzBusyCursor busy;
        opened = ui.openGLWidget->OpenSTLFile(path);
    }
    if (!opened) {
        qWarning("KzVellum: cannot open the model %s", qPrintable(path));
        return false;
    }
    qInfo("KzVellum: opened the model %s", qPrintable(path));
    m_strModelFolder = QFileInfo(path).absolutePath();
    if (m_pUserSettings)
        m_pUserSettings->SetModelFolder(m_strModelFolder);
    return true;
}

// A file opened alone is told at once; in a batch, only a refusal is kept,
// for the end.
void KzVellum::slot_LoadReported(const KzLoadReport& report)
{
    if (!IsOpeningModels()) {
        m_pTipWidget->slot_ShowLoadReport(report);
        return;
    }
    if (!report.IsUsable())
        m_listRefused << KzTipWidget::DescribeLoad(report).value(0);
}

void KzVellum::slot_RemoveButton_Clicked()
{
    m_pTipWidget->slot_SetCurrentTip(6);
    if (!ui.openGLWidget->RemoveCurrentModel())
        m_pTipWidget->slot_SetCurrentTip(7);
}

void KzVellum::slot_OneKeyPrint_Clicked()
{
    m_pSliceWidget->ShowOnekeyPrint();
    ui.openGLWidget->ClearModelPainter();
}

void KzVellum::slot_CustomPrint_Clicked()
{
    m_pSliceWidget->ShowCustomPrint();
    ui.openGLWidget->ClearModelPainter();
}

void KzVellum::slot_SaveButton_Clicked()
{
    m_pTipWidget->slot_SetCurrentTip(3);
    QString filter;
    QString name = QFileDialog::getSaveFileName(nullptr, tr("保存模型"), QDir::homePath(), "*.stl;;*.3mf", &filter);
    if (name.isEmpty())
        return;
    // A name that is neither 3MF nor STL by the rule takes the filter's suffix.
    if (!name.endsWith(".3mf", Qt::CaseInsensitive) && !QRegExp(".*.stl$").exactMatch(name))
        name += filter == "*.3mf" ? ".3mf" : ".stl";
    bool saved = false;
    {
        KzBusyCursor busy;
        saved = ui.openGLWidget->SaveAllModel(name);
    }
    if (saved && name.endsWith(".3mf", Qt::CaseInsensitive))
        QMessageBox::information(this, tr("保存3MF"), tr("3MF保存成功"));
    else if (saved)
        QMessageBox::information(this, tr("保存STL"), tr("STL保存成功"));
    else
        m_pTipWidget->slot_SetCurrentTip(5);
}

void KzVellum::slot_ReChoose_Clicked()
{
    if (!m_bChoosersInDialog) {
        QVBoxLayout* layout = m_pReChooseWidget->GetChooseLayout();
        layout->addWidget(m_pMaterialSelectWidget);
        layout->insertWidget(0, m_pMachineSelectWidget);
        m_bChoosersInDialog = true;
    }
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SaveMachine();
    config->SaveMaterial();
    // The dialog opens on what is chosen now.
    m_pMachineSelectWidget->SetCurrent(config->GetCurrentMachineType());
    m_pMaterialSelectWidget->SetCurrent(config->GetCurrentMaterialID());

    QRect box = m_pReChooseWidget->geometry();
    box.moveCenter(QPoint(x() + width() / 2, y() + height() / 2 + 25));
    m_pReChooseWidget->move(box.topLeft());
    if (m_pReChooseWidget->exec() == QDialog::Accepted) {
        RememberChoice();
        return;
    }
    config->RevokeMachine();
    slot_MachineSelected(config->GetLastMachineType());
    config->RevokeMaterial();
    m_pMachineSelectWidget->SetCurrent(config->GetCurrentMachineType());
    m_pMaterialSelectWidget->SetCurrent(config->GetCurrentMaterialID());
}

void KzVellum::slot_SaveToSD_Clicked()
{
    m_pTipWidget->slot_SetTipContext(QString(), QString());
    // A card being unmounted is no place to write to.
    if (m_pCardEject->IsRunning()) {
        m_pTipWidget->slot_SetTipContext(tr("弹出SD卡"), tr("正在弹出SD卡，请稍候"));
        return;
    }
    if (!m_removableStorage.DetectRemovableStorage()) {
        m_pTipWidget->slot_SetCurrentTip(17);
        return;
    }
    QString path = ui.openGLWidget->GetSaveSDName();
    m_removableStorage.CalSDFullName(path);
    KzFileCopy::ReadBack readBack = KzFileCopy::ReadBackNone;
    KzFileCopy::Result result = KzFileCopy::ResultFailed;
    {
        KzBusyCursor busy;
        result = m_pSliceWidget->SaveGCode(path, &readBack);
    }
    if (result == KzFileCopy::ResultReadBackDiffers) {
        m_pTipWidget->slot_SetTipContext(
            tr("保存SD卡"), tr("SD卡读回的数据与写入的不同，这张卡可能已损坏。卡上原有的文件未改动，请换一张卡再保存。"));
        return;
    }
    if (result != KzFileCopy::ResultCopied) {
        m_pTipWidget->slot_SetCurrentTip(18);
        return;
    }
    m_strSavedCard = m_removableStorage.GetStorageList().value(0);
    m_nSavedCardDevice = m_removableStorage.GetDeviceNumber(m_strSavedCard);
    const bool eject = m_pSliceWidget->IsEjectAfterSave();
    ShowCardSaved(readBack, eject);
    m_pSliceWidget->ShowEjectCard(true);
    if (eject) // unasked: no password prompt pops up after a save
        StartEject(false);
}

void KzVellum::ShowCardSaved(KzFileCopy::ReadBack readBack, bool bEjecting)
{
    QString detail = readBack == KzFileCopy::ReadBackFromDevice
                         ? tr("保存GCode成功，已从SD卡读回核对，与切片结果一致。")
                         : tr("保存GCode成功。这张卡的文件系统不能绕过系统缓存读回，核对的只是缓存中的数据。");
    if (bEjecting)
        detail = tr("%1\n正在弹出SD卡…").arg(detail);
    m_pTipWidget->slot_SetTipContext(tr("保存SD卡"), detail);
}

void KzVellum::slot_EjectCard_Clicked()
{
    if (m_strSavedCard.isEmpty())
        return;
    // Asked for: the system may ask for a password where its policy wants one.
    StartEject(true);
    m_pTipWidget->slot_SetTipContext(tr("弹出SD卡"), tr("正在弹出SD卡…"));
}

void KzVellum::StartEject(bool bInteractive)
{
    if (!m_pCardEject->Start(m_strSavedCard, m_nSavedCardDevice, bInteractive))
        return;
    m_bEjectInteractive = bInteractive;
    m_pSliceWidget->ShowEjectCard(true, false);
}

// The file is saved and synced whatever the outcome; only a removed card
// takes the eject button away.
void KzVellum::slot_CardEjected(int result, const QString& detail)
{
    QString text;
    switch (result) {
    case KzCardEject::ResultRemovable:
        text = tr("可以取出SD卡了。");
        break;
    case KzCardEject::ResultBusy:
        text = tr("SD卡正被其他程序使用，未能弹出。请关闭使用它的程序后再点“弹出SD卡”。文件已保存。");
        break;
    case KzCardEject::ResultNotAuthorized:
        text = m_bEjectInteractive
                   ? tr("系统的权限策略不允许弹出这张SD卡。文件已保存并写入卡中，请用桌面自带的弹出功能取出。")
                   : tr("系统的权限策略不允许自动弹出这张SD卡。文件已保存并写入卡中：点“弹出SD卡”可按系统要求验证身份，或用桌面自带的弹出功能取出。");
        break;
    case KzCardEject::ResultNoService:
        text = tr("系统的磁盘服务(udisks2)未运行，无法在本程序中弹出。文件已保存并写入卡中，请用桌面自带的弹出功能取出SD卡。");
        break;
    case KzCardEject::ResultNotFound:
        text = tr("找不到保存时的那张SD卡，它可能已被取出。");
        break;
    default:
        text = tr("未能弹出SD卡：%1。文件已保存。").arg(detail);
        break;
    }
    const bool gone = result == KzCardEject::ResultRemovable || result == KzCardEject::ResultNotFound;
    if (gone)
        m_strSavedCard.clear();
    m_pSliceWidget->ShowEjectCard(!gone);
    m_pTipWidget->slot_SetTipContext(tr("弹出SD卡"), text);
}

void KzVellum::slot_BackButton_Clicked()
{
    ui.openGLWidget->QuitLayerMode();
    m_pLayerControlWidget->hide();
    m_pQuitSliceButton->hide();
}

void KzVellum::slot_MachineSelected(int machineID)
{
    ApplyMachineLook(machineID);
    if (!m_bChosen)
        ShowPage(ui.widget_MaterialSelect);
    ApplyLogoOverride();
    ui.windowTitle->setText(KzConfigureData::GetInstance()->GetCurrentMachineName());
    ui.openGLWidget->slot_ReloadSize();
    m_pSliceWidget->slot_ChoiceChanged();
}

void KzVellum::slot_MaterialSelected(int)
{
    m_pSliceWidget->slot_ChoiceChanged();
    if (m_bChosen)
        return;
    ShowPage(ui.widget_GL);
    m_bChosen = true;
}

void KzVellum::slot_ShowPrintInfo()
{
    m_pPrintInfoLabel->setText(m_pSliceWidget->GetPrintInfo());
    m_pPrintInfoLabel->adjustSize();
    m_pPrintInfoLabel->show();
}

void KzVellum::slot_HidePrintInfo()
{
    m_pPrintInfoLabel->hide();
}

// ---- Keyboard shortcuts -----------------------------------------------------

void KzVellum::CreateShortcuts()
{
    const QList<QPair<QList<QKeySequence>, std::function<void()>>> table = {
        { { kKeyOpen }, [this] { slot_OpenFileButton_Clicked(); } },
        { { kKeySaveGCode }, [this] { slot_SaveGCode_Triggered(); } },
        { { kKeySavePlate }, [this] { slot_SaveButton_Clicked(); } },
        { { kKeyUndo }, [this] { slot_Undo_Triggered(); } },
        { { kKeyRedo, kKeyRedoToo }, [this] { slot_Redo_Triggered(); } },
        { { kKeyRemove }, [this] { slot_RemoveButton_Clicked(); } },
        { { kKeyEscape }, [this] { slot_Escape_Triggered(); } },
        { { kKeyDuplicate }, [this] { slot_Duplicate_Triggered(); } },
        { { kKeyArrange }, [this] { slot_Arrange_Triggered(); } },
        { { kKeyGuide }, [this] { slot_Guide_Triggered(); } },
        { { Qt::Key_Left }, [this] { Nudge(Qt::LeftArrow, kNudgeStep); } },
        { { Qt::Key_Right }, [this] { Nudge(Qt::RightArrow, kNudgeStep); } },
        { { Qt::Key_Up }, [this] { Nudge(Qt::UpArrow, kNudgeStep); } },
        { { Qt::Key_Down }, [this] { Nudge(Qt::DownArrow, kNudgeStep); } },
        { { Qt::SHIFT | Qt::Key_Left }, [this] { Nudge(Qt::LeftArrow, kNudgeLargeStep); } },
        { { Qt::SHIFT | Qt::Key_Right }, [this] { Nudge(Qt::RightArrow, kNudgeLargeStep); } },
        { { Qt::SHIFT | Qt::Key_Up }, [this] { Nudge(Qt::UpArrow, kNudgeLargeStep); } },
        { { Qt::SHIFT | Qt::Key_Down }, [this] { Nudge(Qt::DownArrow, kNudgeLargeStep); } },
    };
    for (const auto& entry : table) {
        auto* action = new QAction(this);
        action->setShortcuts(entry.first);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, entry.second);
        addAction(action);
        m_listShortcuts << action;
    }
    connect(qApp, &QApplication::focusChanged, this, &KzVellum::slot_FocusChanged);
}

void KzVellum::slot_FocusChanged(QWidget*, QWidget* now)
{
    const bool enabled = !(now && now->window() == this && UsesKeys(now));
    for (QAction* action : qAsConst(m_listShortcuts))
        action->setEnabled(enabled);
}

// Each tip says what the control does and, where it has one, its key.
void KzVellum::RetranslateToolTips()
{
    struct Tip
    {
        QWidget* widget;
        const char* text;
        int key;
    };
    const Tip tips[] = {
        { m_pDialWidget->Button(0), QT_TRANSLATE_NOOP("KzVellum", "切片：展开一键打印和自定义打印"), 0 },
        { m_pDialWidget->Button(1), QT_TRANSLATE_NOOP("KzVellum", "打开模型文件"), kKeyOpen },
        { m_pDialWidget->Button(2), QT_TRANSLATE_NOOP("KzVellum", "把平台上的所有模型保存为一个STL文件"), kKeySavePlate },
        { m_pDialWidget->Button(3), QT_TRANSLATE_NOOP("KzVellum", "删除选中的模型"), kKeyRemove },
        { m_pDialWidget->Button(4), QT_TRANSLATE_NOOP("KzVellum", "更换打印机和材料"), 0 },
        { m_pDialWidget->Button(5), QT_TRANSLATE_NOOP("KzVellum", "自定义切片设置"), 0 },
        { m_pDialWidget->Button(6), QT_TRANSLATE_NOOP("KzVellum", "一键切片"), 0 },
        { m_pResetCameraButton, QT_TRANSLATE_NOOP("KzVellum", "回到初始视角"), 0 },
        { m_pArrangeButton, QT_TRANSLATE_NOOP("KzVellum", "重新摆放平台上的所有模型"), kKeyArrange },
        { m_pQuitSliceButton, QT_TRANSLATE_NOOP("KzVellum", "退出切片预览"), kKeyEscape },
        { m_pSaveSDButton, QT_TRANSLATE_NOOP("KzVellum", "把GCode保存到SD卡"), 0 },
        { m_pEditControlWidget->findChild<QWidget*>("pushButton_Duplicate"),
          QT_TRANSLATE_NOOP("KzVellum", "复制选中的模型"), kKeyDuplicate },
        { m_pLinkLabel, QT_TRANSLATE_NOOP("KzVellum", "打开用户指南"), kKeyGuide },
    };
    for (const Tip& tip : tips) {
        QString text = tr(tip.text);
        if (tip.key != 0)
            text = tr("%1（%2）").arg(text, QKeySequence(tip.key).toString(QKeySequence::NativeText));
        tip.widget->setToolTip(text);
    }
}

bool KzVellum::RefuseInLayerMode()
{
    // The plate changes with the batch still; the balloon counts on.
    if (IsOpeningModels()) {
        ShowOpenProgress();
        return true;
    }
    if (!ui.openGLWidget->IsLayerMode())
        return false;
    m_pTipWidget->slot_SetTipContext(tr("切片预览"), tr("退出切片预览后才能修改平台"));
    return true;
}

void KzVellum::slot_Undo_Triggered()
{
    if (RefuseInLayerMode())
        return;
    const bool undone = ui.openGLWidget->Undo();
    m_pTipWidget->slot_SetTipContext(tr("撤销"), undone ? tr("已撤销上一步更改") : tr("没有可撤销的更改"));
}

void KzVellum::slot_Redo_Triggered()
{
    if (RefuseInLayerMode())
        return;
    const bool redone = ui.openGLWidget->Redo();
    m_pTipWidget->slot_SetTipContext(tr("重做"), redone ? tr("已重做一步更改") : tr("没有可重做的更改"));
}

void KzVellum::slot_Duplicate_Triggered()
{
    if (RefuseInLayerMode())
        return;
    const bool copied = ui.openGLWidget->DuplicateCurrentModel();
    m_pTipWidget->slot_SetTipContext(tr("复制"), copied ? tr("已复制选中的模型") : tr("复制失败，请先选择模型"));
}

void KzVellum::slot_Arrange_Triggered()
{
    if (RefuseInLayerMode())
        return;
    const bool arranged = ui.openGLWidget->ArrangeModels();
    m_pTipWidget->slot_SetTipContext(tr("自动摆放"), arranged ? tr("已重新摆放平台上的所有模型") : tr("平台上没有模型"));
}

void KzVellum::Nudge(Qt::ArrowType direction, float millimetres)
{
    ui.openGLWidget->NudgeCurrentModel(direction, millimetres);
}

// First the selection goes, then the preview.
void KzVellum::slot_Escape_Triggered()
{
    if (IsOpeningModels())
        StopOpening();
    else if (ui.openGLWidget->HasSelection())
        ui.openGLWidget->ClearModelPainter();
    else if (ui.openGLWidget->IsLayerMode())
        slot_BackButton_Clicked();
}

void KzVellum::slot_SaveGCode_Triggered()
{
    if (m_pSliceWidget->IsGCodeReady())
        m_pSliceWidget->SaveGCodeAs();
    else
        m_pTipWidget->slot_SetTipContext(tr("保存GCode"), tr("请先切片，再保存GCode"));
}

void KzVellum::slot_Guide_Triggered()
{
    QDesktopServices::openUrl(GuideUrl());
}
