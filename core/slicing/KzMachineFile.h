#ifndef KZMACHINEFILE_H
#define KZMACHINEFILE_H

#include "KzConfigureData.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QXmlStreamReader;

// Reads the machine file: its printer models and filament materials, each
// checked before it is taken. An entry with an unknown name, a missing field,
// or a size or temperature that is not a plain whole number within reason is
// left out; a file that cannot be read or is not well-formed XML gives no
// entries at all. Every problem is kept as "<file>:<line>: <what>" for the user.
class KzMachineFile
{
public:
    explicit KzMachineFile(const QString &path);

    // False when the file is missing, unreadable or not well-formed.
    bool IsRead() const;
    // A Machine without a Name: reading stopped there.
    bool HasNamelessMachine() const;
    QList<MachineInfo> GetMachines() const;
    QList<MaterialInfo> GetMaterials() const;
    // The last accepted machine marked Selected="True", or -1.
    int GetSelectedType() const;
    QStringList GetErrors() const;

    // The largest build-volume edge and the temperature ranges taken as real.
    static constexpr int ms_nMaxEdge = 10000;
    static constexpr int ms_nMinPrintTemperature = 100;
    static constexpr int ms_nMaxPrintTemperature = 400;
    static constexpr int ms_nMaxBedTemperature = 150;
    // The densities (g/cm³) taken as real for a filament.
    static constexpr double ms_dMinDensity = 0.5;
    static constexpr double ms_dMaxDensity = 5.0;

private:
    // A number's text as written and the line it is on.
    struct Field
    {
        QString strText;
        qint64 nLine = 0;
    };
    // A Machine or Material element with what followed it, not yet checked.
    struct Entry
    {
        qint64 nLine = 0;
        bool bNamed = false;
        QString strName;
        QString strDescription;
        QString strSelected;
        QMap<QString, Field> mapFields;
    };

    void Read(QXmlStreamReader &reader);
    void ReadField(QXmlStreamReader &reader, QList<Entry> &entries, const QString &kind);
    void CheckMachine(const Entry &entry);
    void CheckMaterial(const Entry &entry);
    bool ReadWhole(const Entry &entry, const QString &what, const QString &field, int min, int max, int &value);
    void ReadDensity(const Entry &entry, const QString &what, MaterialInfo &material);
    void AddError(qint64 line, const QString &text);

    QString m_strWhere;
    bool m_bRead;
    bool m_bNameless;
    QList<Entry> m_listMachineEntries;
    QList<Entry> m_listMaterialEntries;
    QList<MachineInfo> m_listMachines;
    QList<MaterialInfo> m_listMaterials;
    int m_nSelectedType;
    QStringList m_strListErrors;
};

#endif // KZMACHINEFILE_H
