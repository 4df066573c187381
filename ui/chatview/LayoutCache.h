#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ChatMessage.h"
#include "ui/chatview/RowLayout.h"

namespace vlo {

// Laid-out rows by key: the row id, with "#d" once deleted, so that deleting a row lays it out
// fresh while the old layout ages out. Keys are stored as their 64-bit FNV-1a hash.
class LayoutCache {
 public:
  static std::string Key(const plx::ChatRow& row);
  static uint64_t Hash(const plx::ChatRow& row);

  const RowLayout* Find(uint64_t hash) const;
  const RowLayout& Store(uint64_t hash, RowLayout layout);
  void Clear() { entries_.clear(); }
  // Every entry is rebuilt at the next pass (emote availability or spacing changed).
  void MarkAllPending();
  void DropPending();
  // Keeps only the rows' entries once the cache holds more than rows + 300 entries.
  void Prune(const std::vector<plx::ChatRow>& rows);
  size_t Size() const { return entries_.size(); }

 private:
  std::unordered_map<uint64_t, RowLayout> entries_;
};

}  // namespace vlo
