#ifndef KZVELLUM_H
#define KZVELLUM_H

#include "ui_KzVellumClass.h"

#include <QDialog>
#include <QPoint>
#include <QTranslator>

class QKeyEvent;
class QMouseEvent;
class QResizeEvent;

// The main window: a frameless dialog that draws its own title bar (logo,
// machine name, language box, minimise, maximise, restore and close), is
// dragged by that bar and resized from any edge or corner. Below the bar it
// shows one of three pages: machine choice, material choice or the 3D view.
// Mouse moves that the children do not use climb up to the window, which
// watches them for the resize band along its border; that is why the title
// bar's children and the pages track the mouse too.
class KzVellum : public QDialog
{
    Q_OBJECT

public:
    explicit KzVellum(QWidget* parent = nullptr);
    ~KzVellum() override;

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

private slots:
    void slot_Button_Clicked(int buttonID);
    void slot_LanguageChanged(int index);

private:
    static void InstallFontSubstitutes();

    void ShowPage(QWidget* page);
    void ShowMaximizedWindow();
    void ShowNormalWindow();
    void UpdateEdgeFlags(const QPoint& pos);
    void ResizeByEdges(const QPoint& globalPos);
    void PlacePageControls();

    Ui::KzVellumClass ui;
    bool m_bChosen;
    bool m_bTitleDrag;
    bool m_bResize;
    QPoint m_ptLastDrag;
    int m_nEdgeFlags;
    QTranslator m_translator;
};

#endif // KZVELLUM_H
