#include "KzMachineFileCheck.h"

#include "KzConfigureData.h"

#include <QMessageBox>

bool KzMachineFileCheck::ReportAtStart(QWidget* parent)
{
    const QStringList listErrors = KzConfigureData::GetInstance()->GetMachineFileErrors();
    if (listErrors.isEmpty())
        return true;
    for (const QString& strError : listErrors)
        qWarning("KzVellum: the machine file: %s", qPrintable(strError));
    QMessageBox::warning(parent, Title(), Text(listErrors));
    return false;
}

QString KzMachineFileCheck::Title()
{
    return tr("打印机配置文件");
}

QString KzMachineFileCheck::Text(const QStringList& listErrors)
{
    QStringList listShown = listErrors.mid(0, ms_nShownErrors);
    if (listErrors.size() > ms_nShownErrors)
        listShown.append(tr("另有 %1 处问题，详见程序日志。").arg(listErrors.size() - ms_nShownErrors));
    return tr("打印机配置文件有误。无法读取的机型和材料已改用程序内置的设置。\n\n%1")
        .arg(listShown.join(QLatin1Char('\n')));
}
