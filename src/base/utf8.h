// UTF-8 checking and repair shared by the JSON writer and the platform text services.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

// Length of the well-formed UTF-8 sequence at the start of `s` (not empty), or the length of its
// maximal ill-formed subpart negated (at least 1), following the Unicode "maximal subpart"
// practice, so each ill-formed subpart becomes exactly one U+FFFD.
int utf8SequenceLength(std::string_view s);

// Appends the UTF-8 bytes of a code point; a surrogate becomes U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// Appends the sequence at the start of `s` (not empty) to `out`, or U+FFFD when it is ill-formed;
// gives the number of bytes of `s` used.
size_t appendRepairedSequence(std::string& out, std::string_view s);

// `text` with every ill-formed subpart replaced by U+FFFD.
std::string repairUtf8(std::string_view text);

// UTF-16 code units as UTF-8; unpaired surrogates become U+FFFD.
std::string utf8FromUtf16(std::span<const std::uint16_t> units);

}  // namespace velkor
