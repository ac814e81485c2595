#ifndef GCODETESTDATA_H
#define GCODETESTDATA_H

// G-code for the layer tests: files written by the slicing engine, the same
// files as the engine bridge hands them on, and scratch files.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

namespace GcodeTestData {

inline QString DataPath(const char* name)
{
    return QStringLiteral(KZ_SOURCE_DIR "/tests/core/geometry/layers/data/") + QLatin1String(name);
}

// The engine's own output (see data/README.md): whole numbers lose their
// decimal point, as in "G1 X114 Y90.33".
inline QByteArray EngineGcode(const char* name)
{
    QFile file(DataPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bridge writes every coordinate with a decimal point: "X114" -> "X114.0".
inline QByteArray WithDecimalPoints(const QByteArray& gcode)
{
    static const QRegularExpression wholeNumber(QStringLiteral("\\b([XYZ]-?\\d+)(?![\\d.])"));
    return QString::fromUtf8(gcode).replace(wholeNumber, QStringLiteral("\\1.0")).toUtf8();
}

inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

} // namespace GcodeTestData

#endif // GCODETESTDATA_H
