#ifndef KZCONFIGUREDATA_H
#define KZCONFIGUREDATA_H

#include "KzFunctionGlobal.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector3D>

#include <memory>

// One printer model of the machine file.
struct MachineInfo
{
    int type = 0;
    QString description;
    QString selected;
    int length = 0;
    int width = 0;
    int height = 0;
};

// One filament material of the machine file.
struct MaterialInfo
{
    int id = 0;
    int printTemperature = 0;
    int bedTemperature = 0;
    double density = 0.0;   // g/cm³
};

// The process-wide printer configuration: machines and materials read from
// "Configure/basic.xml" of the data folder (KzDataFolder), the current and saved
// choice of each, where the models stand on the plate, and the temporary files
// of a slicing run. The one instance is made, and the machine file read, the
// first time GetInstance() is called: the program knows its data folder and its
// name (which names the folder of the temporary files) by then.
class KZFUNCTION_EXPORT KzConfigureData
{
public:
    KzConfigureData();

    static std::shared_ptr<KzConfigureData> GetInstance();

    QString GetCurrentMachineName();
    int GetCurrentMachineType();
    int GetCurrentMaterialID();
    // Whether the tables hold the machine or material (a remembered choice may
    // name one that a later machine file no longer lists).
    bool HasMachine(int type) const;
    bool HasMaterial(int id) const;
    // The name a listed machine is shown by (its description); empty when
    // the tables do not hold it.
    QString GetMachineName(int type) const;
    // A listed machine's build volume in mm (length x, width y, height z);
    // zero when the tables do not hold it.
    QVector3D GetMachineSize(int type) const;
    int GetLastMachineType();
    void SetMachineType(int type);
    void SetMaterialID(int id);

    void SaveMachine();
    void RevokeMachine();
    void SaveMaterial();
    void RevokeMaterial();

    void GetMaterialTemperature(int &print, int &bed);
    // The current material's density in g/cm³, for the weight of a print.
    double GetMaterialDensity() const;
    // The density a material has unless the machine file gives its own:
    // PLA 1.24, ABS 1.04, wood-filled 1.28, TPU 1.21 (PLA's for another id).
    static double GetDefaultDensity(int materialId);
    void GetPrintBound(QVector3D &max, QVector3D &min);
    void GetPrintPos(double &x, double &y);
    void GetLayerModelOffset(double &x, double &y);
    // 50 / the largest build-volume edge; ms_dDefaultReviseFactor for a machine
    // whose sizes are all 0.
    double GetReviseFactor();
    void SetModelPos(double x, double y);

    QString GetTmpSTLFilePath();
    QString GetTmpGcodeFilePath();

    // The machine file, and the preset file that every slicing run reads, both
    // absolute paths in the data folder. A missing, unreadable or broken one would
    // slice with the built-in values instead of the presets chosen, so the
    // program checks it and tells the user: the error is the file's absolute
    // path and what is wrong with it, empty when the file is fine.
    static QString GetMachineFilePath();
    static QString GetSliceFilePath();
    bool IsSliceFileReadable() const;
    QString GetSliceFileError() const;

    // What was wrong with the machine file when it was read, one line each
    // ("<path>:<line>: <what>"): the file as a whole when it could not be
    // used, or the entries left out. The built-in machines and materials stand
    // in for whatever the file did not give. Empty when the file was fine.
    QStringList GetMachineFileErrors() const;

    // The view's scale of the 100 mm placeholder volume.
    static constexpr double ms_dDefaultReviseFactor = 0.5;

    int selectedMachineType;

private:
    bool LoadBasicMap();
    void InitBasicMap();

    QMap<int, MachineInfo> m_mapMachine;
    QMap<int, MaterialInfo> m_mapMaterial;
    MachineInfo m_currentMachine;
    MachineInfo m_savedMachine;
    MaterialInfo m_currentMaterial;
    MaterialInfo m_savedMaterial;
    double m_dModelPosX;
    double m_dModelPosY;
    QString m_strAppDataPath;
    QStringList m_strListMachineFileErrors;

    static std::shared_ptr<KzConfigureData> m_pThis;

    Q_DISABLE_COPY(KzConfigureData)
};

#endif // KZCONFIGUREDATA_H
