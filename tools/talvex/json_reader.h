// Request lines read where they stand: one strict check of the whole line, then values read in
// place as the session asks for them, so that no document tree is built. A line of 5 million
// strings costs the line and the Variants made from it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "talvex/bstr.h"

namespace tlx::host {

// A line that is not one JSON value.
class JsonSyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws JsonSyntaxError unless `text` is one JSON value between whitespace: strings of valid
// UTF-8 with paired surrogate escapes, numbers that a double holds. Recursion follows the
// brackets: the caller bounds their depth first.
void checkJson(std::string_view text);

// The length of the UTF-8 sequence of one character at the start of `s` (not empty), or 0 when
// the bytes there are not one.
size_t utf8Length(std::string_view s);

// A value inside text that checkJson accepted. Cheap to copy: the text and an offset.
class JsonView {
 public:
  enum class Type { Null, Boolean, Number, String, Array, Object };

  // A number as the reader found it: integers that fit 64 bits as such, the rest as doubles.
  struct Number {
    enum Kind { Signed, Unsigned, Float } kind;
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0;
    double asDouble() const { return kind == Signed ? double(i) : kind == Unsigned ? double(u) : d; }
  };

  JsonView(std::string_view text, size_t at) : text_(text), at_(at) {}
  // The whole of a checked line.
  static JsonView root(std::string_view text);

  Type type() const;
  bool isNull() const { return type() == Type::Null; }
  bool isBool() const { return type() == Type::Boolean; }
  bool isNumber() const { return type() == Type::Number; }
  bool isString() const { return type() == Type::String; }
  bool isArray() const { return type() == Type::Array; }
  bool isObject() const { return type() == Type::Object; }
  bool isInteger() const { return isNumber() && number().kind != Number::Float; }

  bool boolean() const { return text_[at_] == 't'; }
  Number number() const;
  std::string string() const;                                      // UTF-8
  BStr string16(StringArena& arena, std::u16string& scratch) const;  // 16-bit text
  std::string_view text() const;  // the value as written

  // Arrays, element by element.
  class Iterator {
   public:
    Iterator(std::string_view text, size_t at) : text_(text), at_(at) {}
    JsonView operator*() const { return {text_, at_}; }
    Iterator& operator++();
    bool operator!=(const Iterator& o) const { return at_ != o.at_; }

   private:
    std::string_view text_;
    size_t at_;  // npos at the end
  };
  Iterator begin() const;
  Iterator end() const { return {text_, std::string_view::npos}; }
  size_t size() const;  // elements of an array, members of an object

  // Objects: their members in order, and a member by name (the last of that name, as a map
  // holds it), or none.
  std::vector<std::pair<std::string, JsonView>> members() const;

 private:
  std::string_view text_;
  size_t at_;
};

// An object's members, looked up by name.
class JsonObject {
 public:
  explicit JsonObject(const JsonView& object) : members_(object.members()) {}
  const JsonView* find(std::string_view key) const;
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  const std::vector<std::pair<std::string, JsonView>>& members() const { return members_; }

 private:
  std::vector<std::pair<std::string, JsonView>> members_;
};

}  // namespace tlx::host
