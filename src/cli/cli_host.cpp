#include "cli/cli_host.h"

namespace sonoleaf::cli {

std::u16string CliJobHost::ReadControlText(int controlId) {
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? std::u16string() : found->second;
}

bool CliJobHost::IsChecked(int controlId) {
    const auto found = checked_.find(controlId);
    return found != checked_.end() && found->second;
}

std::atomic<std::int32_t>& CliJobHost::BusyFlag(Job job) {
    return busy_[static_cast<std::size_t>(job)];
}

}  // namespace sonoleaf::cli
