#ifndef KZGLVIEWGLOBAL_H
#define KZGLVIEWGLOBAL_H

#include <QtCore/qglobal.h>

#if defined(KZGLVIEW_LIBRARY)
#define KZGLVIEW_EXPORT Q_DECL_EXPORT
#else
#define KZGLVIEW_EXPORT Q_DECL_IMPORT
#endif

#endif // KZGLVIEWGLOBAL_H
