#ifndef KZ3MFTESTFILES_H
#define KZ3MFTESTFILES_H

// 3MF packages for the tests, written three ways the program did not write
// them: through lib3mf's own API, by OpenSCAD, and byte by byte (zips whose
// directory says what the test wants, for the broken ones).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QVector3D>

namespace Kz3mfTest {

// One part of a zip written by hand: deflated unless stored; stated is the
// unpacked size the zip claims (-1: the true one).
struct Part
{
    Part() = default;
    Part(const QByteArray& n, const QByteArray& d, qint64 s = -1, const QByteArray& p = QByteArray())
        : name(n), data(d), stated(s), packed(p)
    {
    }

    QByteArray name;
    QByteArray data;
    bool deflate = true;
    qint64 stated = -1;
    QByteArray packed;   // deflated already (data is then ignored)
};

QByteArray Zip(const QVector<Part>& parts);
// A package around a model part, as 3MF lays it out; its parts deflated or stored.
QByteArray Package(const QByteArray& model, bool deflate = true);
// A model part: body between <model> and </model>.
QByteArray Model(const QByteArray& body, const char* unit = "millimeter");
// A mesh object: a box from min to max, wound outward.
QByteArray BoxObject(int id, const QVector3D& min, const QVector3D& max);
// A model part that unpacks to about megabytes MiB of vertices, deflated to a
// few kB per MiB.
QByteArray PackedVertices(int megabytes);

bool WriteFile(const QString& path, const QByteArray& bytes);

// Through lib3mf, in inches: a box mesh of 0.5 x 1 x 1.5 (object 1); a part
// made of two of them, one moved by (1.5, 0, 0), one turned by 90 degrees
// about z and moved by (0, 2.5, 0) (object 2, from (-1, 0, 0) to (2, 3, 1.5)).
// Build: object 2 moved by (1.2, 0.2, 0) and by (4.5, 0.2, 0), object 1 by
// (1, 4, 0). False when lib3mf fails.
bool WriteComponentsInInches(const QString& path);
// Through lib3mf: object 2 made of 1000 copies of object 1 (a 1000-facet
// mesh), object 3 of 100 copies of object 2: 100 million facets in a small file.
bool WriteComponentBomb(const QString& path);

// lib3mf's warnings on the package at path read in its strict mode; -1 when
// it refuses it.
int StrictWarnings(const QString& path);

// Runs OpenSCAD: scad source to an output file (its suffix picks the format).
// Empty on success, else what went wrong.
QString RunOpenScad(const QString& folder, const QByteArray& scad, const QString& output);

} // namespace Kz3mfTest

#endif // KZ3MFTESTFILES_H
