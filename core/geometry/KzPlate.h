#ifndef KZPLATE_H
#define KZPLATE_H

#include "Kz3mfPlate.h"
#include "KzFunctionGlobal.h"

#include <QMap>
#include <QString>
#include <QVector2D>
#include <QVector3D>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class KzLoadReport;
class KzModel3D;
class KzPlateInstance;

// The build plate: the loaded meshes, the placed instances in the order they
// were added (by key), and the print bound. It places a new instance beside the
// others and keeps the group on the plate, pushes instances apart, tells which
// stand inside the bound and writes every instance into one STL file. The view
// draws what it holds; a run without a window (kzvellum --slice) places models
// with it exactly as the view does. Needs no OpenGL.
//
// The plate owns the meshes it loads or adopts and the instances made by
// AddModelFile. Instances handed to Insert or Add stay their caller's (the
// view's painters), who removes them before deleting them.
class KZFUNCTION_EXPORT KzPlate
{
public:
    KzPlate();
    ~KzPlate();

    KzPlate(const KzPlate&) = delete;
    KzPlate& operator=(const KzPlate&) = delete;

    // Strictly inside max and min in x and y; height is tested only where said.
    void SetBound(const QVector3D& max, const QVector3D& min);
    QVector3D GetBoundMax() const { return m_vBoundMax; }
    QVector3D GetBoundMin() const { return m_vBoundMin; }

    // Model files, loaded once per exact path (later instances share the mesh):
    // nullptr when the file is refused, and report gets what the load came to.
    // A mesh is not drawable without an OpenGL context current while it loads.
    KzModel3D* LoadModel(const QString& path, KzLoadReport& report);
    void AdoptModel(KzModel3D* model);
    // Deletes model once no instance refers to it any more; it need not be
    // among the plate's models then.
    void ReleaseModel(KzModel3D* model);
    // Takes model off the plate's list without deleting it: an instance kept
    // off the plate (to be put back by an undo) still holds it.
    void ForgetModel(KzModel3D* model);
    const QMap<int, KzModel3D*>& GetModels() const { return m_mapModels; }

    // An instance of the model at path, placed as Add places it and owned by
    // the plate; nullptr when the file is refused. A 3MF package (".3mf")
    // gives one instance per build item (AddPackageFile); the first is returned.
    KzPlateInstance* AddModelFile(const QString& path, KzLoadReport& report);
    // Every build item of the 3MF package at path as an instance made by make,
    // on the plate under key(i) for the i-th item: where the file puts them
    // when they all fit, else each placed as Add places it (Kz3mfPlate). The
    // instances stay their maker's, in build order; none when the package is
    // refused, and then nothing on the plate changes.
    QVector<KzPlateInstance*> AddPackageFile(const QString& path, KzLoadReport& report,
                                             const Kz3mfPlate::MakeInstance& make,
                                             const std::function<int(int)>& key);

    // Takes an instance as it stands under key; placing it is up to the caller.
    void Insert(int key, KzPlateInstance* instance);
    void Remove(int key);
    const QMap<int, KzPlateInstance*>& GetInstances() const { return m_mapInstances; }

    // Placement: beside the others, then the group recentred when it overflows.
    // None of them moves an instance further than GetMoveLimit(), nor by a
    // step that is not a finite number: a model far larger than the plate
    // stays where it stands instead of sweeping the others off it.
    // Add returns whether the group was recentred.
    bool Add(int key, KzPlateInstance* instance);
    void PlaceNew(KzPlateInstance* instance);
    void PushAway(KzPlateInstance* instance);
    // False when the group was left where it stands.
    bool RecenterAll();
    // Places every instance again by the rule for new ones, the largest
    // footprint first (equal ones in key order), then centres the group.
    void ArrangeAll();
    // The plate's diagonal: the furthest a placement step may move an instance.
    float GetMoveLimit() const;

    // Strictly inside the print bound in x and y; height is not tested.
    bool IsInBound(const KzPlateInstance& instance) const;
    // Every instance inside the print bound in x, y and height (true with none).
    bool AreAllInBound() const;

    // Every instance's triangles in plate coordinates as one binary STL, in
    // key order, or for a name ending in ".3mf" every instance as a build
    // item of its mesh in a 3MF package (Kz3mfPlate); centre gets the middle
    // of their common bounding box. False with no instance or when the file
    // cannot be written.
    bool SaveAll(const QString& path, QVector3D& centre) const;

private:
    bool WithinMoveLimit(const QVector2D& step) const;

    QVector3D m_vBoundMax;
    QVector3D m_vBoundMin;
    QMap<int, KzModel3D*> m_mapModels;
    QMap<int, KzPlateInstance*> m_mapInstances;
    std::vector<std::unique_ptr<KzPlateInstance>> m_vecOwned;
    // Placement's guess, for each neighbour of the i-th instance, at which
    // instance (by place in key order) stood in its way when last tried;
    // only ever a guess, asked first.
    std::vector<std::array<quint32, 8>> m_vecGuesses;
    Kz3mfPlate m_packages;
};

#endif // KZPLATE_H
