// What the claim's two history collections (jobs, smoking entries) share: a
// 1-based, optionally keyed collection whose members pass failures on with
// the source "<class prefix><procedure>" ("colCoalJobs:Property Get Item").
// A duplicate key fails with 457, a position out of range with 9, an absent
// key with 5.
//
// Entries are kept in order of a key their class reads from each (OrderKey:
// a functor giving a value compared with <). An added entry goes before the
// first entry whose key, as it reads at that moment, is greater than its
// own; so entries of equal keys stay in the order they came, and an entry
// whose key changes after it was added is not moved.
//
// Adding n entries one at a time costs O(n log n), not O(n^2): an entry is
// appended and takes its place when the collection is next read, all newly
// added entries at once. Placing them at once gives exactly the places the
// rule above gives one by one. Each placed entry counts as the greatest key
// up to it (once some keys have changed, a placed entry may be less than
// one before it); those counted keys never decrease, the first counted key
// greater than a new entry's is at the first entry greater than it, and the
// new entry placed there counts as its own key and leaves every other
// entry's count as it was. So the one-by-one rule is an insertion into a
// sorted sequence, and a stable sort of the counted keys of the placed
// entries followed by the own keys of the new ones, in the order they came,
// ends in the same order. That holds while no key changes between an add
// and the placing: each entry tells the collection before its key changes
// (OrderWatch), and the collection places what is waiting first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Collection.h"
#include "detail/ClassError.h"
#include "detail/OrderWatch.h"

namespace orv::dust::detail {

template <class T, class OrderKey>
class GuardedCollection {
 public:
  using Container = orv::KeyedCollection<std::shared_ptr<T>>;

  explicit GuardedCollection(std::string_view class_prefix)
      : prefix_(class_prefix),
        before_change_(std::make_shared<const OrderWatch::Hook>([this] { Arrange(false); })) {}
  // The entries' hook points at this collection: it stays where it is.
  GuardedCollection(const GuardedCollection&) = delete;
  GuardedCollection& operator=(const GuardedCollection&) = delete;

  // The entry at a 1-based position or under a key.
  std::shared_ptr<T> Item(int32_t index) {
    return ClassGuard(prefix_, "Property Get Item", [&] {
      Arrange(false);
      return items_.Item(index);
    });
  }
  std::shared_ptr<T> Item(std::string_view key) {
    return ClassGuard(prefix_, "Property Get Item", [&] { return items_.Item(key); });
  }
  std::shared_ptr<T> operator[](int32_t index) { return Item(index); }

  int32_t Count() const { return items_.Count(); }
  void Remove(int32_t index) {
    ClassGuard(prefix_, "Remove", [&] {
      Arrange(false);
      items_.Remove(index);
      placed_ = items_.Count();
    });
  }
  void Remove(std::string_view key) {
    ClassGuard(prefix_, "Remove", [&] {
      Arrange(false);
      items_.Remove(key);
      placed_ = items_.Count();
    });
  }
  void Clear() {
    ClassGuard(prefix_, "Clear", [&] {
      items_.Clear();
      placed_ = 0;
    });
  }

  // Enumeration over the entries in order.
  typename Container::iterator begin() {
    Arrange(false);
    return items_.begin();
  }
  typename Container::iterator end() {
    Arrange(false);
    return items_.end();
  }

 protected:
  // Takes `item` in under `key` (empty: none), at its place by the rule
  // above. A key in use fails with 457 and nothing is added.
  void AddInOrder(const std::shared_ptr<T>& item, std::string_view key) {
    items_.Add(item, key);
    item->WatchOrder(before_change_);
  }
  // Every entry by its key as it reads now; equal keys keep the order they
  // stand in, so those waiting take their places first.
  void SortByKeys() {
    Arrange(false);
    Arrange(true);
  }

 private:
  using Key = std::invoke_result_t<OrderKey, const T&>;

  // Places the entries added since the last placing (all of them by their
  // own keys when `whole`).
  void Arrange(bool whole) {
    const int32_t n = items_.Count();
    if (!whole && placed_ == n) return;
    std::vector<std::pair<Key, int32_t>> order;
    order.reserve(static_cast<size_t>(n));
    for (int32_t i = 1; i <= n; ++i) {
      Key key = OrderKey{}(*items_.Item(i));
      if (!whole && i <= placed_ && i > 1 && key < order.back().first) key = order.back().first;
      order.emplace_back(std::move(key), i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    placed_ = n;
    bool moved = false;
    for (int32_t i = 0; i < n && !moved; ++i) moved = order[static_cast<size_t>(i)].second != i + 1;
    if (!moved) return;
    Container arranged;
    for (const auto& [key, at] : order) arranged.Add(items_.Item(at), items_.KeyAt(at));
    items_ = std::move(arranged);
  }

  Container items_;
  // The first placed_ entries stand at their places; the rest wait.
  int32_t placed_ = 0;
  std::string_view prefix_;
  std::shared_ptr<const OrderWatch::Hook> before_change_;
};

}  // namespace orv::dust::detail
