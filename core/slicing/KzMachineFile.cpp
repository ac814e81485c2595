#include "KzMachineFile.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

const QMap<QString, int> &MachineTypes()
{
    static const QMap<QString, int> types = {
        {QStringLiteral("Alder"), 0}, {QStringLiteral("Hazel"), 1}, {QStringLiteral("Cedar"), 2},
        {QStringLiteral("Birch"), 3}, {QStringLiteral("Rowan"), 4}, {QStringLiteral("Spruce"), 5}};
    return types;
}

const QMap<QString, int> &MaterialIds()
{
    static const QMap<QString, int> ids = {
        {QStringLiteral("PLA"), 0}, {QStringLiteral("ABS"), 1},
        {QStringLiteral("WOOD"), 2}, {QStringLiteral("TPU"), 3}};
    return ids;
}

// The names a table knows, in the order of their numbers, for a message.
QString KnownNames(const QMap<QString, int> &table)
{
    QMap<int, QString> byNumber;
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        byNumber.insert(it.value(), it.key());
    return QStringList(byNumber.values()).join(QStringLiteral(", "));
}

// A value as the message shows it: a line of garbage is cut short.
QString Quoted(const QString &text)
{
    const int kShown = 40;
    const QString simplified = text.simplified();
    return QLatin1Char('"') + (simplified.size() > kShown ? simplified.left(kShown) + QStringLiteral("...") : simplified)
           + QLatin1Char('"');
}

// Only plain decimal digits: "2e2", "200.0" or "two hundred" are not sizes,
// and nine digits at most cannot overflow.
bool ParseWhole(const QString &text, int &value)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 9)
        return false;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    value = digits.toInt();
    return true;
}

} // namespace

KzMachineFile::KzMachineFile(const QString &path)
    : m_bRead(false),
      m_bNameless(false),
      m_nSelectedType(-1)
{
    QFile file(path);
    m_strWhere = QFileInfo(file).absoluteFilePath();
    if (!file.open(QIODevice::ReadOnly)) {
        m_strListErrors.append(QStringLiteral("%1: %2").arg(m_strWhere, file.errorString()));
        return;
    }
    QXmlStreamReader reader(&file);
    Read(reader);
    if (m_bNameless)
        return;
    // Nothing of a broken file is taken: what came before the error may be cut
    // short itself (a truncated file), and what follows is unknown.
    if (reader.hasError()) {
        AddError(reader.lineNumber(), reader.errorString());
        return;
    }
    m_bRead = true;
    if (m_listMachineEntries.isEmpty())
        m_strListErrors.append(QStringLiteral("%1: no Machine entries").arg(m_strWhere));
    if (m_listMaterialEntries.isEmpty())
        m_strListErrors.append(QStringLiteral("%1: no Material entries").arg(m_strWhere));
    for (const Entry &entry : m_listMachineEntries)
        CheckMachine(entry);
    for (const Entry &entry : m_listMaterialEntries)
        CheckMaterial(entry);
}

bool KzMachineFile::IsRead() const
{
    return m_bRead;
}

bool KzMachineFile::HasNamelessMachine() const
{
    return m_bNameless;
}

QList<MachineInfo> KzMachineFile::GetMachines() const
{
    return m_listMachines;
}

QList<MaterialInfo> KzMachineFile::GetMaterials() const
{
    return m_listMaterials;
}

int KzMachineFile::GetSelectedType() const
{
    return m_nSelectedType;
}

QStringList KzMachineFile::GetErrors() const
{
    return m_strListErrors;
}

// Start elements at any depth; the sizes and temperatures belong to the
// Machine or Material last opened, whether they are inside it or follow it.
void KzMachineFile::Read(QXmlStreamReader &reader)
{
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = reader.name();
        const bool machine = name == QLatin1String("Machine");
        if (machine || name == QLatin1String("Material")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            Entry entry;
            entry.nLine = reader.lineNumber();
            entry.bNamed = attributes.hasAttribute(QLatin1String("Name"));
            entry.strName = attributes.value(QLatin1String("Name")).toString();
            if (!machine) {
                m_listMaterialEntries.append(entry);
                continue;
            }
            if (!entry.bNamed) {
                m_bNameless = true;
                return;
            }
            entry.strDescription = attributes.hasAttribute(QLatin1String("Description"))
                                       ? attributes.value(QLatin1String("Description")).toString()
                                       : QStringLiteral("Tidemark");
            entry.strSelected = attributes.hasAttribute(QLatin1String("Selected"))
                                    ? attributes.value(QLatin1String("Selected")).toString()
                                    : QStringLiteral("False");
            m_listMachineEntries.append(entry);
        } else if (name == QLatin1String("Length") || name == QLatin1String("Width")
                   || name == QLatin1String("Height")) {
            ReadField(reader, m_listMachineEntries, QStringLiteral("Machine"));
        } else if (name == QLatin1String("PrintTemperature") || name == QLatin1String("BedTemperature")
                   || name == QLatin1String("Density")) {
            ReadField(reader, m_listMaterialEntries, QStringLiteral("Material"));
        }
    }
}

