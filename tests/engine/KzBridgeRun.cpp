#include "KzBridgeRun.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

QString KzBridgeRun::BridgePath()
{
    return QStringLiteral(KZ_OUTPUT_DIR "/Engine/CuraEngine");
}

QByteArray KzBridgeRun::StartCode(int nozzle, int bed)
{
    return QByteArray(";Print time: {print_time}\nM140 S%2\r\nM190 S%2\r\nM104 S%1\r\nM109 S%1\r\nG21\r\nG90\r\nM82\r\n"
                      "M106 S0\r\nG28 X0 Y0\r\nG28 Z0\r\nG92 Z0\r\nG1 Z15.0 F900\r\nG92 E0\r\nG1 F200 E10\r\nG92 E0\r\n"
                      "M117 Printing")
        .replace("%1", QByteArray::number(nozzle))
        .replace("%2", QByteArray::number(bed));
}

QByteArray KzBridgeRun::EndCode()
{
    return "M140 S0\r\nM104 S0\r\nG91\r\nG1 E-1 F300\r\nG28 X0 Y0\r\nM84\r\nG90\r\n";
}

QByteArrayList KzBridgeRun::Settings(const QByteArrayList &overrides)
{
    QByteArrayList settings{"layerThickness=200", "initialLayerThickness=300", "filamentDiameter=1750",
                            "filamentFlow=100", "extrusionWidth=400", "layer0extrusionWidth=400", "insetCount=2",
                            "downSkinCount=4", "upSkinCount=4", "infillOverlap=15", "printSpeed=50",
                            "infillSpeed=50", "inset0Speed=30", "insetXSpeed=40", "skinSpeed=30", "moveSpeed=120",
                            "initialLayerSpeed=20", "fanSpeedMin=100", "fanSpeedMax=100", "supportAngle=-1",
                            "supportLineDistance=2666", "retractionAmount=4500", "retractionSpeed=40",
                            "sparseInfillLineDistance=2000", "skirtDistance=3000", "skirtLineCount=1",
                            "skirtMinLength=150000", "posx=50000", "posy=50000",
                            "startCode=" + StartCode(205, 55), "endCode=" + EndCode()};
    for (const QByteArray &pair : overrides) {
        const QByteArray key = pair.left(pair.indexOf('=') + 1);
        settings.erase(std::remove_if(settings.begin(), settings.end(),
                                      [&](const QByteArray &s) { return s.startsWith(key); }),
                       settings.end());
        settings << pair;
    }
    return settings;
}

QList<QByteArray> KzBridgeRun::Line(const QByteArrayList &settings, const QString &output, const QString &mesh)
{
    QList<QByteArray> args{"-p", "-v"};
    for (const QByteArray &setting : settings)
        args << "-s" << setting;
    return args << "-o" << output.toLocal8Bit() << mesh.toLocal8Bit();
}

bool KzBridgeRun::Run(const QList<QByteArray> &args, const QProcessEnvironment &env, const QString &program)
{
    QProcess process;
    process.setProcessEnvironment(env);
    QStringList list;
    for (const QByteArray &arg : args)
        list << QString::fromLocal8Bit(arg);
    process.start(program, list);
    if (!process.waitForStarted(10000) || !process.waitForFinished(120000))
        return false;
    m_nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    m_strOutput = process.readAllStandardOutput();
    m_strErrors = process.readAllStandardError();
    return true;
}

bool KzBridgeRun::GetConsoleLines(QByteArrayList &lines) const
{
    lines = m_strOutput.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    else if (!lines.isEmpty())
        return false;
    for (QByteArray &line : lines) {
        if (!line.endsWith('\r'))
            return false;
        line.chop(1);
    }
    return true;
}

KzGCodeFacts KzBridgeRun::Analyse(const QByteArray &gcode)
{
    static const QRegularExpression word(QStringLiteral("([XYZE])(-?[0-9.]+)"));
    KzGCodeFacts facts;
    QByteArray type;
    double x = 0, y = 0, e = 0, epochMax = 0;
    int layer = -1000;
    bool inPrint = false, relative = false;
    for (const QByteArray &raw : gcode.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.left(raw.size() - 1) : raw;
        if (line.startsWith(";FLAVOR:"))
            inPrint = true; // the engine's part begins after the start code
        if (line.startsWith(";LAYER:")) {
            layer = line.mid(7).toInt();
            ++(layer >= 0 ? facts.nModelLayers : facts.nRaftLayers);
        } else if (line.startsWith(";TYPE:")) {
            type = line.mid(6);
        } else if (line.startsWith(";TIME_ELAPSED:")) {
            facts.dLastElapsed = line.mid(14).toDouble();
        } else if (line.startsWith(";TIME:") && facts.nHeaderTime < 0) {
            facts.nHeaderTime = line.mid(6).toInt();
        } else if (line.startsWith(";Filament used:") && facts.dHeaderFilament < 0) {
            facts.dHeaderFilament = line.mid(15).trimmed().replace("m", "").toDouble();
        } else if (line.startsWith("G91")) {
            relative = true;
        } else if (line.startsWith("G92") && inPrint && !relative) {
            facts.dExtruded += epochMax;
            epochMax = e = 0;
        }
        const bool move = line.startsWith("G0 ") || line.startsWith("G1 ");
        if (!move)
            continue;
        const QByteArray code = line.left(line.indexOf(';') < 0 ? line.size() : line.indexOf(';'));
        bool hasXY = false;
        double newE = e;
        auto it = word.globalMatch(QString::fromLatin1(code));
        while (it.hasNext()) {
            const auto m = it.next();
            const QString axis = m.captured(1);
            const QString value = m.captured(2);
            if (axis != "E" && !value.contains('.'))
                facts.listWholeCoordinates << QString::fromLatin1(line);
            if (axis == "X") { x = value.toDouble(); hasXY = true; }
            if (axis == "Y") { y = value.toDouble(); hasXY = true; }
            if (axis == "Z" && layer == 0 && facts.dFirstModelZ < 0)
                facts.dFirstModelZ = value.toDouble();
            if (axis == "E") newE = value.toDouble();
        }
        if (!inPrint || relative)
            continue;
        if (hasXY && newE > e && line.startsWith("G1 ")) {
            facts.mapMoves[type] += 1;
            if (type == "WALL-OUTER" && layer >= 0) {
                facts.dMinX = std::min(facts.dMinX, x);
                facts.dMaxX = std::max(facts.dMaxX, x);
                facts.dMinY = std::min(facts.dMinY, y);
                facts.dMaxY = std::max(facts.dMaxY, y);
            }
        }
        e = newE;
        epochMax = std::max(epochMax, e);
    }
    facts.dExtruded += epochMax;
    return facts;
}
