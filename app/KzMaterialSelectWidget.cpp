#include "KzMaterialSelectWidget.h"

#include "KzConfigureData.h"
#include "KzPrinterChoice.h"
#include "KzSelectItemWidget.h"

#include <QHBoxLayout>
#include <QIcon>

namespace {

// By material id: the picture under ":/Resources/".
const char* const kMaterialPictures[] = { "5.png", "6.png", "7.png", "8.png" };

} // namespace

KzMaterialSelectWidget::KzMaterialSelectWidget(QWidget*)
    : QWidget(nullptr)
{
    setMaximumSize(880, 250);
    QHBoxLayout* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int id = 0; id < KzPrinterChoice::ms_nMaterialCount; ++id) {
        KzSelectItemWidget* item = new KzSelectItemWidget(id);
        item->SetName(KzPrinterChoice::GetMaterialName(id));
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
    if (id < 0 || id >= KzPrinterChoice::ms_nMachineCount)
        return false;
    for (int i = 0; i < KzPrinterChoice::ms_nMaterialCount; ++i) {
        if (KzPrinterChoice::PrintsMaterial(id, i))
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

void KzMaterialSelectWidget::SetCurrent(int id)
{
    for (KzSelectItemWidget* item : qAsConst(m_listItems))
        item->SetCurrent(item->GetId() == id);
}

void KzMaterialSelectWidget::slot_ItemClicked(int id)
{
    KzConfigureData::GetInstance()->SetMaterialID(id);
    SetCurrent(id);
    emit signal_ItemClicked(id);
}
