#ifndef KLAYERBOOKMARKLABEL_H
#define KLAYERBOOKMARKLABEL_H

#include <QLabel>

// The tag beside the layer slider's handle that shows the current layer: a dark
// box with a point on its left aimed at the handle, the number on top.
class KLayerBookmarkLabel : public QLabel
{
public:
    explicit KLayerBookmarkLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};

#endif // KLAYERBOOKMARKLABEL_H
