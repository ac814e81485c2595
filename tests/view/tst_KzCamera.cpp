// The camera on its own: default view, drag clamping, zoom bounds, pan, reset and
// the order in which its transform is applied.
#include "KzCamera.h"

#include <QtTest>

class tst_KzCamera : public QObject
{
    Q_OBJECT

private slots:
    void defaultView();
    void pitchDragIsClampedToPlateRange();
    void yawIsUnbounded();
    void zoomStopsAtItsBounds();
    void panDragIsKeptOnRelease();
    void resetKeepsBaseScale();
    void transformTurnsYawThenPitch();
};

void tst_KzCamera::defaultView()
{
    KzCamera c;
    QCOMPARE(c.m_dYaw, 30.0);
    QCOMPARE(c.m_dPitch, -80.0);
    QCOMPARE(c.m_dPanX, 13.0);
    QCOMPARE(c.m_dPanY, -20.0);
    QCOMPARE(c.m_dZoom, 1.0);
    QCOMPARE(c.m_dDistance, 100.0);
    QCOMPARE(c.m_dBaseScale, 0.5);
    QCOMPARE(c.m_dDragPitch, 0.0);
    QCOMPARE(c.m_dDragYaw, 0.0);
    QCOMPARE(c.m_dDragPanX, 0.0);
    QCOMPARE(c.m_dDragPanY, 0.0);
}

void tst_KzCamera::pitchDragIsClampedToPlateRange()
{
    KzCamera c;
    double yaw = 0, pitch = 0;

    // 500 px down from -80: stops at 0 (straight down on the plate).
    c.DragRotate(0, 500, false);
    c.GetAngles(yaw, pitch);
    QCOMPARE(pitch, 0.0);
    c.DragRotate(0, 0, true);
    QCOMPARE(c.m_dPitch, 0.0);
    QCOMPARE(c.m_dDragPitch, 0.0);

    // A new drag starts from the clamped value: 500 px up ends at -180.
    c.DragRotate(0, -500, false);
    c.GetAngles(yaw, pitch);
    QCOMPARE(pitch, -180.0);
    // Moving back within the range during the same drag follows the cursor again.
    c.DragRotate(0, -30, false);
    c.GetAngles(yaw, pitch);
    QCOMPARE(pitch, -30.0);
    c.DragRotate(0, -600, false);
    c.DragRotate(0, 0, true);
    QCOMPARE(c.m_dPitch, -180.0);

    KzCamera fresh;
    fresh.DragRotate(0, -500, false);
    fresh.GetAngles(yaw, pitch);
    QCOMPARE(pitch, -180.0);
}

void tst_KzCamera::yawIsUnbounded()
{
    KzCamera c;
    c.DragRotate(90, 0, false);
    double yaw = 0, pitch = 0;
    c.GetAngles(yaw, pitch);
    QCOMPARE(yaw, 120.0);
    QCOMPARE(pitch, -80.0);
    c.DragRotate(0, 0, true);
    c.DragRotate(700, 0, false);
    c.DragRotate(0, 0, true);
    QCOMPARE(c.m_dYaw, 820.0);
    QCOMPARE(c.m_dDragYaw, 0.0);
}

void tst_KzCamera::zoomStopsAtItsBounds()
{
    KzCamera c;
    double last = c.m_dZoom;
    int steps = 0;
    for (; steps < 200; ++steps) {
        c.ZoomIn();
        if (c.m_dZoom == last)
            break;
        QVERIFY(c.m_dZoom > last);
        last = c.m_dZoom;
    }
    QVERIFY2(steps < 200, "zooming in never stopped");
    QVERIFY(c.m_dZoom >= 100.0);
    QVERIFY(c.m_dZoom < 100.0 / 0.9);

    for (steps = 0; steps < 400; ++steps) {
        c.ZoomOut();
        if (c.m_dZoom == last)
            break;
        QVERIFY(c.m_dZoom < last);
        last = c.m_dZoom;
    }
    QVERIFY2(steps < 400, "zooming out never stopped");
    QVERIFY(c.m_dZoom <= 0.2);
    QVERIFY(c.m_dZoom > 0.2 * 0.9);
}

