// Normalization form C through CoreFoundation, the system's own Unicode tables.
#include <CoreFoundation/CoreFoundation.h>

#include <vector>

#include "output/utf8.h"
#include "store/text_order.h"

namespace velkor {
namespace {

// Owns one CoreFoundation object from a Create function.
class OwnedCf {
 public:
  explicit OwnedCf(CFTypeRef ref) : ref_(ref) {}
  ~OwnedCf() {
    if (ref_ != nullptr) CFRelease(ref_);  // CFRelease does not accept null
  }
  OwnedCf(const OwnedCf&) = delete;
  OwnedCf& operator=(const OwnedCf&) = delete;

 private:
  CFTypeRef ref_;
};

}  // namespace

std::string normalizeNfc(std::string_view utf8) {
  // CoreFoundation refuses ill-formed UTF-8 altogether; repaired, every byte string converts.
  const std::string text = repairUtf8(utf8);
  const CFStringRef source =
      CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
                              static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false);
  const OwnedCf ownedSource(source);
  if (source == nullptr) return text;
  const CFMutableStringRef normalized = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, source);
  const OwnedCf ownedNormalized(normalized);
  if (normalized == nullptr) return text;
  CFStringNormalize(normalized, kCFStringNormalizationFormC);
  std::vector<UniChar> units(static_cast<size_t>(CFStringGetLength(normalized)));
  if (!units.empty()) {
    CFStringGetCharacters(normalized, CFRangeMake(0, static_cast<CFIndex>(units.size())),
                          units.data());
  }
  return utf8FromUtf16(units);
}

}  // namespace velkor
