// Feeds arbitrary bytes, as a desktop file for `namedir import`, to the
// tool's JSON reader. Whatever the bytes, the reader answers yes or no and
// never reads past the text; a document it takes is walked whole, and every
// number is asked for as an integer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "jsonread.h"

namespace {

void walk(const JsonValue& v, int depth) {
    long long n = 0;
    (void)v.integer(0, UINT32_MAX, n);
    for (const JsonValue& item : v.items)
        walk(item, depth + 1);
    for (const auto& [key, member] : v.members)
        walk(member, depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    JsonValue doc;
    std::string error;
    if (parseJson(text, doc, error)) walk(doc, 0);
    return 0;
}
