#ifndef KZ3MFPLATE_H
#define KZ3MFPLATE_H

#include "KzFunctionGlobal.h"

#include "Kz3mfPackage.h"

#include <QHash>
#include <QMatrix4x4>
#include <QString>
#include <QVector>
#include <QVector3D>

#include <functional>

class KzLoadReport;
class KzModel3D;
class KzPlate;
class KzPlateInstance;

// The plate and 3MF packages. Opening makes every build item of a package an
// instance of its mesh; saving writes every instance as a build item of one
// mesh object per loaded mesh.
//
// Where the items go: a 3MF file carries no bed size, so its coordinates are
// taken in the frame of the machine selected, with the origin at the front-
// left corner of its print area (the plate's bound minimum: the frame of 3MF's
// build platform and of the machine's G-code): an item keeps its offset from
// the plate's centre as the file gives it for this machine. A package this
// program wrote carries where each item stood relative to the plate's centre,
// exactly, and opens there on any machine. When every item then fits the
// print volume and none overlaps an instance already on the plate, the
// arrangement is kept, each item set down on the plate; otherwise each item,
// turned and scaled as the file has it, is to be placed like a newly opened
// model.
//
// A package's meshes are loaded once per path, like a model file: opened
// again, its build list is taken from the first time and the meshes are
// shared; only a package some of whose meshes have since left the plate is
// read again. Needs no OpenGL; meshes are drawable when a context is current.
class KZFUNCTION_EXPORT Kz3mfPlate
{
public:
    // Makes one instance of a mesh where m puts it (the view makes painters).
    using MakeInstance = std::function<KzPlateInstance*(KzModel3D*, const QMatrix4x4&)>;

    // The package's instances in build order, made by make but not yet on the
    // plate, whose new meshes are adopted; kept tells whether they stand where
    // the file puts them (to be inserted as they are) or are to be placed as
    // new instances. Empty when the package is refused, and then nothing on
    // the plate has changed and nothing made is left.
    QVector<KzPlateInstance*> Open(KzPlate& plate, const QString& path, const MakeInstance& make, bool& kept,
                                   KzLoadReport& report);
    // centre gets the middle of the instances' common box.
    bool Save(const KzPlate& plate, const QString& path, QVector3D& centre) const;

private:
    bool LoadModels(KzPlate& plate, const QString& path, Kz3mfPackage& package, QVector<KzModel3D*>& models,
                    QVector<KzModel3D*>& fresh, KzLoadReport& report);
    static QVector<QMatrix4x4> PlatePlaces(const KzPlate& plate, const Kz3mfPackage& package);
    static bool FitsAsPlaced(const KzPlate& plate, const QVector<KzPlateInstance*>& instances);

    QHash<QString, Kz3mfPackage> m_hashLayouts;   // by path: the build lists of packages opened
};

#endif // KZ3MFPLATE_H
