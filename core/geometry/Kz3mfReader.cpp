#include "Kz3mfReader.h"

#include "KzLineReader.h"

#include <QDebug>
#include <QFile>
#include <QHash>
#include <QStringList>

#include <cmath>
#include <limits>
#include <vector>

#include <zip.h>

// Last: its Windows-style names stay out of the headers above.
#include <Common/NMR_ErrorConst.h>
#include <Model/COM/NMR_DLLInterfaces.h>

using namespace NMR;

// The fuzz build sets a smaller cap, so that packages its fuzzer may build
// within the cap stay within its memory.
#ifndef KZ_3MF_MAX_BYTES
#define KZ_3MF_MAX_BYTES (qint64(2) << 30)
#endif

const qint64 Kz3mfReader::ms_nMaxBytes = KZ_3MF_MAX_BYTES;
const qint64 Kz3mfReader::ms_nMaxFacets = Kz3mfReader::ms_nMaxBytes / qint64(sizeof(KzTriangle3D));

namespace {

const qint64 kChunk = 1 << 20;
// Deflate never unpacks more than about 1032 bytes from one.
const qint64 kDeflateRatio = 1032;
const int kMaxDepth = 32;   // components inside components
const char kRootRelations[] = "_rels/.rels";

// A lib3mf object, released with its holder.
class Handle
{
public:
    Handle() = default;
    ~Handle() { Reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    PLib3MFBase* Get() const { return m_p; }
    PLib3MFBase** Out()
    {
        Reset();
        return &m_p;
    }

private:
    void Reset()
    {
        if (m_p != nullptr)
            lib3mf_release(m_p);
        m_p = nullptr;
    }

    PLib3MFBase* m_p = nullptr;
};

// An affine map in double, as 3MF writes them: the columns of x, y and z,
// then the translation.
struct Affine
{
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    static Affine From(const MODELTRANSFORM& t)
    {
        Affine a;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                a.m[r][c] = t.m_fFields[r][c];
        return a;
    }

    // This map applied after b.
    Affine After(const Affine& b) const
    {
        Affine p;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                double v = c == 3 ? m[r][3] : 0;
                for (int k = 0; k < 3; ++k)
                    v += m[r][k] * b.m[k][c];
                p.m[r][c] = v;
            }
        }
        return p;
    }

    bool IsIdentity() const
    {
        const Affine one;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != one.m[r][c])
                    return false;
        return true;
    }

    QVector3D Map(const MODELMESHVERTEX& v, double scale) const
    {
        double p[3];
        for (int r = 0; r < 3; ++r)
            p[r] = (m[r][0] * v.m_fPosition[0] + m[r][1] * v.m_fPosition[1] + m[r][2] * v.m_fPosition[2] + m[r][3])
                   * scale;
        return QVector3D(float(p[0]), float(p[1]), float(p[2]));
    }
};

// Millimetres per unit of the model.
double UnitScale(DWORD unit)
{
    static const double kScale[] = {0.001, 1, 10, 25.4, 304.8, 1000};
    return unit < sizeof(kScale) / sizeof(kScale[0]) ? kScale[unit] : 0;
}

// The reason a user is told for one of lib3mf's errors.
KzLoadReport::emPackageFault FaultOf(DWORD code)
{
    switch (code) {
    case NMR_ERROR_COULDNOTREADZIPFILE:
    case NMR_ERROR_ZIPCONTAINSINCONSISTENCIES:
        return KzLoadReport::Package_Damaged;
    case NMR_ERROR_COULDNOTCREATEOPCPART:
    case NMR_ERROR_NOMODELSTREAM:
    case NMR_ERROR_OPCRELATIONSHIPNOTFOUND:
    case NMR_ERROR_OPCCOULDNOTGETMODELSTREAM:
        return KzLoadReport::Package_NoModel;
    case NMR_ERROR_INVALIDMODELNODEINDEX:
    case NMR_ERROR_INVALIDMODELCOORDINATEINDICES:
    case NMR_ERROR_INVALIDNODEINDEX:
        return KzLoadReport::Package_BadIndex;
    case NMR_ERROR_COULDNOTFINDBUILDITEMOBJECT:
    case NMR_ERROR_COULDNOTFINDCOMPONENTOBJECT:
    case NMR_ERROR_INVALIDBUILDITEMOBJECTID:
    case NMR_ERROR_MISSINGBUILDITEMOBJECTID:
        return KzLoadReport::Package_MissingObject;
    case NMR_ERROR_INVALIDMODELCOORDINATES:
    case NMR_ERROR_INVALIDCOORDINATES:
    case NMR_ERROR_MODELCOORDINATEMISSING:
        return KzLoadReport::Package_BadCoordinates;
    case NMR_ERROR_NOMODELNODE:
    case NMR_ERROR_NOBUILD:
    case NMR_ERROR_NORESOURCES:
        return KzLoadReport::Package_BadXml;
    default:
        // The XML parser's own errors.
        return (code & 0xFF00) == 0x9000 ? KzLoadReport::Package_BadXml : KzLoadReport::Package_Unreadable;
    }
}

