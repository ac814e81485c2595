#ifndef KZBENCHSUPPORT_H
#define KZBENCHSUPPORT_H

#include <QString>
#include <QVector3D>

#include <vector>

// What several benchmarks measure and make alike: the process's memory and
// time, and the test meshes they open.
namespace KzBench {

long RssKb();          // resident now, from /proc/self/status
double CpuSeconds();   // user and system time of the process so far

// Corners of a UV sphere of radius 40 standing on z = 0, wound outward, three
// to a facet, with about the given number of facets.
std::vector<QVector3D> SphereCorners(int facets);
// A binary STL of the corners, three to a facet, each facet with its normal.
bool WriteStl(const QString& path, const std::vector<QVector3D>& corners);

} // namespace KzBench

#endif // KZBENCHSUPPORT_H
