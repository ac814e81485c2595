#ifndef KZSLICECOMMAND_H
#define KZSLICECOMMAND_H

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class KzCommandLine;
class KzPlate;
class KzUserSettings;

// kzvellum --slice: slices model files without a window and without a display.
// It does what a user of the window does, with the window's own parts: the
// printer and material chosen (by name, or those the window would start on),
// the models opened in order onto the plate (KzPlate places them as the view
// does), a one-key preset's profile for that printer and material, the
// slicing job on the engine bridge, and the G-code saved as "Save data" saves
// it (KzFileCopy). Progress and every problem go to standard error.
//
// The run has temporary files of its own, so runs beside each other, or
// beside the window, do not take each other's. SIGINT and SIGTERM during the
// slicing stop the engine before the program ends.
class KzSliceCommand
{
    Q_DECLARE_TR_FUNCTIONS(KzSliceCommand)

public:
    // Exit statuses; a run stopped by a signal ends with 128 + its number.
    enum Status { StatusSliced = 0, StatusFailed = 1, StatusBadArguments = 2 };

    // settings: what the window remembered (the printer and material it
    // starts on); read, never written.
    KzSliceCommand(const KzCommandLine& line, const KzUserSettings* settings);

    int Run();

private:
    int ChoosePrinter();
    int CheckOutput() const;
    int OpenModels(KzPlate& plate) const;
    int Slice(const QString& folder);
    int Save(const QString& gcode) const;

    static void Say(const QString& text);
    static int Refuse(int status, const QString& text);

    const KzCommandLine& m_line;
    const KzUserSettings* m_pSettings;
    QString m_strPrintInfo;
    QString m_strFailReason;
};

#endif // KZSLICECOMMAND_H
