#include "Kz3mfTestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <zlib.h>

#include <cmath>

#include <Model/COM/NMR_DLLInterfaces.h>

using namespace NMR;

namespace Kz3mfTest {

namespace {

void Put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void Put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// Raw deflate (no zlib header), as zips hold it; with a full flush at the end
// when more is to follow, so that pieces can be put one after the other.
QByteArray Deflate(const QByteArray& data, bool last)
{
    z_stream z = {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
    out.resize(int(z.total_out));
    deflateEnd(&z);
    return out;
}

// One box's eight corners and twelve facets.
const int kBoxFacets[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                               {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};

QVector3D BoxCorner(const QVector3D& min, const QVector3D& max, int i)
{
    return QVector3D(i & 1 ? max.x() : min.x(), i & 2 ? max.y() : min.y(), i & 4 ? max.z() : min.z());
}

// A lib3mf object released at the end of the scope.
struct Held
{
    PLib3MFBase* p = nullptr;
    ~Held()
    {
        if (p != nullptr)
            lib3mf_release(p);
    }
};

MODELTRANSFORM Transform(float turnDegrees, const QVector3D& move)
{
    const float c = std::cos(turnDegrees * float(M_PI) / 180);
    const float s = std::sin(turnDegrees * float(M_PI) / 180);
    MODELTRANSFORM t = {{{c, -s, 0, move.x()}, {s, c, 0, move.y()}, {0, 0, 1, move.z()}}};
    return t;
}

bool AddBoxMesh(PLib3MFBase* model, Held& mesh, const QVector3D& max)
{
    MODELMESHVERTEX v[8];
    for (int i = 0; i < 8; ++i) {
        const QVector3D p = BoxCorner(QVector3D(), max, i);
        v[i] = {{p.x(), p.y(), p.z()}};
    }
    MODELMESHTRIANGLE t[12];
    for (int i = 0; i < 12; ++i)
        t[i] = {{DWORD(kBoxFacets[i][0]), DWORD(kBoxFacets[i][1]), DWORD(kBoxFacets[i][2])}};
    return lib3mf_model_addmeshobject(model, &mesh.p) == LIB3MF_OK
           && lib3mf_meshobject_setgeometry(mesh.p, v, 8, t, 12) == LIB3MF_OK;
}

bool AddComponent(PLib3MFBase* parent, PLib3MFBase* part, MODELTRANSFORM* t)
{
    Held component;
    return lib3mf_componentsobject_addcomponent(parent, part, t, &component.p) == LIB3MF_OK;
}

bool AddItem(PLib3MFBase* model, PLib3MFBase* object, MODELTRANSFORM* t)
{
    Held item;
    return lib3mf_model_addbuilditem(model, object, t, &item.p) == LIB3MF_OK;
}

bool WriteModel(PLib3MFBase* model, const QString& path)
{
    Held writer;
    return lib3mf_model_querywriter(model, "3mf", &writer.p) == LIB3MF_OK
           && lib3mf_writer_writetofileutf8(writer.p, QFile::encodeName(path).constData()) == LIB3MF_OK;
}

} // namespace

QByteArray Zip(const QVector<Part>& parts)
{
    QByteArray out;
    QByteArray directory;
    for (const Part& part : parts) {
        const QByteArray packed = !part.packed.isEmpty() ? part.packed : part.deflate ? Deflate(part.data, true) : part.data;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(part.data.constData()), uInt(part.data.size())));
        const quint32 size = quint32(part.stated >= 0 ? part.stated : part.data.size());
        const quint16 method = part.deflate ? 8 : 0;
        const quint32 offset = quint32(out.size());
        Put32(out, 0x04034b50);
        for (quint16 v : {quint16(20), quint16(0), method, quint16(0), quint16(0x21)})
            Put16(out, v);
        for (quint32 v : {crc, quint32(packed.size()), size})
            Put32(out, v);
        Put16(out, quint16(part.name.size()));
        Put16(out, 0);
        out += part.name + packed;
        Put32(directory, 0x02014b50);
        for (quint16 v : {quint16(20), quint16(20), quint16(0), method, quint16(0), quint16(0x21)})
            Put16(directory, v);
        for (quint32 v : {crc, quint32(packed.size()), size})
            Put32(directory, v);
        for (quint16 v : {quint16(part.name.size()), quint16(0), quint16(0), quint16(0), quint16(0)})
            Put16(directory, v);
        Put32(directory, 0);
        Put32(directory, offset);
        directory += part.name;
    }
    const quint32 start = quint32(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    for (quint16 v : {quint16(0), quint16(0), quint16(parts.size()), quint16(parts.size())})
        Put16(out, v);
    Put32(out, quint32(directory.size()));
    Put32(out, start);
    Put16(out, 0);
    return out;
}

QByteArray Package(const QByteArray& model, bool deflate)
{
    const QByteArray types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "content-types\"><Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package."
        "relationships+xml\"/><Default Extension=\"model\" ContentType=\"application/vnd.ms-package."
        "3dmanufacturing-3dmodel+xml\"/></Types>";
    const QByteArray relations =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"http://schemas.openxmlformats.org/"
        "package/2006/relationships\"><Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" Type=\"http://"
        "schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>";
    QVector<Part> parts{{"[Content_Types].xml", types}, {"_rels/.rels", relations}, {"3D/3dmodel.model", model}};
    for (Part& part : parts)
        part.deflate = deflate;
    return Zip(parts);
}

QByteArray Model(const QByteArray& body, const char* unit)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"") + unit
           + "\" xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n" + body + "\n</model>\n";
}

