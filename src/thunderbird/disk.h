// The few file operations the Thunderbird store needs on the user's profile, all read-only: what an
// entry is once links are followed, a regular file opened for reading, a small file's bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "base/descriptors.h"

namespace velkor {

enum class Entry { kOther, kDirectory, kRegular };

// What `path` is once links are followed; missing, dangling or anything else is kOther.
Entry entryAt(const std::filesystem::path& path);

// `path` opened for reading when it is a regular file, checked before the open (a FIFO is never
// opened) and again on the descriptor.
Fd openRegularFile(const std::filesystem::path& path);

// A regular file's bytes when it holds at most `limit` of them; none otherwise.
std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace velkor
