// The one way this program compares texts: canonically equivalent texts are equal, others are
// ordered by the Unicode scalar values of their NFC forms. Case-sensitive, no locale.
#pragma once

#include <string>
#include <string_view>

namespace velkor {

// NFC form of UTF-8 text (invalid sequences become U+FFFD). Platform service: ICU on Linux,
// CoreFoundation on macOS.
std::string normalizeNfc(std::string_view utf8);

// A key whose byte order is text order (equal keys: canonically equivalent texts): the NFC form,
// computed once per text.
// ASCII text is returned as it is, without asking the platform.
std::string textKey(std::string_view utf8);

}  // namespace velkor
