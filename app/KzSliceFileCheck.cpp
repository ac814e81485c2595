#include "KzSliceFileCheck.h"

#include "KzConfigureData.h"

#include <QMessageBox>

bool KzSliceFileCheck::CheckAndReport(QWidget* parent)
{
    const QString strError = KzConfigureData::GetInstance()->GetSliceFileError();
    if (strError.isEmpty())
        return true;
    qWarning("KzVellum: the slicing presets cannot be used: %s", qPrintable(strError));
    QMessageBox::information(parent, Title(), Text(strError));
    return false;
}

QString KzSliceFileCheck::Title()
{
    return tr("切片参数文件");
}

QString KzSliceFileCheck::Text(const QString& strError)
{
    return tr("无法读取切片参数文件，切片将不会使用所选的设置。\n请重新安装程序，或把该文件放回程序的 Configure 文件夹。\n\n%1")
        .arg(strError);
}
