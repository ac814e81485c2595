#ifndef KZMATERIALSELECTWIDGET_H
#define KZMATERIALSELECTWIDGET_H

#include <QList>
#include <QWidget>

class KzSelectItemWidget;

// The material chooser: one tile per filament, in material id order. A click
// stores the material in the configuration store at once, highlights its
// tile, then reports it.
// The window shows only the materials the chosen machine can print.
class KzMaterialSelectWidget : public QWidget
{
    Q_OBJECT

public:
    // Like the machine chooser, it starts without a parent.
    explicit KzMaterialSelectWidget(QWidget* parent = nullptr);

    // Tile i, 0 to 3 (the caller keeps to that range).
    void ShowItem(int i);
    void HideItem(int i);
    // Shows the materials machine type id can print and hides the others;
    // an id without an entry changes nothing. True if the id has one.
    bool ShowMaterialsOfMachine(int id);

    QList<KzSelectItemWidget*> GetItems() const;
    // Highlights the tile of material id (none for an id without one).
    void SetCurrent(int id);

signals:
    void signal_ItemClicked(int id);

public slots:
    void slot_ItemClicked(int id);

private:
    QList<KzSelectItemWidget*> m_listItems;
};

#endif // KZMATERIALSELECTWIDGET_H
