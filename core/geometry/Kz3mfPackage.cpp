#include "Kz3mfPackage.h"

const char* const Kz3mfPackage::ms_szPlacesNamespace = "urn:kzvellum:plate";
const char* const Kz3mfPackage::ms_szPlacesName = "places";

qint64 Kz3mfPackage::FacetCount() const
{
    qint64 count = 0;
    for (const QVector<KzTriangle3D>& mesh : m_vecMeshes)
        count += mesh.size();
    return count;
}

Kz3mfPackage Kz3mfPackage::Layout() const
{
    Kz3mfPackage layout;
    layout.m_vecMeshes.resize(m_vecMeshes.size());
    layout.m_vecItems = m_vecItems;
    layout.m_vecPlatePlaces = m_vecPlatePlaces;
    return layout;
}
