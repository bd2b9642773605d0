// Which VEVENT blocks of a calendar text are parsed, and which go into the same parse: every VEVENT
// of one UID (all its masters and overrides, wherever they stand) is parsed together.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ical/blocks.h"

namespace velkor {

// The bytes of a block: a view into the text, or read into `storage`.
using BlockText = std::function<std::string_view(const VeventBlock&, std::string& storage)>;

// Indices into IcsLayout::blocks, in text order.
using UnitBlocks = std::vector<std::uint32_t>;

// The units to parse, in the order the whole parse gives their events: each holds every VEVENT of
// one UID and stands where the UID's first master stands (its first override when it has none); a
// VEVENT without UID stands alone. A unit is left out only when none of its VEVENTs is wanted.
std::vector<UnitBlocks> unitsToParse(const IcsLayout& layout, const BlockText& text);

}  // namespace velkor
