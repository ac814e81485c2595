#include "KzMachineSelectWidget.h"

#include "KzConfigureData.h"
#include "KzPrinterChoice.h"
#include "KzSelectItemWidget.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QVector3D>

namespace {

// By machine type: the picture under ":/Resources/".
const char* const kMachinePictures[] = { "3333.png", "4444.png", "2222.png", "1111.png", "5555.png", "6666.png" };

QString MachineName(int type)
{
    return KzMachineSelectWidget::tr(qPrintable(KzPrinterChoice::GetMachineModelName(type)));
}

// "200 × 200 × 180 mm": length, width and height; empty for a machine the
// machine file does not list.
QString BuildVolume(int type)
{
    const QVector3D size = KzConfigureData::GetInstance()->GetMachineSize(type);
    if (size.isNull())
        return QString();
    return KzMachineSelectWidget::tr("%1 × %2 × %3 mm").arg(size.x()).arg(size.y()).arg(size.z());
}

} // namespace

KzMachineSelectWidget::KzMachineSelectWidget(QWidget*)
    : QWidget(nullptr)
{
    setMaximumSize(880, 250);
    QHBoxLayout* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int id = 0; id < KzPrinterChoice::ms_nMachineCount; ++id) {
        KzSelectItemWidget* item = new KzSelectItemWidget(id);
        item->SetName(MachineName(id));
        item->SetDetail(BuildVolume(id));
        item->SetPicture(QIcon(QStringLiteral(":/Resources/") + QLatin1String(kMachinePictures[id])));
        item->GetPictureButton()->setCheckable(true);
        connect(item, SIGNAL(signal_ButtonClicked(int)), this, SLOT(slot_ItemClicked(int)));
        layout->addWidget(item);
        m_listItems.append(item);
    }
}

void KzMachineSelectWidget::Retranslate()
{
    for (KzSelectItemWidget* item : m_listItems) {
        item->SetName(MachineName(item->GetId()));
        item->SetDetail(BuildVolume(item->GetId()));
    }
}

void KzMachineSelectWidget::SetCurrent(int type)
{
    for (KzSelectItemWidget* item : qAsConst(m_listItems))
        item->SetCurrent(item->GetId() == type);
}

QList<KzSelectItemWidget*> KzMachineSelectWidget::GetItems() const
{
    return m_listItems;
}

void KzMachineSelectWidget::slot_ItemClicked(int id)
{
    KzConfigureData::GetInstance()->SetMachineType(id);
    SetCurrent(id);
    emit signal_ItemClicked(id);
}
