// A keyed collection as the system's classes use it: 1-based positions,
// insertion order (or a position chosen by the caller), optional keys
// compared ignoring case. Out-of-range positions fail with error 9, absent
// keys with error 5, duplicate keys with error 457.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "OrvError.h"
#include "Text.h"

namespace orv {

template <typename T>
class KeyedCollection {
  // Declared before the iterator that names it.
  struct Entry {
    T value;
    std::string key;
  };

 public:
  int32_t Count() const noexcept { return static_cast<int32_t>(items_.size()); }
  bool Empty() const noexcept { return items_.empty(); }

  // Adds at the end, or before the 1-based position `before` when given.
  void Add(T item, std::string_view key = {}, std::optional<int32_t> before = std::nullopt) {
    std::string folded = UpperAscii(key);
    if (!key.empty() && keys_.count(folded)) RaiseStandard(err::kDuplicateKey);
    size_t at = items_.size();
    if (before) {
      if (*before < 1 || *before > Count()) RaiseStandard(err::kSubscriptOutOfRange);
      at = static_cast<size_t>(*before - 1);
    }
    items_.insert(items_.begin() + at, Entry{std::move(item), std::string(key)});
    if (!key.empty()) keys_.insert(std::move(folded));
  }

  T& Item(int32_t index) { return items_[Check(index)].value; }
  const T& Item(int32_t index) const { return items_[Check(index)].value; }
  T& Item(std::string_view key) { return items_[CheckKey(key)].value; }
  const T& Item(std::string_view key) const { return items_[CheckKey(key)].value; }

  bool Contains(std::string_view key) const { return Find(key).has_value(); }

  void Remove(int32_t index) { Erase(Check(index)); }
  void Remove(std::string_view key) { Erase(CheckKey(key)); }
  void Clear() noexcept {
    items_.clear();
    keys_.clear();
  }

  // Moves the item at 1-based `from` so that it stands at 1-based `to`.
  void Move(int32_t from, int32_t to) {
    const size_t f = Check(from), t = Check(to);
    Entry e = std::move(items_[f]);
    items_.erase(items_.begin() + f);
    items_.insert(items_.begin() + t, std::move(e));
  }

  // Iteration over the values in order.
  class iterator {
   public:
    using Inner = typename std::vector<typename KeyedCollection::Entry>::iterator;
    explicit iterator(Inner it) : it_(it) {}
    T& operator*() const { return it_->value; }
    T* operator->() const { return &it_->value; }
    iterator& operator++() { ++it_; return *this; }
    bool operator!=(const iterator& o) const { return it_ != o.it_; }
    bool operator==(const iterator& o) const { return it_ == o.it_; }
   private:
    Inner it_;
  };
  iterator begin() { return iterator(items_.begin()); }
  iterator end() { return iterator(items_.end()); }

  const std::string& KeyAt(int32_t index) const { return items_[Check(index)].key; }

 private:
  size_t Check(int32_t index) const {
    if (index < 1 || index > Count()) RaiseStandard(err::kSubscriptOutOfRange);
    return static_cast<size_t>(index - 1);
  }
  std::optional<size_t> Find(std::string_view key) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (!items_[i].key.empty() && IEquals(items_[i].key, key)) return i;
    return std::nullopt;
  }
  void Erase(size_t at) {
    if (!items_[at].key.empty()) keys_.erase(UpperAscii(items_[at].key));
    items_.erase(items_.begin() + at);
  }
  size_t CheckKey(std::string_view key) const {
    const auto i = Find(key);
    if (!i) RaiseStandard(err::kInvalidCall);
    return *i;
  }

  std::vector<Entry> items_;
  // The keys in use, folded to upper case, so that adding checks for a
  // duplicate without walking the whole collection.
  std::unordered_set<std::string> keys_;
};

}  // namespace orv
