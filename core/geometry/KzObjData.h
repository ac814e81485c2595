#ifndef KZOBJDATA_H
#define KZOBJDATA_H

#include <QtGlobal>

#include <vector>

// What the OBJ reader keeps of a file. Indices are zero-based; a face keeps
// only faces with at least three corners, and an index the file did not give
// (a corner without "/t/n") is -1. Index ranges are not checked here: the
// consumer compares them with the vertex count.
class KzObjData
{
public:
    struct Vertex { float x, y, z; };
    struct Normal { double x, y, z; };
    struct TexCoord { float u, v; };
    struct Face { qint32 vertex[3]; qint32 normal[3]; qint32 texture[3]; };

    void Clear();

    quint32 m_nVertexCount = 0;
    quint32 m_nNormalCount = 0;
    quint32 m_nTexCoordCount = 0;
    quint32 m_nFaceCount = 0;
    std::vector<Vertex> m_vecVertices;
    std::vector<Normal> m_vecNormals;
    std::vector<TexCoord> m_vecTexCoords;
    std::vector<Face> m_vecFaces;
};

#endif // KZOBJDATA_H
