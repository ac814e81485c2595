#ifndef KZSELECTITEMWIDGET_H
#define KZSELECTITEMWIDGET_H

#include <QWidget>

class QIcon;
class QLabel;
class QPushButton;
class QRect;
class QResizeEvent;
class QSize;

// One tile of the machine and material choosers: a round picture button with
// the choice's name below it. A click on the picture reports the tile's id.
class KzSelectItemWidget : public QWidget
{
    Q_OBJECT

public:
    explicit KzSelectItemWidget(int id, QWidget* parent = nullptr);

    void SetName(const QString& strName);
    void SetPicture(const QIcon& icon);

    int GetId() const;
    QPushButton* GetPictureButton() const;
    QLabel* GetNameLabel() const;

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
    QPushButton* m_pButton;
    QLabel* m_pLabel;
    int m_nId;
};

#endif // KZSELECTITEMWIDGET_H
