#ifndef KLAYERCONTROLWIDGET_H
#define KLAYERCONTROLWIDGET_H

#include "ui_LayerControlWidget.h"

#include <QWidget>

class KLayerBookmarkLabel;
class KLayerLegendWidget;
class KzGLView;
class QLabel;

// The floating panel of the layer preview: a vertical slider picks the layer
// shown, a tag beside its handle shows the layer's number and height, and two
// buttons choose between that layer alone and every layer up to it. Hovering
// the handle or the tag tells the print time up to that layer. Beside the
// panel, and shown with it, stands the legend of the preview's colours, whose
// switches hide and show each feature. It only talks to the view, which its
// owner hands over right after creating it.
class KLayerControlWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KLayerControlWidget(QWidget* parent = nullptr);
    ~KLayerControlWidget() override;

    void SetGLView(KzGLView* view) { m_pGLView = view; }
    // Null for a panel without a parent: the legend stands on the panel's parent.
    KLayerLegendWidget* GetLegend() const { return m_pLegend; }
    // What hovering the handle or the tag tells about a layer.
    QString LayerToolTip(int layer) const;

    // The travel of the tag from the slider's top value to its bottom value.
    static constexpr double ms_dBookmarkTravel = 376.0;

public slots:
    void slot_SliderValueChanged(int value);
    void slot_ButtonGroupClicked();
    void slot_BackButton_Clicked();
    // The highest layer the view has: the slider's range, and shown on top.
    void slot_SetMaxLayer(int value);

protected:
    // A language change re-applies the form's texts.
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // The layer's number and height on the tag and below the slider.
    void UpdateLayerTexts(int value);
    void UpdateLegend();
    void PlaceLegend();
    QString ZText(int layer) const;

    Ui::LayerControlWidget ui;
    KLayerBookmarkLabel* m_pBookmark;
    KzGLView* m_pGLView;
    QLabel* m_pZLabel;
    KLayerLegendWidget* m_pLegend;
};

#endif // KLAYERCONTROLWIDGET_H
