#ifndef KZENGINEBRIDGE_H
#define KZENGINEBRIDGE_H

#include "KzLegacyCommandLine.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class KzEngineConsole;
class KzEngineSettingMap;

// One run of the bridge: reads the legacy line, runs the engine with the
// settings base (see FindBase) and the translated settings, turns the
// engine's log into legacy console lines and writes the G-code to -o.
//
// Exit status: 0 done; 1 the slicing failed (no engine, engine error or crash,
// no layers, files); 2 the line or one of its values is unusable. On every
// failure one line starting "Error:" goes to standard error and no file is
// left at -o, not even an older one: the slicing job would otherwise take a
// previous run's G-code for this run's.
class KzEngineBridge
{
public:
    static const char *const BaseFileName;
    static const char *const EngineName;

    KzEngineBridge();
    ~KzEngineBridge();

    int Run(const QList<QByteArray> &args);

    // The first executable CuraEngine on the search path that is not this
    // bridge itself (the bridge carries the same name). Empty if none.
    static QByteArray FindEngine(const QByteArray &searchPath, const QString &self);

    // The settings base: beside the bridge (the build tree), or in the data
    // folder of an installed program. The path beside it when neither exists.
    static QString FindBase(const QString &self);

    // The path of the running program, resolved.
    static QString SelfPath();

private:
    int Fail(int status, const QString &message);
    void Print(const QByteArray &line);
    void PrintError(const QByteArray &line);
    bool MakeTemporary(const QByteArray &tag, QByteArray &path, int &fd);
    bool MakeEngineOutput();
    void RemoveTemporaries();
    QList<QByteArray> EngineArguments() const;
    int Prepare(const QList<QByteArray> &args);
    int RunEngine();
    int WriteResult();

    KzLegacyCommandLine m_line;
    std::unique_ptr<KzEngineSettingMap> m_pMap;
    std::unique_ptr<KzEngineConsole> m_pConsole;
    QString m_strBasePath;
    QByteArray m_strEngine;
    bool m_bVerbose = false;
    QByteArray m_strOutput;
    int m_nEngineFd = -1;
    QByteArray m_strPartOutput;
};

#endif
