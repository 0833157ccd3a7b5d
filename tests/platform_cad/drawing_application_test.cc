// The drawing application through its automation members, the way the control reaches it, with
// the saved drawings read back by ezdxf.
#include <gtest/gtest.h>

#include <fstream>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "cad_test_support.h"
#include "platform/cad/drawing_application.h"
#include "platform/desktop/desktop.h"

using namespace tlx;
using cadtest::failure;
using cadtest::ScratchDir;

namespace {

Variant pt(double x, double y, double z = 0) {
  auto a = std::make_unique<SafeArray>(std::vector<Bound>{{0, 3}}, vtR8);
  a->at(0) = Variant(x), a->at(1) = Variant(y), a->at(2) = Variant(z);
  return Variant(std::move(a));
}

std::vector<double> coords(const Variant& v) {
  std::vector<double> out;
  for (const Variant& e : v.arrayRef().elements()) out.push_back(toDouble(e));
  return out;
}

ObjRef obj(const Variant& v) { return objectOf(v); }
std::string str(const Variant& v) { return u8(toBStr(v)); }
Variant get(const ObjRef& o, const char* m, std::vector<Variant> args = {}) { return getProperty(o, m, std::move(args)); }
Variant call(const ObjRef& o, const char* m, std::vector<Variant> args = {}) { return callMethod(o, m, std::move(args)); }

class DrawingApp : public ::testing::Test {
 protected:
  void SetUp() override {
    registerDrawingApplication();
    app = createObject("AutoCAD.Application");
  }
  void TearDown() override {
    Desktop::instance().setPickSource(nullptr);
    try {
      call(getObject("AutoCAD.Application"), "Quit");
    } catch (const ComError&) {
    }
  }
  ObjRef docs() { return obj(get(app, "Documents")); }
  ObjRef active() { return obj(get(app, "ActiveDocument")); }
  ObjRef activeViewport() { return obj(get(active(), "ActiveViewport")); }
  std::vector<double> viewCenter() { return coords(get(activeViewport(), "Center")); }
  double viewHeight() { return toDouble(get(activeViewport(), "Height")); }
  ObjRef open(const std::string& path, bool readOnly = false) {
    return obj(call(docs(), "Open", {Variant(u16(path)), Variant(readOnly)}));
  }
  std::string sample(const ScratchDir& dir, const std::string& version = "R2000") {
    std::string path = dir.file("sample-" + version + ".dxf");
    cadtest::makeDrawing(path, version);
    return path;
  }

  ObjRef app;
};

}  // namespace

// The caption, showing, hiding and the documents' names are checked through the drawing methods.
TEST_F(DrawingApp, StartsWithOneUntouchedDrawingAndRunsUntilQuit) {
  putProperty(app, "WindowState", Variant(int32_t(3)));
  EXPECT_NE(failure([&] { putProperty(app, "WindowState", Variant(int32_t(4))); }), 0);
  EXPECT_EQ(toI4(get(app, "WindowState")), 3);

  ObjRef doc1 = active();
  EXPECT_EQ(str(get(obj(call(docs(), "Item", {Variant(int16_t(0))})), "Name")), "Drawing1.dwg");
  EXPECT_EQ(call(docs(), "Item", {Variant(u"DRAWING1.DWG")}).obj().get(), doc1.get());  // one object per document
  EXPECT_EQ(failure([&] { call(docs(), "Item", {Variant(int16_t(1))}); }), hr::DISP_E_BADINDEX);
  EXPECT_EQ(failure([&] { call(docs(), "Item", {Variant(u"nothing.dwg")}); }), hr::DISP_E_BADINDEX);

  // Quit: documents closed unsaved, registration revoked, window gone, every reference stale.
  ObjRef ms = obj(get(doc1, "ModelSpace"));
  BStr lastCaption = toBStr(get(app, "Caption"));
  call(app, "Quit");
  EXPECT_EQ(failure([] { getObject("AutoCAD.Application"); }), hr::MK_E_UNAVAILABLE);
  EXPECT_FALSE(Desktop::instance().activate(lastCaption));
  EXPECT_EQ(failure([&] { call(doc1, "Activate"); }), hr::RPC_E_DISCONNECTED);
  EXPECT_EQ(failure([&] { get(ms, "Count"); }), hr::RPC_E_DISCONNECTED);

  // A new instance starts its numbering again.
  app = createObject("AutoCAD.Application");
  EXPECT_EQ(str(get(active(), "Name")), "Drawing1.dwg");

  // An instance that nobody registered or holds any more takes its window with it.
  ObjRef loose = newDrawingApplication();
  call(obj(get(loose, "Documents")), "Add");
  BStr looseCaption = toBStr(get(loose, "Caption"));
  EXPECT_TRUE(Desktop::instance().activate(looseCaption));
  loose.reset();
  EXPECT_FALSE(Desktop::instance().activate(looseCaption));
}

