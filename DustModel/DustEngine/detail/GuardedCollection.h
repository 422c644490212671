// What the claim's two history collections (jobs, smoking entries) share: a
// 1-based, optionally keyed collection whose members pass failures on with
// the source "<class prefix><procedure>" ("colCoalJobs:Property Get Item").
// A duplicate key fails with 457, a position out of range with 9, an absent
// key with 5.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "Collection.h"
#include "detail/ClassError.h"

namespace orv::dust::detail {

template <class T>
class GuardedCollection {
 public:
  using Container = orv::KeyedCollection<std::shared_ptr<T>>;

  explicit GuardedCollection(std::string_view class_prefix) : prefix_(class_prefix) {}

  // The entry at a 1-based position or under a key.
  std::shared_ptr<T> Item(int32_t index) {
    return ClassGuard(prefix_, "Property Get Item", [&] { return items_.Item(index); });
  }
  std::shared_ptr<T> Item(std::string_view key) {
    return ClassGuard(prefix_, "Property Get Item", [&] { return items_.Item(key); });
  }
  std::shared_ptr<T> operator[](int32_t index) { return Item(index); }

  int32_t Count() const { return items_.Count(); }
  void Remove(int32_t index) {
    ClassGuard(prefix_, "Remove", [&] { items_.Remove(index); });
  }
  void Remove(std::string_view key) {
    ClassGuard(prefix_, "Remove", [&] { items_.Remove(key); });
  }
  void Clear() {
    ClassGuard(prefix_, "Clear", [&] {
      while (items_.Count() > 0) items_.Remove(1);
    });
  }

  // Enumeration over the entries in order.
  typename Container::iterator begin() { return items_.begin(); }
  typename Container::iterator end() { return items_.end(); }

 protected:
  Container items_;

 private:
  std::string_view prefix_;
};

}  // namespace orv::dust::detail
