#include "KzFatalError.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Qt gives up with a fatal message when it cannot reach the display; the error
// has already been written, so end quietly instead of aborting with a core dump.
void EndOnQtFatal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

void KzFatalError::Raise(const QString &title, const QString &text)
{
    const QByteArray line = (title + QStringLiteral(": ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    ShowBox(title, text);
    // At once: no static destructors, the library may still be half loaded.
    std::_Exit(EXIT_FAILURE);
}

void KzFatalError::ShowBox(const QString &title, const QString &text)
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        // Only one application object may exist; a box needs it to be a widget one.
        if (qobject_cast<QApplication *>(app) && QThread::currentThread() == app->thread())
            QMessageBox::critical(nullptr, title, text);
        return;
    }
    if (!HasDisplay())
        return;

    // A program that asked the store before making an application object.
    g_previousHandler = qInstallMessageHandler(EndOnQtFatal);
    static int argc = 1;
    static char name[] = "KzVellum";
    static char *argv[] = {name, nullptr};
    QApplication temporary(argc, argv);
    const QString platform = QGuiApplication::platformName();
    // A box on a platform nobody can see would never be closed.
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox::critical(nullptr, title, text);
}