// Walks the objects of a model read by lib3mf: counts and flattens them.
class ObjectWalker
{
public:
    explicit ObjectWalker(double scale) : m_dScale(scale) {}

    // The facets an object holds with its components flattened, at most limit
    // + 1; -1 when it nests too deep or lib3mf fails.
    qint64 Count(PLib3MFBase* object, qint64 limit, int depth = 0) const;
    // Appends the object's facets, mapped by a, in millimetres.
    KzLoadReport::emPackageFault Flatten(PLib3MFBase* object, const Affine& a, QVector<KzTriangle3D>& out,
                                         int depth = 0) const;

private:
    static bool IsPrinted(PLib3MFBase* object);
    KzLoadReport::emPackageFault FlattenMesh(PLib3MFBase* mesh, const Affine& a, QVector<KzTriangle3D>& out) const;

    double m_dScale;
};

bool ObjectWalker::IsPrinted(PLib3MFBase* object)
{
    DWORD type = MODELOBJECTTYPE_MODEL;
    return lib3mf_object_gettype(object, &type) == LIB3MF_OK && type != MODELOBJECTTYPE_OTHER;
}

qint64 ObjectWalker::Count(PLib3MFBase* object, qint64 limit, int depth) const
{
    BOOL mesh = false;
    if (depth > kMaxDepth || lib3mf_object_ismeshobject(object, &mesh) != LIB3MF_OK)
        return -1;
    if (mesh) {
        DWORD triangles = 0;
        return lib3mf_meshobject_gettrianglecount(object, &triangles) == LIB3MF_OK ? qint64(triangles) : -1;
    }
    DWORD count = 0;
    if (lib3mf_componentsobject_getcomponentcount(object, &count) != LIB3MF_OK)
        return -1;
    qint64 total = 0;
    for (DWORD i = 0; i < count && total <= limit; ++i) {
        Handle component;
        Handle part;
        if (lib3mf_componentsobject_getcomponent(object, i, component.Out()) != LIB3MF_OK
            || lib3mf_component_getobjectresource(component.Get(), part.Out()) != LIB3MF_OK)
            return -1;
        if (!IsPrinted(part.Get()))
            continue;
        const qint64 facets = Count(part.Get(), limit - total, depth + 1);
        if (facets < 0)
            return -1;
        total += facets;
    }
    return qMin(total, limit + 1);
}

KzLoadReport::emPackageFault ObjectWalker::Flatten(PLib3MFBase* object, const Affine& a, QVector<KzTriangle3D>& out,
                                                   int depth) const
{
    BOOL mesh = false;
    if (depth > kMaxDepth || lib3mf_object_ismeshobject(object, &mesh) != LIB3MF_OK)
        return KzLoadReport::Package_Unreadable;
    if (mesh)
        return FlattenMesh(object, a, out);
    DWORD count = 0;
    if (lib3mf_componentsobject_getcomponentcount(object, &count) != LIB3MF_OK)
        return KzLoadReport::Package_Unreadable;
    for (DWORD i = 0; i < count; ++i) {
        Handle component;
        Handle part;
        BOOL moved = false;
        MODELTRANSFORM t;
        if (lib3mf_componentsobject_getcomponent(object, i, component.Out()) != LIB3MF_OK
            || lib3mf_component_getobjectresource(component.Get(), part.Out()) != LIB3MF_OK
            || lib3mf_component_hastransform(component.Get(), &moved) != LIB3MF_OK
            || (moved && lib3mf_component_gettransform(component.Get(), &t) != LIB3MF_OK))
            return KzLoadReport::Package_Unreadable;
        if (!IsPrinted(part.Get()))
            continue;
        const KzLoadReport::emPackageFault fault = Flatten(part.Get(), moved ? a.After(Affine::From(t)) : a, out, depth + 1);
        if (fault != KzLoadReport::Package_None)
            return fault;
    }
    return KzLoadReport::Package_None;
}

