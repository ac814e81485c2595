#include "KzFuzzHarness.h"

// Any bytes as a Wavefront OBJ file; each triangle needs its own "f" line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    KzFuzzHarness::Load(bytes, ".obj", bytes.count("f"));
    return 0;
}
