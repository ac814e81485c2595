#include "KzObjData.h"

void KzObjData::Clear()
{
    *this = KzObjData();
}
