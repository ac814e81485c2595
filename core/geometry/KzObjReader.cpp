#include "KzObjReader.h"

#include "KzLineReader.h"
#include "KzMeshText.h"

#include <QDebug>
#include <QFile>

#include <algorithm>
#include <limits>

KzObjReader::KzObjReader(const std::string& path)
    : m_strPath(path)
{
    m_bOpened = CountLines() && ReadLines();
}

// Kind of a line by its first characters; the order of the tests matters.
KzObjReader::LineKind KzObjReader::Classify(const char* begin, const char* end)
{
    if (begin == end)
        return Other;
    if (end - begin >= 2 && begin[0] == 'v' && begin[1] == 'n')
        return Normal;
    if (end - begin >= 2 && begin[0] == 'v' && begin[1] == 't')
        return TexCoord;
    if (begin[0] == 'v')
        return Vertex;
    if (begin[0] == 'f')
        return Face;
    return Other;
}

bool KzObjReader::Open(QIODevice& file) const
{
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return true;
    qDebug() << "error: unable to open input file: ";
    return false;
}

bool KzObjReader::CountLines()
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(m_strPath)));
    if (!Open(file))
        return false;
    size_t counts[5] = {0, 0, 0, 0, 0};
    KzLineReader lines(file);
    const char* begin;
    const char* end;
    while (lines.Next(begin, end))
        ++counts[Classify(begin, end)];
    // Each count is of lines really present, so the sizes are bounded by the file.
    m_data.m_vecVertices.reserve(counts[Vertex]);
    m_data.m_vecNormals.reserve(counts[Normal]);
    m_data.m_vecTexCoords.reserve(counts[TexCoord]);
    m_data.m_vecFaces.reserve(counts[Face]);
    return true;
}

bool KzObjReader::ReadLines()
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(m_strPath)));
    if (!Open(file))
        return false;
    KzLineReader lines(file);
    const char* begin;
    const char* end;
    const char* w[3][2];
    while (lines.Next(begin, end)) {
        const LineKind kind = Classify(begin, end);
        if (kind == Other)
            continue;
        const char* p = begin;
        const char* kb;
        const char* ke;
        KzMeshText::NextWord(p, end, kb, ke);   // the keyword
        if (kind == Face) {
            ReadFace(p, end);
            continue;
        }
        // A missing word reads as 0.
        float v[3] = {0, 0, 0};
        const int wanted = kind == TexCoord ? 2 : 3;
        for (int i = 0; i < wanted && KzMeshText::NextWord(p, end, w[i][0], w[i][1]); ++i)
            v[i] = KzMeshText::ToFloatPrefix(w[i][0], w[i][1]);
        if (kind == Vertex)
            m_data.m_vecVertices.push_back({v[0], v[1], v[2]});
        else if (kind == Normal)
            m_data.m_vecNormals.push_back({v[0], v[1], v[2]});
        else
            m_data.m_vecTexCoords.push_back({v[0], v[1]});
    }
    m_data.m_nVertexCount = quint32(m_data.m_vecVertices.size());
    m_data.m_nNormalCount = quint32(m_data.m_vecNormals.size());
    m_data.m_nTexCoordCount = quint32(m_data.m_vecTexCoords.size());
    m_data.m_nFaceCount = quint32(m_data.m_vecFaces.size());
    return true;
}

namespace {

// One-based index as written, made zero-based; out-of-range values end up
// negative or past the count and are rejected by the consumer.
qint32 ZeroBased(qint64 oneBased)
{
    const qint64 i = oneBased - 1;
    return i < std::numeric_limits<qint32>::min() ? -1 : qint32(i);
}

} // namespace

// "f v v v", "f v/t v/t v/t", "f v//n ...", "f v/t/n ...": the first three
// corners make the face, later ones are ignored.
void KzObjReader::ReadFace(const char* p, const char* end)
{
    KzObjData::Face face;
    for (int c = 0; c < 3; ++c) {
        const char* wb;
        const char* we;
        if (!KzMeshText::NextWord(p, end, wb, we))
            return;   // fewer than three corners: not a face we can draw
        face.vertex[c] = ZeroBased(KzMeshText::ToIntPrefix(wb, we));
        face.texture[c] = -1;
        face.normal[c] = -1;
        const char* slash = std::find(wb, we, '/');
        if (slash == we)
            continue;
        face.texture[c] = ZeroBased(KzMeshText::ToIntPrefix(slash + 1, we));
        const char* slash2 = std::find(slash + 1, we, '/');
        if (slash2 != we)
            face.normal[c] = ZeroBased(KzMeshText::ToIntPrefix(slash2 + 1, we));
    }
    m_data.m_vecFaces.push_back(face);
}
