#ifndef KLAYERCONTROLWIDGET_H
#define KLAYERCONTROLWIDGET_H

#include "ui_LayerControlWidget.h"

#include <QWidget>

class KLayerBookmarkLabel;
class KzGLView;

// The floating panel of the layer preview: a vertical slider picks the layer
// shown, a tag beside its handle shows the layer's number, and two buttons
// choose between that layer alone and every layer up to it. It only talks to
// the view, which its owner hands over right after creating it.
class KLayerControlWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KLayerControlWidget(QWidget* parent = nullptr);
    ~KLayerControlWidget() override;

    void SetGLView(KzGLView* view) { m_pGLView = view; }

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

private:
    Ui::LayerControlWidget ui;
    KLayerBookmarkLabel* m_pBookmark;
    KzGLView* m_pGLView;
};

#endif // KLAYERCONTROLWIDGET_H
