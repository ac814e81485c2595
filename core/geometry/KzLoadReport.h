#ifndef KZLOADREPORT_H
#define KZLOADREPORT_H

#include "KzFunctionGlobal.h"

#include <QMetaType>
#include <QString>
#include <QVector3D>

// What reading one mesh file came to: whether the model may go onto the plate
// and what was left out on the way. The model keeps the report of its load;
// the view hands it on to whoever tells the user.
class KZFUNCTION_EXPORT KzLoadReport
{
public:
    enum emVerdict {
        Verdict_Loaded,       // usable, perhaps with facets left out (below)
        Verdict_Unreadable,   // not a mesh type that is read, or not opened
        Verdict_NoFacets,     // nothing left to draw
        Verdict_TooLarge,     // larger than any printer could hold
        Verdict_BadPackage,   // a 3MF package that cannot be used: GetPackageFault says why
    };

    // Why a 3MF package was refused.
    enum emPackageFault {
        Package_None,
        Package_Unreadable,      // lib3mf could not read it, for a reason not below
        Package_NotZip,          // not a zip archive at all
        Package_Damaged,         // a zip whose data does not match its directory
        Package_NoModel,         // no 3D model part in it
        Package_BadXml,          // the model part is not the XML of a model
        Package_BadIndex,        // a triangle's vertex indices: out of range or repeated
        Package_MissingObject,   // a build item or component refers to an absent object
        Package_BadCoordinates,  // coordinates or transforms that are not numbers
        Package_TooLarge,        // more than 2 GB unpacked, or of mesh data
        Package_NoItems,         // nothing in its build to print
    };

    // No printer holds a part longer than this on any axis (100 m, in mm).
    static const double ms_dMaxExtent;

    KzLoadReport() = default;
    explicit KzLoadReport(const QString& path) : m_strFileName(path) {}

    // Filled by the reader while it reads.
    void SetOpened() { m_bOpened = true; }
    void AddDropped(qint64 count = 1) { m_nDropped += count; }
    // A package refused before its meshes were looked at.
    void SetPackageFault(emPackageFault fault);
    void SetShort(qint64 promised, qint64 records);

    // The verdict on what the model holds once the file is read.
    void Judge(int facets, const QVector3D& min, const QVector3D& max);
    // The same for several meshes at once: extent is the longest side of any.
    void JudgeExtent(qint64 facets, double extent);

    QString GetFileName() const { return m_strFileName; }
    emVerdict GetVerdict() const { return m_nVerdict; }
    bool IsUsable() const { return m_nVerdict == Verdict_Loaded; }
    qint64 GetFacets() const { return m_nFacets; }
    // Facets left out because a corner was not a finite number.
    qint64 GetDropped() const { return m_nDropped; }
    // A binary STL whose header promises more facets than it holds records:
    // the count promised and the complete records there were; -1 otherwise.
    qint64 GetPromised() const { return m_nPromised; }
    qint64 GetRecords() const { return m_nRecords; }
    bool IsShort() const { return m_nPromised >= 0; }
    emPackageFault GetPackageFault() const { return m_nPackageFault; }
    // The longest side of the model's bounding box, in mm.
    double GetExtent() const { return m_dExtent; }

private:
    QString m_strFileName;
    emVerdict m_nVerdict = Verdict_Unreadable;
    bool m_bOpened = false;
    qint64 m_nFacets = 0;
    qint64 m_nDropped = 0;
    qint64 m_nPromised = -1;
    qint64 m_nRecords = -1;
    double m_dExtent = 0;
    emPackageFault m_nPackageFault = Package_None;
};

Q_DECLARE_METATYPE(KzLoadReport)

#endif // KZLOADREPORT_H
