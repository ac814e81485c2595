#ifndef KZLEGACYCOMMANDLINE_H
#define KZLEGACYCOMMANDLINE_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// One -s "key=value" pair of the legacy line, kept as raw bytes: the start and
// end code must reach the G-code exactly as the caller wrote them.
struct KzLegacySetting
{
    QByteArray key;
    QByteArray value;
};

// The legacy engine command line: -p, -v, -s "key=value" (repeated), -o PATH,
// and the input mesh last. Nothing else is accepted.
class KzLegacyCommandLine
{
public:
    // args excludes the program name. False when the line is malformed; GetError says why.
    bool Parse(const QList<QByteArray> &args);

    QString GetError() const { return m_strError; }
    bool GetProgress() const { return m_bProgress; }
    bool GetVerbose() const { return m_bVerbose; }
    const QVector<KzLegacySetting> &GetSettings() const { return m_vecSettings; }
    QByteArray GetOutputPath() const { return m_strOutput; }
    QByteArray GetInputPath() const { return m_strInput; }

private:
    bool Fail(const QString &error);
    bool AddSetting(const QByteArray &pair);

    bool m_bProgress = false;
    bool m_bVerbose = false;
    QVector<KzLegacySetting> m_vecSettings;
    QByteArray m_strOutput;
    QByteArray m_strInput;
    QString m_strError;
};

#endif
