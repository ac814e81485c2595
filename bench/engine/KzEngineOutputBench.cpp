// Runs the slicing job against stand-in engines that flood their output, and
// reports the wall time of each run and how much the process's peak resident
// size grew: kz_engine_output_bench [megabytes...] (default 1 4 16 64).
#include "KzSliceWork.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

qint64 StatusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

bool InstallEngine(const QString &flood)
{
    QFile engine(QStringLiteral("Engine/CuraEngine"));
    if (!QDir().mkpath(QStringLiteral("Engine")) || !engine.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    engine.write("#!/bin/sh\nout=; prev=\nfor a in \"$@\"; do\n"
                 "    if [ \"$prev\" = \"-o\" ]; then out=$a; fi\n    prev=$a\ndone\n");
    engine.write(flood.toUtf8());
    engine.write("\nprintf '\\r\\nPrint time: 60\\r\\n'\n"
                 "printf ';FLAVOR:RepRap\\n;Print time: {print_time}\\n;LAYER:0\\nG1 X1\\n' > \"$out\"\n");
    engine.close();
    return engine.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {1, 4, 16, 64};
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    const QList<QPair<QString, QString>> kinds = {
        {QStringLiteral("one line without a break"), QStringLiteral("head -c %1 /dev/zero | tr '\\0' x")},
        {QStringLiteral("short lines"), QStringLiteral("yes 'noise from the engine' | head -c %1")},
        {QStringLiteral("progress lines"),
         QStringLiteral("awk 'BEGIN { for (n = 0; n < %1; n += 26) printf \"Progress:inset:%d:99\\r\\n\", n % 100000 }'")},
    };
    QTextStream out(stdout);
    out << "| output | MB | result | wall s | peak RSS growth kB | progress signals |\n|---|---|---|---|---|---|\n";
    for (const auto &kind : kinds) {
        for (int megabytes : sizes) {
            if (!InstallEngine(kind.second.arg(qint64(megabytes) << 20)))
                return 1;
            KzSliceWork job;
            int result = -1;
            int steps = 0;
            QObject::connect(&job, &KzSliceWork::signal_SliceOver, [&result](int code) { result = code; });
            QObject::connect(&job, &KzSliceWork::signal_UpdateProgressValue, [&steps](int) { ++steps; });
            job.SetGCodeFilePath(dir.filePath(QStringLiteral("out.gcode")));
            job.SetSTLFilePath(dir.filePath(QStringLiteral("in.stl")));
            job.SetParamString(QStringLiteral(" -s \"layerThickness=100\""));
            const qint64 before = StatusKb("VmRSS:");
            ResetPeak();
            QElapsedTimer clock;
            clock.start();
            job.slot_StartSlice();
            const double seconds = clock.elapsed() / 1000.0;
            out << "| " << kind.first << " | " << megabytes << " | " << result << " | " << QString::number(seconds, 'f', 2)
                << " | " << StatusKb("VmHWM:") - before << " | " << steps << " |\n";
            out.flush();
        }
    }
    return 0;
}
