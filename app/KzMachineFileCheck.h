#ifndef KZMACHINEFILECHECK_H
#define KZMACHINEFILECHECK_H

#include <QCoreApplication>
#include <QStringList>

class QWidget;

// Tells the user at start-up what was wrong with the machine file: the file
// as a whole (missing, not XML, cut short) or the printers and materials left
// out of it. The program goes on with the built-in ones in their place.
class KzMachineFileCheck
{
    Q_DECLARE_TR_FUNCTIONS(KzMachineFileCheck)

public:
    // Logs each problem and shows them in one warning box over parent; shows
    // nothing when the file was fine. True when there was nothing to report.
    static bool ReportAtStart(QWidget* parent);

    static QString Title();
    // The box's text for these problems; a long list is cut short.
    static QString Text(const QStringList& listErrors);

    // How many problems the box lists at most.
    static const int ms_nShownErrors = 8;
};

#endif // KZMACHINEFILECHECK_H
