// The control's held references and a recording site, with fake drawing applications.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "cad/cad_methods.h"
#include "fake_acad.h"

namespace tlxtest {

class CadTest : public ::testing::Test {
 protected:
  void TearDown() override {
    objAcadDoc.reset();
    objAcadApp.reset();
    unregisterClass(FakeAcad::kProgId);
  }

  // A running application with one saved drawing, attached and held.
  FakeDoc& runningWithHeldDoc() {
    acad->run();
    FakeDoc& doc = acad->addDoc(u"Plan.dwg", u"/work/plans");
    EXPECT_EQ(ActivateDocument(ctx, Variant(), false), 1);
    return doc;
  }
  // New instances come from this factory, as starting the application would.
  void installFactory() {
    registerClass(std::string(FakeAcad::kProgId), [this] {
      started = std::make_unique<FakeAcad>(acad->log);
      started->addDoc(u"Drawing1.dwg");
      started->run();
      return ObjRef(started->app);
    });
  }

  std::unique_ptr<FakeAcad> acad = std::make_unique<FakeAcad>();
  std::unique_ptr<FakeAcad> started;
  RecordingSite site;
  ObjRef objAcadApp, objAcadDoc;
  AcadContext ctx{objAcadApp, objAcadDoc, site};
};

// The control's raised error: its number and exactly this description.
inline void expectRaises(const std::function<void()>& call, const std::string& description) {
  try {
    call();
    ADD_FAILURE() << "expected \"" << description << "\" to be raised";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), hr::CONTROL_ERROR);
    EXPECT_EQ(e.description(), description);
  }
}

}  // namespace tlxtest
