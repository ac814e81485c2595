#ifndef KZENGINESETTINGMAP_H
#define KZENGINESETTINGMAP_H

#include "KzLegacyCommandLine.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// Translates the legacy engine settings (whole numbers, lengths in micrometres)
// into settings of the engine we drive (millimetres, words and booleans).
// Only what the legacy line carries is set; the settings base supplies the rest.
class KzEngineSettingMap
{
public:
    // base: the settings base's values, for the defaults of keys the line leaves out.
    explicit KzEngineSettingMap(const QMap<QString, QByteArray> &base);

    // False when a value cannot be used (not a whole number, out of range); GetError says which.
    bool Apply(const QVector<KzLegacySetting> &settings);

    const QMap<QString, QByteArray> &GetEngineSettings() const { return m_mapEngine; }
    QStringList GetWarnings() const { return m_listWarnings; }
    QString GetError() const { return m_strError; }

    // The codes the bridge writes itself; the base's when the line has none.
    QByteArray GetStartCode() const { return m_strStartCode; }
    QByteArray GetEndCode() const { return m_strEndCode; }

    double GetFilamentDiameter() const;  // mm
    int GetLayerThickness() const;       // µm
    int GetInitialLayerThickness() const; // µm

    // Every legacy key this map understands.
    static QStringList GetKnownKeys();

    // A length in micrometres as millimetres, exactly: 2666 gives "2.666", 400 gives "0.4".
    static QByteArray Millimetres(qint64 micrometres);

private:
    typedef void (KzEngineSettingMap::*ApplyFunction)(int);
    struct KeyRule
    {
        int nMin;
        int nMax;
        ApplyFunction pfnApply; // null: read by one of the combined rules
    };

    void InitRules();
    bool Store(const KzLegacySetting &setting);
    bool Has(const char *key) const;
    int Legacy(const char *key, int fallback) const;
    int BaseMicrometres(const char *key) const;
    int InfillLineWidth() const;
    void Set(const char *key, const QByteArray &value);
    void SetInt(const char *key, int value);
    void SetBool(const char *key, bool value);
    void Warn(const QString &text);

    void ApplyLayerThickness(int v);
    void ApplyInitialLayerThickness(int v);
    void ApplyFilamentDiameter(int v);
    void ApplyFilamentFlow(int v);
    void ApplyExtrusionWidth(int v);
    void ApplyLayer0ExtrusionWidth(int v);
    void ApplyInsetCount(int v);
    void ApplyDownSkinCount(int v);
    void ApplyUpSkinCount(int v);
    void ApplyInfillOverlap(int v);
    void ApplyPerimeterBeforeInfill(int v);
    void ApplyInitialSpeedupLayers(int v);
    void ApplyInitialLayerSpeed(int v);
    void ApplyPrintSpeed(int v);
    void ApplyMoveSpeed(int v);
    void ApplyFanSpeedMin(int v);
    void ApplyFanSpeedMax(int v);
    void ApplySupportEverywhere(int v);
    void ApplySupportLineDistance(int v);
    void ApplySupportXYDistance(int v);
    void ApplySupportZDistance(int v);
    void ApplySupportExtruder(int v);
    void ApplyRetractionAmount(int v);
    void ApplyRetractionSpeed(int v);
    void ApplyRetractionMinimalDistance(int v);
    void ApplyRetractionAmountExtruderSwitch(int v);
    void ApplyRetractionZHop(int v);
    void ApplyMinimalExtrusionBeforeRetraction(int v);
    void ApplyMinimalLayerTime(int v);
    void ApplyMinimalFeedrate(int v);
    void ApplyCoolHeadLift(int v);
    void ApplyFanFullOnLayerNr(int v);
    void ApplyEnableCombing(int v);
    void ApplySupportType(int v);
    void ApplySparseInfillLineDistance(int v);
    void ApplyRaftMargin(int v);
    void ApplyRaftLineSpacing(int v);
    void ApplyRaftBaseThickness(int v);
    void ApplyRaftBaseLinewidth(int v);
    void ApplyRaftInterfaceThickness(int v);
    void ApplyRaftInterfaceLinewidth(int v);
    void ApplyRaftInterfaceLineSpacing(int v);
    void ApplyRaftBaseSpeed(int v);
    void ApplyRaftFanSpeed(int v);
    void ApplyRaftSurfaceThickness(int v);
    void ApplyRaftSurfaceLinewidth(int v);
    void ApplyRaftSurfaceLineSpacing(int v);
    void ApplyRaftSurfaceLayers(int v);
    void ApplyRaftSurfaceSpeed(int v);
    void ApplyPosX(int v);
    void ApplyPosY(int v);

    // Rules that need several legacy keys at once.
    void ApplyFeatureSpeeds();
    void ApplyFan();
    void ApplySupport();
    void ApplyRaftAirGap();
    void ApplyAdhesion();

    QMap<QString, QByteArray> m_mapBase;
    QMap<QByteArray, KeyRule> m_mapRules;
    QMap<QByteArray, int> m_mapLegacy;
    QMap<QString, QByteArray> m_mapEngine;
    QByteArray m_strStartCode;
    QByteArray m_strEndCode;
    QStringList m_listWarnings;
    QString m_strError;
};

#endif
