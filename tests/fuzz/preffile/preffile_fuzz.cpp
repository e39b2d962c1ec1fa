// Any bytes as a preferences file: some settings come out, never a fault; and
// what is read, written again, reads back the same.
#include "platform/preffile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<preffile::Group> groups = preffile::Parse(bytes);
    for (const preffile::Group& g : groups)
        for (const auto& [key, value] : g.entries)
            if (key.empty() || key.find_first_of("\r\n=") != std::string::npos ||
                value.find_first_of("\r\n") != std::string::npos)
                std::abort();

    // Whatever was read, written and read again, is written the same.
    const std::string again = preffile::Serialise(groups);
    if (preffile::Serialise(preffile::Parse(again)) != again) std::abort();
    return 0;
}
