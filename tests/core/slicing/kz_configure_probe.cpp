// Prints what the configuration store holds when it is first asked for: with
// a folder argument, that folder is the data folder; without, the data folder
// is found from the probe's own place (where no Configure/ lies).
#include "KzConfigureData.h"
#include "KzDataFolder.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc > 1)
        KzDataFolder::Use(QString::fromLocal8Bit(argv[1]));
    std::shared_ptr<KzConfigureData> data = KzConfigureData::GetInstance();
    if (!data) {
        std::printf("no instance\n");
        return 2;
    }
    std::printf("data=%s\n", qPrintable(KzDataFolder::GetPath()));
    std::printf("selected=%d\n", data->selectedMachineType);
    std::printf("initial=%s\n", qPrintable(data->GetCurrentMachineName()));
    data->SetMachineType(data->selectedMachineType);
    std::printf("machine=%s\n", qPrintable(data->GetCurrentMachineName()));
    std::printf("gcode=%s\n", qPrintable(data->GetTmpGcodeFilePath()));
    return 0;
}
