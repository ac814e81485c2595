#ifndef KZLAYERESTIMATE_H
#define KZLAYERESTIMATE_H

#include <QString>

// The engine reports its layer count only after half of its work. The legacy
// console announces it before any progress, so the bridge works it out first
// from the mesh's height. The engine slices each layer in its middle; the count
// it gives is floor((H - h0) / h + 1/2) + 1 for a mesh H high, a first layer h0
// and later layers h thick (the tests hold this against the engine itself).
class KzLayerEstimate
{
public:
    // Height of an STL file (binary or ASCII) in micrometres: its Z extent,
    // since the engine drops the mesh onto the bed. False when it is not an STL.
    static bool ReadHeight(const QString &path, qint64 &heightUm);

    // Layers of a mesh heightUm high, with the first layer initialUm and the
    // others layerUm thick.
    static int LayerCount(qint64 heightUm, int initialUm, int layerUm);

private:
    static bool ReadBinary(const QByteArray &data, float &minZ, float &maxZ);
    static bool ReadAscii(const QByteArray &data, float &minZ, float &maxZ);
};

#endif
