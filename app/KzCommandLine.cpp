#include "KzCommandLine.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

const char* const kHelpNames[] = { "h", "help" };
const char* const kVersionNames[] = { "v", "version" };

QStringList Names(const char* const (&names)[2])
{
    return { QLatin1String(names[0]), QLatin1String(names[1]) };
}

} // namespace

KzCommandLine::KzCommandLine(const QStringList& arguments, const QString& startFolder)
    : m_nMode(ModeWindow)
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
        tr("为小型FDM 3D打印机准备打印STL和OBJ模型。"));
    parser.addOption(QCommandLineOption(Names(kHelpNames), tr("显示本帮助并退出。")));
    parser.addOption(QCommandLineOption(Names(kVersionNames), tr("显示版本并退出。")));
    parser.addPositionalArgument(tr("文件"), tr("在打印平台上打开的STL或OBJ模型文件；相对路径从当前文件夹算起。"),
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
    return m_strError;
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
