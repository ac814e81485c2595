#include "KzLoadReport.h"

#include <algorithm>
#include <cmath>

const double KzLoadReport::ms_dMaxExtent = 100000.0;

void KzLoadReport::SetShort(qint64 promised, qint64 records)
{
    m_nPromised = promised;
    m_nRecords = records;
}

void KzLoadReport::SetPackageFault(emPackageFault fault)
{
    m_nPackageFault = fault;
    m_nVerdict = Verdict_BadPackage;
}

void KzLoadReport::Judge(int facets, const QVector3D& min, const QVector3D& max)
{
    double extent = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const double side = double(max[axis]) - double(min[axis]);
        extent = std::isfinite(side) ? std::max(extent, side) : HUGE_VAL;
    }
    JudgeExtent(facets, extent);
}

void KzLoadReport::JudgeExtent(qint64 facets, double extent)
{
    m_nFacets = facets;
    m_dExtent = std::isnan(extent) ? HUGE_VAL : extent;
    if (m_nPackageFault != Package_None)
        m_nVerdict = Verdict_BadPackage;
    else if (!m_bOpened)
        m_nVerdict = Verdict_Unreadable;
    else if (facets == 0)
        m_nVerdict = Verdict_NoFacets;
    else if (!(m_dExtent <= ms_dMaxExtent))
        m_nVerdict = Verdict_TooLarge;
    else
        m_nVerdict = Verdict_Loaded;
}
