// The drawing methods against the real drawing application: the control's held references, a
// recording host whose form is a window on the desktop, and drawings in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "automation/strings.h"
#include "cad/acad_steps.h"
#include "cad/cad_methods.h"
#include "platform/cad/drawing_application.h"
#include "platform/cad/dxf_document.h"
#include "platform/desktop/desktop.h"
#include "platform_cad/cad_test_support.h"
#include "talvex/convert.h"
#include "talvex/registry.h"

namespace tlxtest {

using namespace tlx;
using cad::kAcadProgId;
using cadtest::failure;

// The host: message boxes and the windows it was asked to bring forward are recorded.
class RecordingSite : public HostSite {
 public:
  RecordingSite() : form_(Desktop::instance().openWindow(u"Form1")) {}
  ~RecordingSite() override { Desktop::instance().closeWindow(form_); }
  void messageBox(const BStr& text) override { messages.push_back(u8(text)); }
  void activateWindow(const BStr& title) override {
    activated.push_back(u8(title));
    HostSite::activateWindow(title);
  }
  std::vector<std::string> messages, activated;

 private:
  Desktop::WindowId form_;
};

class CadTest : public ::testing::Test {
 protected:
  void SetUp() override { registerDrawingApplication(); }
  // No instance outlives a test.
  void TearDown() override {
    objAcadDoc.reset();
    objAcadApp.reset();
    try {
      callMethod(getObject(kAcadProgId), "Quit");
    } catch (const ComError&) {
    }
    Desktop::instance().setPickSource(nullptr);
  }

  // A new running instance with its untouched Drawing1.dwg, not attached yet.
  void start() { app = createObject(kAcadProgId); }
  // A new empty drawing `name` in the scratch folder; its path.
  std::string drawing(const std::string& name) {
    platform::cad::Document::create()->save(dir.file(name));
    return dir.file(name);
  }
  // Opens a drawing in the running instance, as its user would.
  ObjRef open(const std::string& path, bool readOnly = false) {
    return objectOf(callMethod(documents(), "Open", {Variant(u16(path)), Variant(readOnly)}));
  }
  // A running instance with only the drawing Plan.dxf open, attached and held.
  ObjRef runningWithHeldDoc() {
    start();
    callMethod(documents(), "Close");
    ObjRef plan = open(drawing("Plan.dxf"));
    EXPECT_EQ(ActivateDocument(ctx, Variant(), false), 1);
    return plan;
  }

  ObjRef documents() { return objectOf(getProperty(getObject(kAcadProgId), "Documents")); }
  int32_t openCount() { return toI4(getProperty(documents(), "Count")); }
  ObjRef activeDoc() { return objectOf(getProperty(getObject(kAcadProgId), "ActiveDocument")); }
  std::string name(const ObjRef& obj) { return u8(toBStr(getProperty(obj, "Name"))); }
  bool saved(const ObjRef& doc) { return toBool(getProperty(doc, "Saved")); }
  ObjRef viewport() { return objectOf(getProperty(objAcadDoc, "ActiveViewport")); }
  // The held document's view: centre X, Y and height.
  std::vector<double> view() {
    Variant center = getProperty(viewport(), "Center");
    const SafeArray& c = center.arrayRef();
    return {toDouble(c.at(0)), toDouble(c.at(1)), toDouble(getProperty(viewport(), "Height"))};
  }

  ScratchDir dir;
  RecordingSite site;
  ObjRef app;  // the instance the test started
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
