#ifndef KLAYERLEGENDWIDGET_H
#define KLAYERLEGENDWIDGET_H

#include "KLayerFeature.h"

#include <QColor>
#include <QFrame>
#include <QMap>

class QLabel;
class QPushButton;

// The legend over the layer preview: one switch per feature the G-code holds
// (outer wall, inner wall, skin, skirt or brim, infill, support, and the
// travel moves where they are drawn), each with its colour. A click hides or
// shows that feature; a switch keeps its state while its feature comes and
// goes with the G-code shown.
class KLayerLegendWidget : public QFrame
{
    Q_OBJECT

public:
    explicit KLayerLegendWidget(QWidget* parent = nullptr);

    // The features to list: a bit (1 << type) for each, the travel moves by
    // the bit of travelType; and the colour of each.
    void SetEntries(unsigned int types, const QMap<int, QColor>& colours);
    QPushButton* Button(int type) const { return m_mapButtons.value(type); }
    bool IsShown(int type) const;

    static constexpr int ms_nTravelType = KLayerFeature::ms_nTravel;

signals:
    void signal_TypeShown(int type, bool shown);

protected:
    void changeEvent(QEvent* e) override;

private:
    void AddButton(int type);
    void Retranslate();
    static QIcon Swatch(const QColor& colour);

    QLabel* m_pTitle;
    QMap<int, QPushButton*> m_mapButtons;
};

#endif // KLAYERLEGENDWIDGET_H
