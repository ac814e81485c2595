#include "KzFuzzHarness.h"

#include "Kz3mfReader.h"
#include "Kz3mfTestFiles.h"
#include "Kz3mfWriter.h"

#include <cstring>
#include <memory>
#include <vector>

using KzFuzzHarness::Require;

namespace {

bool SameBits(const QVector3D& a, const QVector3D& b)
{
    const float x[3] = {a.x(), a.y(), a.z()};
    const float y[3] = {b.x(), b.y(), b.z()};
    return std::memcmp(x, y, sizeof x) == 0;
}

// What a package read must hold, each mesh loaded as the plate loads it.
void CheckPackage(const Kz3mfPackage& package, std::vector<std::unique_ptr<KzModel3D>>& models)
{
    Require(!package.m_vecItems.isEmpty());
    Require(package.FacetCount() <= Kz3mfReader::ms_nMaxFacets);
    Require(package.m_vecPlatePlaces.isEmpty() || package.m_vecPlatePlaces.size() == package.m_vecItems.size());
    for (const Kz3mfPackage::Item& item : package.m_vecItems) {
        Require(0 <= item.nMesh && item.nMesh < package.m_vecMeshes.size());
        for (int i = 0; i < 16; ++i)
            Require(std::isfinite(item.matTransform.constData()[i]));
    }
    for (int i = 0; i < package.m_vecMeshes.size(); ++i) {
        models.emplace_back(new KzModel3D);
        Require(models.back()->LoadPackageMesh("fuzz.3mf", i, package.m_vecMeshes[i]));
        KzFuzzHarness::Check(*models.back(), package.m_vecMeshes[i].size());
    }
}

// The models written as a package read back bit for bit, unless a corner lies
// beyond what 3MF readers take.
void CheckRoundTrip(const std::vector<std::unique_ptr<KzModel3D>>& models)
{
    Kz3mfWriter writer;
    QVector<const KzModel3D*> written;
    bool reach = true;
    for (const auto& model : models) {
        if (model->Count() == 0)
            continue;
        writer.AddItem(writer.AddMesh(model->Triangls()), QMatrix4x4());
        written.append(model.get());
        for (int i = 0; i < model->Count(); ++i)
            for (int c = 0; c < 3; ++c)
                for (int axis = 0; axis < 3; ++axis)
                    reach = reach && std::abs(model->Item(i)[c][axis]) <= Kz3mfWriter::ms_fMaxCoordinate;
    }
    if (written.isEmpty())
        return;
    const QByteArray bytes = writer.Package();
    Require(bytes.isEmpty() == !reach);
    if (!reach)
        return;
    Kz3mfReader reader;
    Kz3mfPackage back;
    Require(reader.ReadBytes(bytes, back));
    Require(back.m_vecMeshes.size() == written.size() && back.m_vecPlatePlaces.size() == written.size());
    for (int m = 0; m < written.size(); ++m) {
        Require(back.m_vecMeshes[m].size() == written[m]->Count());
        for (int i = 0; i < written[m]->Count(); ++i)
            for (int c = 0; c < 3; ++c)
                Require(SameBits(back.m_vecMeshes[m][i][c], written[m]->Item(i)[c]));
    }
}

} // namespace

// Any bytes as a 3MF package; bytes that do not start like a zip are taken as
// the package's model part, so the XML is fuzzed as well as the zip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KzFuzzHarness::Init();
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    if (!bytes.startsWith("PK"))
        bytes = Kz3mfTest::Package(bytes, false);
    Kz3mfReader reader;
    Kz3mfPackage package;
    if (!reader.ReadBytes(bytes, package)) {
        Require(reader.GetFault() != KzLoadReport::Package_None);
        return 0;
    }
    std::vector<std::unique_ptr<KzModel3D>> models;
    CheckPackage(package, models);
    CheckRoundTrip(models);
    return 0;
}
