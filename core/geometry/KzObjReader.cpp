#include "KzObjReader.h"

#include "KzHugePages.h"
#include "KzLineReader.h"
#include "KzMeshText.h"

#include <QDebug>
#include <QFile>

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

bool KzObjReader::Open(QFile& file) const
{
    if (KzLineReader::OpenRegularFile(file))
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
    KzHugePages::Advise(m_data.m_vecFaces.data(), m_data.m_vecFaces.capacity() * sizeof(KzObjData::Face));
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

// The integer at p as atoi reads it, made zero-based; p moves past it. No
// digits give -1, as does a value outside 32 bits, so it can never index.
qint32 IndexAt(const char*& p, const char* end)
{
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    qint64 value = 0;
    bool overflow = false;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (value > std::numeric_limits<qint32>::max())
            overflow = true;
        else
            value = value * 10 + (*p - '0');
    }
    value = (negative ? -value : value) - 1;
    if (overflow || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        return -1;
    return qint32(value);
}

// Moves p to the next '/' of the word, or to its end.
void SkipToSlash(const char*& p, const char* end)
{
    while (p < end && *p != '/' && !KzMeshText::IsSpace(*p))
        ++p;
}

} // namespace

// "f v v v", "f v/t v/t v/t", "f v//n ...", "f v/t/n ...": the first three
// corners make the face, later ones are ignored. Each number is the integer
// at the start of its part of the word.
void KzObjReader::ReadFace(const char* p, const char* end)
{
    KzObjData::Face face;
    for (int c = 0; c < 3; ++c) {
        while (p < end && KzMeshText::IsSpace(*p))
            ++p;
        if (p == end)
            return;   // fewer than three corners: not a face we can draw
        face.vertex[c] = IndexAt(p, end);
        face.texture[c] = -1;
        face.normal[c] = -1;
        SkipToSlash(p, end);
        if (p < end && *p == '/') {
            face.texture[c] = IndexAt(++p, end);
            SkipToSlash(p, end);
            if (p < end && *p == '/')
                face.normal[c] = IndexAt(++p, end);
        }
        while (p < end && !KzMeshText::IsSpace(*p))
            ++p;
    }
    m_data.m_vecFaces.push_back(face);
}
