#include "KzVellum.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int result = 0;
    {
        // The window goes before the application object.
        KzVellum window(nullptr);
        window.show();
        result = app.exec();
    }
    return result;
}