TEST_F(DrawingApp, ZoomViewsViewportsAndGridAreSavedForOtherReaders) {
  ScratchDir dir;
  std::string path = sample(dir);
  auto before = cadtest::inspect(path);
  ObjRef doc = open(path);

  // Window: the larger side decides the height.
  call(app, "ZoomWindow", {pt(0, 0), pt(100, 50)});
  double aspect = toDouble(get(activeViewport(), "Width")) / viewHeight();
  EXPECT_EQ(viewCenter()[0], 50);
  EXPECT_EQ(viewCenter()[1], 25);
  EXPECT_DOUBLE_EQ(viewHeight(), std::max(50.0, 100 / aspect));
  EXPECT_NE(failure([&] { call(app, "ZoomWindow", {pt(3, 3), pt(3, 3)}); }), 0);

  call(app, "ZoomCenter", {pt(10, 20), Variant(40.0)});
  EXPECT_EQ(viewCenter(), (std::vector<double>{10, 20, 0}));
  EXPECT_EQ(viewHeight(), 40);
  call(app, "ZoomCenter", {pt(11, 21), Variant(0.0)});  // no height: keep the current one
  EXPECT_EQ(viewHeight(), 40);
  call(app, "ZoomScaled", {Variant(2.0), Variant(int32_t(1))});
  EXPECT_EQ(viewHeight(), 20);
  EXPECT_NE(failure([&] { call(app, "ZoomScaled", {Variant(2.0), Variant(int32_t(7))}); }), 0);
  EXPECT_NE(failure([&] { call(app, "ZoomScaled", {Variant(0.0), Variant(int32_t(0))}); }), 0);

  call(app, "ZoomPrevious");
  EXPECT_EQ(viewHeight(), 40);
  EXPECT_EQ(viewCenter()[0], 11);
  for (int i = 0; i < 3; ++i) call(app, "ZoomPrevious");  // to the view the file was saved with
  EXPECT_NE(failure([&] { call(app, "ZoomPrevious"); }), 0);

  // Extents come from the geometry: the line from x 0 to 100, the block at (200, 100) with its
  // circle of radius 1, the polyline down to y -5 (the dimension is not measured).
  call(app, "ZoomExtents");
  std::vector<double> c = viewCenter();
  EXPECT_NEAR(c[0], (0 + 201.5) / 2, 1e-9);
  EXPECT_NEAR(c[1], (-5 + 101) / 2, 1e-9);
  EXPECT_NEAR(viewHeight(), std::max(106.0, 201.5 / aspect), 1e-9);
  call(app, "ZoomAll");  // limits (0,0)-(420,297) hold the extents here
  EXPECT_NEAR(viewCenter()[0], 210, 1e-9);
  EXPECT_NEAR(viewHeight(), std::max(302.0, 420 / aspect), 1e-9);

  // Named views.
  ObjRef views = obj(get(doc, "Views"));
  call(app, "ZoomCenter", {pt(5, 6), Variant(7.0)});
  call(views, "Add", {Variant(u"Plan")});
  EXPECT_NE(failure([&] { call(views, "Add", {Variant(u"bad/name")}); }), 0);
  call(views, "Add", {Variant(u"Temp")});
  call(obj(call(views, "Item", {Variant(u"temp")})), "Delete");

  // Viewport configurations: a saved one comes back when made active.
  ObjRef vports = obj(get(doc, "Viewports"));
  call(vports, "Add", {Variant(u"Left")});
  EXPECT_NE(failure([&] { call(vports, "Add", {Variant(u"left")}); }), 0);
  call(app, "ZoomCenter", {pt(500, 600), Variant(70.0)});
  putProperty(active(), "ActiveViewport", Variant(obj(call(vports, "Item", {Variant(u"LEFT")}))));
  EXPECT_EQ(viewCenter(), (std::vector<double>{5, 6, 0}));
  call(vports, "Add", {Variant(u"Scratch")});
  call(vports, "DeleteConfiguration", {Variant(u"scratch")});
  EXPECT_NE(failure([&] { call(vports, "Item", {Variant(u"Scratch")}); }), 0);
  EXPECT_NE(failure([&] { call(vports, "DeleteConfiguration", {Variant(u"*Active")}); }), 0);

  // Grid.
  ObjRef vp = activeViewport();
  putProperty(vp, "GridOn", Variant(true));
  call(vp, "SetGridSpacing", {Variant(5.0), Variant(2.5)});
  EXPECT_NE(failure([&] { call(vp, "SetGridSpacing", {Variant(1.0), Variant(-1.0)}); }), 0);

  call(app, "ZoomCenter", {pt(12, 34), Variant(56.0)});
  call(doc, "Regen", {Variant(int32_t(1))});
  EXPECT_NE(failure([&] { call(doc, "Regen", {Variant(int32_t(5))}); }), 0);
  std::string saved = dir.file("saved.dwg");
  call(doc, "SaveAs", {Variant(u16(saved))});
  EXPECT_EQ(str(get(doc, "FullName")), saved);
  call(doc, "Save");

  auto r = cadtest::inspect(saved);
  EXPECT_TRUE(r["audit_errors"].empty()) << r.dump();
  EXPECT_EQ(r["dxfversion"], "AC1015");
  // Everything modelled or only kept is written back.
  for (const char* key : {"layouts", "inserts", "layers", "xdata", "xrecord", "sat"}) EXPECT_EQ(r[key], before[key]) << key;
  EXPECT_TRUE(r["handles_unique"].get<bool>());
  EXPECT_TRUE(r["seed_ok"].get<bool>());
  EXPECT_EQ(r["views"]["Plan"]["center"], nlohmann::json::array({5, 6})) << r.dump();
  EXPECT_EQ(r["views"]["Plan"]["height"], 7);
  EXPECT_FALSE(r["views"].contains("Temp"));
  EXPECT_EQ(r["vports"]["*Active"][0],
            (nlohmann::json{{"center", {12, 34}}, {"height", 56}, {"grid_on", 1}, {"grid_spacing", {5, 2.5}}}));
  EXPECT_EQ(r["vports"]["Left"][0]["center"], nlohmann::json::array({5, 6}));
  EXPECT_FALSE(r["vports"].contains("Scratch"));
}

