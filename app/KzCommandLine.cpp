#include "KzCommandLine.h"

#include "KzSliceProfile.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

const char* const kHelpNames[] = { "h", "help" };
const char* const kVersionNames[] = { "v", "version" };
const char* const kOutputNames[] = { "o", "output" };
const char kSlice[] = "slice";
const char kMachine[] = "machine";
const char kMaterial[] = "material";
const char kPreset[] = "preset";

// The presets of the one-key page, by the names the command line takes.
struct KzPresetName
{
    const char* pName;
    int nMode;
};
const KzPresetName kPresets[] = {
    { "fast", SliceMode_Fast },
    { "standard", SliceMode_Standard },
    { "optimal", SliceMode_Optimal },
};
// Without --preset: the middle one, the one-key page's own middle button.
const int kDefaultPreset = SliceMode_Standard;

QStringList Names(const char* const (&names)[2])
{
    return { QLatin1String(names[0]), QLatin1String(names[1]) };
}

} // namespace

KzCommandLine::KzCommandLine(const QStringList& arguments, const QString& startFolder)
    : m_nMode(ModeWindow)
    , m_nPreset(kDefaultPreset)
{
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(arguments)) {
        m_nMode = ModeBadArguments;
        m_strError = parser.errorText();
        return;
    }
    if (parser.isSet(QLatin1String(kHelpNames[1]))) {
        m_nMode = ModeHelp;
        return;
    }
    if (parser.isSet(QLatin1String(kVersionNames[1]))) {
        m_nMode = ModeVersion;
        return;
    }
    const QDir start(startFolder);
    for (const QString& file : parser.positionalArguments())
        m_listModelFiles << QDir::cleanPath(start.absoluteFilePath(file));
    ReadSliceOptions(parser, startFolder);
}

// The options of --slice, which make no sense for the window.
void KzCommandLine::ReadSliceOptions(const QCommandLineParser& parser, const QString& startFolder)
{
    const bool slice = parser.isSet(QLatin1String(kSlice));
    for (const char* name : { kOutputNames[1], kMachine, kMaterial, kPreset }) {
        if (!slice && parser.isSet(QLatin1String(name))) {
            Refuse(QT_TR_NOOP("选项 --%1 只能与 --slice 一起使用。"), QLatin1String(name));
            return;
        }
    }
    if (!slice)
        return;
    m_nMode = ModeSlice;
    const QString output = parser.value(QLatin1String(kOutputNames[1]));
    if (output.isEmpty()) {
        Refuse(QT_TR_NOOP("--slice 需要用 -o 给出要写入的G-code文件。"));
        return;
    }
    m_strOutputFile = QDir::cleanPath(QDir(startFolder).absoluteFilePath(output));
    if (m_listModelFiles.isEmpty()) {
        Refuse(QT_TR_NOOP("--slice 需要至少一个模型文件。"));
        return;
    }
    m_strMachineName = parser.value(QLatin1String(kMachine));
    m_strMaterialName = parser.value(QLatin1String(kMaterial));
    if (!parser.isSet(QLatin1String(kPreset)))
        return;
    const QString preset = parser.value(QLatin1String(kPreset));
    for (const KzPresetName& p : kPresets) {
        if (preset.compare(QLatin1String(p.pName), Qt::CaseInsensitive) == 0) {
            m_nPreset = p.nMode;
            return;
        }
    }
    Refuse(QT_TR_NOOP("未知的预设“%1”：可用 fast、standard 或 optimal。"), preset);
}

// Translated when asked for: no translation is installed while the line is read.
void KzCommandLine::Refuse(const char* error, const QString& argument)
{
    m_nMode = ModeBadArguments;
    m_pErrorSource = error;
    m_strError = argument;
}

QStringList KzCommandLine::Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void KzCommandLine::AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        tr("为小型FDM 3D打印机准备打印STL、OBJ和3MF模型。") + QLatin1Char('\n')
        + tr("不开窗口切片：%1 --slice -o 输出.gcode [--machine 名称] [--material 名称] [--preset fast|standard|optimal] 模型…")
              .arg(QCoreApplication::applicationName()));
    parser.addOption(QCommandLineOption(Names(kHelpNames), tr("显示本帮助并退出。")));
    parser.addOption(QCommandLineOption(Names(kVersionNames), tr("显示版本并退出。")));
    parser.addOption(QCommandLineOption(QLatin1String(kSlice),
                                        tr("不开窗口（也不需要显示器）切片给出的模型，模型在打印平台上的摆放与窗口按同样顺序打开时相同；"
                                           "进度写到标准错误。退出状态：0 成功，1 切片失败，2 参数、模型文件或名称不可用。")));
    parser.addOption(QCommandLineOption(Names(kOutputNames), tr("与 --slice 一起：要写入的G-code文件。"),
                                        tr("输出.gcode")));
    parser.addOption(QCommandLineOption(QLatin1String(kMachine),
                                        tr("与 --slice 一起：机型，用机型选择或标题中显示的名称，不分大小写。"
                                           "默认为窗口启动时的机型。"),
                                        tr("名称")));
    parser.addOption(QCommandLineOption(QLatin1String(kMaterial),
                                        tr("与 --slice 一起：材料（PLA、ABS、WOOD、TPU），须是该机型能打印的。"
                                           "默认为窗口启动时的材料（--machine 给出的机型不能打印该材料时为PLA）。"),
                                        tr("名称")));
    parser.addOption(QCommandLineOption(QLatin1String(kPreset),
                                        tr("与 --slice 一起：一键切片的预设 fast、standard 或 optimal。默认为 standard。"),
                                        tr("预设")));
    parser.addPositionalArgument(tr("文件"), tr("在打印平台上打开的STL、OBJ或3MF模型文件；相对路径从当前文件夹算起。"),
                                 tr("[文件…]"));
}

KzCommandLine::Mode KzCommandLine::GetMode() const
{
    return m_nMode;
}

QStringList KzCommandLine::GetModelFiles() const
{
    return m_listModelFiles;
}

QString KzCommandLine::GetError() const
{
    if (m_pErrorSource == nullptr)
        return m_strError;
    const QString error = tr(m_pErrorSource);
    return m_strError.isNull() ? error : error.arg(m_strError);
}

QString KzCommandLine::GetOutputFile() const
{
    return m_strOutputFile;
}

QString KzCommandLine::GetMachineName() const
{
    return m_strMachineName;
}

QString KzCommandLine::GetMaterialName() const
{
    return m_strMaterialName;
}

int KzCommandLine::GetPreset() const
{
    return m_nPreset;
}

QString KzCommandLine::GetHelpText()
{
    QCommandLineParser parser;
    AddOptions(parser);
    return parser.helpText();
}

QString KzCommandLine::GetVersionText()
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
           + QLatin1Char('\n');
}
