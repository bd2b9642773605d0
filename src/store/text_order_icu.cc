#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include "store/text_order.h"

namespace velkor {

std::string normalizeNfc(std::string_view utf8) {
  // fromUTF8 turns every ill-formed sequence into U+FFFD, so the result is always valid UTF-8.
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  UErrorCode status = U_ZERO_ERROR;
  // The instance belongs to ICU and lives as long as the library; it is not ours to delete.
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status) || nfc == nullptr) {
    std::string out;
    return text.toUTF8String(out);
  }
  const icu::UnicodeString normalized = nfc->normalize(text, status);
  std::string out;
  if (U_FAILURE(status)) return text.toUTF8String(out);
  return normalized.toUTF8String(out);
}

}  // namespace velkor
