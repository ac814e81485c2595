#ifndef KZ3DSCENE_H
#define KZ3DSCENE_H

#include "KzGLViewGlobal.h"
#include "KzGridding.h"
#include "KzPrinterBox.h"
#include "KzRotateCoord.h"
#include "KzScaleCoord.h"

#include <QObject>
#include <QString>
#include <QVector3D>

// What one view shows: the build volume, the plate grid and the edit handles.
class KZGLVIEW_EXPORT Kz3DScene : public QObject
{
    Q_OBJECT

public:
    explicit Kz3DScene(QObject* parent = nullptr);
    ~Kz3DScene() override;

    // GL state, lights and the painters' display lists; the context is current.
    void InitGL();
    // One frame of the plate in model mode.
    void DrawModelScene();

    // The machine's print bound; the box and grid take its size (truncated to
    // whole millimetres) and stay centred on the plate's origin.
    void SetPrintBound(const QVector3D& max, const QVector3D& min);
    void GetPrintBound(QVector3D& max, QVector3D& min) const;

    const KzPrinterBox& GetPrinterBox() const { return m_printerBox; }
    const KzGridding& GetGridding() const { return m_gridding; }

signals:
    void signal_RenderText(QString text, const QVector3D& pos);

private:
    KzPrinterBox m_printerBox;
    KzRotateCoord m_rotateCoord;
    KzScaleCoord m_scaleCoord;
    KzGridding m_gridding;
    QVector3D m_vBoundMax;
    QVector3D m_vBoundMin;
};

#endif // KZ3DSCENE_H
