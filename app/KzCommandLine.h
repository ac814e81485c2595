#ifndef KZCOMMANDLINE_H
#define KZCOMMANDLINE_H

#include <QCoreApplication>
#include <QStringList>

class QCommandLineParser;

// The program's command line:
//   kzvellum [FILE...]          the window, opening each model file
//   kzvellum --slice -o OUT.gcode [--machine NAME] [--material NAME]
//            [--preset fast|standard|optimal] MODEL...
//                               slicing without a window (KzSliceCommand)
//   kzvellum --help | --version
// Read before any application object exists, so that a mode without a window
// never needs a display; main() runs the mode. The option texts are built
// again for the help, once the translation is installed. A new mode adds its
// options in AddOptions(), its value to Mode and its runner to main().
class KzCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(KzCommandLine)

public:
    enum Mode { ModeWindow, ModeHelp, ModeVersion, ModeBadArguments, ModeSlice };

    // Exit status for arguments that cannot be used.
    static constexpr int ms_nBadArguments = 2;

    // arguments[0] is the program; relative file names start from startFolder.
    KzCommandLine(const QStringList& arguments, const QString& startFolder);

    static QStringList Arguments(int argc, char** argv);

    Mode GetMode() const;
    // Absolute paths, in the order given.
    QStringList GetModelFiles() const;
    // What is wrong with the arguments, for ModeBadArguments.
    QString GetError() const;

    // For ModeSlice: the G-code file to write (absolute), the printer and
    // material names as given (empty when not given) and the preset's slice
    // mode (an emSliceMode; standard when not given).
    QString GetOutputFile() const;
    QString GetMachineName() const;
    QString GetMaterialName() const;
    int GetPreset() const;

    // These two need the application object: its name, and the translation.
    static QString GetHelpText();
    static QString GetVersionText();

private:
    static void AddOptions(QCommandLineParser& parser);
    void ReadSliceOptions(const QCommandLineParser& parser, const QString& startFolder);
    void Refuse(const char* error, const QString& argument = QString());

    Mode m_nMode;
    QStringList m_listModelFiles;
    // Qt's own text, or the argument of the source text of ours.
    QString m_strError;
    const char* m_pErrorSource = nullptr;
    QString m_strOutputFile;
    QString m_strMachineName;
    QString m_strMaterialName;
    int m_nPreset;
};

#endif // KZCOMMANDLINE_H
