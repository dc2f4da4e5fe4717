#include "platform/speech/path_claim.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>

namespace sonoleaf::speech_service {
namespace {

struct Claims {
    std::mutex mutex;
    std::condition_variable released;
    std::set<std::string> held;
};

Claims& AllClaims() {
    static Claims claims;
    return claims;
}

std::string KeyOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

}  // namespace

PathClaim::PathClaim(const std::string& path) : key_(KeyOf(path)) {
    Claims& claims = AllClaims();
    std::unique_lock lock(claims.mutex);
    claims.released.wait(lock, [&] { return !claims.held.contains(key_); });
    claims.held.insert(key_);
}

PathClaim::~PathClaim() {
    Claims& claims = AllClaims();
    {
        std::lock_guard lock(claims.mutex);
        claims.held.erase(key_);
    }
    claims.released.notify_all();
}

}  // namespace sonoleaf::speech_service
