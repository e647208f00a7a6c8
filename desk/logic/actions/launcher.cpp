#include "launcher.h"

#include "processlauncher.h"

namespace usraction {

namespace {
std::shared_ptr<USRLauncher>& current() {
    static std::shared_ptr<USRLauncher> installed = std::make_shared<USRProcessLauncher>();
    return installed;
}
} // namespace

USRLauncher& launcher() {
    return *current();
}

std::shared_ptr<USRLauncher> installLauncher(std::shared_ptr<USRLauncher> replacement) {
    std::shared_ptr<USRLauncher> previous = current();
    current() = replacement ? std::move(replacement) : std::make_shared<USRProcessLauncher>();
    return previous;
}

} // namespace usraction