// Corners of a mesh in millimetres already, not moved, are taken as they are,
// bit for bit.
KzLoadReport::emPackageFault ObjectWalker::FlattenMesh(PLib3MFBase* mesh, const Affine& a,
                                                       QVector<KzTriangle3D>& out) const
{
    DWORD vertices = 0;
    DWORD triangles = 0;
    if (lib3mf_meshobject_getvertexcount(mesh, &vertices) != LIB3MF_OK
        || lib3mf_meshobject_gettrianglecount(mesh, &triangles) != LIB3MF_OK)
        return KzLoadReport::Package_Unreadable;
    std::vector<MODELMESHVERTEX> v(vertices);
    std::vector<MODELMESHTRIANGLE> t(triangles);
    if ((vertices > 0 && lib3mf_meshobject_getvertices(mesh, v.data(), vertices, nullptr) != LIB3MF_OK)
        || (triangles > 0 && lib3mf_meshobject_gettriangleindices(mesh, t.data(), triangles, nullptr) != LIB3MF_OK))
        return KzLoadReport::Package_Unreadable;
    const bool asIs = m_dScale == 1 && a.IsIdentity();
    KzTriangle3D tri;
    for (const MODELMESHTRIANGLE& indices : t) {
        for (int c = 0; c < 3; ++c) {
            const DWORD i = indices.m_nIndices[c];
            if (i >= vertices)
                return KzLoadReport::Package_BadIndex;
            const float* p = v[i].m_fPosition;
            tri[c] = asIs ? QVector3D(p[0], p[1], p[2]) : a.Map(v[i], m_dScale);
        }
        out.append(tri);
    }
    return KzLoadReport::Package_None;
}

} // namespace

bool Kz3mfReader::IsPackagePath(const QString& path)
{
    return path.endsWith(QLatin1String(".3mf"), Qt::CaseInsensitive);
}

bool Kz3mfReader::Fail(KzLoadReport::emPackageFault fault, const QString& message)
{
    m_nFault = fault;
    m_strMessage = message;
    qDebug() << "3MF package refused:" << message;
    return false;
}

bool Kz3mfReader::Read(const QString& path, Kz3mfPackage& package)
{
    m_nFault = KzLoadReport::Package_None;
    m_strMessage.clear();
    package = Kz3mfPackage();
    QFile file(path);
    if (!KzLineReader::OpenRegularFile(file))
        return Fail(KzLoadReport::Package_Unreadable, file.errorString());
    // lib3mf holds the whole package in memory while it reads.
    if (file.size() > ms_nMaxBytes)
        return Fail(KzLoadReport::Package_TooLarge, QStringLiteral("the file is larger than 2 GiB"));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        return Fail(KzLoadReport::Package_Unreadable, file.errorString());
    return ReadBytes(bytes, package);
}

bool Kz3mfReader::ReadBytes(const QByteArray& bytes, Kz3mfPackage& package)
{
    m_nFault = KzLoadReport::Package_None;
    m_strMessage.clear();
    package = Kz3mfPackage();
    return CheckZip(bytes) && Parse(bytes, package);
}

// ---- The zip, before lib3mf ----

namespace {

// An archive opened on bytes held elsewhere, closed when it goes.
class Archive
{
public:
    explicit Archive(const QByteArray& bytes)
    {
        zip_error_init(&m_error);
        zip_source_t* source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &m_error);
        if (source == nullptr)
            return;
        m_pZip = zip_open_from_source(source, ZIP_RDONLY, &m_error);
        if (m_pZip == nullptr)
            zip_source_free(source);
    }
    ~Archive()
    {
        if (m_pZip != nullptr)
            zip_discard(m_pZip);
        zip_error_fini(&m_error);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    zip_t* Get() const { return m_pZip; }
    int ErrorCode() const { return zip_error_code_zip(&m_error); }
    QString ErrorText() { return QString::fromUtf8(zip_error_strerror(&m_error)); }

private:
    zip_t* m_pZip = nullptr;
    zip_error_t m_error;
};

// The most an entry can unpack to: stored entries their own size, deflated
// ones about a thousand times it; any other method without a bound.
qint64 MostUnpacked(const zip_stat_t& st)
{
    if (st.comp_method == ZIP_CM_STORE)
        return qint64(st.comp_size);
    if (st.comp_method == ZIP_CM_DEFLATE && st.comp_size < zip_uint64_t(1) << 40)
        return qint64(st.comp_size) * kDeflateRatio + 64;
    return std::numeric_limits<qint64>::max();
}

} // namespace