QByteArray BoxObject(int id, const QVector3D& min, const QVector3D& max)
{
    QByteArray xml = "<object id=\"" + QByteArray::number(id) + "\" type=\"model\"><mesh><vertices>";
    for (int i = 0; i < 8; ++i) {
        const QVector3D p = BoxCorner(min, max, i);
        xml += QString("<vertex x=\"%1\" y=\"%2\" z=\"%3\"/>").arg(p.x()).arg(p.y()).arg(p.z()).toUtf8();
    }
    xml += "</vertices><triangles>";
    for (const auto& f : kBoxFacets)
        xml += QString("<triangle v1=\"%1\" v2=\"%2\" v3=\"%3\"/>").arg(f[0]).arg(f[1]).arg(f[2]).toUtf8();
    return xml + "</triangles></mesh></object>";
}

QByteArray PackedVertices(int megabytes)
{
    const QByteArray head = "<?xml version=\"1.0\"?><model unit=\"millimeter\" xmlns=\"http://schemas.microsoft.com/"
                            "3dmanufacturing/core/2015/02\"><resources><object id=\"1\" type=\"model\"><mesh><vertices>";
    const QByteArray line = "<vertex x=\"1\" y=\"2\" z=\"3\"/>\n";
    const QByteArray block = line.repeated((1 << 20) / line.size());
    const QByteArray tail = "</vertices><triangles><triangle v1=\"0\" v2=\"1\" v3=\"2\"/></triangles></mesh>"
                            "</object></resources><build><item objectid=\"1\"/></build></model>";
    const QByteArray packedBlock = Deflate(block, false);
    QByteArray packed = Deflate(head, false);
    for (int i = 0; i < megabytes; ++i)
        packed += packedBlock;
    return packed + Deflate(tail, true);
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool WriteComponentsInInches(const QString& path)
{
    Held model;
    Held box;
    Held part;
    if (lib3mf_createmodel(&model.p) != LIB3MF_OK || lib3mf_model_setunit(model.p, MODELUNIT_INCH) != LIB3MF_OK
        || !AddBoxMesh(model.p, box, QVector3D(0.5f, 1, 1.5f)) || lib3mf_model_addcomponentsobject(model.p, &part.p) != LIB3MF_OK)
        return false;
    MODELTRANSFORM right = Transform(0, QVector3D(1.5f, 0, 0));
    MODELTRANSFORM turned = Transform(90, QVector3D(0, 2.5f, 0));
    MODELTRANSFORM first = Transform(0, QVector3D(1.2f, 0.2f, 0));
    MODELTRANSFORM second = Transform(0, QVector3D(4.5f, 0.2f, 0));
    MODELTRANSFORM third = Transform(0, QVector3D(1, 4, 0));
    return AddComponent(part.p, box.p, &right) && AddComponent(part.p, box.p, &turned)
           && AddItem(model.p, part.p, &first) && AddItem(model.p, part.p, &second) && AddItem(model.p, box.p, &third)
           && WriteModel(model.p, path);
}

bool WriteComponentBomb(const QString& path)
{
    Held model;
    Held fan;
    Held thousand;
    Held million;
    if (lib3mf_createmodel(&model.p) != LIB3MF_OK || lib3mf_model_addmeshobject(model.p, &fan.p) != LIB3MF_OK)
        return false;
    QVector<MODELMESHVERTEX> v(1002);
    QVector<MODELMESHTRIANGLE> t(1000);
    v[0] = {{0, 0, 1}};
    for (int i = 0; i <= 1000; ++i)
        v[i + 1] = {{float(i), 1, 0}};
    for (DWORD i = 0; i < 1000; ++i)
        t[int(i)] = {{0, i + 1, i + 2}};
    if (lib3mf_meshobject_setgeometry(fan.p, v.data(), DWORD(v.size()), t.data(), DWORD(t.size())) != LIB3MF_OK
        || lib3mf_model_addcomponentsobject(model.p, &thousand.p) != LIB3MF_OK
        || lib3mf_model_addcomponentsobject(model.p, &million.p) != LIB3MF_OK)
        return false;
    for (int i = 0; i < 1000; ++i)
        if (!AddComponent(thousand.p, fan.p, nullptr))
            return false;
    for (int i = 0; i < 100; ++i)
        if (!AddComponent(million.p, thousand.p, nullptr))
            return false;
    return AddItem(model.p, million.p, nullptr) && WriteModel(model.p, path);
}

int StrictWarnings(const QString& path)
{
    Held model;
    Held reader;
    DWORD warnings = 0;
    if (lib3mf_createmodel(&model.p) != LIB3MF_OK || lib3mf_model_queryreader(model.p, "3mf", &reader.p) != LIB3MF_OK
        || lib3mf_reader_setstrictmodeactive(reader.p, true) != LIB3MF_OK
        || lib3mf_reader_readfromfileutf8(reader.p, QFile::encodeName(path).constData()) != LIB3MF_OK
        || lib3mf_reader_getwarningcount(reader.p, &warnings) != LIB3MF_OK)
        return -1;
    return int(warnings);
}

QString RunOpenScad(const QString& folder, const QByteArray& scad, const QString& output)
{
    const QString source = QDir(folder).filePath(QFileInfo(output).completeBaseName() + ".scad");
    if (!WriteFile(source, scad))
        return "cannot write " + source;
    QProcess openscad;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_PRELOAD");   // the sanitizer build's, not for another program
    openscad.setProcessEnvironment(env);
    openscad.setProcessChannelMode(QProcess::MergedChannels);
    openscad.start("openscad", {"-o", output, source});
    if (!openscad.waitForFinished(120000) || openscad.exitStatus() != QProcess::NormalExit || openscad.exitCode() != 0)
        return "openscad failed: " + openscad.errorString() + "\n" + QString::fromUtf8(openscad.readAll());
    return QFile::exists(output) ? QString() : "openscad wrote no " + output;
}

} // namespace Kz3mfTest
