#ifndef KZVIEWTESTSUPPORT_H
#define KZVIEWTESTSUPPORT_H

// Helpers shared by the view's tests: a view with its protected parts opened up,
// synthetic input, and the projection the view uses, to find where a scene point
// lands in a grabbed frame.

#include "KzGLView.h"

#include "KzTriangle3D.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <QVector>

class KzTestView : public KzGLView
{
public:
    using KzGLView::KzGLView;
    using KzGLView::GetCamera;
    using KzGLView::GetScene;
    using KzGLView::GetXYZPainter;
    using KzGLView::resizeGL;
};

namespace KzViewTest {

// Press, move with the same button held, release.
void Press(QWidget* w, const QPoint& pos, Qt::MouseButton button);
void Move(QWidget* w, const QPoint& pos, Qt::MouseButtons buttons);
void Release(QWidget* w, const QPoint& pos, Qt::MouseButton button);
void Drag(QWidget* w, const QPoint& from, const QPoint& to, Qt::MouseButton button);
void Wheel(QWidget* w, int delta);

// Where a scene point lands in a w x h frame grabbed from the view (y down).
QPointF ProjectToImage(const KzCamera& camera, const QVector3D& p, int w, int h);

// The background gradient's grey value at an image row.
double BackgroundAt(int row, int height);

// A colour alpha-blended over a background, as the view's blend function does.
QColor Blend(const QColor& over, double alpha, const QColor& under);

// True when every channel is within tol.
bool Close(const QColor& a, const QColor& b, int tol);

// The twelve facets of an axis-aligned box, wound counter-clockwise seen from
// outside.
QVector<KzTriangle3D> BoxTriangles(const QVector3D& min, const QVector3D& max);

// Writes facets as a binary STL file; false when the file cannot be written.
bool WriteBinaryStl(const QString& path, const QVector<KzTriangle3D>& triangles);

} // namespace KzViewTest

#endif // KZVIEWTESTSUPPORT_H