TEST_F(DrawingApp, SpacesHoldEntitiesAndBlockAttributes) {
  ScratchDir dir;
  ObjRef doc = open(sample(dir));
  ObjRef ms = obj(get(doc, "ModelSpace")), ps = obj(get(doc, "PaperSpace"));
  std::vector<std::string> kinds;
  ObjRef insert;
  for (const Variant& e : ms->enumerate()) {
    kinds.push_back(str(get(obj(e), "ObjectName")));
    if (toI4(get(obj(e), "EntityType")) == 7) insert = obj(e);
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"AcDbLine", "AcDbArc", "AcDbCircle", "AcDbText", "AcDbBlockReference",
                                             "AcDbEllipse", "AcDbMText", "AcDbPolyline", "AcDbHatch",
                                             "AcDbRotatedDimension", "AcDb3dSolid"}));
  ASSERT_TRUE(insert);
  EXPECT_EQ(str(get(insert, "Name")), "TAG");
  EXPECT_TRUE(toBool(get(insert, "HasAttributes")));
  EXPECT_EQ(coords(get(insert, "InsertionPoint")), (std::vector<double>{200, 100, 0}));
  Variant attrs = call(insert, "GetAttributes");
  ASSERT_EQ(attrs.arrayRef().count(1), 2);
  ObjRef num = obj(attrs.arrayRef().at(0));
  EXPECT_EQ(str(get(num, "TagString")), "NUM");
  EXPECT_EQ(str(get(num, "TextString")), "1");
  putProperty(num, "TextString", Variant(u"42 \u00e9"));  // beyond the R2000 code page: escaped
  EXPECT_EQ(toBStr(get(num, "TextString")), u"42 \u00e9");
  ObjRef desc = obj(attrs.arrayRef().at(1));
  putProperty(desc, "TextString", Variant(u"\u4e2d \u20ac"));  // outside the code page: escaped; the euro is in it
  EXPECT_EQ(toBStr(get(desc, "TextString")), u"\u4e2d \u20ac");
  EXPECT_EQ(failure([&] { get(num, "Radius"); }), hr::DISP_E_UNKNOWNNAME);
  EXPECT_EQ(str(get(obj(ms->enumerate()[0]), "Layer")), "WALLS");

  std::vector<std::string> paper;
  for (const Variant& e : ps->enumerate()) paper.push_back(str(get(obj(e), "ObjectName")));
  EXPECT_EQ(paper, (std::vector<std::string>{"AcDbBlockReference", "AcDbText"}));

  // New entities, in both spaces; the arc's angles are radians here (the files hold degrees). What
  // ezdxf finds of their geometry is checked through the drawing methods.
  const double pi = 3.14159265358979323846;
  ObjRef line = obj(call(ms, "AddLine", {pt(1, 2, 3), pt(4, 5, 6)}));
  EXPECT_EQ(coords(get(line, "EndPoint")), (std::vector<double>{4, 5, 6}));
  ObjRef arc = obj(call(ms, "AddArc", {pt(0, 0), Variant(2.0), Variant(0.0), Variant(pi / 2)}));
  EXPECT_NEAR(toDouble(get(arc, "EndAngle")), pi / 2, 1e-12);
  call(ms, "AddCircle", {pt(7, 7), Variant(3.0)});
  call(ms, "AddEllipse", {pt(0, 0), pt(4, 0), Variant(0.25)});
  ObjRef text = obj(call(ps, "AddText", {Variant(u"T"), pt(10, 20), Variant(2.5)}));
  EXPECT_EQ(toDouble(get(text, "Height")), 2.5);
  std::u16string longText(600, u'x');
  ObjRef mtext = obj(call(ms, "AddMText", {pt(0, 0), Variant(30.0), Variant(longText)}));
  EXPECT_EQ(toBStr(get(mtext, "TextString")), longText);
  EXPECT_NE(failure([&] { call(ms, "AddCircle", {pt(0, 0), Variant(0.0)}); }), 0);
  EXPECT_NE(failure([&] { call(ms, "AddLine", {Variant(1.0), pt(0, 0)}); }), 0);
  EXPECT_NE(failure([&] { call(ms, "AddEllipse", {pt(0, 0), pt(1, 0), Variant(2.0)}); }), 0);
  EXPECT_EQ(toI4(get(ms, "Count")), 16);
  EXPECT_EQ(toI4(get(ps, "Count")), 3);

  std::string out = dir.file("entities.dxf");
  call(doc, "SaveAs", {Variant(u16(out))});
  auto j = cadtest::entities(out);
  EXPECT_TRUE(j["audit_errors"].empty()) << j["audit_errors"];
  std::map<std::string, nlohmann::json> last;  // the last model space entity of each kind
  for (auto& e : j["model"]) last[e["type"]] = e;
  EXPECT_EQ(last["INSERT"]["attribs"], (nlohmann::json{{"NUM", "42 \u00e9"}, {"DESC", "\\U+4E2D \u20ac"}}));
  EXPECT_EQ(last["MTEXT"]["text"].get<std::string>().size(), 600u);
}

