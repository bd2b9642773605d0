// Normalization form C through CoreFoundation, the system's own Unicode tables.
#include <CoreFoundation/CoreFoundation.h>

#include <string_view>
#include <vector>

#include "base/utf8.h"
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

// The UTF-16 code units of well-formed UTF-8.
std::vector<UniChar> utf16(std::string_view text) {
  std::vector<UniChar> units;
  units.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t scalar = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
      scalar = (scalar << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    i += length;
    if (scalar < 0x10000) {
      units.push_back(static_cast<UniChar>(scalar));
    } else {
      scalar -= 0x10000;
      units.push_back(static_cast<UniChar>(0xD800 + (scalar >> 10)));
      units.push_back(static_cast<UniChar>(0xDC00 + (scalar & 0x3FF)));
    }
  }
  return units;
}

}  // namespace

std::string normalizeNfc(std::string_view utf8) {
  // Every byte string converts once repaired. The string is built from UTF-16 units, not from
  // UTF-8 bytes, which CoreFoundation may strip of a leading U+FEFF.
  const std::string text = repairUtf8(utf8);
  if (text.empty()) return text;
  const std::vector<UniChar> units = utf16(text);
  const CFStringRef source = CFStringCreateWithCharacters(kCFAllocatorDefault, units.data(),
                                                          static_cast<CFIndex>(units.size()));
  const OwnedCf ownedSource(source);
  if (source == nullptr) return text;
  const CFMutableStringRef normalized = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, source);
  const OwnedCf ownedNormalized(normalized);
  if (normalized == nullptr) return text;
  CFStringNormalize(normalized, kCFStringNormalizationFormC);
  std::vector<UniChar> result(static_cast<size_t>(CFStringGetLength(normalized)));
  if (!result.empty()) {
    CFStringGetCharacters(normalized, CFRangeMake(0, static_cast<CFIndex>(result.size())),
                          result.data());
  }
  return utf8FromUtf16(result);
}

}  // namespace velkor
