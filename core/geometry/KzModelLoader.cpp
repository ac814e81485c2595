#include "KzModelLoader.h"

#include "KzLineReader.h"
#include "KzMeshText.h"
#include "KzObjReader.h"

#include <QDebug>
#include <QFile>
#include <QLoggingCategory>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

// The per-face trace of OBJ loading; off unless enabled with
// QT_LOGGING_RULES="kz.geometry.obj.debug=true" (a large file has millions).
Q_LOGGING_CATEGORY(lcObjFaces, "kz.geometry.obj", QtInfoMsg)

namespace {

const qint64 kBinaryHeader = 84;
const qint64 kBinaryRecord = 50;
const qint64 kRecordsPerBlock = qMax(1, KZ_READ_BLOCK / 50);
const qint64 kProbeBytes = 1 << 20;      // the ASCII check never reads further
// The most triangles one list can hold (its bytes must fit in an int).
const qint64 kMaxFacets = (qint64(std::numeric_limits<int>::max()) - 64) / qint64(sizeof(KzTriangle3D));

float LittleFloat(const uchar* p)
{
    const quint32 bits = qFromLittleEndian<quint32>(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool IsFinite(const KzTriangle3D& tri)
{
    for (int c = 0; c < 3; ++c) {
        for (int axis = 0; axis < 3; ++axis) {
            if (!std::isfinite(tri[c][axis]))
                return false;
        }
    }
    return true;
}

// Reads up to size bytes, retrying short reads; returns the bytes read.
qint64 ReadFully(QFile& file, char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(data + done, size - done);
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

} // namespace

KzModelLoader::KzModelLoader()
    : m_nFileType(1), m_nProbeLines(50), m_bValid(false), m_bStop(false)
{
    qRegisterMetaType<KzTriangle3D>("KzTriangle3D");
}

KzModelLoader::~KzModelLoader() = default;

void KzModelLoader::slot_StartLoad()
{
    m_bStop = false;
    m_nDelivered = 0;
    m_report = KzLoadReport(m_strFileName);
    if (m_nFileType == 0)
        ReadBinarySTL(m_strFileName);
    else if (m_nFileType == 1)
        ReadAsciiSTL(m_strFileName);
    if (m_nFileType == 2)
        ReadObjFile(m_strFileName);
    else if (m_nFileType == 3)
        ReadGivenFacets();
    emit signal_LoadComplete();
}

// A facet with a corner that is not a finite number would wreck the bounds
// and every placement computed from them: it is left out, and counted.
void KzModelLoader::Deliver(KzTriangle3D& tri)
{
    if (!IsFinite(tri)) {
        m_report.AddDropped();
        return;
    }
    tri.UpdateNormal();
    emit signal_TriangleReady(tri);
    if (++m_nDelivered == kMaxFacets) {
        qDebug() << "too many facets: reading stops after" << kMaxFacets;
        m_bStop = true;
    }
}

void KzModelLoader::Expect(qint64 count)
{
    emit signal_FacetsExpected(int(qMin(count, kMaxFacets)));
}

// OBJ by name; an STL is binary when its size matches its facet count exactly,
// ASCII when it starts with "solid" and has a vertex line near the top, and
// binary otherwise (that reader never goes past the end of the file).
void KzModelLoader::CheckFileType()
{
    m_nFileType = 1;
    m_bValid = false;
    if (m_strFileName.contains(QLatin1String(".obj"), Qt::CaseInsensitive)) {
        m_nFileType = 2;
        m_bValid = true;
        return;
    }
    if (!m_strFileName.contains(QLatin1String(".stl"), Qt::CaseInsensitive))
        return;
    QFile file(m_strFileName);
    if (!KzLineReader::OpenRegularFile(file))
        return;
    m_bValid = true;
    uchar header[kBinaryHeader];
    if (ReadFully(file, reinterpret_cast<char*>(header), kBinaryHeader) == kBinaryHeader) {
        const quint32 count = qFromLittleEndian<quint32>(header + 80);
        if (file.size() == kBinaryHeader + kBinaryRecord * qint64(count)) {
            m_nFileType = 0;
            return;
        }
    }
    file.seek(0);
    if (!ProbeAscii(file))
        m_nFileType = 0;
}

bool KzModelLoader::ProbeAscii(QFile& file)
{
    KzLineReader lines(file, kProbeBytes);
    const char* begin;
    const char* end;
    if (!lines.Next(begin, end) || !KzMeshText::StartsWithSolid(begin, end))
        return false;
    float xyz[3];
    for (int n = 1; n < m_nProbeLines && lines.Next(begin, end); ++n) {
        if (KzMeshText::MatchVertexLine(begin, end, xyz))
            return true;
    }
    return false;
}

void KzModelLoader::ReadAsciiSTL(QString path)
{
    QFile file(path);
    if (!KzLineReader::OpenRegularFile(file))
        return;
    m_report.SetOpened();
    KzLineReader lines(file);
    KzTriangle3D tri;
    int k = 0;
    const char* begin;
    const char* end;
    float xyz[3];
    while (!m_bStop && lines.Next(begin, end)) {
        if (KzMeshText::MatchVertexLine(begin, end, xyz)) {
            if (k == 3) {
                qDebug() << "vertex error";   // a fourth corner: the file is not a triangle mesh
                break;
            }
            tri[k++] = QVector3D(xyz[0], xyz[1], xyz[2]);
        } else if (KzMeshText::Contains(begin, end, "endfacet")) {
            if (k == 3)   // a facet with fewer corners is skipped
                Deliver(tri);
            k = 0;
        }
    }
}

void KzModelLoader::ReadBinarySTL(QString path)
{
    QFile file(path);
    if (!KzLineReader::OpenRegularFile(file))
        return;
    m_report.SetOpened();
    uchar header[kBinaryHeader];
    if (ReadFully(file, reinterpret_cast<char*>(header), kBinaryHeader) != kBinaryHeader)
        return;
    // The count is believed only as far as the file holds complete records.
    const qint64 stored = qMax<qint64>(0, (file.size() - kBinaryHeader) / kBinaryRecord);
    const qint64 promised = qFromLittleEndian<quint32>(header + 80);
    if (promised > stored)
        m_report.SetShort(promised, stored);
    qint64 left = qMin<qint64>(promised, stored);
    Expect(left);
    std::vector<char> block(size_t(qMin(left, kRecordsPerBlock) * kBinaryRecord));
    KzTriangle3D tri;
    while (left > 0 && !m_bStop) {
        const qint64 want = qMin(left, kRecordsPerBlock);
        const qint64 records = ReadFully(file, block.data(), want * kBinaryRecord) / kBinaryRecord;
        for (qint64 r = 0; r < records && !m_bStop; ++r) {
            const uchar* p = reinterpret_cast<const uchar*>(block.data()) + r * kBinaryRecord + 12;
            for (int c = 0; c < 3; ++c, p += 12)
                tri[c] = QVector3D(LittleFloat(p), LittleFloat(p + 4), LittleFloat(p + 8));
            Deliver(tri);
        }
        if (records < want)
            break;   // the file ended early (it shrank since the check)
        left -= want;
    }
}

void KzModelLoader::ReadObjFile(QString path)
{
    qDebug() << "read obj file";
    const KzObjReader reader(QFile::encodeName(path).toStdString());
    if (reader.IsOpened())
        m_report.SetOpened();
    const KzObjData& data = reader.Data();
    const qint64 vertices = qint64(data.m_vecVertices.size());
    Expect(qint64(data.m_vecFaces.size()));
    const bool trace = lcObjFaces().isDebugEnabled();
    KzTriangle3D tri;
    for (const KzObjData::Face& face : data.m_vecFaces) {
        if (m_bStop)
            break;
        if (trace) {
            qCDebug(lcObjFaces, "Indacies into faces:\n");
            qCDebug(lcObjFaces, "%d; %d; %d", face.vertex[0], face.vertex[1], face.vertex[2]);
        }
        bool inside = true;
        for (int c = 0; c < 3; ++c)
            inside = inside && face.vertex[c] >= 0 && face.vertex[c] < vertices;
        if (!inside)
            continue;   // relative (negative) or dangling indices are not supported
        for (int c = 0; c < 3; ++c) {
            const KzObjData::Vertex& v = data.m_vecVertices[size_t(face.vertex[c])];
            tri[c] = QVector3D(v.x, v.y, v.z);
        }
        Deliver(tri);
    }
}

// A mesh read from a package by Kz3mfReader: its facets take the way of a
// file's, so they are checked, counted and given normals alike.
void KzModelLoader::ReadGivenFacets()
{
    m_report.SetOpened();
    Expect(m_vecGiven.size());
    KzTriangle3D tri;
    for (int i = 0; i < m_vecGiven.size() && !m_bStop; ++i) {
        tri = m_vecGiven.at(i);
        Deliver(tri);
    }
    m_vecGiven = QVector<KzTriangle3D>();
}
