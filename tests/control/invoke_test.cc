// Late-bound calls of the control: placement, coercion, omitted optionals, write-back, errors.
#include <gtest/gtest.h>

#include "automation/collection.h"
#include "automation/strings.h"
#include "control/talvex.h"
#include "control/type_library.h"

namespace tlx {
namespace {

class RecordingSite : public HostSite {
 public:
  void messageBox(const BStr& text) override { messages.push_back(u8(text)); }
  std::vector<std::string> messages;
};

// What the stand-in family saw on its last call.
struct Seen {
  std::vector<Variant> args;
  int calls = 0;
} seen;

Variant record(TALVEX&, CallArgs& args) {
  seen.args.clear();
  for (size_t i = 0; i < args.size(); ++i) seen.args.push_back(args.var(i));
  ++seen.calls;
  return Variant(int16_t{1});
}

// Writes to every by-reference output the way the text methods do.
Variant writeOutputs(TALVEX&, CallArgs& args) {
  args.str(1) = u"out";
  redimVariant(args.var(0), {{0, 2}});
  args.var(0).arrayRef().at(0) = Variant(u"a");
  return Variant(int16_t{7});
}

Variant failAfterWriting(TALVEX&, CallArgs& args) {
  args.str(1) = u"partial";
  throw ComError(hr::CONTROL_ERROR, "Unable to do it.");
}

Variant returnNothing(TALVEX&, CallArgs&) { return Variant(); }

// Stands a test invoker in for a method and puts the family's own back afterwards.
class StandIn {
 public:
  StandIn(std::string method, Invoker invoker) : method_(std::move(method)) {
    previous_ = TALVEX::replaceBinding(method_, invoker);
  }
  ~StandIn() { TALVEX::replaceBinding(method_, previous_); }

 private:
  std::string method_;
  Invoker previous_;
};

class Invoke : public ::testing::Test {
 protected:
  Variant call(std::string_view method, std::vector<Variant*> positional, std::vector<NamedArg> named = {}) {
    DispParams p{std::move(positional), std::move(named)};
    return control->invoke(method, InvokeKind::Method, p);
  }
  HRESULT errorOf(std::string_view method, std::vector<Variant*> positional, std::vector<NamedArg> named = {}) {
    try {
      call(method, std::move(positional), std::move(named));
    } catch (const ComError& e) {
      return e.number();
    }
    return hr::S_OK;
  }