TEST_F(DrawingApp, PicksComeFromTheDesktop) {
  std::vector<std::string> prompts;
  Desktop::instance().setPickSource([&](const BStr& prompt) -> std::optional<Point3> {
    prompts.push_back(u8(prompt));
    if (prompts.size() > 1) return std::nullopt;  // the user cancels the second pick
    return Point3{1, 2, 3};
  });
  ObjRef util = obj(get(active(), "Utility"));
  EXPECT_EQ(coords(call(util, "GetPoint", {Variant::missing(), Variant(u"Select Start Point: ")})),
            (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(prompts, std::vector<std::string>{"Select Start Point: "});
  EXPECT_NE(failure([&] { call(util, "GetPoint", {Variant::missing(), Variant(u"Again: ")}); }), 0);
}

TEST_F(DrawingApp, DocumentsOpenSaveAndClose) {
  ScratchDir dir;
  std::string path = sample(dir);
  std::ofstream(dir.file("broken.dxf")) << "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n";
  EXPECT_NE(failure([&] { open(dir.file("broken.dxf")); }), 0);
  EXPECT_EQ(toI4(get(docs(), "Count")), 1);

  ObjRef a = open(path, true);
  call(obj(call(docs(), "Item", {Variant(int32_t{0})})), "Activate");
  EXPECT_EQ(open(path).get(), a.get());  // already open: the same document, active again
  EXPECT_EQ(active().get(), a.get());
  EXPECT_EQ(toI4(get(docs(), "Count")), 2);
  EXPECT_TRUE(toBool(get(a, "ReadOnly")));
  EXPECT_NE(failure([&] { call(a, "Save"); }), 0);
  call(a, "SaveAs", {Variant(u16(dir.file("copy.dxf")))});
  EXPECT_FALSE(toBool(get(a, "ReadOnly")));
  call(a, "Save");

  // A template gives the new drawing its content.
  ObjRef fromTemplate = obj(call(docs(), "Add", {Variant(u16(path))}));
  EXPECT_EQ(toI4(get(obj(get(fromTemplate, "ModelSpace")), "Count")), 11);

  // Closing with changes saved writes them; the closed document refuses every member.
  call(obj(get(a, "ModelSpace")), "AddLine", {pt(0, 0), pt(1, 1)});
  call(a, "Close", {Variant(true)});
  EXPECT_NE(failure([&] { get(a, "Name"); }), 0);
  EXPECT_EQ(toI4(get(docs(), "Count")), 2);
  ObjRef reopened = open(dir.file("copy.dxf"));
  EXPECT_EQ(toI4(get(obj(get(reopened, "ModelSpace")), "Count")), 12);
  call(reopened, "Close", {Variant(false)});
  EXPECT_EQ(str(get(active(), "Name")), "Drawing2.dwg");

  // Documents.Close leaves none: there is no active document then.
  call(docs(), "Close");
  EXPECT_EQ(toI4(get(docs(), "Count")), 0);
  EXPECT_NE(failure([&] { call(app, "ZoomAll"); }), 0);
  EXPECT_EQ(toBStr(get(app, "Caption")), u"AutoCAD");

  // A new drawing is saved where it was named, as R2000.
  std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ObjRef fresh = obj(call(docs(), "Add"));
  EXPECT_EQ(str(get(fresh, "Path")), dir.path());
  call(fresh, "Save");
  std::filesystem::current_path(cwd);
  auto r = cadtest::inspect(dir.file(str(get(fresh, "Name"))));
  EXPECT_EQ(r["dxfversion"], "AC1015");
  EXPECT_TRUE(r["audit_errors"].empty());
}

TEST_F(DrawingApp, R12DrawingsStayR12) {
  ScratchDir dir;
  std::string path = sample(dir, "R12");
  ObjRef doc = open(path);
  call(app, "ZoomCenter", {pt(1, 2), Variant(3.0)});
  call(obj(get(doc, "Views")), "Add", {Variant(u"Front")});
  call(obj(get(doc, "Viewports")), "Add", {Variant(u"Saved")});
  ObjRef ms = obj(get(doc, "ModelSpace"));
  call(ms, "AddLine", {pt(0, 0), pt(9, 9)});
  call(ms, "AddText", {Variant(u"r12"), pt(0, 0), Variant(1.0)});
  EXPECT_NE(failure([&] { call(ms, "AddEllipse", {pt(0, 0), pt(1, 0), Variant(0.5)}); }), 0);
  EXPECT_NE(failure([&] { call(ms, "AddMText", {pt(0, 0), Variant(1.0), Variant(u"m")}); }), 0);
  std::string out = dir.file("r12-out.dxf");
  call(doc, "SaveAs", {Variant(u16(out))});
  auto r = cadtest::inspect(out);
  EXPECT_EQ(r["dxfversion"], "AC1009");
  EXPECT_TRUE(r["audit_errors"].empty()) << r.dump();
  EXPECT_EQ(r["layouts"]["Model"], nlohmann::json::array({"LINE", "ARC", "CIRCLE", "TEXT", "INSERT", "LINE", "TEXT"}));
  EXPECT_EQ(r["views"]["Front"]["height"], 3);
  EXPECT_EQ(r["vports"]["*Active"][0]["center"], nlohmann::json::array({1, 2}));
  EXPECT_TRUE(r["vports"].contains("Saved"));
  EXPECT_TRUE(r["handles_unique"].get<bool>());
}

TEST_F(DrawingApp, SolidsAreBodiesOtherReadersUnderstand) {
  ScratchDir dir;
  ObjRef doc = active();
  ObjRef ms = obj(get(doc, "ModelSpace"));
  ObjRef box = obj(call(ms, "AddBox", {pt(10, 20, 30), Variant(4.0), Variant(6.0), Variant(8.0)}));
  EXPECT_EQ(toI4(get(box, "EntityType")), 3);
  call(ms, "AddCone", {pt(-100, 0, 0), Variant(5.0), Variant(10.0)});
  EXPECT_NE(failure([&] { call(ms, "AddBox", {pt(0, 0), Variant(0.0), Variant(1.0), Variant(1.0)}); }), 0);
  EXPECT_NE(failure([&] { call(ms, "AddCone", {pt(0, 0), Variant(1.0), Variant(-1.0)}); }), 0);

  // Extents read the solids' vertices: the cone's base reaches x -105, the box x 12 and y 23.
  call(app, "ZoomExtents");
  std::vector<double> c = viewCenter();
  EXPECT_NEAR(c[0], (-105 + 12) / 2.0, 1e-9);
  EXPECT_NEAR(c[1], (-5 + 23) / 2.0, 1e-9);

  std::string out = dir.file("solids.dxf");
  call(doc, "SaveAs", {Variant(u16(out))});
  // The bodies as ezdxf meshes them: faces, vertices and the box they fill.
  EXPECT_EQ(cadtest::read("solids", out), nlohmann::json::parse(R"({"audit_errors": 0, "solids": [
      {"faces": 6, "vertices": 8, "box": [8, 12, 17, 23, 26, 34]},
      {"faces": 65, "vertices": 65, "box": [-105, -95, -5, 5, -5, 5]}]})"));

  // Drawings that keep solids elsewhere refuse new ones instead of writing what they cannot read.
  std::string r2018 = sample(dir, "R2018");
  ObjRef newer = open(r2018);
  EXPECT_NE(failure([&] { call(obj(get(newer, "ModelSpace")), "AddBox", {pt(0, 0), Variant(1.0), Variant(1.0), Variant(1.0)}); }), 0);
}
