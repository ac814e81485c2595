// Prints what the configuration store holds when main() starts: the store is
// created while the library loads, so main() only reads it.
#include "KzConfigureData.h"

#include <cstdio>

int main()
{
    std::shared_ptr<KzConfigureData> data = KzConfigureData::GetInstance();
    if (!data) {
        std::printf("no instance\n");
        return 2;
    }
    std::printf("selected=%d\n", data->selectedMachineType);
    std::printf("initial=%s\n", qPrintable(data->GetCurrentMachineName()));
    data->SetMachineType(data->selectedMachineType);
    std::printf("machine=%s\n", qPrintable(data->GetCurrentMachineName()));
    std::printf("gcode=%s\n", qPrintable(data->GetTmpGcodeFilePath()));
    return 0;
}