// The stated sizes are a first check. Then each entry counts for the most it
// could unpack to, or, when that is beyond what is left of the cap, is unpacked
// here, counting, and given up at the cap; libzip checks the checksum and the
// stated size of what it unpacks to the end.
bool Kz3mfReader::CheckZip(const QByteArray& bytes)
{
    Archive archive(bytes);
    if (archive.Get() == nullptr) {
        const bool zip = archive.ErrorCode() != ZIP_ER_NOZIP;
        return Fail(zip ? KzLoadReport::Package_Damaged : KzLoadReport::Package_NotZip, archive.ErrorText());
    }
    const zip_int64_t entries = zip_get_num_entries(archive.Get(), 0);
    std::vector<zip_stat_t> stats(size_t(qMax<zip_int64_t>(entries, 0)));
    qint64 stated = 0;
    bool relations = false;
    bool model = false;
    for (zip_int64_t i = 0; i < entries; ++i) {
        zip_stat_t& st = stats[size_t(i)];
        if (zip_stat_index(archive.Get(), zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)
            || !(st.valid & ZIP_STAT_NAME))
            return Fail(KzLoadReport::Package_Damaged, QString::fromUtf8(zip_strerror(archive.Get())));
        stated += qint64(qMin<zip_uint64_t>(st.size, zip_uint64_t(ms_nMaxBytes) + 1));
        if (stated > ms_nMaxBytes)
            return Fail(KzLoadReport::Package_TooLarge, QStringLiteral("it states more than 2 GiB unpacked"));
        const QString name = QString::fromUtf8(st.name);
        relations = relations || name == QLatin1String(kRootRelations);
        model = model || name.endsWith(QLatin1String(".model"), Qt::CaseInsensitive);
    }
    if (!relations || !model)
        return Fail(KzLoadReport::Package_NoModel, QStringLiteral("no model part or no package relations"));
    std::vector<char> scratch(kChunk);
    qint64 left = ms_nMaxBytes;
    for (zip_int64_t i = 0; i < entries; ++i) {
        const zip_stat_t& st = stats[size_t(i)];
        const qint64 most = MostUnpacked(st);
        if (most <= left) {
            left -= most;
            continue;
        }
        zip_file_t* entry = zip_fopen_index(archive.Get(), zip_uint64_t(i), 0);
        if (entry == nullptr)
            return Fail(KzLoadReport::Package_Damaged, QString::fromUtf8(zip_strerror(archive.Get())));
        zip_int64_t got = 0;
        while (left >= 0 && (got = zip_fread(entry, scratch.data(), zip_uint64_t(kChunk))) > 0)
            left -= got;
        const QString error = got < 0 ? QString::fromUtf8(zip_file_strerror(entry)) : QString();
        zip_fclose(entry);
        if (left < 0)
            return Fail(KzLoadReport::Package_TooLarge, QStringLiteral("it unpacks to more than 2 GiB"));
        if (got < 0)
            return Fail(KzLoadReport::Package_Damaged, error);
    }
    return true;
}

// ---- The model, by lib3mf ----

namespace {

QMatrix4x4 ToMatrix(const Affine& a, double scale)
{
    QMatrix4x4 m;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            m(r, c) = float(a.m[r][c]);
        m(r, 3) = scale == 1 ? float(a.m[r][3]) : float(a.m[r][3] * scale);
    }
    m.optimize();
    return m;
}

bool IsFinite(const QMatrix4x4& m)
{
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m.constData()[i]))
            return false;
    return true;
}

