#ifndef KZMACHINESELECTWIDGET_H
#define KZMACHINESELECTWIDGET_H

#include <QList>
#include <QWidget>

class KzSelectItemWidget;

// The printer-model chooser: one tile per machine type, in type order, each
// with its build volume under its name. A click stores the machine in the
// configuration store at once, highlights its tile, then reports it.
class KzMachineSelectWidget : public QWidget
{
    Q_OBJECT

public:
    // The window passes itself, but the chooser starts without a parent: the
    // layout it is put into makes it a child of its page.
    explicit KzMachineSelectWidget(QWidget* parent = nullptr);

    // The machine names again, in the language installed now.
    void Retranslate();

    QList<KzSelectItemWidget*> GetItems() const;
    // Highlights the tile of machine type (none for a type without one).
    void SetCurrent(int type);

signals:
    void signal_ItemClicked(int id);

public slots:
    void slot_ItemClicked(int id);

private:
    QList<KzSelectItemWidget*> m_listItems;
};

#endif // KZMACHINESELECTWIDGET_H
