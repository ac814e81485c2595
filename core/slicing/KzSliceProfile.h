#ifndef KZSLICEPROFILE_H
#define KZSLICEPROFILE_H

#include "KzFunctionGlobal.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>

class KzConfigureData;
class QFile;
class QIODevice;

// Which column of the preset file a profile starts from.
enum emSliceMode
{
    SliceMode_Custom = 0,
    SliceMode_Fast = 1,
    SliceMode_Standard = 2,
    SliceMode_Optimal = 3
};

// One set of slicing settings. User-level settings (millimetres, mm/s, percent,
// words) start from built-in defaults, take the mode's column of
// "Configure/slice.xml" in the data folder and the caller's setters, and become the engine's
// whole-number settings (lengths in micrometres) in GetCommandStrings().
class KZFUNCTION_EXPORT KzSliceProfile
{
public:
    explicit KzSliceProfile(emSliceMode mode);
    ~KzSliceProfile();

    void SetLayerThickness(double value);
    void SetWallThickness(double value);
    void SetInfillRate(int value);
    void SetPrintSpeed(int value);
    void SetPrintTemperature(int value);
    void SetBedTemperature(int value);
    void SetSupportArea(const QString &value);
    void SetAdhersionType(const QString &value);
    void SetRetractionSpeed(int value);
    void SetRetractionAmount(double value);
    void SetRetractionMinTravel(double value);
    void SetRetractionMinExtrusion(double value);
    void SetRetractionZHop(double value);
    void SetInitialLayerThickness(double value);
    void SetTravelSpeed(int value);
    void SetBottomSpeed(int value);
    void SetInfillSpeed(int value);
    void SetSolidAreaSpeed(int value);
    void SetShellSpeed(int value);
    void SetInnerSpeed(int value);
    void SetUpSkinCount(int value);
    void SetDownSkinCount(int value);
    void SetSupportAngle(int value);
    void SetSupportRate(int value);
    void SetXYDistance(double value);
    void SetZDistance(double value);
    void SetBrimEdgeCount(int value);
    void SetRaftExtraEdge(double value);
    void SetRaftLineSpacing(double value);
    void SetRaftBaseThickness(double value);
    void SetRaftBaseLinewidth(double value);
    void SetRaftInterfaceThickness(double value);
    void SetRaftInterfaceLinewidth(double value);
    void SetRaftAirgap(double value);
    void SetRaftAirgap0(double value);
    void SetSurfaceLayerCount(int value);
    void SetSurfaceLayerThickness(double value);
    void SetSurfaceLayerLinewidth(double value);
    void SetPrintPos(double x, double y);
    // What the printer and material chosen in configure give every run: the
    // material's temperatures (no bed heat on a printer without a heated bed)
    // and where the models stand on its plate.
    void SetChoice(KzConfigureData &configure);

    QMap<QString, QVariant> GetProfileMap();
    QString GetCommandStrings();

    // Why a preset file cannot be used as it is, as "<where>:<line>: <what>"
    // for the first problem: not well-formed, no settings, a setting without a
    // name or one no profile knows, or a value its setting cannot take (a word
    // where a number belongs, a fraction where a whole number does). Values
    // like that would quietly turn into 0 when sliced. Empty when it is fine.
    static QString CheckPresetFile(QIODevice &file, const QString &where);

private:
    double CalProfileEdgeWidth();
    int CalProfileLineCount();
    void InitProfile();
    bool LoadProfile(int mode);
    void GenSettingMap();
    void GenAdhesionSettings();

    double Value(const char *key) const;
    int Int(const char *key) const;
    int Bool(const char *key) const;
    int Micron(const char *key) const;
    QString Text(const char *key) const;
    void Put(const char *key, int value);

    QMap<QString, QVariant> m_mapProfile;
    QMap<QString, int> m_mapEngine;
    double m_dEdgeWidth;
    int m_nPrintPosX;   // micrometres, as the engine takes lengths
    int m_nPrintPosY;
    std::unique_ptr<QFile> m_pProfileFile;

    Q_DISABLE_COPY(KzSliceProfile)
};

#endif // KZSLICEPROFILE_H
