// Files opened for reading only, as every store reads the user's: what an entry is once links are
// followed, a regular file opened (never a FIFO), a small file's bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "base/descriptors.h"

namespace velkor {

enum class EntryType { kOther, kDirectory, kRegular };

// What `path` is once links are followed; a dangling or looping link, or an entry that vanished,
// is "other" and is skipped like a socket or a FIFO.
EntryType entryTypeAt(const std::filesystem::path& path);

// Opens `path` only when it is a regular file. The check comes before the open so that a FIFO of
// that name is never opened, and again on the descriptor in case the entry changed in between.
Fd openRegular(const std::filesystem::path& path);

// A regular file's bytes when it holds at most `limit` of them; none otherwise.
std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace velkor
