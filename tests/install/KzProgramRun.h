#ifndef KZPROGRAMRUN_H
#define KZPROGRAMRUN_H

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of a program to its end, for the tests that start the real program
// or the system's tools: its status (-1 when it did not end normally in time)
// and output.
class KzProgramRun
{
public:
    bool Run(const QString& program, const QStringList& arguments, const QString& folder = QString(),
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
             int timeoutMs = 120000);

    // Starts the program and ends it once its standard error holds marker (or
    // it ended, or the time is up); the status is then -1.
    void RunUntilLogged(const QString& program, const QStringList& arguments, const QString& folder,
                        const QProcessEnvironment& environment, const QString& marker, int timeoutMs = 90000);

    int GetStatus() const { return m_nStatus; }
    QString GetOutput() const { return m_strOutput; }
    QString GetErrors() const { return m_strErrors; }
    // Program, arguments, status and both outputs, for a failure message.
    QString Describe() const;

    // The environment without a display.
    static QProcessEnvironment WithoutDisplay();

private:
    QString m_strCommand;
    int m_nStatus = -1;
    QString m_strOutput;
    QString m_strErrors;
};

#endif // KZPROGRAMRUN_H
