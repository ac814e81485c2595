#ifndef GCODETESTDATA_H
#define GCODETESTDATA_H

// G-code for the layer tests: files written by the slicing engine and by the
// engine bridge (see data/README.md), and scratch files.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

namespace GcodeTestData {

inline QString DataPath(const char* name)
{
    return QStringLiteral(KZ_SOURCE_DIR "/tests/core/geometry/layers/data/") + QLatin1String(name);
}

inline QByteArray ReadGcode(const char* name)
{
    QFile file(DataPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The engine writes whole numbers without a decimal point ("G1 X114 Y90.33");
// the bridge gives every coordinate one, as this does: "X114" -> "X114.0".
inline QByteArray WithDecimalPoints(const QByteArray& gcode)
{
    static const QRegularExpression wholeNumber(QStringLiteral("\\b([XYZ]-?\\d+)(?![\\d.])"));
    return QString::fromUtf8(gcode).replace(wholeNumber, QStringLiteral("\\1.0")).toUtf8();
}

// Rows of a data-driven test, column "gcode": the real files as written, and
// the engine's files once more with decimal points.
inline void AddRealGcodeRows()
{
    QTest::addColumn<QByteArray>("gcode");
    for (const char* name : {"engine-raft-support.gcode", "engine-skirt.gcode"}) {
        const QByteArray gcode = ReadGcode(name);
        QTest::newRow(name) << gcode;
        QTest::newRow(qPrintable(QStringLiteral("%1 with decimal points").arg(QLatin1String(name)))) << WithDecimalPoints(gcode);
    }
    for (const char* name : {"bridge-raft-support.gcode", "bridge-skirt.gcode"})
        QTest::newRow(name) << ReadGcode(name);
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
