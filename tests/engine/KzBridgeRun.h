#ifndef KZBRIDGERUN_H
#define KZBRIDGERUN_H

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What a G-code file says about itself, read the way a printer would.
struct KzGCodeFacts
{
    int nModelLayers = 0;             // ";LAYER:n" with n >= 0
    int nRaftLayers = 0;              // ";LAYER:n" with n < 0
    QMap<QByteArray, int> mapMoves;   // extrusion moves per ";TYPE:"
    double dMinX = 1e9, dMaxX = -1e9, dMinY = 1e9, dMaxY = -1e9; // of the outer walls
    double dFirstModelZ = -1.0;       // Z of the first move of layer 0
    double dExtruded = 0.0;           // mm of filament, from the E values
    double dLastElapsed = -1.0;       // the last ";TIME_ELAPSED:"
    int nHeaderTime = -1;             // ";TIME:"
    double dHeaderFilament = -1.0;    // ";Filament used:", metres
    QStringList listWholeCoordinates; // G0/G1 lines with an X, Y or Z lacking a decimal point
};

// Runs the bridge program as the slicing job does, and reads what it wrote.
class KzBridgeRun
{
public:
    static QString BridgePath();
    static QByteArray StartCode(int nozzle, int bed);
    static QByteArray EndCode();

    // A typical legacy line's settings (0.2 mm layers, skirt, no support,
    // centre at 50, 50) with the given pairs replacing or adding keys.
    static QByteArrayList Settings(const QByteArrayList &overrides = {});

    // -p -v, every setting as -s, -o output, the mesh last.
    static QList<QByteArray> Line(const QByteArrayList &settings, const QString &output, const QString &mesh);

    bool Run(const QList<QByteArray> &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
             const QString &program = BridgePath());

    int GetExitCode() const { return m_nExitCode; }
    QByteArray GetOutput() const { return m_strOutput; }
    QByteArray GetErrors() const { return m_strErrors; }
    // Standard output split at CR LF; false when a line was not ended so.
    bool GetConsoleLines(QByteArrayList &lines) const;

    static KzGCodeFacts Analyse(const QByteArray &gcode);

private:
    int m_nExitCode = -1;
    QByteArray m_strOutput;
    QByteArray m_strErrors;
};

#endif
