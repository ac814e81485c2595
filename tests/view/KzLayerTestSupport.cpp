#include "KzLayerTestSupport.h"

#include <QFile>

#include <cmath>

namespace KzLayerTest {

static int Channel(const QColor& c, int channel)
{
    return channel == 0 ? c.red() : (channel == 1 ? c.green() : c.blue());
}

QByteArray Gcode(const QVector<Layer>& layers)
{
    QByteArray out = ";FLAVOR:RepRap\nG21\nG90\nM82\nG28\n";
    for (int i = 0; i < layers.size(); ++i) {
        const double z = 0.3 + 0.2 * i;
        out += ";LAYER:" + QByteArray::number(i) + "\n";
        bool first = true;
        for (const Path& path : layers[i]) {
            out += ";TYPE:" + path.strType.toLatin1() + "\n";
            for (int k = 0; k < path.vecPoints.size(); ++k) {
                const QPointF& p = path.vecPoints[k];
                QByteArray line = QByteArray(k == 0 ? "G0 F3600" : "G1 F1200")
                                  + " X" + QByteArray::number(p.x(), 'f', 3)
                                  + " Y" + QByteArray::number(p.y(), 'f', 3);
                if (k == 0 && first)
                    line += " Z" + QByteArray::number(z, 'f', 3);
                if (k > 0)
                    line += " E" + QByteArray::number(k * 0.1, 'f', 5);
                out += line + "\n";
                first = false;
            }
        }
    }
    out += ";End of Gcode\nM104 S0\n";
    return out;
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

static QPoint Across(const QPoint& p, int d, bool vertical)
{
    return vertical ? QPoint(p.x() + d, p.y()) : QPoint(p.x(), p.y() + d);
}

double LineWidth(const QImage& img, const QPoint& p, int channel, bool vertical, int ground)
{
    const double g = 0.5 * (Channel(img.pixelColor(Across(p, -ground, vertical)), channel)
                            + Channel(img.pixelColor(Across(p, ground, vertical)), channel));
    if (g < 20)
        return -1;   // no ground to measure against
    double width = 0;
    for (int d = -ground + 2; d <= ground - 2; ++d) {
        const double v = Channel(img.pixelColor(Across(p, d, vertical)), channel);
        width += qBound(0.0, (g - v) / g, 1.0);
    }
    return width;
}

QColor BestMatch(const QImage& img, const QPoint& p, const QColor& c, bool vertical, int reach)
{
    QColor best;
    int bestDist = 1 << 30;
    for (int d = -reach; d <= reach; ++d) {
        const QColor q = img.pixelColor(Across(p, d, vertical));
        const int dist = std::abs(q.red() - c.red()) + std::abs(q.green() - c.green())
                         + std::abs(q.blue() - c.blue());
        if (dist < bestDist) {
            bestDist = dist;
            best = q;
        }
    }
    return best;
}

} // namespace KzLayerTest
