// Feeds arbitrary bytes, as a folder's stored notes, to the rich-text
// reader. Whatever the bytes, it answers yes or no within its bounds; a
// document it takes is written out again and read back to the same model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/richtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    richtext::Document doc;
    std::string error;
    if (!richtext::readRtf(text, doc, error)) return 0;
    richtext::Document again;
    if (!richtext::readRtf(richtext::writeRtf(doc), again, error) || !(again == doc)) abort();
    return 0;
}
