#include <cstdlib>
#include <system_error>
#include <unistd.h>

#include "store/store_files.h"

namespace velkor {

std::filesystem::path fileStoreRoot() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / "calendars";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "") / ".local/share/calendars";
}

long fileStoreAuthorization(const std::filesystem::path& root) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(root, ec);
  if (ec && ec != std::errc::no_such_file_or_directory) return kDenied;
  if (!exists) return kFullAccess;  // an empty store
  if (!std::filesystem::is_directory(root, ec)) return kDenied;
  return ::access(root.c_str(), R_OK | X_OK) == 0 ? kFullAccess : kDenied;
}

std::vector<FileCalendar> listFileCalendars(const std::filesystem::path&) { return {}; }

}  // namespace velkor
