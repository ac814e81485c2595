#include "KzMaterialSelectWidget.h"

#include "KzConfigureData.h"
#include "KzSelectItemWidget.h"

#include <QHBoxLayout>
#include <QIcon>

namespace {

// By material id: the name (the same in every language) and the picture.
const char* const kMaterialNames[] = { "PLA", "ABS", "WOOD", "TPU" };
const char* const kMaterialPictures[] = { "5.png", "6.png", "7.png", "8.png" };
const int kMaterialCount = int(sizeof(kMaterialNames) / sizeof(kMaterialNames[0]));

// By machine type, the materials it prints: PLA, ABS, WOOD, TPU. Machines 4
// and 5 have no heated bed and print PLA only.
const bool kMachineMaterials[][kMaterialCount] = {
    { true, true, false, false },  // 0 Alder
    { true, true, true, true },    // 1 Hazel
    { true, true, true, false },   // 2 Cedar
    { true, true, true, false },   // 3 Birch
    { true, false, false, false }, // 4 Rowan
    { true, false, false, false }, // 5 Spruce
};
const int kMachineCount = int(sizeof(kMachineMaterials) / sizeof(kMachineMaterials[0]));

} // namespace

KzMaterialSelectWidget::KzMaterialSelectWidget(QWidget*)
    : QWidget(nullptr)
{
    setMaximumSize(880, 250);
    QHBoxLayout* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int id = 0; id < kMaterialCount; ++id) {
        KzSelectItemWidget* item = new KzSelectItemWidget(id);
        item->SetName(QLatin1String(kMaterialNames[id]));
        item->SetPicture(QIcon(QStringLiteral(":/Resources/") + QLatin1String(kMaterialPictures[id])));
        connect(item, SIGNAL(signal_ButtonClicked(int)), this, SLOT(slot_ItemClicked(int)));
        layout->addWidget(item);
        m_listItems.append(item);
    }
}

void KzMaterialSelectWidget::ShowItem(int i)
{
    m_listItems.at(i)->show();
}

void KzMaterialSelectWidget::HideItem(int i)
{
    m_listItems.at(i)->hide();
}

bool KzMaterialSelectWidget::ShowMaterialsOfMachine(int id)
{
    if (id < 0 || id >= kMachineCount)
        return false;
    for (int i = 0; i < kMaterialCount; ++i) {
        if (kMachineMaterials[id][i])
            ShowItem(i);
        else
            HideItem(i);
    }
    return true;
}

QList<KzSelectItemWidget*> KzMaterialSelectWidget::GetItems() const
{
    return m_listItems;
}

void KzMaterialSelectWidget::slot_ItemClicked(int id)
{
    KzConfigureData::GetInstance()->SetMaterialID(id);
    emit signal_ItemClicked(id);
}
