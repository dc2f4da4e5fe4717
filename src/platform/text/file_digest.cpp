#include "platform/text/file_digest.h"

#include <unistd.h>

#include <QByteArrayView>
#include <QCryptographicHash>

#include <cerrno>
#include <vector>

namespace sonoleaf::text {
namespace {

constexpr std::size_t kBlockBytes = 256 * 1024;

std::string Hex(const QCryptographicHash& hash) {
    return hash.result().toHex().toStdString();
}

}  // namespace

std::optional<std::string> Sha256OfDescriptor(int descriptor) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> block(kBlockBytes);
    for (;;) {
        const ssize_t n = ::read(descriptor, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return Hex(hash);
        hash.addData(QByteArrayView(block.data(), static_cast<qsizetype>(n)));
    }
}

std::string Sha256OfBytes(std::string_view bytes) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return Hex(hash);
}

}  // namespace sonoleaf::text
