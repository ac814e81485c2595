#include "KzViewTestSupport.h"

#include "KzModelWriter.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace KzViewTest {

static void Send(QWidget* w, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
                 Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

void Press(QWidget* w, const QPoint& pos, Qt::MouseButton button)
{
    Send(w, QEvent::MouseButtonPress, pos, button, button);
}

void Move(QWidget* w, const QPoint& pos, Qt::MouseButtons buttons)
{
    Send(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

void Release(QWidget* w, const QPoint& pos, Qt::MouseButton button)
{
    Send(w, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

void Drag(QWidget* w, const QPoint& from, const QPoint& to, Qt::MouseButton button)
{
    Press(w, from, button);
    Move(w, (from + to) / 2, button);
    Move(w, to, button);
    Release(w, to, button);
}

void Wheel(QWidget* w, int delta)
{
    const QPoint pos(w->width() / 2, w->height() / 2);
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

QPointF ProjectToImage(const KzCamera& camera, const QVector3D& p, int w, int h)
{
    QMatrix4x4 projection;
    projection.perspective(45.0f, float(w) / float(h), 0.1f, 10000.0f);
    const QVector3D ndc = (projection * camera.ModelView()).map(p);
    return QPointF((ndc.x() + 1.0) * 0.5 * w, (1.0 - ndc.y()) * 0.5 * h);
}

double BackgroundAt(int row, int height)
{
    return 160.0 - 60.0 * (row + 0.5) / height;
}

QColor Blend(const QColor& over, double alpha, const QColor& under)
{
    auto mix = [alpha](int a, int b) { return int(std::lround(a * alpha + b * (1.0 - alpha))); };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()),
                  mix(over.blue(), under.blue()));
}

bool Close(const QColor& a, const QColor& b, int tol)
{
    return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol
           && std::abs(a.blue() - b.blue()) <= tol;
}

QVector<KzTriangle3D> BoxTriangles(const QVector3D& min, const QVector3D& max)
{
    QVector3D corner[8];
    for (int k = 0; k < 8; ++k) {
        const bool hiX = (k % 4 == 1) || (k % 4 == 2);
        const bool hiY = (k % 4 == 2) || (k % 4 == 3);
        corner[k] = QVector3D(hiX ? max.x() : min.x(), hiY ? max.y() : min.y(),
                              k >= 4 ? max.z() : min.z());
    }
    static const int face[6][4] = {
        {0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7},
    };
    QVector<KzTriangle3D> out;
    for (const auto& f : face) {
        const int tri[2][3] = {{f[0], f[1], f[2]}, {f[0], f[2], f[3]}};
        for (const auto& t : tri) {
            KzTriangle3D facet;
            for (int k = 0; k < 3; ++k)
                facet[k] = corner[t[k]];
            facet.UpdateNormal();
            out.append(facet);
        }
    }
    return out;
}

bool WriteBinaryStl(const QString& path, const QVector<KzTriangle3D>& triangles)
{
    KzModelWriter writer;
    writer.AddTriangles(triangles);
    return writer.WriterBinary(path);
}

} // namespace KzViewTest
