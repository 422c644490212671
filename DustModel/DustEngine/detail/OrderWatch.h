// What an entry of an ordered history collection holds so that the
// collection hears of a change to a value the entry's place depends on
// before the change is made: the collection places newly added entries only
// when it is next read, by the values every entry has at the moment each one
// was added, so such a change must first have them placed.
#pragma once

#include <functional>
#include <memory>

namespace orv::dust::detail {

class OrderWatch {
 public:
  using Hook = std::function<void()>;

  // Set by the collection that takes the entry in; it expires with the
  // collection.
  void Watch(std::weak_ptr<const Hook> hook) { hook_ = std::move(hook); }
  // Called by the entry before a value its place depends on changes.
  void BeforeChange() const {
    if (const auto hook = hook_.lock()) (*hook)();
  }

 private:
  std::weak_ptr<const Hook> hook_;
};

}  // namespace orv::dust::detail