void KzMachineFile::ReadField(QXmlStreamReader &reader, QList<Entry> &entries, const QString &kind)
{
    const QString name = reader.name().toString();
    Field field;
    field.nLine = reader.lineNumber();
    field.strText = reader.readElementText();
    if (reader.hasError())
        return;
    if (entries.isEmpty()) {
        AddError(field.nLine, QStringLiteral("%1 outside a %2 is ignored").arg(name, kind));
        return;
    }
    entries.last().mapFields.insert(name, field);
}

void KzMachineFile::CheckMachine(const Entry &entry)
{
    const QString what = QStringLiteral("Machine ") + Quoted(entry.strName);
    const auto type = MachineTypes().constFind(entry.strName);
    if (type == MachineTypes().constEnd()) {
        AddError(entry.nLine, QStringLiteral("%1 skipped: no printer of that name (%2)")
                                  .arg(what, KnownNames(MachineTypes())));
        return;
    }
    MachineInfo machine;
    machine.type = type.value();
    machine.description = entry.strDescription;
    machine.selected = entry.strSelected;
    // Every field is looked at, so that one message names each bad one.
    bool good = ReadWhole(entry, what, QStringLiteral("Length"), 1, ms_nMaxEdge, machine.length);
    good = ReadWhole(entry, what, QStringLiteral("Width"), 1, ms_nMaxEdge, machine.width) && good;
    good = ReadWhole(entry, what, QStringLiteral("Height"), 1, ms_nMaxEdge, machine.height) && good;
    if (!good)
        return;
    m_listMachines.append(machine);
    if (machine.selected == QLatin1String("True"))
        m_nSelectedType = machine.type;
}

void KzMachineFile::CheckMaterial(const Entry &entry)
{
    if (!entry.bNamed) {
        AddError(entry.nLine, QStringLiteral("Material skipped: no Name"));
        return;
    }
    const QString what = QStringLiteral("Material ") + Quoted(entry.strName);
    const auto id = MaterialIds().constFind(entry.strName);
    if (id == MaterialIds().constEnd()) {
        AddError(entry.nLine, QStringLiteral("%1 skipped: no material of that name (%2)")
                                  .arg(what, KnownNames(MaterialIds())));
        return;
    }
    MaterialInfo material;
    material.id = id.value();
    bool good = ReadWhole(entry, what, QStringLiteral("PrintTemperature"), ms_nMinPrintTemperature,
                          ms_nMaxPrintTemperature, material.printTemperature);
    good = ReadWhole(entry, what, QStringLiteral("BedTemperature"), 0, ms_nMaxBedTemperature,
                     material.bedTemperature) && good;
    if (!good)
        return;
    ReadDensity(entry, what, material);
    m_listMaterials.append(material);
}

// The density is optional: without one, or with one that is no density, the
// material's usual one stands (a bad one is reported), and the material stays.
void KzMachineFile::ReadDensity(const Entry &entry, const QString &what, MaterialInfo &material)
{
    material.density = KzConfigureData::GetDefaultDensity(material.id);
    const auto found = entry.mapFields.constFind(QStringLiteral("Density"));
    if (found == entry.mapFields.constEnd())
        return;
    bool ok = false;
    const double density = found->strText.trimmed().toDouble(&ok);
    if (ok && density >= ms_dMinDensity && density <= ms_dMaxDensity) {
        material.density = density;
        return;
    }
    AddError(found->nLine, QStringLiteral("%1: Density %2 is not a number from %3 to %4 (g/cm³); %5 is used")
                               .arg(what, Quoted(found->strText))
                               .arg(ms_dMinDensity)
                               .arg(ms_dMaxDensity)
                               .arg(material.density));
}

bool KzMachineFile::ReadWhole(const Entry &entry, const QString &what, const QString &field, int min, int max,
                              int &value)
{
    const auto found = entry.mapFields.constFind(field);
    if (found == entry.mapFields.constEnd()) {
        AddError(entry.nLine, QStringLiteral("%1 skipped: no %2").arg(what, field));
        return false;
    }
    int number = 0;
    if (!ParseWhole(found->strText, number) || number < min || number > max) {
        AddError(found->nLine, QStringLiteral("%1 skipped: %2 %3 is not a whole number from %4 to %5")
                                   .arg(what, field, Quoted(found->strText)).arg(min).arg(max));
        return false;
    }
    value = number;
    return true;
}

void KzMachineFile::AddError(qint64 line, const QString &text)
{
    m_strListErrors.append(QStringLiteral("%1:%2: %3").arg(m_strWhere).arg(line).arg(text));
}
