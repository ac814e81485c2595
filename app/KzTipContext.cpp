#include "KzTipContext.h"

#include <QCoreApplication>

namespace {

struct TipText
{
    int id;
    const char* title;
    const char* detail;
};

// Marked for the KzTipWidget context, which translates them when shown.
const TipText kTips[] = {
    { 0, QT_TRANSLATE_NOOP("KzTipWidget", "打开"), QT_TRANSLATE_NOOP("KzTipWidget", "读取STL文件") },
    { 1, QT_TRANSLATE_NOOP("KzTipWidget", "打开"), QT_TRANSLATE_NOOP("KzTipWidget", "读取STL文件完成") },
    { 2, QT_TRANSLATE_NOOP("KzTipWidget", "打开"), QT_TRANSLATE_NOOP("KzTipWidget", "读取STL文件失败") },
    { 3, QT_TRANSLATE_NOOP("KzTipWidget", "保存"),
      QT_TRANSLATE_NOOP("KzTipWidget", "保存所有模型到指定STL文件(二进制格式)") },
    { 4, QT_TRANSLATE_NOOP("KzTipWidget", "保存"), QT_TRANSLATE_NOOP("KzTipWidget", "保存完成") },
    { 5, QT_TRANSLATE_NOOP("KzTipWidget", "保存"), QT_TRANSLATE_NOOP("KzTipWidget", "保存失败") },
    { 6, QT_TRANSLATE_NOOP("KzTipWidget", "删除"), QT_TRANSLATE_NOOP("KzTipWidget", "删除选定模型") },
    { 7, QT_TRANSLATE_NOOP("KzTipWidget", "删除"), QT_TRANSLATE_NOOP("KzTipWidget", "删除失败，请先选择模型") },
    { 8, QT_TRANSLATE_NOOP("KzTipWidget", "切片"), QT_TRANSLATE_NOOP("KzTipWidget", "选择合适的模式进行切片") },
    { 9, QT_TRANSLATE_NOOP("KzTipWidget", "配置机器"), QT_TRANSLATE_NOOP("KzTipWidget", "重新选择机型和材料") },
    { 10, QT_TRANSLATE_NOOP("KzTipWidget", "切片"), QT_TRANSLATE_NOOP("KzTipWidget", "一键切片设置") },
    { 11, QT_TRANSLATE_NOOP("KzTipWidget", "切片"), QT_TRANSLATE_NOOP("KzTipWidget", "自定义切片设置") },
    { 12, QT_TRANSLATE_NOOP("KzTipWidget", "切片"),
      QT_TRANSLATE_NOOP("KzTipWidget", "切片完成，可选择保存GCode到文件") },
    { 13, QT_TRANSLATE_NOOP("KzTipWidget", "模型编辑"),
      QT_TRANSLATE_NOOP("KzTipWidget", "平移模式，鼠标拖动模型可实现平移") },
    { 14, QT_TRANSLATE_NOOP("KzTipWidget", "模型编辑"),
      QT_TRANSLATE_NOOP("KzTipWidget", "旋转模式，鼠标拖动坐标系，让模型绕指定轴旋转") },
    { 15, QT_TRANSLATE_NOOP("KzTipWidget", "模型编辑"),
      QT_TRANSLATE_NOOP("KzTipWidget", "缩放模式，勾选比例缩放让模型形状保持不变，或取消勾选实现单轴缩放") },
    { 16, QT_TRANSLATE_NOOP("KzTipWidget", "模型编辑"),
      QT_TRANSLATE_NOOP("KzTipWidget", "指定底面，鼠标点击选中模型的面作为底面") },
    { 17, QT_TRANSLATE_NOOP("KzTipWidget", "保存SD卡"), QT_TRANSLATE_NOOP("KzTipWidget", "保存失败，未检测到SD卡") },
    { 18, QT_TRANSLATE_NOOP("KzTipWidget", "保存SD卡"),
      QT_TRANSLATE_NOOP("KzTipWidget", "保存文件失败，请检查SD内存是否足够") },
    { 19, QT_TRANSLATE_NOOP("KzTipWidget", "切片"),
      QT_TRANSLATE_NOOP("KzTipWidget", "模型超出打印范围，请移动或缩放模型") },
    { 20, QT_TRANSLATE_NOOP("KzTipWidget", "开始"),
      QT_TRANSLATE_NOOP("KzTipWidget", "点击转盘上方的“打开”或按Ctrl+O打开STL、OBJ或3MF模型，也可以把模型文件拖到这里") },
};

// A free text of the balloon that no command shows.
const char* const kFreeTexts[] = {
    QT_TRANSLATE_NOOP("KzTipWidget", "保存成功"),
};

} // namespace

KzTipContext::KzTipContext()
{
    Q_UNUSED(kFreeTexts);
    for (const TipText& tip : kTips)
        m_mapTips.insert(tip.id, qMakePair(QString::fromUtf8(tip.title), QString::fromUtf8(tip.detail)));
}

QPair<QString, QString> KzTipContext::GetTip(int tipID) const
{
    return m_mapTips.value(tipID);
}

// An unknown id gives empty texts.
void KzTipContext::SelectTip(int tipID)
{
    const QPair<QString, QString> tip = GetTip(tipID);
    emit signal_TipChanged(tip.first, tip.second);
}
