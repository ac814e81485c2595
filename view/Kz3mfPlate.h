#ifndef KZ3MFPLATE_H
#define KZ3MFPLATE_H

#include "KzGLViewGlobal.h"

#include "Kz3mfPackage.h"

#include <QHash>
#include <QMatrix4x4>
#include <QString>
#include <QVector>
#include <QVector3D>

class Kz3DScene;
class KzLoadReport;
class KzModel3D;
class KzModelPainter;

// The plate and 3MF packages. Opening puts every build item of a package on
// the plate as an instance of its mesh; saving writes every instance as a
// build item of one mesh object per loaded mesh.
//
// Where the items go: a 3MF file carries no bed size, so its coordinates are
// taken in the frame of the machine selected, with the origin at the front-
// left corner of its print area (the frame of 3MF's build platform and of the
// machine's G-code): an item keeps its offset from the plate's centre as the
// file gives it for this machine. A package this program wrote carries where
// each item stood relative to the plate's centre, exactly, and opens there on
// any machine. When every item then fits the print volume and none overlaps
// an instance already on the plate, the arrangement is kept, each item set
// down on the plate; otherwise each item, turned and scaled as the file has
// it, is placed like a newly opened model.
//
// A package's meshes are loaded once per path, like a model file: opened
// again, its build list is taken from the first time and the meshes are
// shared; only a package some of whose meshes have since left the plate is
// read again.
class KZGLVIEW_EXPORT Kz3mfPlate
{
public:
    // The pick code of the first new instance; 0 when the package is refused,
    // and then nothing on the plate changes. The view's context must be current.
    int Open(Kz3DScene& scene, const QString& path, KzLoadReport& report);
    // centre gets the middle of the instances' common box.
    bool Save(const Kz3DScene& scene, const QString& path, QVector3D& centre) const;

private:
    bool LoadModels(Kz3DScene& scene, const QString& path, Kz3mfPackage& package, QVector<KzModel3D*>& models,
                    QVector<KzModel3D*>& fresh, KzLoadReport& report);
    static QVector<QMatrix4x4> PlatePlaces(const Kz3DScene& scene, const Kz3mfPackage& package);
    static bool FitsAsPlaced(const Kz3DScene& scene, const QVector<KzModelPainter*>& painters);

    QHash<QString, Kz3mfPackage> m_hashLayouts;   // by path: the build lists of packages opened
};

#endif // KZ3MFPLATE_H
