#include "ical/units.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <utility>

namespace velkor {

std::vector<UnitBlocks> unitsToParse(const IcsLayout& layout, const BlockText& text) {
  const std::vector<VeventBlock>& blocks = layout.blocks;
  // A UID is wanted when one of its VEVENTs is; the hashes only narrow the blocks read again, the
  // UIDs themselves decide what goes together.
  std::unordered_map<std::uint64_t, std::uint32_t> wanted;  // hash -> how many blocks have it
  for (const VeventBlock& b : blocks) {
    if (b.has(VeventBlock::kWanted) && b.has(VeventBlock::kHasUid)) wanted.emplace(b.uidHash, 0);
  }
  for (const VeventBlock& b : blocks) {
    if (b.has(VeventBlock::kHasUid)) {
      if (const auto w = wanted.find(b.uidHash); w != wanted.end()) ++w->second;
    }
  }
  struct Unit {
    std::uint32_t anchor;  // the block the unit stands at
    bool hasMaster = false;
    bool isWanted = false;
    UnitBlocks members;
  };
  std::vector<Unit> units;
  std::unordered_map<std::string, std::size_t> unitOfUid;
  std::string read, uid;
  for (std::uint32_t i = 0; i < blocks.size(); ++i) {
    const VeventBlock& b = blocks[i];
    const bool master = !b.has(VeventBlock::kOverride);
    std::size_t u = units.size();
    if (!b.has(VeventBlock::kHasUid)) {
      if (!b.has(VeventBlock::kWanted)) continue;
      units.push_back(Unit{i, master, true, {}});
    } else {
      const auto w = wanted.find(b.uidHash);
      if (w == wanted.end()) continue;
      if (w->second == 1) {
        units.push_back(Unit{i, master, false, {}});  // no other block has its hash: its own UID
      } else {
        // Blocks sharing a hash are read again: their UIDs decide what goes together.
        const auto [at, added] =
            unitOfUid.try_emplace(std::string(uidOfBlock(text(b, read), uid)), units.size());
        if (added) units.push_back(Unit{i, master, false, {}});
        u = at->second;
      }
    }
    Unit& unit = units[u];
    if (master && !unit.hasMaster) {
      unit.anchor = i;
      unit.hasMaster = true;
    }
    unit.isWanted = unit.isWanted || b.has(VeventBlock::kWanted);
    unit.members.push_back(i);
  }
  std::erase_if(units, [](const Unit& u) { return !u.isWanted; });
  std::sort(units.begin(), units.end(),
            [](const Unit& a, const Unit& b) { return a.anchor < b.anchor; });
  std::vector<UnitBlocks> out;
  out.reserve(units.size());
  for (Unit& u : units) out.push_back(std::move(u.members));
  return out;
}

}  // namespace velkor
