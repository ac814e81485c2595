#ifndef KZLAYERTESTSUPPORT_H
#define KZLAYERTESTSUPPORT_H

// G-code written the way the engine writes it, for the layer preview's tests,
// and measures of the lines found in a grabbed frame.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QVector>

namespace KzLayerTest {

struct Path
{
    QString strType;          // the ";TYPE:" name
    QVector<QPointF> vecPoints;
};
typedef QVector<Path> Layer;

// ";LAYER:n" per layer, ";TYPE:" per path, a travel (G0, with the layer's Z) to
// the path's first point and extrusions (G1) through the rest. Layer i lies at
// z = 0.3 + 0.2 i.
QByteArray Gcode(const QVector<Layer>& layers);
bool WriteFile(const QString& path, const QByteArray& data);

// How many pixels wide a horizontal (or, with vertical, a vertical) line of
// colour `line` is around p: the coverage of each pixel across the line, read
// in the channel where the line is 0, against the ground `ground` pixels away.
double LineWidth(const QImage& img, const QPoint& p, int channel, bool vertical = false, int ground = 7);
// The pixel within `reach` across the line around p that is most like colour c.
QColor BestMatch(const QImage& img, const QPoint& p, const QColor& c, bool vertical = false, int reach = 3);

} // namespace KzLayerTest

#endif // KZLAYERTESTSUPPORT_H
