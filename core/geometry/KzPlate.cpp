#include "KzPlate.h"

#include "Kz3mfReader.h"
#include "KPolygonAlgorithm.h"
#include "KzLoadReport.h"
#include "KzModel3D.h"
#include "KzModelWriter.h"
#include "KzPlateInstance.h"

#include <algorithm>
#include <cmath>

KzPlate::KzPlate()
    : m_vBoundMax(50, 50, 100)
    , m_vBoundMin(-50, -50, 0)
{
}

KzPlate::~KzPlate()
{
    // Instances first: they release their models' references.
    m_vecOwned.clear();
    qDeleteAll(m_mapModels);
}

void KzPlate::SetBound(const QVector3D& max, const QVector3D& min)
{
    m_vBoundMax = max;
    m_vBoundMin = min;
}

// ---- Models and instances ----

KzModel3D* KzPlate::LoadModel(const QString& path, KzLoadReport& report)
{
    for (KzModel3D* loaded : qAsConst(m_mapModels)) {
        if (loaded->FileName() == path) {
            report = loaded->GetLoadReport();   // the same file: the same facts
            return loaded;
        }
    }
    auto* model = new KzModel3D;
    model->LoadSTLFile(path);
    report = model->GetLoadReport();
    if (!report.IsUsable()) {
        delete model;   // nothing on the plate has changed
        return nullptr;
    }
    m_mapModels.insert(model->ID(), model);
    return model;
}

void KzPlate::AdoptModel(KzModel3D* model)
{
    m_mapModels.insert(model->ID(), model);
}

void KzPlate::ReleaseModel(KzModel3D* model)
{
    if (model->IsRefered())
        return;
    m_mapModels.remove(model->ID());
    delete model;
}

void KzPlate::ForgetModel(KzModel3D* model)
{
    if (m_mapModels.value(model->ID()) == model)
        m_mapModels.remove(model->ID());
}

KzPlateInstance* KzPlate::AddModelFile(const QString& path, KzLoadReport& report)
{
    if (Kz3mfReader::IsPackagePath(path)) {
        const auto make = [](KzModel3D* model, const QMatrix4x4& m) { return new KzPlateInstance(model, m); };
        const auto next = [this](int) { return m_mapInstances.isEmpty() ? 1 : m_mapInstances.lastKey() + 1; };
        const QVector<KzPlateInstance*> made = AddPackageFile(path, report, make, next);
        for (KzPlateInstance* instance : made)
            m_vecOwned.emplace_back(instance);
        return made.isEmpty() ? nullptr : made.first();
    }
    KzModel3D* model = LoadModel(path, report);
    if (model == nullptr)
        return nullptr;
    m_vecOwned.emplace_back(new KzPlateInstance(model));
    KzPlateInstance* instance = m_vecOwned.back().get();
    Add(m_mapInstances.isEmpty() ? 1 : m_mapInstances.lastKey() + 1, instance);
    return instance;
}

QVector<KzPlateInstance*> KzPlate::AddPackageFile(const QString& path, KzLoadReport& report,
                                                  const Kz3mfPlate::MakeInstance& make,
                                                  const std::function<int(int)>& key)
{
    bool kept = false;
    const QVector<KzPlateInstance*> made = m_packages.Open(*this, path, make, kept, report);
    for (int i = 0; i < made.size(); ++i) {
        if (kept)
            Insert(key(i), made[i]);
        else
            Add(key(i), made[i]);
    }
    return made;
}

void KzPlate::Insert(int key, KzPlateInstance* instance)
{
    m_mapInstances.insert(key, instance);
}

void KzPlate::Remove(int key)
{
    m_mapInstances.remove(key);
}

// ---- Bounds ----

bool KzPlate::IsInBound(const KzPlateInstance& p) const
{
    return p.GetMax().x() < m_vBoundMax.x() && p.GetMax().y() < m_vBoundMax.y()
           && p.GetMin().x() > m_vBoundMin.x() && p.GetMin().y() > m_vBoundMin.y();
}

bool KzPlate::AreAllInBound() const
{
    for (const KzPlateInstance* p : m_mapInstances) {
        if (!IsInBound(*p) || p->GetMax().z() > m_vBoundMax.z())
            return false;
    }
    return true;
}

// ---- Placement ----

bool KzPlate::Add(int key, KzPlateInstance* instance)
{
    PlaceNew(instance);
    m_mapInstances.insert(key, instance);
    return !IsInBound(*instance) && RecenterAll();
}

// The first instance stands at the plate's origin, each further one goes
// beside those placed before it.
void KzPlate::ArrangeAll()
{
    QList<int> order = m_mapInstances.keys();
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_mapInstances.value(a)->FootprintArea() > m_mapInstances.value(b)->FootprintArea();
    });
    const QMap<int, KzPlateInstance*> instances = m_mapInstances;
    m_mapInstances.clear();
    for (int key : qAsConst(order)) {
        KzPlateInstance* p = instances.value(key);
        const QVector2D home = -p->GetCenter().toVector2D();
        if (WithinMoveLimit(home))
            p->Translate(home);
        Add(key, p);
    }
    RecenterAll();
}

