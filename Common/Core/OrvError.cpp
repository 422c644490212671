#include "OrvError.h"

#include <exception>

namespace orv {

std::string StandardErrorText(int32_t number) {
  switch (number) {
    case err::kInvalidCall:
      return "Invalid procedure call or argument";
    case err::kOverflow:
      return "Overflow";
    case 7:
      return "Out of memory";
    case err::kSubscriptOutOfRange:
      return "Subscript out of range";
    case err::kDivisionByZero:
      return "Division by zero";
    case err::kTypeMismatch:
      return "Type mismatch";
    case 52:
      return "Bad file name or number";
    case err::kFileNotFound:
      return "File not found";
    case 58:
      return "File already exists";
    case 61:
      return "Disk full";
    case 70:
      return "Permission denied";
    case err::kFileAccess:
      return "Path/File access error";
    case err::kPathNotFound:
      return "Path not found";
    case err::kObjectNotSet:
      return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull:
      return "Invalid use of Null";
    case err::kInvalidPropertyValue:
      return "Invalid property value";
    case err::kSetNotPermitted:
      return "Set not permitted";
    case err::kCantCreateObject:
      return "Component can't create object";
    case err::kNoSuchMember:
      return "Object doesn't support this property or method";
    case err::kDuplicateKey:
      return "This key is already associated with an element of this collection";
    // The database layer's own numbers (orv::db::dberr), which this layer
    // cannot name.
    case 3021:
      return "No current record.";
    case 3078:
      return "The database engine cannot find the input table or query.";
    case 3265:
      return "Item not found in this collection.";
    default:
      return "Application-defined or object-defined error";
  }
}

OrvError::OrvError(int32_t number, std::string source, std::string description,
                   std::string help_file, int32_t help_context)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      help_file_(std::move(help_file)),
      help_context_(help_context) {}

std::string OrvError::Describe() const {
  std::string s = "Error " + std::to_string(number_);
  if (!source_.empty()) s += " (" + source_ + ")";
  return s + ": " + description_;
}

OrvError OrvError::Standard(int32_t number, std::string source) {
  return OrvError(number, std::move(source), StandardErrorText(number));
}

void OrvError::SetDescription(std::string d) {
  description_ = std::move(d);
  static_cast<std::runtime_error&>(*this) = std::runtime_error(description_);
}

void RaiseStandard(int32_t number, std::string source) {
  throw OrvError::Standard(number, std::move(source));
}

void RaiseWithBase(int32_t number, std::string source, std::string description) {
  const int32_t n = number > 0 ? number + kComponentErrorBase : number;
  throw OrvError(n, std::move(source), std::move(description));
}

OrvError CurrentError() {
  try {
    throw;
  } catch (const OrvError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return OrvError::Standard(7);
  } catch (const std::exception& e) {
    return OrvError(err::kInvalidCall, {}, e.what());
  } catch (...) {
    return OrvError(err::kInvalidCall, {}, "Unknown failure");
  }
}

void RethrowWithSource(std::string_view class_prefix, std::string_view procedure) {
  OrvError e = CurrentError();
  std::string src(class_prefix);
  src += procedure;
  e.SetSource(std::move(src));
  throw e;
}

}  // namespace orv
