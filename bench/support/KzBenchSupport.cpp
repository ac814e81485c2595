#include "KzBenchSupport.h"

#include <QByteArray>
#include <QDataStream>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

namespace KzBench {

long RssKb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    }
    if (f)
        std::fclose(f);
    return kb;
}

double CpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::vector<QVector3D> SphereCorners(int facets)
{
    const float r = 40.0f;
    const int rows = std::max(2, int(std::sqrt(facets / 4.0)));
    const int cols = std::max(3, facets / (2 * rows));
    const double pi = 3.14159265358979323846;
    auto at = [&](int i, int j) {
        const double th = pi * i / rows, ph = 2 * pi * j / cols;
        return QVector3D(float(r * std::sin(th) * std::cos(ph)), float(r * std::sin(th) * std::sin(ph)),
                         float(r + r * std::cos(th)));
    };
    std::vector<QVector3D> corners;
    corners.reserve(size_t(rows) * cols * 6);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            const QVector3D a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            corners.insert(corners.end(), {a, b, c, a, c, d});
        }
    }
    return corners;
}

bool WriteStl(const QString& path, const std::vector<QVector3D>& corners)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData(QByteArray(80, ' ').constData(), 80);
    out << quint32(corners.size() / 3);
    for (size_t i = 0; i + 2 < corners.size(); i += 3) {
        const QVector3D n = QVector3D::normal(corners[i], corners[i + 1], corners[i + 2]);
        out << n.x() << n.y() << n.z();
        for (size_t k = i; k < i + 3; ++k)
            out << corners[k].x() << corners[k].y() << corners[k].z();
        out << quint16(0);
    }
    return file.error() == QFile::NoError;
}

} // namespace KzBench
