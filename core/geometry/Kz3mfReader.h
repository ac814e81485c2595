#ifndef KZ3MFREADER_H
#define KZ3MFREADER_H

#include "Kz3mfPackage.h"
#include "KzFunctionGlobal.h"
#include "KzLoadReport.h"

#include <QByteArray>
#include <QString>

// Reads a 3MF package (a zip of XML parts) into the meshes and build items of
// a Kz3mfPackage, with lib3mf. Before lib3mf sees it, the zip is checked with
// libzip: an archive, a model part, and no more than ms_nMaxBytes unpacked,
// counted as it really unpacks (a zip may state sizes it does not keep), since
// lib3mf reads every part to its end and holds what it read. Build items and
// components that would hold more than ms_nMaxBytes of facets between them
// are refused before a facet is copied. Colours, materials, textures and the
// settings of other programs are not read.
class KZFUNCTION_EXPORT Kz3mfReader
{
public:
    static const qint64 ms_nMaxBytes;   // 2 GiB
    // Facets the build items may hold between them (ms_nMaxBytes of facets).
    static const qint64 ms_nMaxFacets;

    // Named like a 3MF package (".3mf", any case).
    static bool IsPackagePath(const QString& path);

    bool Read(const QString& path, Kz3mfPackage& package);
    bool ReadBytes(const QByteArray& bytes, Kz3mfPackage& package);

    // Why the last read failed, in the terms a user is told, and in the
    // library's own words for the log.
    KzLoadReport::emPackageFault GetFault() const { return m_nFault; }
    QString GetMessage() const { return m_strMessage; }

private:
    bool Fail(KzLoadReport::emPackageFault fault, const QString& message);
    bool CheckZip(const QByteArray& bytes);
    bool Parse(const QByteArray& bytes, Kz3mfPackage& package);

    KzLoadReport::emPackageFault m_nFault = KzLoadReport::Package_None;
    QString m_strMessage;
};

#endif // KZ3MFREADER_H
