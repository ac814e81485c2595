#include "Kz3mfWriter.h"

#include "Kz3mfPackage.h"

#include <QDebug>
#include <QHash>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include <zip.h>

const float Kz3mfWriter::ms_fMaxCoordinate = 1e9f;

namespace {

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
    " <Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
    " <Default Extension=\"model\" ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>\n"
    "</Types>\n";
const char kRelations[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    " <Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\""
    " Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>\n"
    "</Relationships>\n";

// A corner by its bits: equal floats are one vertex, 0 and -0 two.
struct Corner
{
    quint32 bits[3];
    bool operator==(const Corner& o) const { return std::memcmp(bits, o.bits, sizeof bits) == 0; }
};

uint qHash(const Corner& c, uint seed = 0)
{
    return ::qHash(quint64(c.bits[0]) << 32 | c.bits[1], seed) ^ ::qHash(c.bits[2], seed + 1);
}

Corner CornerOf(const QVector3D& v)
{
    Corner c;
    const float xyz[3] = {v.x(), v.y(), v.z()};
    std::memcpy(c.bits, xyz, sizeof c.bits);
    return c;
}

// Nine significant digits: enough for any float to read back as itself.
void Put(std::string& out, float value)
{
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9);
    out.append(text, size_t(r.ptr - text));
}

void Put(std::string& out, int value)
{
    char text[16];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    out.append(text, size_t(r.ptr - text));
}

// One mesh object. Corners shared by facets are one vertex, except where a
// facet would name one vertex twice (a facet without area, which STL files
// have): those corners get vertices of their own, since 3MF forbids it.
void PutMesh(std::string& out, int id, const QVector<KzTriangle3D>& facets)
{
    QHash<Corner, int> index;
    index.reserve(facets.size() / 2 + 3);
    QVector<QVector3D> vertices;
    QVector<int> corners;
    corners.reserve(facets.size() * 3);
    for (const KzTriangle3D& t : facets) {
        int i[3];
        for (int c = 0; c < 3; ++c) {
            i[c] = index.value(CornerOf(t[c]), -1);
            const bool taken = c > 0 && (i[c] == i[0] || (c == 2 && i[c] == i[1]));
            if (i[c] < 0 || taken) {
                i[c] = vertices.size();
                vertices.append(t[c]);
                if (!taken)
                    index.insert(CornerOf(t[c]), i[c]);
            }
            corners.append(i[c]);
        }
    }
    out += "  <object id=\"";
    Put(out, id);
    out += "\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    for (const QVector3D& v : qAsConst(vertices)) {
        out += "     <vertex x=\"";
        Put(out, v.x());
        out += "\" y=\"";
        Put(out, v.y());
        out += "\" z=\"";
        Put(out, v.z());
        out += "\"/>\n";
    }
    out += "    </vertices>\n    <triangles>\n";
    for (int k = 0; k < corners.size(); k += 3) {
        out += "     <triangle v1=\"";
        Put(out, corners[k]);
        out += "\" v2=\"";
        Put(out, corners[k + 1]);
        out += "\" v3=\"";
        Put(out, corners[k + 2]);
        out += "\"/>\n";
    }
    out += "    </triangles>\n   </mesh>\n  </object>\n";
}

// 3MF writes a matrix as the columns of x, y, z and the translation.
void PutTransform(std::string& out, const QMatrix4x4& m)
{
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 3; ++r) {
            if (c + r > 0)
                out += ' ';
            Put(out, m(r, c));
        }
    }
}

// Adds a part held by the caller until the archive is closed. Deflated at the
// fastest level: libzip's default spends some 20 s on the 75 MB of a million
// facets (down to 7 MB), the fastest under 2 s (to 12 MB).
bool AddPart(zip_t* zip, const char* name, const char* data, size_t size)
{
    zip_source_t* source = zip_source_buffer(zip, data, size, 0);
    if (source == nullptr)
        return false;
    const zip_int64_t index = zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    return zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_DEFLATE, 1) == 0;
}

