#pragma once
// SHA-256 of a file's bytes, read in blocks (books are megabytes, never read whole),
// and of a short text, as lower-case hexadecimal.

#include <optional>
#include <string>
#include <string_view>

namespace sonoleaf::text {

// Reads `descriptor` from where it stands to its end; nullopt on a read error.
std::optional<std::string> Sha256OfDescriptor(int descriptor);

std::string Sha256OfBytes(std::string_view bytes);

}  // namespace sonoleaf::text
