#include "KzLayerEstimate.h"

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

bool KzLayerEstimate::ReadBinary(const QByteArray &data, float &minZ, float &maxZ)
{
    if (data.size() < 84)
        return false;
    quint32 count = 0;
    memcpy(&count, data.constData() + 80, 4);
    if (qint64(data.size()) != 84 + 50 * qint64(count) || count == 0)
        return false;
    const char *facet = data.constData() + 84;
    for (quint32 i = 0; i < count; ++i, facet += 50) {
        for (int corner = 0; corner < 3; ++corner) {
            float z;
            memcpy(&z, facet + 12 + corner * 12 + 8, 4);
            minZ = std::min(minZ, z);
            maxZ = std::max(maxZ, z);
        }
    }
    return true;
}

bool KzLayerEstimate::ReadAscii(const QByteArray &data, float &minZ, float &maxZ)
{
    bool any = false;
    int from = 0;
    while ((from = data.indexOf("vertex", from)) >= 0) {
        from += 6;
        const int lineEnd = data.indexOf('\n', from);
        const QList<QByteArray> words = data.mid(from, (lineEnd < 0 ? data.size() : lineEnd) - from).simplified().split(' ');
        bool ok = false;
        const float z = words.size() >= 3 ? words.at(2).toFloat(&ok) : 0.0f;
        if (!ok)
            return false;
        minZ = std::min(minZ, z);
        maxZ = std::max(maxZ, z);
        any = true;
    }
    return any;
}

bool KzLayerEstimate::ReadHeight(const QString &path, qint64 &heightUm)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    float minZ = std::numeric_limits<float>::max();
    float maxZ = std::numeric_limits<float>::lowest();
    if (!ReadBinary(data, minZ, maxZ) && !(data.trimmed().startsWith("solid") && ReadAscii(data, minZ, maxZ)))
        return false;
    if (!std::isfinite(minZ) || !std::isfinite(maxZ))
        return false;
    // The engine holds coordinates as whole micrometres.
    heightUm = std::llround(double(maxZ) * 1000.0) - std::llround(double(minZ) * 1000.0);
    return true;
}

int KzLayerEstimate::LayerCount(qint64 heightUm, int initialUm, int layerUm)
{
    if (heightUm <= 0 || initialUm <= 0 || layerUm <= 0)
        return 0;
    // Layers whose middle lies below the top: floor((H - h0) / h + 1/2) + 1,
    // in whole micrometres so that exact halves round as the engine does.
    const qint64 numerator = 2 * (heightUm - initialUm) + layerUm;
    const qint64 denominator = 2 * qint64(layerUm);
    qint64 below = numerator / denominator;
    if (numerator % denominator != 0 && numerator < 0)
        --below; // floor, not truncation
    const qint64 count = below + 1;
    return count < 0 ? 0 : int(std::min<qint64>(count, std::numeric_limits<int>::max()));
}
