// Calendar ids built from a store's own names: every store escapes them alike.
#pragma once

#include <string>
#include <string_view>

namespace velkor {

// A name (a file name, a source UID, ...) as a piece of a calendar id: '%', ',' and bytes outside
// valid UTF-8 as %XX, so that ids are valid text, never contain the separator of the `events`
// list and stay unique.
std::string identifierPart(std::string_view name);
void appendIdentifierPart(std::string& out, std::string_view name);

}  // namespace velkor
