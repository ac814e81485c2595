#include "KzVellum.h"

#include "KzConfigureData.h"
#include "KzGLView.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSurfaceFormat>

namespace {

// The form asks for the Windows font family of its Chinese texts; on Linux
// WenQuanYi Micro Hei carries the same glyphs in the same plain style.
const char* const kFormFontFamily = "微软雅黑";
const char* const kFormFontStandIn = "WenQuanYi Micro Hei";

// Translation files by language box index: 0 the Chinese source texts, 1 English.
const char* const kTranslationFiles[] = { "", ":/kzvellum_en.qm" };

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

    ShowNormalWindow();
    QApplication::installTranslator(&m_translator);

    // Start with the machine the machine file marks as selected and material 0.
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    config->SetMachineType(config->selectedMachineType);
    ui.windowTitle->setText(config->GetCurrentMachineName());
    ui.openGLWidget->slot_ReloadSize();
    config->SetMaterialID(0);

    ShowPage(ui.widget_GL);
    m_bChosen = true;
    ui.comboBox->setCurrentIndex(0);
    slot_LanguageChanged(1);
}

KzVellum::~KzVellum() = default;

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

    ui.comboBox->setItemText(0, "English");
    setWindowTitle(QCoreApplication::translate("KzVellumClass", "KzVellum"));
    ui.label_SelectMachine->setText(tr("选择机型"));
    ui.label_SelectMaterial->setText(tr("选择材料"));
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
