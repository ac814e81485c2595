#ifndef KZFATALERROR_H
#define KZFATALERROR_H

#include <QString>

// The one error the program cannot go on from: the message always goes to
// standard error, is shown in a modal error box when a display can be used, and
// the process then ends with a non-zero status. Safe to call while no
// application object exists.
class KzFatalError
{
public:
    [[noreturn]] static void Raise(const QString &title, const QString &text);

private:
    static void ShowBox(const QString &title, const QString &text);
};

#endif // KZFATALERROR_H
