#include "Kz3mfPlate.h"

#include "Kz3DScene.h"
#include "Kz3mfReader.h"
#include "Kz3mfWriter.h"
#include "KPolygonAlgorithm.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KzModelPainter.h"

#include <algorithm>
#include <cmath>

namespace {

// The models loaded from the package at path, by their index in it.
QVector<KzModel3D*> ModelsOf(const Kz3DScene& scene, const QString& path)
{
    QVector<KzModel3D*> models;
    for (KzModel3D* model : scene.GetModels()) {
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

int Kz3mfPlate::Open(Kz3DScene& scene, const QString& path, KzLoadReport& report)
{
    Kz3mfPackage package;
    QVector<KzModel3D*> models;   // by index in the package
    QVector<KzModel3D*> fresh;    // loaded now, not the scene's yet
    if (!LoadModels(scene, path, package, models, fresh, report))
        return 0;
    const QVector<QMatrix4x4> places = PlatePlaces(scene, package);
    QVector<KzModelPainter*> painters;
    double extent = 0;
    for (int i = 0; i < package.m_vecItems.size(); ++i) {
        auto* painter = new KzModelPainter(models[package.m_vecItems[i].nMesh], places[i]);
        for (int axis = 0; axis < 3; ++axis)
            extent = std::max(extent, double(painter->GetMax()[axis]) - double(painter->GetMin()[axis]));
        painters.append(painter);
    }
    qint64 facets = 0;
    bool empty = false;
    for (const KzModel3D* model : qAsConst(models)) {
        facets += model->Count();
        empty = empty || model->Count() == 0;
    }
    report.JudgeExtent(empty ? 0 : facets, extent);
    if (!report.IsUsable()) {
        qDeleteAll(painters);   // before their models
        qDeleteAll(fresh);
        return 0;
    }
    for (KzModel3D* model : qAsConst(fresh))
        scene.AdoptModel(model);
    m_hashLayouts.insert(path, package.Layout());
    if (FitsAsPlaced(scene, painters)) {
        for (KzModelPainter* painter : qAsConst(painters))
            scene.AdoptPainter(painter);
    } else {
        for (int i = 0; i < painters.size(); ++i) {
            painters[i]->SetModelMatrix(Linear(places[i]), true);
            scene.AddModelPainter(painters[i]);
        }
    }
    return painters.first()->GetPickCode();
}

// Each mesh goes to its model by the model's own reading thread, as a file's
// facets do; the package lets go of it once the model has its copy.
bool Kz3mfPlate::LoadModels(Kz3DScene& scene, const QString& path, Kz3mfPackage& package,
                            QVector<KzModel3D*>& models, QVector<KzModel3D*>& fresh, KzLoadReport& report)
{
    report = KzLoadReport(path);
    const QVector<KzModel3D*> loaded = ModelsOf(scene, path);
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

QVector<QMatrix4x4> Kz3mfPlate::PlatePlaces(const Kz3DScene& scene, const Kz3mfPackage& package)
{
    if (!package.m_vecPlatePlaces.isEmpty())
        return package.m_vecPlatePlaces;
    double x = 0;
    double y = 0;
    scene.GetLayerOffset(x, y);   // where the print area's corner is on the plate
    QMatrix4x4 shift;
    shift.translate(float(x), float(y), 0);
    QVector<QMatrix4x4> places;
    for (const Kz3mfPackage::Item& item : package.m_vecItems)
        places.append(shift * item.matTransform);
    return places;
}

bool Kz3mfPlate::FitsAsPlaced(const Kz3DScene& scene, const QVector<KzModelPainter*>& painters)
{
    QVector3D max;
    QVector3D min;
    scene.GetPrintBound(max, min);
    for (const KzModelPainter* painter : painters) {
        if (!scene.IsInBound(painter) || painter->GetMax().z() - painter->GetMin().z() > max.z() - min.z())
            return false;
        for (const KzModelPainter* other : scene.GetPainters()) {
            QVector2D push;
            if (KPolygonAlgorithm::PolygonCollisionPushVector(painter->GetHull(), other->GetHull(), push))
                return false;
        }
    }
    return true;
}

bool Kz3mfPlate::Save(const Kz3DScene& scene, const QString& path, QVector3D& centre) const
{
    const QMap<int, KzModelPainter*>& painters = scene.GetPainters();
    if (painters.isEmpty())
        return false;
    Kz3mfWriter writer;
    QHash<const KzModel3D*, int> meshOf;
    QVector3D min = painters.first()->GetMin();
    QVector3D max = painters.first()->GetMax();
    for (const KzModelPainter* painter : painters) {
        const KzModel3D* model = painter->GetModel();
        auto mesh = meshOf.find(model);
        if (mesh == meshOf.end())
            mesh = meshOf.insert(model, writer.AddMesh(model->Triangls()));
        writer.AddItem(*mesh, painter->GetModelMatrix());
        for (int axis = 0; axis < 3; ++axis) {
            min[axis] = std::min(min[axis], painter->GetMin()[axis]);
            max[axis] = std::max(max[axis], painter->GetMax()[axis]);
        }
    }
    double x = 0;
    double y = 0;
    scene.GetLayerOffset(x, y);
    writer.SetPlateCentre(float(-x), float(-y));
    centre = (min + max) / 2;
    return writer.Write(path);
}