  RecordingSite site;
  Ref<TALVEX> control = makeRef<TALVEX>(site);
};

TEST_F(Invoke, ArgumentsTakeTheDeclaredTypesAndOmittedOnesTheirDefaults) {
  StandIn s("OpenDocument", record);
  Variant doc(int16_t{42}), sw(u"True"), ro(int32_t{0}), hide(u"0"), state(u"3");
  EXPECT_EQ(call("OpenDocument", {&doc, &sw, &ro, &hide, &state}), Variant(int16_t{1}));
  // The last one, omitted, reads as its declared default.
  EXPECT_EQ(seen.args, (std::vector<Variant>{u"42", true, false, false, int32_t{3}, int32_t{1}}));

  // Without a declared default: the zero value of the type, and a Variant reads as missing.
  StandIn a("AttributesToFile", record);
  Variant file(u"x.txt");
  call("AttributesToFile", {&file});
  EXPECT_EQ(seen.args, (std::vector<Variant>{u"x.txt", false, u",", false}));
  StandIn b("ActivateDocument", record);
  call("ActivateDocument", {});
  EXPECT_TRUE(seen.args[0].isMissing());
  EXPECT_EQ(seen.args[1], Variant(false));

  // An explicit "missing" counts as omitted; in a middle position too.
  Variant missing = Variant::missing(), quotes(true);
  call("AttributesToFile", {&file, &missing, &missing, &quotes});
  EXPECT_EQ(seen.args, (std::vector<Variant>{u"x.txt", false, u",", true}));
}

TEST_F(Invoke, NamedArgumentsArePlacedByParameterName) {
  StandIn s("AttributesToFile", record);
  Variant file(u"x.txt"), delim(u";"), quotes(int16_t{1});
  call("AttributesToFile", {&file}, {{"STRDELIMITER", &delim}, {"blnQuotes", &quotes}});
  EXPECT_EQ(seen.args, (std::vector<Variant>{u"x.txt", false, u";", true}));

  EXPECT_EQ(errorOf("AttributesToFile", {&file}, {{"strNoSuch", &delim}}), hr::DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(errorOf("AttributesToFile", {&file}, {{"strFile", &delim}}), hr::DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(errorOf("AttributesToFile", {}, {{"strFile", &file}}), hr::S_OK);
}

TEST_F(Invoke, ByReferenceParametersWriteBackToTheCallersVariables) {
  StandIn s("OneDArrayToText", writeOutputs);
  Variant arr = Variant::unallocatedArray(), text(int16_t{5}), eor(u";");
  EXPECT_EQ(call("OneDArrayToText", {&arr, &text, &eor}), Variant(int16_t{7}));
  EXPECT_EQ(text, Variant(u"out"));  // the caller's Variant now holds the new string
  ASSERT_TRUE(arr.isArray());
  EXPECT_EQ(arr.arrayRef().ubound(1), 1);
  EXPECT_EQ(arr.arrayRef().at(0), Variant(u"a"));
  EXPECT_EQ(eor, Variant(u";"));

  // A typed argument the method left alone keeps its own type; by-value ones are never written.
  StandIn t("SetGridSpacing", record);
  Variant x(int16_t{2}), y(u"3.5");
  call("SetGridSpacing", {&x, &y});
  EXPECT_EQ(seen.args[0], Variant(2.0));
  EXPECT_EQ(seen.args[1], Variant(3.5));
  EXPECT_EQ(x, Variant(int16_t{2}));
  EXPECT_EQ(y, Variant(u"3.5"));
  StandIn u("MultiLineTextToOneDArray", [](TALVEX&, CallArgs& args) {
    args.str(0) = u"changed";
    args.str(2) = u"changed";
    return Variant(int16_t{1});
  });
  Variant lines(u"a,b"), delim(u",");
  call("MultiLineTextToOneDArray", {&lines, &arr, &delim});
  EXPECT_EQ(lines, Variant(u"a,b"));
  EXPECT_EQ(delim, Variant(u","));
}

TEST_F(Invoke, WriteBackHappensWhenTheMethodFails) {
  StandIn s("OneDArrayToText", failAfterWriting);
  Variant arr = Variant::unallocatedArray(), text(u""), eor(u"");
  try {
    call("OneDArrayToText", {&arr, &text, &eor});
    FAIL() << "expected a raise";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::CONTROL_ERROR);
    EXPECT_EQ(e.description(), "Unable to do it.");
  }
  EXPECT_EQ(text, Variant(u"partial"));
  EXPECT_TRUE(arr.isArray());  // the moved-in Variant came back
}

TEST_F(Invoke, TheSameVariablePassedTwiceIsNotLost) {
  StandIn s("TwoDArrayToFlexGrid", record);
  Variant shared(u"x");
  // fg needs an object: the coercion fails and the variable keeps its value.
  EXPECT_EQ(errorOf("TwoDArrayToFlexGrid", {&shared, &shared}), hr::DISP_E_TYPEMISMATCH);
  EXPECT_EQ(shared, Variant(u"x"));
  StandIn t("TwoDArrayToText", record);
  Variant v(u"x"), d(u"\t");
  call("TwoDArrayToText", {&v, &v, &d, &d});
  EXPECT_EQ(seen.args[0], Variant(u"x"));
  EXPECT_EQ(seen.args[1], Variant(u"x"));
  // As two by-reference Variants it is copied into both, not moved into the first.
  StandIn u("TwoDArrayToExcel", record);
  Variant book(u"book.xlsx"), cell(int32_t{1});
  call("TwoDArrayToExcel", {&v, &book, &v, &cell, &cell});
  EXPECT_EQ(seen.args[2], Variant(u"x"));
}

TEST_F(Invoke, CoercionFailuresArgumentCountsAndObjectParameters) {
  StandIn s("ZoomScaled", record);
  Variant word(u"abc"), one(1.0), arr = Variant::unallocatedArray(), nul = Variant::null(), big(1e12);
  const struct {
    std::vector<Variant*> args;
    HRESULT error;
  } cases[] = {
      {{&word}, hr::DISP_E_TYPEMISMATCH}, {{&arr}, hr::DISP_E_TYPEMISMATCH}, {{&nul}, hr::DISP_E_TYPEMISMATCH},
      {{&one, &big}, hr::DISP_E_OVERFLOW}, {{&one, &one, &one}, hr::DISP_E_BADPARAMCOUNT},
      {{}, hr::DISP_E_PARAMNOTOPTIONAL},
  };
  const int before = seen.calls;
  for (const auto& c : cases) EXPECT_EQ(errorOf("ZoomScaled", c.args), c.error) << c.args.size();
  EXPECT_EQ(errorOf("ZoomScaled", {&one}), hr::S_OK);
  EXPECT_EQ(seen.calls, before + 1);  // no failed call reached the method
  EXPECT_EQ(seen.args[1], Variant(int32_t{0}));

  // An object parameter takes an object or Nothing.
  StandIn t("TwoDArrayToDictionary", record);
  Variant dict(newDictionary()), nothing{ObjRef()}, text(u"d");
  EXPECT_EQ(errorOf("TwoDArrayToDictionary", {&arr, &dict}), hr::S_OK);
  EXPECT_TRUE(seen.args[1].isObject());
  EXPECT_EQ(errorOf("TwoDArrayToDictionary", {&arr, &nothing}), hr::S_OK);
  EXPECT_EQ(errorOf("TwoDArrayToDictionary", {&arr, &text}), hr::DISP_E_TYPEMISMATCH);
}

TEST_F(Invoke, ResultsTakeTheDeclaredType) {
  StandIn a("DocumentCount", returnNothing);
  EXPECT_EQ(call("DocumentCount", {}), Variant(int32_t{0}));
  StandIn b("GetDocumentObject", returnNothing);
  Variant obj = call("GetDocumentObject", {});
  EXPECT_TRUE(obj.isObject());
  EXPECT_FALSE(obj.obj());
  StandIn c("ZoomAll", returnNothing);
  EXPECT_EQ(call("ZoomAll", {}), Variant(int16_t{0}));
}

TEST_F(Invoke, UnknownAndByIdentifier) {
  EXPECT_EQ(errorOf("NoSuchMethod", {}), hr::DISP_E_UNKNOWNNAME);
  DispParams none;
  control->invoke(DISPID_ABOUTBOX, none);
  control->invoke(findMethod("AboutBox")->dispid, none);
  EXPECT_EQ(site.messages.size(), 2u);
  EXPECT_THROW(control->invoke(0x6003001F, none), ComError);
  Variant v(int16_t{1});
  DispParams put{{&v}, {}};
  try {
    control->invoke("AboutBox", InvokeKind::PropertyPut, put);
    FAIL();
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::DISP_E_MEMBERNOTFOUND);
  }
}

TEST_F(Invoke, TheControlStaysAliveDuringACallThatDropsTheLastOtherReference) {
  static Ref<TALVEX>* holder;
  holder = &control;
  StandIn s("IsAutoCADUp", [](TALVEX& self, CallArgs&) {
    holder->reset();  // the host lets go in the middle of the call
    EXPECT_EQ(self.refCount(), 1);
    return Variant(true);
  });
  TALVEX* raw = control.get();
  DispParams none;
  EXPECT_EQ(raw->invoke("IsAutoCADUp", InvokeKind::Method, none), Variant(true));
}

}  // namespace
}  // namespace tlx
