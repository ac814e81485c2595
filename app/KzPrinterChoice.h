#ifndef KZPRINTERCHOICE_H
#define KZPRINTERCHOICE_H

#include <QString>
#include <QStringList>

class KzUserSettings;

// The printers and materials as the user meets them: the names the choosers
// show, which materials each printer prints, the choice the program starts
// on, and finding a printer or material by a name the user typed. Shared by
// the window's choosers and start and by the slicing command line, so both
// know the same names and start on the same choice.
class KzPrinterChoice
{
public:
    static constexpr int ms_nMachineCount = 6;
    static constexpr int ms_nMaterialCount = 4;

    // The printer model's name as its chooser tile shows it (the machine
    // file's Name: "Alder"), untranslated; empty outside 0..5.
    static QString GetMachineModelName(int type);
    // The material's name (the same in every language); empty outside 0..3.
    static QString GetMaterialName(int id);
    // Whether machine type prints material id (a printer without a heated bed
    // prints PLA only).
    static bool PrintsMaterial(int type, int id);

    // What the window starts on: the choice remembered in settings while the
    // machine file still lists it, else the machine it marks as selected and
    // material 0. settings may be null (nothing remembered).
    static int GetStartMachineType(const KzUserSettings* settings);
    static int GetStartMaterialID(const KzUserSettings* settings);

    // The machine the machine file lists under name, matched without regard
    // to case against its model name ("hazel") or the name the title shows
    // ("Hazel 200"); -1 when none.
    static int FindMachine(const QString& name);
    // The material of that name (case aside) among those machine type prints;
    // -1 when none.
    static int FindMaterial(const QString& name, int type);
    // For a message: every machine of the machine file as "Hazel 200 (Hazel)",
    // and the materials machine type prints.
    static QStringList GetMachineNames();
    static QStringList GetMaterialNames(int type);
};

#endif // KZPRINTERCHOICE_H