QString Utf8Of(LIB3MFRESULT (*get)(PLib3MFBase*, DWORD, LPSTR, ULONG, ULONG*), PLib3MFBase* model, DWORD index)
{
    ULONG needed = 0;
    if (get(model, index, nullptr, 0, &needed) != LIB3MF_OK)
        return QString();
    QByteArray text(int(needed) + 1, '\0');
    if (get(model, index, text.data(), ULONG(text.size()), &needed) != LIB3MF_OK)
        return QString();
    return QString::fromUtf8(text.constData());
}

// Where this program stood the items, from the entry it writes with a plate,
// when every item is still where that entry says it was put in the file's
// frame: another program may have kept the entry and moved the items.
QVector<QMatrix4x4> PlatePlaces(PLib3MFBase* model, const QVector<Kz3mfPackage::Item>& items)
{
    const QString key = QString::fromUtf8(Kz3mfPackage::ms_szPlacesNamespace) + QLatin1Char(':')
                        + QString::fromUtf8(Kz3mfPackage::ms_szPlacesName);
    DWORD count = 0;
    if (lib3mf_model_getmetadatacount(model, &count) != LIB3MF_OK)
        return {};
    QStringList numbers;
    for (DWORD i = 0; i < count && numbers.isEmpty(); ++i) {
        if (Utf8Of(&lib3mf_model_getmetadatakeyutf8, model, i) == key)
            numbers = Utf8Of(&lib3mf_model_getmetadatavalueutf8, model, i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    if (numbers.size() != 2 + 12 * items.size())
        return {};
    QVector<float> v;
    for (const QString& n : qAsConst(numbers)) {
        bool ok = false;
        v.append(n.toFloat(&ok));
        if (!ok || !std::isfinite(v.last()))
            return {};
    }
    QVector<QMatrix4x4> places;
    for (int i = 0; i < items.size(); ++i) {
        QMatrix4x4 place;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                place(r, c) = v[2 + 12 * i + 4 * r + c];
        place.optimize();
        QMatrix4x4 shift;
        shift.translate(v[0], v[1], 0);
        const QMatrix4x4 expected = shift * place;
        const QMatrix4x4& found = items[i].matTransform;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                if (std::abs(found(r, c) - expected(r, c)) > (c == 3 ? 1e-3f : 1e-5f) * qMax(1.0f, std::abs(expected(r, c))))
                    return {};
        places.append(place);
    }
    return places;
}

// Takes the build items one by one: each object once, as one mesh, and
// every facet counted, as the plate will hold them, before one is copied.
class BuildCollector
{
public:
    BuildCollector(double scale, Kz3mfPackage& package) : m_walker(scale), m_dScale(scale), m_package(package) {}

    // Package_None when the item was taken; else why not, and message says more.
    KzLoadReport::emPackageFault Add(PLib3MFBase* item, QString& message);

private:
    KzLoadReport::emPackageFault AddMesh(PLib3MFBase* object, DWORD id, QString& message);

    ObjectWalker m_walker;
    double m_dScale;
    Kz3mfPackage& m_package;
    QHash<DWORD, int> m_hashMeshOfObject;
    QVector<qint64> m_vecMeshFacets;
    qint64 m_nFacets = 0;
};

KzLoadReport::emPackageFault BuildCollector::Add(PLib3MFBase* item, QString& message)
{
    Handle object;
    DWORD id = 0;
    BOOL moved = false;
    MODELTRANSFORM t;
    if (lib3mf_builditem_getobjectresourceid(item, &id) != LIB3MF_OK
        || lib3mf_builditem_getobjectresource(item, object.Out()) != LIB3MF_OK
        || lib3mf_builditem_hasobjecttransform(item, &moved) != LIB3MF_OK
        || (moved && lib3mf_builditem_getobjecttransform(item, &t) != LIB3MF_OK)) {
        message = QStringLiteral("a build item without its object");
        return KzLoadReport::Package_MissingObject;
    }
    Kz3mfPackage::Item placed;
    placed.matTransform = ToMatrix(moved ? Affine::From(t) : Affine(), m_dScale);
    if (!IsFinite(placed.matTransform)) {
        message = QStringLiteral("a build item's transform");
        return KzLoadReport::Package_BadCoordinates;
    }
    if (!m_hashMeshOfObject.contains(id)) {
        const KzLoadReport::emPackageFault fault = AddMesh(object.Get(), id, message);
        if (fault != KzLoadReport::Package_None)
            return fault;
    } else {
        m_nFacets += m_vecMeshFacets[m_hashMeshOfObject.value(id)];
        if (m_nFacets > Kz3mfReader::ms_nMaxFacets) {
            message = QStringLiteral("more than 2 GiB of facets");
            return KzLoadReport::Package_TooLarge;
        }
    }
    placed.nMesh = m_hashMeshOfObject.value(id);
    m_package.m_vecItems.append(placed);
    return KzLoadReport::Package_None;
}

KzLoadReport::emPackageFault BuildCollector::AddMesh(PLib3MFBase* object, DWORD id, QString& message)
{
    const qint64 count = m_walker.Count(object, Kz3mfReader::ms_nMaxFacets - m_nFacets);
    if (count < 0) {
        message = QStringLiteral("object %1 cannot be walked").arg(id);
        return KzLoadReport::Package_Unreadable;
    }
    m_nFacets += count;
    if (m_nFacets > Kz3mfReader::ms_nMaxFacets) {
        message = QStringLiteral("more than 2 GiB of facets");
        return KzLoadReport::Package_TooLarge;
    }
    QVector<KzTriangle3D> mesh;
    mesh.reserve(int(count));
    const KzLoadReport::emPackageFault fault = m_walker.Flatten(object, Affine(), mesh);
    if (fault != KzLoadReport::Package_None) {
        message = QStringLiteral("object %1").arg(id);
        return fault;
    }
    m_hashMeshOfObject.insert(id, m_package.m_vecMeshes.size());
    m_vecMeshFacets.append(count);
    m_package.m_vecMeshes.append(mesh);
    return KzLoadReport::Package_None;
}

// The package read by lib3mf into model; Package_None when it was.
KzLoadReport::emPackageFault ReadModel(const QByteArray& bytes, Handle& model, QString& message)
{
    Handle reader;
    if (lib3mf_createmodel(model.Out()) != LIB3MF_OK
        || lib3mf_model_queryreader(model.Get(), "3mf", reader.Out()) != LIB3MF_OK) {
        message = QStringLiteral("lib3mf could not start");
        return KzLoadReport::Package_Unreadable;
    }
    // lib3mf only reads the buffer.
    BYTE* data = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.constData()));
    if (lib3mf_reader_readfrombuffer(reader.Get(), data, ULONG64(bytes.size())) == LIB3MF_OK)
        return KzLoadReport::Package_None;
    DWORD code = 0;
    LPCSTR text = nullptr;
    lib3mf_getlasterror(reader.Get(), &code, &text);
    message = QStringLiteral("lib3mf error 0x%1: %2").arg(code, 0, 16).arg(QString::fromUtf8(text ? text : ""));
    return FaultOf(code);
}

} // namespace

