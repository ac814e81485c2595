#ifndef KZFUZZHARNESS_H
#define KZFUZZHARNESS_H

// Shared by the fuzz targets: writes the input to a file in memory-backed
// /dev/shm, loads it as a model the way the view does, and checks what the
// model must hold afterwards. A broken rule aborts, so libFuzzer keeps it.

#include "KzModel3D.h"

#include <QCoreApplication>
#include <QFile>

#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace KzFuzzHarness {

inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

inline void Init()
{
    static int argc = 1;
    static char name[] = "kz_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = nullptr;
    if (!app) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        app = new QCoreApplication(argc, argv);
    }
}

inline bool Finite(const QVector3D& v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// What a loaded model must hold: maxFacets bounds what its source can
// honestly hold.
inline void Check(const KzModel3D& model, qint64 maxFacets)
{
    Require(model.ReadyToRender());
    // Facets kept and left out together are bounded by the file; the report
    // agrees with the model, and only a model fit for the plate is passed.
    const KzLoadReport& report = model.GetLoadReport();
    Require(model.Count() + report.GetDropped() <= maxFacets);
    Require(report.GetFacets() == model.Count());
    Require(!report.IsShort() || (0 <= report.GetRecords() && report.GetRecords() < report.GetPromised()));
    const QVector3D lo = model.MinBound(), hi = model.MaxBound();
    if (report.IsUsable()) {
        Require(model.Count() > 0);
        for (int axis = 0; axis < 3; ++axis)
            Require(double(hi[axis]) - double(lo[axis]) <= KzLoadReport::ms_dMaxExtent);
    }
    for (int i = 0; i < model.Count(); ++i) {
        const KzTriangle3D t = model.Item(i);
        const float length = t.GetNormal().length();
        Require(length == 0.0f || std::fabs(length - 1.0f) < 1e-3f);
        for (int c = 0; c < 3; ++c) {
            Require(Finite(t[c]));
            for (int axis = 0; axis < 3; ++axis)
                Require(lo[axis] <= t[c][axis] && t[c][axis] <= hi[axis]);
        }
    }
}

// Loads bytes as a file with the given suffix; maxFacets bounds what the file
// can honestly hold.
inline void Load(const QByteArray& bytes, const char* suffix, qint64 maxFacets)
{
    Init();
    static const QString path = QString("/dev/shm/kz_fuzz-%1%2").arg(getpid()).arg(suffix);
    {
        QFile file(path);
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Require(file.write(bytes) == bytes.size());
    }
    KzModel3D model;
    Require(model.LoadSTLFile(path));
    Check(model, maxFacets);
}

} // namespace KzFuzzHarness

#endif // KZFUZZHARNESS_H
