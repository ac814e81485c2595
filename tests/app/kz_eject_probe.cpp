// Ejects a card as the window does, in a process of its own, so that a test
// can ask as another user than itself: kz_eject_probe <mount point>
// <device number>. Prints "uid=<uid> result=<result> <detail>".
#include "KzCardEject.h"

#include <QCoreApplication>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    KzCardEject eject;
    QObject::connect(&eject, &KzCardEject::signal_Finished, &app, [&app](int result, const QString& detail) {
        QTextStream(stdout) << "uid=" << ::getuid() << " result=" << result << ' ' << detail << '\n';
        app.quit();
    });
    if (!eject.Start(QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]).toULongLong(), false))
        return 1;
    return app.exec();
}
