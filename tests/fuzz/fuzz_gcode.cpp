#include "KzFuzzHarness.h"

#include "KLayerModel.h"

#include <QElapsedTimer>
#include <QThread>

// Any bytes as G-code through the layer model on its thread: the load must
// complete with tidy layers, and a second model destroyed mid-load must stop
// its reader and free everything (the leak checker sees the rest).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using KzFuzzHarness::Require;
    KzFuzzHarness::Init();
    static const QString path = QString("/dev/shm/kz_fuzz-%1.gcode").arg(getpid());
    {
        QFile file(path);
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Require(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }
    {
        KLayerModel model;
        model.LoadGcode(path);
        QElapsedTimer timer;
        timer.start();
        while (!model.ReadyToRender()) {
            Require(timer.elapsed() < 20000);   // a load that never ends is a hang
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        // Read as text: carriage returns go before lines are matched.
        const QByteArray bytes = QByteArray(reinterpret_cast<const char*>(data), int(size)).replace('\r', QByteArray());
        Require(model.GetLayerSize() <= bytes.count(";LAYER:"));
        for (const SingleLayer& layer : model.GetLayers()) {
            for (int i = 0; i < layer.size(); ++i)   // tidied: one point only on the last path
                Require(layer[i].points.size() >= (i + 1 < layer.size() ? 2 : 1));
        }
    }
    // Destroyed at a moment the input chooses.
    KLayerModel* pModel = new KLayerModel;
    pModel->LoadGcode(path);
    for (size_t n = size > 0 ? data[0] % 4 : 0; n > 0; --n)
        QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    delete pModel;
    Require(timer.elapsed() < 1000);
    return 0;
}
