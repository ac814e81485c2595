#include "KzFuzzHarness.h"

#include <cctype>

// Any bytes as a binary STL: the first byte is forced away from "solid" and
// whitespace so the type check always picks the binary reader.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    if (!bytes.isEmpty() && (bytes[0] == 's' || std::isspace(static_cast<unsigned char>(bytes[0]))))
        bytes[0] = 'X';
    KzFuzzHarness::Load(bytes, ".stl", qMax<qint64>(0, (bytes.size() - 84) / 50));
    return 0;
}
