#include "KzEngineBridge.h"
#include "KzEngineProcess.h"

#include <unistd.h>

int main(int argc, char *argv[])
{
    // Taken before anything else: the program that started the bridge.
    const pid_t caller = getppid();
    KzEngineProcess::InstallSignalHandlers();
    if (!KzEngineProcess::BindToCaller(caller)) {
        static const char message[] = "Error: the program that started the engine has ended\r\n";
        ssize_t ignored = write(STDERR_FILENO, message, sizeof(message) - 1);
        (void)ignored;
        return 1;
    }
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    KzEngineBridge bridge;
    return bridge.Run(args);
}
