// Feeds arbitrary text as a seed file to the daemon's administration
// commands, against an in-memory database. A seed file is outside input (an
// administrator's file): it may fail with a message, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "admin.h"
#include "log.h"
#include "sqlite_storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0; // a few dozen lines reach every command
    nwd::setLogQuiet(true);
    nwd::SqliteStorage storage(":memory:");
    std::ostringstream out;
    nwd::AdminContext ctx{storage, out, nullptr, nwd::kMinIterations};
    ctx.seedMode = true;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        nwd::loadSeed(ctx, in, "fuzz");
    } catch (const nwd::AdminError&) {
        // a refused line: the message names it
    }
    return 0;
}
