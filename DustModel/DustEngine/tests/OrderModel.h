// A history collection against the plain rule it promises, over a long run
// of random steps: each added entry goes before the first entry whose key,
// as it reads at that moment, is greater than its own; an entry whose key
// changes stays where it is; Sort (where the collection has one) is a
// stable sort by the keys as they read. The steps mix adds, changes of a
// held entry's years (a new one's too, at once, before anything is read),
// removals by key and by position, reads of one position, enumerations,
// sorts and clears, with few distinct years so that equal keys are common.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace orv::dust::test {

// How the run reaches one collection; `Ptr` is its entries' pointer type.
template <class Ptr>
struct OrderedCollection {
  std::function<Ptr(const std::string& key, int16_t start, int16_t end)> add;
  std::function<void(const Ptr&, int16_t start, int16_t end)> set_years;
  std::function<std::vector<Ptr>()> enumerate;
  std::function<Ptr(int32_t index)> item;
  std::function<void(const std::string& key)> remove_key;
  std::function<void(int32_t index)> remove_index;
  std::function<void()> clear;
  std::function<void()> sort;  // empty: the collection has none
  bool end_year_orders = true;   // the end year breaks ties of the start year
};

template <class Ptr>
void RunAgainstThePlainRule(const OrderedCollection<Ptr>& c, unsigned seed, int steps) {
  struct Ref {
    std::string key;
    Ptr entry;
    int16_t start, end;
  };
  std::vector<Ref> ref;
  // The keys, in order, of the entries as the collection gives them, and as
  // the plain rule has them.
  auto Keys = [&](const auto& entries) {
    std::string keys;
    for (const auto& e : entries) {
      if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Ref>) {
        keys += e.key + " ";
      } else {
        const auto r = std::find_if(ref.begin(), ref.end(), [&](const Ref& x) { return x.entry == e; });
        keys += (r == ref.end() ? std::string("?") : r->key) + " ";
      }
    }
    return keys;
  };
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto year = [&] { return static_cast<int16_t>(1950 + pick(12)); };
  auto later = [&](const Ref& a, int16_t start, int16_t end) {
    return a.start > start || (c.end_year_orders && a.start == start && a.end > end);
  };
  auto change = [&](Ref& r) {
    r.start = year();
    r.end = static_cast<int16_t>(r.start + pick(3));
    c.set_years(r.entry, r.start, r.end);
  };
  int next = 0;
  for (int step = 0; step < steps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const int what = pick(100);
    if (what < 55 || ref.empty()) {
      const int16_t start = year();
      const auto end = static_cast<int16_t>(start + pick(3));
      const std::string key = "k" + std::to_string(next++);
      Ptr entry = c.add(key, start, end);
      size_t at = 0;
      while (at < ref.size() && !later(ref[at], start, end)) ++at;
      ref.insert(ref.begin() + static_cast<std::ptrdiff_t>(at), Ref{key, entry, start, end});
      if (pick(8) == 0) change(ref[at]);
    } else if (what < 70) {
      change(ref[static_cast<size_t>(pick(static_cast<int>(ref.size())))]);
    } else if (what < 76) {
      const size_t at = static_cast<size_t>(pick(static_cast<int>(ref.size())));
      if (pick(2) == 0) {
        c.remove_key(ref[at].key);
      } else {
        c.remove_index(static_cast<int32_t>(at + 1));
      }
      ref.erase(ref.begin() + static_cast<std::ptrdiff_t>(at));
    } else if (what < 86) {
      const size_t at = static_cast<size_t>(pick(static_cast<int>(ref.size())));
      ASSERT_TRUE(c.item(static_cast<int32_t>(at + 1)) == ref[at].entry)
          << "position " << at + 1 << " should hold " << ref[at].key;
    } else if (what < 95) {
      ASSERT_EQ(Keys(c.enumerate()), Keys(ref));
    } else if (what < 99) {
      if (!c.sort) continue;
      c.sort();
      std::stable_sort(ref.begin(), ref.end(), [&](const Ref& a, const Ref& b) {
        return later(b, a.start, a.end);
      });
    } else if (pick(5) == 0) {
      c.clear();
      ref.clear();
    }
  }
  ASSERT_EQ(Keys(c.enumerate()), Keys(ref));
}

}  // namespace orv::dust::test