bool Kz3mfReader::Parse(const QByteArray& bytes, Kz3mfPackage& package)
{
    Handle model;
    QString message;
    const KzLoadReport::emPackageFault fault = ReadModel(bytes, model, message);
    if (fault != KzLoadReport::Package_None)
        return Fail(fault, message);
    DWORD unit = MODELUNIT_MILLIMETER;
    lib3mf_model_getunit(model.Get(), &unit);
    const double scale = UnitScale(unit);
    Handle items;
    if (scale == 0 || lib3mf_model_getbuilditems(model.Get(), items.Out()) != LIB3MF_OK)
        return Fail(KzLoadReport::Package_Unreadable, QStringLiteral("unit %1, or no build").arg(unit));
    BuildCollector build(scale, package);
    BOOL more = false;
    while (lib3mf_builditemiterator_movenext(items.Get(), &more) == LIB3MF_OK && more) {
        Handle item;
        message = QStringLiteral("a build item lib3mf cannot give");
        const KzLoadReport::emPackageFault itemFault =
            lib3mf_builditemiterator_getcurrent(items.Get(), item.Out()) != LIB3MF_OK
                ? KzLoadReport::Package_Unreadable
                : build.Add(item.Get(), message);
        if (itemFault != KzLoadReport::Package_None)
            return Fail(itemFault, message);
    }
    if (package.m_vecItems.isEmpty())
        return Fail(KzLoadReport::Package_NoItems, QStringLiteral("the build is empty"));
    package.m_vecPlatePlaces = PlatePlaces(model.Get(), package.m_vecItems);
    return true;
}

