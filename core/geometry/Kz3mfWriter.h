#ifndef KZ3MFWRITER_H
#define KZ3MFWRITER_H

#include "KzFunctionGlobal.h"
#include "KzTriangle3D.h"

#include <QByteArray>
#include <QMatrix4x4>
#include <QString>
#include <QVector>

#include <string>

// Writes a plate as a 3MF package: one mesh object per mesh, one build item
// per instance, in millimetres. Numbers are written with nine significant
// digits, so that every float reads back bit for bit (lib3mf's own writer
// keeps six, which moves an instance by up to half a micrometre). Items are
// written in the file's frame (origin at the build platform's front-left
// corner); the exact plate matrices go along in a metadata entry that this
// program reads back (Kz3mfPackage). The zip is made by libzip, in memory,
// and the file replaced only once it is complete.
class KZFUNCTION_EXPORT Kz3mfWriter
{
public:
    // The largest coordinate 3MF readers take (lib3mf's limit), in mm.
    static const float ms_fMaxCoordinate;

    // Returns the mesh's index for AddItem.
    int AddMesh(const QVector<KzTriangle3D>& facets);
    // plate: the instance's matrix on the plate (origin at the plate's centre).
    void AddItem(int mesh, const QMatrix4x4& plate);
    // Where the plate's centre is in the file's frame.
    void SetPlateCentre(float x, float y);

    // False, writing nothing, also when a corner lies beyond ms_fMaxCoordinate.
    bool Write(const QString& path) const;
    // The package's bytes; empty when libzip fails or a corner lies beyond reach.
    QByteArray Package() const;

private:
    bool IsWithinReach() const;
    std::string ModelPart() const;

    QVector<QVector<KzTriangle3D>> m_vecMeshes;
    QVector<QPair<int, QMatrix4x4>> m_vecItems;
    float m_fCentreX = 0;
    float m_fCentreY = 0;
};

#endif // KZ3MFWRITER_H
