#include "HistoryJson.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "InputError.h"
#include "UserFactorFields.h"

namespace orv::calcrun {

namespace {

using nlohmann::json;
using orv::InputError;

// One JSON object being read, with the path that names its fields.
class Fields {
 public:
  Fields(const json& object, std::string path, const std::string& file)
      : object_(object), path_(std::move(path)), file_(file) {
    if (!object_.is_object()) Fail("", "expected an object");
  }

  // Every key must be one of `known`.
  void OnlyKnown(const std::vector<const char*>& known) const {
    for (const auto& item : object_.items()) {
      bool found = false;
      for (const char* k : known) found = found || item.key() == k;
      if (!found) Fail(item.key(), "unknown field");
    }
  }

  bool Has(const char* key) const { return object_.contains(key) && !object_[key].is_null(); }

  template <typename Int>
  void Integer(const char* key, Int& out) const {
    if (!Has(key)) return;
    const json& v = object_[key];
    if (!v.is_number_integer()) Fail(key, "expected a whole number");
    const auto n = v.get<int64_t>();
    if (n < std::numeric_limits<Int>::min() || n > std::numeric_limits<Int>::max())
      Fail(key, "number out of range");
    out = static_cast<Int>(n);
  }

  void Single(const char* key, float& out) const {
    if (!Has(key)) return;
    const json& v = object_[key];
    if (!v.is_number()) Fail(key, "expected a number");
    const double d = v.get<double>();
    if (!std::isfinite(static_cast<float>(d))) Fail(key, "number out of range");
    out = static_cast<float>(d);
  }

  // A text of at most `max_chars` characters, as the claimant database's
  // field that keeps it holds, and without a NUL character (which would
  // end the text early for some readers and let the rest past the limit).
  void Text(const char* key, std::string& out, size_t max_chars) const {
    if (!Has(key)) return;
    const json& v = object_[key];
    if (!v.is_string()) Fail(key, "expected a text");
    const std::string& text = v.get_ref<const std::string&>();
    if (text.find('\0') != std::string::npos) Fail(key, "holds a NUL character");
    size_t chars = 0;
    for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (chars > max_chars)
      Fail(key, "longer than " + std::to_string(max_chars) + " characters");
    out = text;
  }

  const json& Raw(const char* key) const { return object_[key]; }
  std::string PathOf(const char* key) const { return path_.empty() ? key : path_ + "." + key; }

  [[noreturn]] void Fail(const std::string& key, const std::string& reason) const {
    throw InputError(file_, 0, key.empty() ? path_ : PathOf(key.c_str()), reason);
  }