QByteArray ReadAll(zip_source_t* source)
{
    zip_stat_t st;
    QByteArray bytes;
    if (zip_source_open(source) != 0)
        return bytes;
    if (zip_source_stat(source, &st) == 0 && (st.valid & ZIP_STAT_SIZE) && st.size < zip_uint64_t(INT_MAX)) {
        bytes.resize(int(st.size));
        if (zip_source_read(source, bytes.data(), st.size) != zip_int64_t(st.size))
            bytes.clear();
    }
    zip_source_close(source);
    return bytes;
}

} // namespace

int Kz3mfWriter::AddMesh(const QVector<KzTriangle3D>& facets)
{
    m_vecMeshes.append(facets);
    return m_vecMeshes.size() - 1;
}

void Kz3mfWriter::AddItem(int mesh, const QMatrix4x4& plate)
{
    m_vecItems.append(qMakePair(mesh, plate));
}

void Kz3mfWriter::SetPlateCentre(float x, float y)
{
    m_fCentreX = x;
    m_fCentreY = y;
}

std::string Kz3mfWriter::ModelPart() const
{
    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<model unit=\"millimeter\" xml:lang=\"en-US\""
           " xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\" xmlns:kzplate=\"";
    out += Kz3mfPackage::ms_szPlacesNamespace;
    out += "\">\n <metadata name=\"Application\">KzVellum</metadata>\n <metadata name=\"kzplate:";
    out += Kz3mfPackage::ms_szPlacesName;
    out += "\">";
    Put(out, m_fCentreX);
    out += ' ';
    Put(out, m_fCentreY);
    for (const QPair<int, QMatrix4x4>& item : m_vecItems) {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) {
                out += ' ';
                Put(out, item.second(r, c));
            }
        }
    }
    out += "</metadata>\n <resources>\n";
    for (int i = 0; i < m_vecMeshes.size(); ++i)
        PutMesh(out, i + 1, m_vecMeshes[i]);
    out += " </resources>\n <build>\n";
    QMatrix4x4 shift;
    shift.translate(m_fCentreX, m_fCentreY, 0);
    for (const QPair<int, QMatrix4x4>& item : m_vecItems) {
        out += "  <item objectid=\"";
        Put(out, item.first + 1);
        out += "\" transform=\"";
        PutTransform(out, shift * item.second);
        out += "\"/>\n";
    }
    out += " </build>\n</model>\n";
    return out;
}

// lib3mf refuses coordinates beyond a billion (1000 km in millimetres): a
// package holding one would not open again.
bool Kz3mfWriter::IsWithinReach() const
{
    for (const QVector<KzTriangle3D>& mesh : m_vecMeshes)
        for (const KzTriangle3D& t : mesh)
            for (int c = 0; c < 3; ++c)
                for (int axis = 0; axis < 3; ++axis)
                    if (!(std::abs(t[c][axis]) <= ms_fMaxCoordinate))
                        return false;
    return true;
}

QByteArray Kz3mfWriter::Package() const
{
    if (!IsWithinReach()) {
        qDebug() << "3MF: a corner lies beyond" << ms_fMaxCoordinate << "mm, which 3MF readers refuse";
        return QByteArray();
    }
    const std::string model = ModelPart();
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    QByteArray bytes;
    if (target != nullptr) {
        zip_source_keep(target);
        zip_t* zip = zip_open_from_source(target, ZIP_TRUNCATE, &error);
        if (zip != nullptr) {
            const bool added = AddPart(zip, "[Content_Types].xml", kContentTypes, sizeof kContentTypes - 1)
                               && AddPart(zip, "_rels/.rels", kRelations, sizeof kRelations - 1)
                               && AddPart(zip, "3D/3dmodel.model", model.data(), model.size());
            if (!added) {
                qDebug() << "3MF: cannot add a part:" << zip_strerror(zip);
                zip_discard(zip);
            } else if (zip_close(zip) != 0) {
                qDebug() << "3MF: cannot pack:" << zip_strerror(zip);
                zip_discard(zip);
            } else {
                bytes = ReadAll(target);
            }
        }
        zip_source_free(target);
    }
    zip_error_fini(&error);
    return bytes;
}

bool Kz3mfWriter::Write(const QString& path) const
{
    const QByteArray bytes = Package();
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug() << "writing" << path << "failed:" << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
