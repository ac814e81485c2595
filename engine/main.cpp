#include "KzEngineBridge.h"

int main(int argc, char *argv[])
{
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    KzEngineBridge bridge;
    return bridge.Run(args);
}
