#ifndef KZSELECTITEMWIDGET_H
#define KZSELECTITEMWIDGET_H

#include <QWidget>

class KzRoundButton;
class QIcon;
class QLabel;
class QPushButton;
class QRect;
class QResizeEvent;
class QSize;

// One tile of the machine and material choosers: a round picture button with
// the choice's name below it, and below that a detail line where there is one
// (a printer's build volume). A click on the picture reports the tile's id.
// The current choice is highlighted: a ring round its picture, its name in
// the highlight colour.
class KzSelectItemWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KzSelectItemWidget(int id, QWidget* parent = nullptr);

    void SetName(const QString& strName);
    void SetPicture(const QIcon& icon);
    // Empty hides the line.
    void SetDetail(const QString& strDetail);
    void SetCurrent(bool bCurrent);
    bool IsCurrent() const;

    int GetId() const;
    QPushButton* GetPictureButton() const;
    QLabel* GetNameLabel() const;
    QLabel* GetDetailLabel() const;

    // Where a tile of the given size puts its picture (a square) and its name
    // (10 pixels below the picture). The used height is 1.2 times the width
    // plus 10 at most; a tile taller than that centres the pair vertically.
    static void CalculateLayout(const QSize& size, QRect& picture, QRect& name);

signals:
    void signal_ButtonClicked(int id);

public slots:
    void slot_ButtonClicked();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void PlaceParts(const QSize& size);

    QPushButton* m_pButton;
    QLabel* m_pLabel;
    QLabel* m_pDetailLabel;
    KzRoundButton* m_pRoundButton;
    int m_nId;
};

#endif // KZSELECTITEMWIDGET_H
