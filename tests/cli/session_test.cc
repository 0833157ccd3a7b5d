// End-to-end: the real `talvex` binary, driven through its JSON lines protocol.
#include <gtest/gtest.h>

#include "support/talvex_session.h"

namespace {

using nlohmann::json;
using tlxtest::runSession;

// The usual answer shapes, byte for byte.
std::string answered(const std::string& result) {
  return R"({"ok":true,"result":)" + result + R"(,"vars":{},"messages":[]})";
}
std::string failure(int64_t number, const std::string& description) {
  return R"({"ok":false,"error":{"number":)" + std::to_string(number) + R"(,"description":")" + description +
         R"("},"vars":{},"messages":[]})";
}
std::string malformed(const std::string& why) { return failure(-2147024809, "Malformed request: " + why); }
const std::string kEmpty = R"({"empty":true})";

// Answers byte for byte: tricky values, "echo": false (the changed variables named only, a kept
// result left out), {"get": name}, by-reference outputs, objects and their automatic names, and
// refusals. Every line gets its answer, the session going on after malformed ones; blank lines
// get none, and a last line without its end does.
TEST(Session, AnswersAreExactText) {
  const std::string v =
      R"([[1,[{"date":"2024-01-31T13:05:00"}]],{"cy":"-0.0001"},"😀é\u0001\"\\",null,{"empty":true},{"r8":2.0},)"
      R"(-0.5,1e+300,{"array2d":[[true,{"i4":7}]],"lbound":[1,-1]}])";
  // The other tagged forms come back as they were sent.
  const std::string tagged = R"([5,70000,2.5,{"i4":5},{"r4":0.5},{"missing":true},{"error":5},{"cy":"1.5"},)"
                             R"({"array":[1,2],"lbound":[1]},{"array2d":[[1,2]],"lbound":[1,0]}])";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"let":"v","value":[[1,[{"date":"2024-01-31T13:05:00"}]],{"cy":"-0.0001"},"\ud83d\ude00\u00e9\u0001\"\\",)"
       R"(null,{"empty":true},{"r8":2},-0.5,1e300,{"array2d":[[true,{"i4":7}]],"lbound":[1,-1]}]})",
       R"({"ok":true,"vars":{"v":)" + v + R"(},"messages":[]})"},
      {R"({"let":"u","value":{"array":null}})", R"({"ok":true,"vars":{"u":{"array":null}},"messages":[]})"},
      {R"({"let":"t","value":)" + tagged + "}", R"({"ok":true,"vars":{"t":)" + tagged + R"(},"messages":[]})"},
      {R"({"call":"MultiLineTextToOneDArray","args":["a;b",{"var":"u"}],"named":{"strDelimiter":";"},"echo":false})",
       R"({"ok":true,"result":1,"vars":{},"changed":["u"],"messages":[]})"},
      {R"({"get":"v"})", R"({"ok":true,"result":)" + v + R"(,"vars":{},"messages":[]})"},
      {R"({"get":"u","as":"w","echo":false})", R"({"ok":true,"vars":{},"changed":["w"],"messages":[]})"},
      {R"({"get":"w"})", R"({"ok":true,"result":["a","b"],"vars":{},"messages":[]})"},
      {R"({"get":"nope"})", R"({"ok":false,"error":{"number":-2147024809,"description":"Malformed request: )"
                            R"(no session variable \"nope\""},"vars":{},"messages":[]})"},
      {R"({"let":"x","value":1,"echo":"no"})", R"({"ok":false,"error":{"number":-2147024809,"description":)"
                                               R"("Malformed request: \"echo\" must be true or false"},"vars":{},"messages":[]})"},
      {R"({"let":"s","value":"\udc00"})", R"({"ok":false,"error":{"number":-2147024809,"description":"Malformed )"
                                          R"x(request: not a JSON line (an unpaired surrogate at byte 27)"},"vars":{},"messages":[]})x"},
      {R"({"call":"NoSuchMethod","args":[{"var":"v"}]})",
       R"({"ok":false,"error":{"number":-2147352570,"description":"Unknown name: NoSuchMethod"},"vars":{},"messages":[]})"},
      // Messages belong to the answer of the call that showed them.
      {R"({"call":"AboutBox"})", R"({"ok":true,"result":{"empty":true},"vars":{},"messages":["TALVEX\nVersion 0.1"]})"},
      {"this is not json", malformed("not a JSON line (no JSON value at byte 1)")},
      {R"(["a","request","must","be","an","object"])", malformed("a request must be a JSON object")},
      {R"({"call":42})", malformed(R"(\"call\" must be a string)")},
      {R"({"frobnicate":"x"})",
       malformed("unknown request: expected call, let, get, create, getobject, on, picks or clipboard")},
      {R"({"call":"AboutBox","args":{"not":"an array"}})", malformed(R"(\"args\" must be an array)")},
      {R"({"let":"x","value":{"i2":70000}})", malformed(R"(\"i2\" must be an integer from -32768 to 32767)")},
      {R"({"let":"x","value":{"strange":1}})", malformed(R"(unknown value form {\"strange\":1})")},
      {R"({"on":"nobody","get":"Count"})", malformed(R"(no object in session variable \"nobody\")")},
      // By reference: only the variables a call changed are shown; a blank end of record is
      // replaced by the default in the caller's variable.
      {R"({"let":"t","value":"old"})", R"({"ok":true,"vars":{"t":"old"},"messages":[]})"},
      {R"({"let":"eor","value":"  "})", R"({"ok":true,"vars":{"eor":"  "},"messages":[]})"},
      {R"({"let":"arr","value":{"array2d":[["x",1],["y",2]]}})",
       R"({"ok":true,"vars":{"arr":{"array2d":[["x",1],["y",2]]}},"messages":[]})"},
      {R"({"call":"TwoDArrayToText","args":[{"var":"arr"},{"var":"t"},",",{"var":"eor"}]})",
       R"({"ok":true,"result":1,"vars":{"eor":"\r\n","t":"x,1\r\ny,2\r\n"},"messages":[]})"},
      // Objects, their members, and what a client may ask of a member before it touches it.
      {R"({"create":"Scripting.Dictionary","as":"d"})",
       R"({"ok":true,"result":{"obj":"d"},"vars":{"d":{"obj":"d"}},"messages":[]})"},
      {R"({"on":"d","call":"Add","args":["k1","one"]})", answered(kEmpty)},
      {R"({"on":"d","call":"Add","args":["k2",{"i4":2}]})", answered(kEmpty)},
      {R"({"on":"d","get":"Count"})", answered(R"({"i4":2})")},
      {R"({"on":"d","call":"Keys"})", answered(R"(["k1","k2"])")},
      {R"({"on":"d","put":"Item","args":["k1"],"value":"uno"})", answered(kEmpty)},
      {R"({"on":"d","get":"Item","args":["k1"]})", answered(R"("uno")")},
      {R"({"on":"d","call":"Add","args":["k1","dup"]})",
       failure(-2146827831, "This key is already associated with an element of this collection")},
      {R"({"on":"d","member":"count"})", answered(R"("property")")},
      {R"({"on":"d","member":"Add"})", answered(R"("method")")},
      {R"({"on":"d","member":"Item"})", answered(R"("method")")},  // a property with an index is called
      {R"({"on":"d","member":"NoSuchMember"})", answered(R"("unknown")")},
      {R"({"on":"d","member":7})", malformed(R"(\"member\" must be a string)")},
      {R"({"create":"VBA.Collection"})", answered(R"({"obj":"$1"})")},
      {R"({"on":"$1","call":"Add","args":["item"]})", answered(kEmpty)},
      {R"({"on":"$1","get":"Count","as":"n"})",
       R"({"ok":true,"result":{"i4":1},"vars":{"n":{"i4":1}},"messages":[]})"},
      {R"({"create":"No.Such.Class"})", failure(-2147221005, "Cannot create object: No.Such.Class")},
      {R"({"getobject":"AutoCAD.Application.99"})", failure(-2147221021, "Operation unavailable")},
      {R"({"create":"scripting.dictionary","as":"e"})",  // identifiers ignore case
       R"({"ok":true,"result":{"obj":"e"},"vars":{"e":{"obj":"e"}},"messages":[]})"},
      {R"({"call":"TwoDArrayToDictionary","args":[{"array2d":[["a",1],["b",2]]},{"obj":"e"}]})", answered("1")},
      {R"({"on":"e","get":"Count"})", answered(R"({"i4":2})")},
      // The type is checked before any of the method's own failure codes.
      {R"({"call":"TwoDArrayToDictionary","args":[{"array2d":[["a",1]]},"not an object"]})",
       failure(-2147352571, "Type mismatch: dt needs an object")},
      {R"({"picks":[[1,2,3],[4,5]]})", R"({"ok":true,"vars":{},"messages":[]})"},
      {"", ""},
      {R"({"picks":[[1]]})", malformed("a pick is [x, y] or [x, y, z]")},
  };
  std::string input, expected;
  for (auto& [request, answer] : cases) {
    input += request + "\n";
    if (!answer.empty()) expected += answer + "\n";
  }
  input.pop_back();
  auto r = tlxtest::runHost({"session"}, input);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, expected);
}

}  // namespace
