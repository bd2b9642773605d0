// A Linux build without Evolution Data Server: the file store answers alone.
#include "platform/linux_stores.h"

namespace velkor {

std::unique_ptr<Store> openDesktopStore() { return nullptr; }

}  // namespace velkor
