// The file store as a Store: a directory of iCalendar files.
#pragma once

#include <filesystem>
#include <memory>

#include "store/store.h"

namespace velkor {

// The directory of iCalendar files at `root` (see fileStoreRoot).
std::unique_ptr<Store> openFileStore(std::filesystem::path root);

}  // namespace velkor