float KzPlate::GetMoveLimit() const
{
    return (m_vBoundMax - m_vBoundMin).toVector2D().length();
}

bool KzPlate::WithinMoveLimit(const QVector2D& step) const
{
    return std::isfinite(step.x()) && std::isfinite(step.y()) && step.length() <= GetMoveLimit();
}

// Tries the eight neighbours (4 mm apart) of every instance and takes the free
// one nearest the plate's origin; with none free it stays at the last one
// tried. Neighbours further from where the new instance stands than the plate
// allows are not tried: with none left it stays where it was made.
void KzPlate::PlaceNew(KzPlateInstance* p)
{
    if (m_mapInstances.isEmpty())
        return;
    static const int kNeighbour[8][2] = {{1, 1}, {0, 1}, {-1, 1}, {1, 0},
                                         {-1, 0}, {1, -1}, {0, -1}, {-1, -1}};
    const QVector2D size = (p->GetMax() - p->GetMin()).toVector2D();
    const QVector2D home = p->GetCenter().toVector2D();
    bool found = false;
    QVector2D best;
    for (const KzPlateInstance* q : qAsConst(m_mapInstances)) {
        const QVector2D gap = ((q->GetMax() - q->GetMin()).toVector2D() + size) / 2 + QVector2D(4, 4);
        const QVector2D c = q->GetCenter().toVector2D();
        for (const auto& n : kNeighbour) {
            const QVector2D k = c + QVector2D(n[0] * gap.x(), n[1] * gap.y());
            if (!WithinMoveLimit(k - home))
                continue;
            p->Translate(k - p->GetCenter().toVector2D());
            if (found && k.length() >= best.length())
                continue;
            bool free = true;
            for (const KzPlateInstance* other : qAsConst(m_mapInstances)) {
                QVector2D push;
                if (KPolygonAlgorithm::PolygonCollisionPushVector(p->GetHull(), other->GetHull(), push)) {
                    free = false;
                    break;
                }
            }
            if (free) {
                found = true;
                best = k;
            }
        }
    }
    if (found)
        p->Translate(best - p->GetCenter().toVector2D());
}

// Pushes in-bound instances that overlap p out of its way, then lets each pushed
// one push in turn, depth first. The chain runs on an explicit stack and is
// limited in pushes: on a crowded plate instances could push each other back and
// forth without end.
void KzPlate::PushAway(KzPlateInstance* first)
{
    const int budget = 32 * (m_mapInstances.size() + 1);
    int pushes = 0;
    QVector<KzPlateInstance*> stack{first};
    while (!stack.isEmpty()) {
        KzPlateInstance* p = stack.takeLast();
        if (!IsInBound(*p))
            continue;
        QVector<KzPlateInstance*> pushed;
        for (KzPlateInstance* q : qAsConst(m_mapInstances)) {
            if (q == p || !IsInBound(*q))
                continue;
            QVector2D push;
            if (!KPolygonAlgorithm::PolygonCollisionPushVector(q->GetHull(), p->GetHull(), push)
                || !WithinMoveLimit(push))
                continue;
            if (pushes++ >= budget)
                return;
            q->Translate(push);
            pushed.append(q);
        }
        for (int i = pushed.size() - 1; i >= 0; --i)
            stack.append(pushed[i]);
    }
}

bool KzPlate::RecenterAll()
{
    QVector2D min(10000, 10000);
    QVector2D max(-10000, -10000);
    for (const KzPlateInstance* p : qAsConst(m_mapInstances)) {
        min.setX(std::min(min.x(), p->GetMin().x()));
        min.setY(std::min(min.y(), p->GetMin().y()));
        max.setX(std::max(max.x(), p->GetMax().x()));
        max.setY(std::max(max.y(), p->GetMax().y()));
    }
    const QVector2D shift = -(min + max) / 2;
    if (!WithinMoveLimit(shift))
        return false;   // a group that far off is not the plate's to centre
    for (KzPlateInstance* p : qAsConst(m_mapInstances))
        p->Translate(shift);
    return true;
}

// ---- The plate as one file ----

bool KzPlate::SaveAll(const QString& path, QVector3D& centre) const
{
    if (m_mapInstances.isEmpty())
        return false;
    if (Kz3mfReader::IsPackagePath(path))
        return m_packages.Save(*this, path, centre);
    KzModelWriter writer;
    bool first = true;
    QVector3D min;
    QVector3D max;
    for (const KzPlateInstance* p : m_mapInstances) {
        const QVector<KzTriangle3D> triangles = p->TransformedTriangles();
        for (const KzTriangle3D& t : triangles) {
            for (int k = 0; k < 3; ++k) {
                if (first) {
                    min = max = t[k];
                    first = false;
                }
                for (int axis = 0; axis < 3; ++axis) {
                    min[axis] = std::min(min[axis], t[k][axis]);
                    max[axis] = std::max(max[axis], t[k][axis]);
                }
            }
        }
        writer.AddTriangles(triangles);
    }
    centre = (min + max) / 2;
    return writer.WriterBinary(path);
}
