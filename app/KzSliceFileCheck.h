#ifndef KZSLICEFILECHECK_H
#define KZSLICEFILECHECK_H

#include <QCoreApplication>

class QWidget;

// Tells the user when the preset file that every slicing run reads is
// missing, unreadable or broken: slicing would then quietly use the built-in
// values instead of the settings chosen. Used at start-up; the slice panel can
// ask again before a run.
class KzSliceFileCheck
{
    Q_DECLARE_TR_FUNCTIONS(KzSliceFileCheck)

public:
    // True when the file can be used; otherwise logs the problem, shows an
    // information box over parent and returns false once the user closed it.
    static bool CheckAndReport(QWidget* parent);

    // The box's title and text for a problem (the file's path and what is wrong).
    static QString Title();
    static QString Text(const QString& strError);
};

#endif // KZSLICEFILECHECK_H
