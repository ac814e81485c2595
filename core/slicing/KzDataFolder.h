#ifndef KZDATAFOLDER_H
#define KZDATAFOLDER_H

#include "KzFunctionGlobal.h"

#include <QString>

// Where the program's read-only data lies: "Configure/" (machines, presets),
// "Help/" and the engine bridge with its settings base. It is found from the
// program file's place, never from the working folder:
//   - beside the program, as the build tree lays it out: Configure/, Help/ and
//     Engine/CuraEngine in the program's own folder;
//   - installed as <prefix>/bin/kzvellum: the data under <prefix>/share/kzvellum
//     and the bridge as <prefix>/libexec/kzvellum/CuraEngine.
// Until a folder is given or found, the first question looks from the running
// program file. Safe to ask from any thread.
class KZFUNCTION_EXPORT KzDataFolder
{
public:
    // Looks for either layout around programFile; false when neither is there
    // (the program's own folder is then used, and its files are missing).
    static bool FindFromProgram(const QString &programFile);
    // A folder laid out like the build tree's (Configure/, Help/, Engine/).
    // Test programs that build a view or a slicing job without the program
    // call this before they first ask for the configuration store.
    static void Use(const QString &folder);

    static QString GetPath();
    static QString GetConfigureFile(const QString &name);
    static QString GetHelpFile(const QString &name);
    static QString GetEngineProgram();

    // The folders of an installed program, relative to <prefix>.
    static const char *const ms_szInstalledData;
    static const char *const ms_szInstalledEngine;
};

#endif // KZDATAFOLDER_H
