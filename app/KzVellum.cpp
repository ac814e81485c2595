#include "KzVellum.h"

#include "KLayerControlWidget.h"
#include "KzConfigureData.h"
#include "KzDialWidget.h"
#include "KzEditControlWidget.h"
#include "KzEditWidget.h"
#include "KzGLView.h"
#include "KzMachineSelectWidget.h"
#include "KzMaterialSelectWidget.h"
#include "KzReChooseWidget.h"
#include "KzSliceWidget.h"
#include "KzTipWidget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegExp>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QSurfaceFormat>
#include <QUrl>

namespace {

// The form asks for the Windows font family of its Chinese texts; on Linux
// WenQuanYi Micro Hei carries the same glyphs in the same plain style.
const char* const kFormFontFamily = "微软雅黑";
const char* const kFormFontStandIn = "WenQuanYi Micro Hei";

// Translation files by language box index: 0 the Chinese source texts, 1 English.
const char* const kTranslationFiles[] = { "", ":/kzvellum_en.qm" };

// The floating push buttons and the print-information label over the view.
const char* const kFloatingButtonStyle =
    "*{color:rgb(150,150,150);border:none;background-color:rgba(75,182,226,150);font:bold 10pt}"
    ":pressed{background-color:rgb(80,100,105)}";
const char* const kPrintInfoStyle =
    "*{color:rgb(150,150,150);background-color:rgba(75,182,226,150);font:bold 10pt;padding:2px;}";
const char* const kLinkStyle =
    "QLabel{background-color:rgb(64,64,64);color:rgb(245,245,245);font:bold 10pt;}";

// The dial's centre picture of each printer model, by machine id.
const char* const kMachinePictures[] = {
    ":/Resources/3333.png", ":/Resources/4444.png", ":/Resources/2222.png",
    ":/Resources/1111.png", ":/Resources/5555.png", ":/Resources/6666.png",
};

// A user's own picture for the dial's centre, beside the program.
QString LogoPath()
{
    return QDir::currentPath() + "/Configure/logo.png";
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

KzVellum::KzVellum(QWidget* parent)
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
    , m_pResetCameraButton(nullptr)
    , m_pSaveSDButton(nullptr)
    , m_pQuitSliceButton(nullptr)
    , m_pLinkLabel(nullptr)
    , m_pPrintInfoLabel(nullptr)
    , m_bChoosersInDialog(false)
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
    connect(ui.comboBox, SIGNAL(currentIndexChanged(int)), this, SLOT(slot_LanguageChanged(int)));
    ConnectPanels();

    ShowNormalWindow();
    QApplication::installTranslator(&m_translator);

    // Start with the machine the machine file marks as selected and material 0.
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    // The look of the machine the file selects (its picture and materials).
    ApplyMachineLook(config->GetCurrentMachineType());
    ApplyLogoOverride();
    ui.windowTitle->setText(config->GetCurrentMachineName());
    ui.openGLWidget->slot_ReloadSize();
    config->SetMaterialID(0);

    ShowPage(ui.widget_GL);
    m_bChosen = true;
    ui.comboBox->setCurrentIndex(0);
    slot_LanguageChanged(1);
}

KzVellum::~KzVellum()
{
    delete m_pReChooseWidget;
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

void KzVellum::slot_LanguageChanged(int index)
{
    const int count = int(sizeof(kTranslationFiles) / sizeof(kTranslationFiles[0]));
    const QString file = (index >= 0 && index < count) ? kTranslationFiles[index] : "";
    // An empty or unreadable file leaves the translator empty: Chinese shows.
    if (!m_translator.load(file) && !file.isEmpty())
        qDebug("KzVellum: cannot load the translation %s", qPrintable(file));

    m_pTipWidget->ClearTip();
    m_pDialWidget->SetLanguage(index);

    ui.comboBox->setItemText(0, "English");
    setWindowTitle(QCoreApplication::translate("KzVellumClass", "KzVellum"));
    m_pResetCameraButton->setText(tr("重置\n视角"));
    m_pSaveSDButton->setText(tr("保存\nSD卡"));
    m_pQuitSliceButton->setText(tr("退出\n切片"));
    ui.label_SelectMachine->setText(tr("选择机型"));
    ui.label_SelectMaterial->setText(tr("选择材料"));
    RetranslatePanels();
    PlacePanels();
}

bool KzVellum::eventFilter(QObject* watched, QEvent* event)
{
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
    // The balloon only tells; on a small window it reaches under the slice
    // panel, whose buttons must stay in sight above it.
    m_pTipWidget->stackUnder(m_pDialWidget);
    m_pTipWidget->show();
    CreateFloatingControls();
}

void KzVellum::CreateFloatingControls()
{
    QWidget* page = ui.widget_GL;
    m_pResetCameraButton = new QPushButton("Reset\nCamera", page);
    m_pSaveSDButton = new QPushButton("Save\nSD", page);
    m_pQuitSliceButton = new QPushButton("Quit\nSlice", page);
    for (QPushButton* button : { m_pResetCameraButton, m_pSaveSDButton, m_pQuitSliceButton })
        button->setStyleSheet(kFloatingButtonStyle);
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
    connect(view, &KzGLView::signal_LoadReported, m_pTipWidget, &KzTipWidget::slot_ShowLoadReport);

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

    connect(m_pResetCameraButton, &QPushButton::clicked, view, &KzGLView::slot_ResetView);
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
    // 100 px above the bottom, but never over the edit panel's buttons.
    m_pTipWidget->move(50, qMax(h - m_pTipWidget->height() - 100, m_pEditWidget->geometry().bottom() + 1));
    m_pEditControlWidget->move(400, (h - 66) / 2 - m_pEditControlWidget->height() / 2 + 65);
    m_pSliceWidget->move(300, 30);
    m_pLayerControlWidget->move(w - 100, (h - m_pLayerControlWidget->height()) / 2 + t / 2);
    m_pResetCameraButton->move(w / 2, h - t - 100);
    m_pResetCameraButton->adjustSize();
    m_pQuitSliceButton->move(w / 2 + 70, h - t - 100);
    m_pQuitSliceButton->adjustSize();
    m_pPrintInfoLabel->move(w / 2 + 140, h - t - 100);
    m_pSaveSDButton->move(w / 2 + 210, h - t - 100);
    m_pSaveSDButton->adjustSize();
}

void KzVellum::RetranslatePanels()
{
    const QString guide = QUrl::fromLocalFile(QDir::current().absoluteFilePath("Help/index.html")).toString();
    m_pLinkLabel->setText(QString("<a href=\"%1\" style=\"text-decoration:none;color:#F0F0F0;\">%2</a>")
                              .arg(guide.toHtmlEscaped(), tr("KzVellum帮助").toHtmlEscaped()));
    m_pSliceWidget->Retranslate();
    m_pReChooseWidget->Retranslate();
    m_pMachineSelectWidget->Retranslate();
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

void KzVellum::slot_OpenFileButton_Clicked()
{
    m_pTipWidget->slot_SetCurrentTip(0);
    const QString path = QFileDialog::getOpenFileName(nullptr, "Open Model", QDir::homePath(),
                                                      "*.stl *.obj *.3mf;;*.stl;;*.obj;;*.3mf");
    if (path.isEmpty()) {
        m_pTipWidget->slot_SetCurrentTip(2);
        return;
    }
    // The view tells the balloon what the open came to (signal_LoadReported).
    KzBusyCursor busy;
    ui.openGLWidget->OpenSTLFile(path);
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
    QString name = QFileDialog::getSaveFileName(nullptr, "Save STL", QDir::homePath(), "*.stl;;*.3mf", &filter);
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
    if (saved)
        QMessageBox::information(this, "Save STL", QString::fromUtf8("STL保存成功"));
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

    QRect box = m_pReChooseWidget->geometry();
    box.moveCenter(QPoint(x() + width() / 2, y() + height() / 2 + 25));
    m_pReChooseWidget->move(box.topLeft());
    if (m_pReChooseWidget->exec() == QDialog::Accepted)
        return;
    config->RevokeMachine();
    slot_MachineSelected(config->GetLastMachineType());
    config->RevokeMaterial();
}

void KzVellum::slot_SaveToSD_Clicked()
{
    m_pTipWidget->slot_SetTipContext(QString(), QString());
    if (!m_removableStorage.DetectRemovableStorage()) {
        m_pTipWidget->slot_SetCurrentTip(17);
        return;
    }
    QString path = ui.openGLWidget->GetSaveSDName();
    m_removableStorage.CalSDFullName(path);
    bool saved = false;
    {
        KzBusyCursor busy;
        saved = m_pSliceWidget->SaveGCodeTo(path);
    }
    if (saved)
        m_pTipWidget->slot_SetTipContext("保存SD卡", "保存GCode成功");
    else
        m_pTipWidget->slot_SetCurrentTip(18);
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
}

void KzVellum::slot_MaterialSelected(int)
{
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