void tst_KzCamera::panDragIsKeptOnRelease()
{
    KzCamera c;
    // Screen y grows downwards, the scene's upwards.
    c.DragPan(150, 30, false);
    QCOMPARE(c.m_dDragPanX, 150.0);
    QCOMPARE(c.m_dDragPanY, -30.0);
    QCOMPARE(c.m_dPanX, 13.0);
    // The drag is relative to the press: a second move replaces, not adds.
    c.DragPan(75, 30, false);
    QCOMPARE(c.m_dDragPanX, 75.0);
    c.DragPan(0, 0, true);
    QCOMPARE(c.m_dPanX, 88.0);
    QCOMPARE(c.m_dPanY, -50.0);
    QCOMPARE(c.m_dDragPanX, 0.0);
    QCOMPARE(c.m_dDragPanY, 0.0);

    // The pan is applied before the scales: eye-space units, not millimetres.
    c.SetBaseScale(0.25f);
    const QVector3D origin = c.ModelView().map(QVector3D(0, 0, 0));
    QCOMPARE(origin, QVector3D(88, -50, -100));
}

void tst_KzCamera::resetKeepsBaseScale()
{
    KzCamera c;
    c.SetBaseScale(0.25f);
    c.DragRotate(40, 20, false);
    c.DragPan(10, 10, false);
    c.ZoomIn();
    c.m_dDistance = 300;
    c.Reset();
    KzCamera fresh;
    QCOMPARE(c.m_dYaw, fresh.m_dYaw);
    QCOMPARE(c.m_dPitch, fresh.m_dPitch);
    QCOMPARE(c.m_dPanX, fresh.m_dPanX);
    QCOMPARE(c.m_dPanY, fresh.m_dPanY);
    QCOMPARE(c.m_dZoom, 1.0);
    QCOMPARE(c.m_dDistance, 100.0);
    QCOMPARE(c.m_dDragPitch, 0.0);
    QCOMPARE(c.m_dDragYaw, 0.0);
    QCOMPARE(c.m_dDragPanX, 0.0);
    QCOMPARE(c.m_dDragPanY, 0.0);
    QCOMPARE(c.m_dBaseScale, 0.25);
}

static bool Near(const QVector3D& a, const QVector3D& b)
{
    return (a - b).length() < 1e-4f;
}

void tst_KzCamera::transformTurnsYawThenPitch()
{
    KzCamera c;
    c.m_dPanX = 0;
    c.m_dPanY = 0;
    c.m_dYaw = 0;
    c.m_dZoom = 2;  // with base scale 0.5: one millimetre is one eye unit

    // Pitch 0 looks straight down: the plate's up axis points at the eye.
    c.m_dPitch = 0;
    QVERIFY(Near(c.ModelView().map(QVector3D(0, 0, 1)), QVector3D(0, 0, -99)));
    // Pitch -90 looks along the plate: up is up on the screen.
    c.m_dPitch = -90;
    QVERIFY(Near(c.ModelView().map(QVector3D(0, 0, 1)), QVector3D(0, 1, -100)));

    // Yaw turns the plate about its own up axis before the pitch tilts it:
    // x turns into y, which pitch -90 then tips away from the eye.
    c.m_dYaw = 90;
    QVERIFY(Near(c.ModelView().map(QVector3D(1, 0, 0)), QVector3D(0, 0, -101)));

    // A drag in progress counts as part of the angles.
    c.m_dYaw = 0;
    c.m_dDragYaw = 90;
    QVERIFY(Near(c.ModelView().map(QVector3D(1, 0, 0)), QVector3D(0, 0, -101)));
    c.m_dZoom = 4;
    QVERIFY(Near(c.ModelView().map(QVector3D(1, 0, 0)), QVector3D(0, 0, -102)));
}

QTEST_APPLESS_MAIN(tst_KzCamera)
#include "tst_KzCamera.moc"
