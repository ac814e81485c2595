#ifndef KZOBJREADER_H
#define KZOBJREADER_H

#include "KzObjData.h"

#include <string>

class QFile;

// Reads the vertex positions and faces of a Wavefront OBJ file in two passes:
// the first counts the lines of each kind so the arrays are sized once, the
// second fills them.
class KzObjReader
{
public:
    explicit KzObjReader(const std::string& path);

    const KzObjData& Data() const { return m_data; }
    bool IsOpened() const { return m_bOpened; }

private:
    enum LineKind { Other, Vertex, Normal, TexCoord, Face };
    static LineKind Classify(const char* begin, const char* end);

    bool CountLines();
    bool ReadLines();
    void ReadFace(const char* p, const char* end);
    bool Open(QFile& file) const;

    std::string m_strPath;
    KzObjData m_data;
    bool m_bOpened = false;
};

#endif // KZOBJREADER_H
