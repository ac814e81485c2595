// Saves what an X display shows to a PNG, cropped to the drawn area: every
// pixel that differs from the background colour at the screen's top-left
// corner. The screenshot script starts the program on a fresh Xvfb screen
// with a black background, so the crop is the program's window.
//
//   KzGrabScreen <out.png> [timeout seconds] [settle milliseconds]
//
// It waits until something is drawn and its extent has stopped changing,
// then waits the settle time (for the first frames of the 3D view) and grabs.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>
#include <QThread>

namespace {

int Fail(const QString& message)
{
    QTextStream(stderr) << "KzGrabScreen: " << message << "\n";
    return 1;
}

QImage GrabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

// Bounding box of the pixels that differ from the top-left one.
QRect DrawnArea(const QImage& image)
{
    if (image.isNull())
        return QRect();
    const QRgb background = image.pixel(0, 0);
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == background)
                continue;
            left = qMin(left, x);
            right = qMax(right, x);
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || args.size() > 4)
        return Fail("usage: KzGrabScreen <out.png> [timeout seconds] [settle milliseconds]");
    const int timeoutMs = (args.size() > 2 ? args[2].toInt() : 30) * 1000;
    const int settleMs = args.size() > 3 ? args[3].toInt() : 1500;

    QElapsedTimer clock;
    clock.start();
    QRect last;
    int stable = 0;
    while (stable < 3) {
        if (clock.elapsed() > timeoutMs)
            return Fail("nothing appeared on the screen in time");
        QThread::msleep(200);
        const QRect area = DrawnArea(GrabScreen());
        stable = (!area.isEmpty() && area == last) ? stable + 1 : 0;
        last = area;
    }
    QThread::msleep(static_cast<unsigned long>(qMax(0, settleMs)));

    const QImage screen = GrabScreen();
    const QRect area = DrawnArea(screen);
    if (area.isEmpty())
        return Fail("the screen went blank before the grab");
    if (!screen.copy(area).save(args[1], "PNG"))
        return Fail(QString("cannot write %1").arg(args[1]));
    QTextStream(stdout) << "saved " << args[1] << " (" << area.width() << "x" << area.height()
                        << " at " << area.x() << "," << area.y() << ")\n";
    return 0;
}