 private:
  const json& object_;
  std::string path_;
  const std::string& file_;
};

// The sizes of the claimant database's fields that keep these texts; a
// name is the title, first, middle names and surname together, the extra
// line an address.
constexpr size_t kNameChars = 10 + 1 + 50 + 1 + 50 + 1 + 50;
constexpr size_t kRefChars = 50;
constexpr size_t kLabelChars = 80;
constexpr size_t kExtraChars = 6 * 50 + 5 * 2;
constexpr size_t kPitNameChars = 50;
// A job factor or smoking category named by its code in the dust data.
constexpr size_t kRefCodeChars = 10;

// A span of years the calculation can count: the end year less the start
// year must be a 16-bit number, as every year count is.
void YearSpan(const Fields& f, int16_t start, int16_t end) {
  const int32_t span = int32_t{end} - int32_t{start};
  if (span > std::numeric_limits<int16_t>::max() || span < std::numeric_limits<int16_t>::min())
    f.Fail("end_year", "more than 32767 years from start_year");
}

// A user-defined factor: the keys of its fields, each checked as its column
// keeps it (a text no longer than the column's size).
orv::dust::UserFactor ReadUserFactor(const Fields& f) {
  std::vector<const char*> keys;
  for (const orv::tarnby::UserFactorField& field : orv::tarnby::kUserFactorFields)
    keys.push_back(field.key);
  f.OnlyKnown(keys);
  orv::dust::UserFactor u;
  orv::tarnby::ForEachUserFactorField(u, [&](const orv::tarnby::UserFactorField& field, auto& v) {
    using T = std::decay_t<decltype(v)>;
    if constexpr (std::is_same_v<T, std::string>) {
      f.Text(field.key, v, static_cast<size_t>(field.size));
    } else if constexpr (std::is_same_v<T, float>) {
      f.Single(field.key, v);
    } else {
      f.Integer(field.key, v);
    }
  });
  return u;
}

orv::dust::HistoryJob ReadJob(const Fields& f, const std::string& file) {
  f.OnlyKnown({"colliery_id", "start_year", "end_year", "job_factor_id", "job_factor_code",
               "resp_factor_id", "pit_name", "user_factor"});
  if (!f.Has("start_year")) f.Fail("start_year", "missing");
  if (!f.Has("end_year")) f.Fail("end_year", "missing");
  orv::dust::HistoryJob j;
  f.Integer("colliery_id", j.CollieryID);
  f.Integer("start_year", j.StartYear);
  f.Integer("end_year", j.EndYear);
  f.Integer("job_factor_id", j.JobFactorID);
  f.Text("job_factor_code", j.JobFactorCode, kRefCodeChars);
  f.Integer("resp_factor_id", j.RespFactorID);
  f.Text("pit_name", j.PitName, kPitNameChars);
  YearSpan(f, j.StartYear, j.EndYear);
  if (f.Has("user_factor"))
    j.user_factor = ReadUserFactor(Fields(f.Raw("user_factor"), f.PathOf("user_factor"), file));
  return j;
}

orv::dust::HistorySmoke ReadSmoke(const Fields& f) {
  f.OnlyKnown({"category_id", "category_code", "years", "start_year", "end_year"});
  if (!f.Has("years") && !(f.Has("start_year") && f.Has("end_year")))
    f.Fail("years", "missing (give years, or start_year and end_year)");
  orv::dust::HistorySmoke s;
  f.Integer("category_id", s.CategoryID);
  f.Text("category_code", s.CategoryCode, kRefCodeChars);
  f.Integer("years", s.Years);
  f.Integer("start_year", s.StartYear);
  f.Integer("end_year", s.EndYear);
  YearSpan(f, s.StartYear, s.EndYear);
  return s;
}

const json& ListOf(const Fields& top, const char* key, const std::string& file) {
  const json& list = top.Raw(key);
  if (!list.is_array()) throw InputError(file, 0, key, "expected a list");
  if (list.size() > kMaxHistoryEntries) {
    throw InputError(file, 0, key,
                     std::to_string(list.size()) + " entries, more than the " +
                         std::to_string(kMaxHistoryEntries) + " any career has");
  }
  return list;
}

int64_t LineOf(const std::string& text, size_t byte) {
  int64_t line = 1;
  for (size_t i = 0; i < byte && i < text.size(); ++i)
    if (text[i] == '\n') ++line;
  return line;
}

}  // namespace

HistoryFile ParseHistory(const std::string& text, const std::string& name) {
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::parse_error& e) {
    throw InputError(name, LineOf(text, e.byte > 0 ? e.byte - 1 : 0), "",
                     std::string("not valid JSON (") + e.what() + ")");
  } catch (const json::exception& e) {
    // A number too large for any number type (1e700) fails outside the
    // parser's own errors.
    throw InputError(name, 0, "", std::string("not valid JSON (") + e.what() + ")");
  }
  const Fields top(doc, "", name);
  top.OnlyKnown({"claimant", "jobs", "smoking"});
  HistoryFile h;
  if (top.Has("claimant")) {
    const Fields c(top.Raw("claimant"), "claimant", name);
    c.OnlyKnown({"name", "solicitor_ref", "zurir_ref", "extra_label", "extra"});
    c.Text("name", h.claimant.Name, kNameChars);
    c.Text("solicitor_ref", h.claimant.SolicitorRef, kRefChars);
    c.Text("zurir_ref", h.claimant.ZURIRRef, kRefChars);
    if (c.Has("extra_label")) {
      std::string label;
      c.Text("extra_label", label, kLabelChars);
      h.claimant.ExtraLabel = label;
    }
    c.Text("extra", h.claimant.Extra, kExtraChars);
  }
  if (top.Has("jobs")) {
    const json& list = ListOf(top, "jobs", name);
    for (size_t i = 0; i < list.size(); ++i)
      h.jobs.push_back(ReadJob(Fields(list[i], "jobs[" + std::to_string(i + 1) + "]", name), name));
  }
  if (top.Has("smoking")) {
    const json& list = ListOf(top, "smoking", name);
    for (size_t i = 0; i < list.size(); ++i)
      h.smoking.push_back(
          ReadSmoke(Fields(list[i], "smoking[" + std::to_string(i + 1) + "]", name)));
  }
  return h;
}

HistoryFile ReadHistoryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path, 0, "", "cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseHistory(text.str(), path);
}

}  // namespace orv::calcrun
