#include "Kz3mfPlate.h"

#include "Kz3mfReader.h"
#include "Kz3mfWriter.h"
#include "KPolygonAlgorithm.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KzPlate.h"
#include "KzPlateInstance.h"

#include <algorithm>
#include <cmath>

namespace {

// The models loaded from the package at path, by their index in it.
QVector<KzModel3D*> ModelsOf(const KzPlate& plate, const QString& path)
{
    QVector<KzModel3D*> models;
    for (KzModel3D* model : plate.GetModels()) {
        const int part = model->GetPackagePart();
        if (part < 0 || model->FileName() != path)
            continue;
        if (models.size() <= part)
            models.resize(part + 1);
        models[part] = model;
    }
    return models;
}

// The turn and scale of m, without its place.
QMatrix4x4 Linear(const QMatrix4x4& m)
{
    QMatrix4x4 l = m;
    l.setColumn(3, QVector4D(0, 0, 0, 1));
    return l;
}

} // namespace

QVector<KzPlateInstance*> Kz3mfPlate::Open(KzPlate& plate, const QString& path, const MakeInstance& make,
                                           bool& kept, KzLoadReport& report)
{
    Kz3mfPackage package;
    QVector<KzModel3D*> models;   // by index in the package
    QVector<KzModel3D*> fresh;    // loaded now, not the plate's yet
    if (!LoadModels(plate, path, package, models, fresh, report))
        return {};
    const QVector<QMatrix4x4> places = PlatePlaces(plate, package);
    QVector<KzPlateInstance*> instances;
    double extent = 0;
    for (int i = 0; i < package.m_vecItems.size(); ++i) {
        KzPlateInstance* instance = make(models[package.m_vecItems[i].nMesh], places[i]);
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(extent, double(instance->GetMax()[axis]) - double(instance->GetMin()[axis]));
        instances.append(instance);
    }
    qint64 facets = 0;
    bool empty = false;
    for (const KzModel3D* model : qAsConst(models)) {
        facets += model->Count();
        empty = empty || model->Count() == 0;
    }
    report.JudgeExtent(empty ? 0 : facets, extent);
    if (!report.IsUsable()) {
        qDeleteAll(instances);   // before their models
        qDeleteAll(fresh);
        return {};
    }
    for (KzModel3D* model : qAsConst(fresh))
        plate.AdoptModel(model);
    m_hashLayouts.insert(path, package.Layout());
    kept = FitsAsPlaced(plate, instances);
    if (!kept) {
        for (int i = 0; i < instances.size(); ++i)
            instances[i]->SetModelMatrix(Linear(places[i]), true);
    }
    return instances;
}

// Each mesh goes to its model by the model's own reading thread, as a file's
// facets do; the package lets go of it once the model has its copy.
bool Kz3mfPlate::LoadModels(KzPlate& plate, const QString& path, Kz3mfPackage& package,
                            QVector<KzModel3D*>& models, QVector<KzModel3D*>& fresh, KzLoadReport& report)
{
    report = KzLoadReport(path);
    const QVector<KzModel3D*> loaded = ModelsOf(plate, path);
    const auto layout = m_hashLayouts.constFind(path);
    if (layout != m_hashLayouts.constEnd() && loaded.size() == layout->m_vecMeshes.size() && !loaded.contains(nullptr)) {
        package = *layout;
        models = loaded;
    } else {
        Kz3mfReader reader;
        if (!reader.Read(path, package)) {
            report.SetPackageFault(reader.GetFault());
            return false;
        }
        models.resize(package.m_vecMeshes.size());
        for (int i = 0; i < models.size(); ++i) {
            models[i] = i < loaded.size() ? loaded[i] : nullptr;
            if (models[i] == nullptr) {
                models[i] = new KzModel3D;
                models[i]->LoadPackageMesh(path, i, package.m_vecMeshes[i]);
                fresh.append(models[i]);
            }
            package.m_vecMeshes[i] = QVector<KzTriangle3D>();
        }
    }
    report.SetOpened();
    for (const KzModel3D* model : qAsConst(models))
        report.AddDropped(model->GetLoadReport().GetDropped());
    return true;
}

QVector<QMatrix4x4> Kz3mfPlate::PlatePlaces(const KzPlate& plate, const Kz3mfPackage& package)
{
    if (!package.m_vecPlatePlaces.isEmpty())
        return package.m_vecPlatePlaces;
    QMatrix4x4 shift;   // from the print area's corner to the plate's frame
    shift.translate(plate.GetBoundMin().x(), plate.GetBoundMin().y(), 0);
    QVector<QMatrix4x4> places;
    for (const Kz3mfPackage::Item& item : package.m_vecItems)
        places.append(shift * item.matTransform);
    return places;
}

bool Kz3mfPlate::FitsAsPlaced(const KzPlate& plate, const QVector<KzPlateInstance*>& instances)
{
    const float height = plate.GetBoundMax().z() - plate.GetBoundMin().z();
    for (const KzPlateInstance* instance : instances) {
        if (!plate.IsInBound(*instance) || instance->GetMax().z() - instance->GetMin().z() > height)
            return false;
        for (const KzPlateInstance* other : plate.GetInstances()) {
            QVector2D push;
            if (KPolygonAlgorithm::PolygonCollisionPushVector(instance->GetHull(), other->GetHull(), push))
                return false;
        }
    }
    return true;
}

bool Kz3mfPlate::Save(const KzPlate& plate, const QString& path, QVector3D& centre) const
{
    const QMap<int, KzPlateInstance*>& instances = plate.GetInstances();
    if (instances.isEmpty())
        return false;
    Kz3mfWriter writer;
    QHash<const KzModel3D*, int> meshOf;
    QVector3D min = instances.first()->GetMin();
    QVector3D max = instances.first()->GetMax();
    for (const KzPlateInstance* instance : instances) {
        const KzModel3D* model = instance->GetModel();
        auto mesh = meshOf.find(model);
        if (mesh == meshOf.end())
            mesh = meshOf.insert(model, writer.AddMesh(model->Triangls()));
        writer.AddItem(*mesh, instance->GetModelMatrix());
        for (int axis = 0; axis < 3; ++axis) {
            min[axis] = std::min(min[axis], instance->GetMin()[axis]);
            max[axis] = std::max(max[axis], instance->GetMax()[axis]);
        }
    }
    writer.SetPlateCentre(-plate.GetBoundMin().x(), -plate.GetBoundMin().y());
    centre = (min + max) / 2;
    return writer.Write(path);
}
