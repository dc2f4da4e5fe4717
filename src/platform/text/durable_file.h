#pragma once
// Files that appear whole or not at all. A file is written under a hidden temporary
// name beside its final place, synced, and renamed over it, the folder synced too:
// after a crash or a power cut the final name holds the old file or the new one,
// never a part, and a leftover temporary is recognisable by its name.

#include <optional>
#include <string>
#include <string_view>

namespace sonoleaf::text {

// Creates an empty file beside `finalPath` named "." + its name + ".part-XXXXXX" + its
// extension (random letters and digits; the extension kept last, so that a writer that
// goes by the name writes the same kind of file; the name part is shortened when the
// whole would pass the system's limit), with a new file's permissions (0666 less umask).
// "" when it cannot be made.
std::string CreateTemporaryBeside(const std::string& finalPath);

// The final file name a temporary name was made for ("book_3.mp3" for
// ".book_3.mp3.part-a1B2c3.mp3"); nullopt when `name` is no such temporary's name.
std::optional<std::string_view> FinalNameOfTemporary(std::string_view name);

// Syncs the temporary's bytes, renames it to `finalPath` (replacing what is there) and
// syncs the folder. On failure the temporary is removed and false returned.
bool CommitTemporaryFile(const std::string& temporaryPath, const std::string& finalPath);

// Writes `contents` whole to `path` through a temporary; false (and nothing changed
// at `path`) when any step fails.
bool WriteFileWhole(const std::string& path, std::string_view contents);

// fsync on the folder itself, so that a rename or an unlink in it survives a power cut.
bool SyncFolder(const std::string& folder);

// Writes all of `bytes` to a descriptor, going on after short writes and EINTR.
bool WriteAll(int descriptor, std::string_view bytes);

}  // namespace sonoleaf::text
