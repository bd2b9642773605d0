// Where the file store lives and whether it may be read. What its entries become is pinned by the
// listing cases in tests/e2e/cases/.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;

TEST(FileStoreRoot, UsesAnAbsoluteXdgDataHomeElseTheHomeDirectory) {
  ScopedEnv home("HOME", "/home/someone");
  for (const auto& [xdg, root] :
       {std::pair<const char*, const char*>{"/data/xdg/", "/data/xdg/calendars"},
        {nullptr, "/home/someone/.local/share/calendars"},
        {"relative/dir", "/home/someone/.local/share/calendars"}}) {
    ScopedEnv scoped("XDG_DATA_HOME", xdg);
    EXPECT_EQ(fileStoreRoot().lexically_normal(), fs::path(root)) << (xdg ? xdg : "unset");
  }
  // Without a usable HOME: the user database's home directory or no store, never a relative path.
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative/home"}) {
    ScopedEnv scoped("HOME", value);
    const fs::path root = fileStoreRoot();
    EXPECT_TRUE(root.empty() || (root.is_absolute() && root.filename() == "calendars")) << root;
  }
}

TEST(FileStoreAuthorization, GrantsReadableOrMissingRootsAndDeniesOthers) {
  testing::TempDir parent;
  parent.mkdir("calendars");
  parent.write("file", "x");
  for (const auto& [link, target] :
       {std::pair{"dangling", "nothing"}, {"linked", "calendars"}, {"loop", "loop"}})
    fs::create_symlink(target, parent.path() / link);
  for (const auto& [root, status] : {std::pair<const char*, long>{"calendars", kFullAccess},
                                     {"linked", kFullAccess},
                                     {"missing/calendars", kFullAccess},
                                     {"dangling", kFullAccess},
                                     {"file/calendars", kFullAccess},
                                     {"file", kDenied},
                                     {"loop", kDenied}}) {
    EXPECT_EQ(fileStoreAuthorization(parent.path() / root), status) << root;
  }
  EXPECT_EQ(fileStoreAuthorization(fs::path()), kFullAccess);
  if (::geteuid() == 0) return;  // permission bits do not deny root
  const fs::path root = parent.path() / "calendars";
  for (const mode_t mode : {0000, 0300, 0600, 0500}) {
    ::chmod(root.c_str(), mode);
    EXPECT_EQ(fileStoreAuthorization(root), mode == 0500 ? kFullAccess : kDenied)
        << std::oct << mode;
  }
}

}  // namespace
}  // namespace velkor
