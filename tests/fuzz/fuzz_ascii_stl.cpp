#include "KzFuzzHarness.h"

// Text after a "solid" line: the ASCII reader whenever a vertex line shows up
// near the top (the binary reader otherwise).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = "solid fuzz\n" + QByteArray(reinterpret_cast<const char*>(data), int(size));
    // A facet needs at least three lines (three corners, its end on the last);
    // the binary reader's bound is looser still.
    KzFuzzHarness::Load(bytes, ".stl", qMax<qint64>(bytes.size() / 3, (bytes.size() - 84) / 50));
    return 0;
}
