// A reader of the Basic declarations in control/declarations.h, usable at compile time: the
// bindings check their C++ types against it, and the type library builds itself from it. A
// malformed declaration throws, which at compile time fails the build.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "talvex/variant.h"
#include "control/declarations.h"

namespace tlx {

struct ParamDeclaration {
  std::string_view name;
  std::string_view type;         // as declared: String, Long, an enumeration, Collection, ...
  std::string_view defaultText;  // the literal of a declared default ("\",\"", True, 12), or empty
  bool optional = false;
  bool byVal = false;
};

struct MethodDeclaration {
  static constexpr size_t kMaxParams = 32;
  std::string_view name;
  std::string_view result;  // empty for a Sub
  std::array<ParamDeclaration, kMaxParams> params{};
  size_t paramCount = 0;
};

constexpr bool isEnumeration(std::string_view type) {
  for (std::string_view e : kEnumerations)
    if (e == type) return true;
  return false;
}

// The automation type a declared type name stands for; vtEmpty for a name that is none.
constexpr VarType declaredType(std::string_view type) {
  if (type == "String") return vtString;
  if (type == "Integer") return vtI2;
  if (type == "Long" || isEnumeration(type)) return vtI4;
  if (type == "Double") return vtR8;
  if (type == "Single") return vtR4;
  if (type == "Boolean") return vtBoolean;
  if (type == "Variant") return vtVariant;
  if (type == "Object" || type == "Collection") return vtDispatch;
  return vtEmpty;
}

namespace declaration_detail {

constexpr bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

class Reader {
 public:
  constexpr explicit Reader(std::string_view text) : s_(text) {}

  constexpr char peek() {
    while (i_ < s_.size() && s_[i_] == ' ') ++i_;
    return i_ < s_.size() ? s_[i_] : '\0';
  }
  constexpr bool atEnd() { return peek() == '\0'; }
  constexpr bool accept(char c) {
    if (peek() != c) return false;
    ++i_;
    return true;
  }
  constexpr void expect(char c) {
    if (!accept(c)) fail("expected a punctuation mark");
  }
  constexpr std::string_view word() {
    peek();
    const size_t start = i_;
    while (i_ < s_.size() && isNameChar(s_[i_])) ++i_;
    if (start == i_) fail("expected a name");
    return s_.substr(start, i_ - start);
  }
  constexpr bool keyword(std::string_view k) {
    peek();
    const size_t end = i_ + k.size();
    if (s_.substr(i_, k.size()) != k || (end < s_.size() && isNameChar(s_[end]))) return false;
    i_ = end;
    return true;
  }
  // A literal as written: "text", True, False or a number.
  constexpr std::string_view literal() {
    const size_t start = (peek(), i_);
    if (accept('"')) {
      while (i_ < s_.size() && s_[i_] != '"') ++i_;
      if (!accept('"')) fail("unterminated string");
    } else {
      while (i_ < s_.size() && s_[i_] != ',' && s_[i_] != ')' && s_[i_] != ' ') ++i_;
    }
    if (start == i_) fail("expected a default value");
    return s_.substr(start, i_ - start);
  }
  [[noreturn]] void fail(const char* what) const {
    throw std::logic_error("type library: " + std::string(what) + " at " + std::to_string(i_) + " in: " +
                           std::string(s_));
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

constexpr std::string_view groupParams(Reader& r, std::string_view name) {
  for (const ParamGroupDeclaration& g : kParamGroups)
    if (g.name == name) return g.params;
  r.fail("unknown parameter group");
}

// Parameters up to the end of the text or a ')', "@Group" standing for the group's list.
constexpr void readParams(Reader& r, MethodDeclaration& m) {
  if (r.peek() == ')' || r.atEnd()) return;
  do {
    if (r.accept('@')) {
      Reader group(groupParams(r, r.word()));
      readParams(group, m);
      if (!group.atEnd()) group.fail("trailing text");
      continue;
    }
    if (m.paramCount == MethodDeclaration::kMaxParams) r.fail("too many parameters");
    ParamDeclaration& p = m.params[m.paramCount++];
    p.optional = r.keyword("Optional");
    p.byVal = r.keyword("ByVal");
    if (!p.byVal) r.keyword("ByRef");
    p.name = r.word();
    if (!r.keyword("As")) r.fail("expected As");
    p.type = r.word();
    if (declaredType(p.type) == vtEmpty) r.fail("unknown type");
    if (r.accept('=')) {
      if (!p.optional) r.fail("a default on a required parameter");
      p.defaultText = r.literal();
    }
  } while (r.accept(','));
}

}  // namespace declaration_detail

constexpr MethodDeclaration parseDeclaration(std::string_view text) {
  declaration_detail::Reader r(text);
  MethodDeclaration m;
  const bool isFunction = r.keyword("Function");
  if (!isFunction && !r.keyword("Sub")) r.fail("expected Function or Sub");
  m.name = r.word();
  r.expect('(');
  declaration_detail::readParams(r, m);
  r.expect(')');
  if (isFunction) {
    if (!r.keyword("As")) r.fail("a Function without a result type");
    m.result = r.word();
    if (declaredType(m.result) == vtEmpty) r.fail("unknown type");
  }
  if (!r.atEnd()) r.fail("trailing text");
  return m;
}

// A private procedure's place in kDeclarations: it takes a dispatch identifier, no name.
constexpr bool isPrivateSlot(std::string_view declaration) { return declaration == "-"; }

constexpr std::string_view declaredName(std::string_view declaration) {
  declaration_detail::Reader r(declaration);
  if (!r.keyword("Function")) r.keyword("Sub");
  return r.word();
}

constexpr bool isDeclared(std::string_view method) {
  for (std::string_view d : kDeclarations)
    if (!isPrivateSlot(d) && declaredName(d) == method) return true;
  return false;
}

// The declaration of a method, by its exact name.
constexpr MethodDeclaration declarationOf(std::string_view method) {
  for (std::string_view d : kDeclarations)
    if (!isPrivateSlot(d) && declaredName(d) == method) return parseDeclaration(d);
  throw std::logic_error("type library: no method " + std::string(method));
}

// Whether a family's own copy of an enumeration holds the declared constants' values, in order.
constexpr bool declaresConstants(std::string_view enumeration, std::initializer_list<int32_t> values) {
  const int32_t* next = values.begin();
  for (const EnumConstant& c : kEnumConstants)
    if (c.enumeration == enumeration && (next == values.end() || *next++ != c.value)) return false;
  return next == values.end();
}

}  // namespace tlx
