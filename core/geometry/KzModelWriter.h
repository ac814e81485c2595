#ifndef KZMODELWRITER_H
#define KZMODELWRITER_H

#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QString>
#include <QVector>

class QSaveFile;

// Collects triangles and writes them, exactly as held, to one STL file. The
// file is written beside the target and renamed over it only when every byte
// was written: a failed save reports false and leaves an existing file as it was.
class KZFUNCTION_EXPORT KzModelWriter
{
public:
    KzModelWriter() = default;

    void AddTriangles(const QVector<KzTriangle3D>& tris) { m_vecTriangles += tris; }

    bool WriterBinary(QString path);
    bool WriterASCII(QString path);

private:
    static bool Put(QSaveFile& file, const char* data, qint64 size);

    QVector<KzTriangle3D> m_vecTriangles;
};

#endif // KZMODELWRITER_H
