#include "KzAllocatorPolicy.h"
#include "KzCommandLine.h"
#include "KzConfigureData.h"
#include "KzDataFolder.h"
#include "KzMachineFileCheck.h"
#include "KzSliceCommand.h"
#include "KzSliceFileCheck.h"
#include "KzUserSettings.h"
#include "KzVellum.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTranslator>

#include <cstdio>
#include <map>

namespace {

// The program's name, which also names its folders for temporary files.
const char kProgramName[] = "kzvellum";
const char kDesktopName[] = "org.kzvellum.kzvellum";
const char kEnglish[] = ":/kzvellum_en.qm";

void Print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The window. Qt sees only the program's name: the files are ours, and one
// named like a Qt option (-style, -reverse) must still open as a file.
int RunWindow(int&, char** argv, const KzCommandLine& line)
{
    if (!HasDisplay()) {
        Print(stderr, QStringLiteral("%1: no display to open the window on (DISPLAY is not set)\n")
                          .arg(QLatin1String(kProgramName)));
        return 1;
    }
    // Process-wide policy, so the program sets it, once, before its window.
    KzAllocatorPolicy::Apply();
    static int qtArgc = 1;
    static char* qtArgv[] = { argv[0], nullptr };
    QApplication app(qtArgc, qtArgv);
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopName));
    KzDataFolder::FindFromProgram(QCoreApplication::applicationFilePath());
    // The machine file is read here, once the data folder is known.
    std::shared_ptr<KzConfigureData> config = KzConfigureData::GetInstance();
    KzUserSettings settings;
    int result = 0;
    {
        // The window goes before the application object.
        KzVellum window(nullptr, &settings);
        window.show();
        qInfo("KzVellum: working folder %s, data folder %s, machine %s, material %d",
              qPrintable(QDir::currentPath()), qPrintable(KzDataFolder::GetPath()),
              qPrintable(config->GetCurrentMachineName()), config->GetCurrentMaterialID());
        window.OpenModels(line.GetModelFiles());
        KzMachineFileCheck::ReportAtStart(&window);
        KzSliceFileCheck::CheckAndReport(&window);
        result = app.exec();
    }
    return result;
}

// The modes without a window speak English, as the window does.
void InstallEnglish(QTranslator& english)
{
    if (english.load(QLatin1String(kEnglish)))
        QCoreApplication::installTranslator(&english);
}

int RunHelp(int& argc, char** argv, const KzCommandLine&)
{
    QCoreApplication app(argc, argv);
    QTranslator english;
    InstallEnglish(english);
    Print(stdout, KzCommandLine::GetHelpText());
    return 0;
}

int RunVersion(int& argc, char** argv, const KzCommandLine&)
{
    QCoreApplication app(argc, argv);
    Print(stdout, KzCommandLine::GetVersionText());
    return 0;
}

int RunBadArguments(int& argc, char** argv, const KzCommandLine& line)
{
    QCoreApplication app(argc, argv);
    QTranslator english;
    InstallEnglish(english);
    Print(stderr, QStringLiteral("%1: %2\n%3\n")
                      .arg(QLatin1String(kProgramName), line.GetError(),
                           KzCommandLine::tr("用 %1 --help 查看用法。").arg(QLatin1String(kProgramName))));
    return KzCommandLine::ms_nBadArguments;
}

// Slicing without a window: a plain application, no display, no OpenGL. The
// libraries' debug lines (no buffers without a context, the engine's
// end) are not for the user of a command; its own lines say what happened.
int RunSlice(int&, char** argv, const KzCommandLine& line)
{
    static int qtArgc = 1;
    static char* qtArgv[] = { argv[0], nullptr };
    QCoreApplication app(qtArgc, qtArgv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    QTranslator english;
    InstallEnglish(english);
    KzDataFolder::FindFromProgram(QCoreApplication::applicationFilePath());
    const KzUserSettings settings;
    return KzSliceCommand(line, &settings).Run();
}

typedef int (*ModeRunner)(int& argc, char** argv, const KzCommandLine& line);

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QLatin1String(kProgramName));
    QCoreApplication::setApplicationVersion(QStringLiteral(KZ_VERSION));
    const std::map<int, ModeRunner> runners = {
        { KzCommandLine::ModeWindow, RunWindow },
        { KzCommandLine::ModeHelp, RunHelp },
        { KzCommandLine::ModeVersion, RunVersion },
        { KzCommandLine::ModeBadArguments, RunBadArguments },
        { KzCommandLine::ModeSlice, RunSlice },
    };
    const KzCommandLine line(KzCommandLine::Arguments(argc, argv), QDir::currentPath());
    return runners.at(line.GetMode())(argc, argv, line);
}
