// The rows of a recordset and the cursor over them, on rows from a source of our own: every
// kind of value kept and given back, and where each move leaves a static and a forward-only
// cursor.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "automation/test_objects.h"
#include "platform/ado/cursor.h"

namespace tlx::platform::ado {
namespace {

// The numbers 1 to n in one column, counting how often it is read again from the start.
class Numbers : public RowSource {
 public:
  explicit Numbers(int32_t n, int* restarts = nullptr) : n_(n), restarts_(restarts) {}
  const std::vector<ColumnInfo>& columns() const override { return columns_; }
  bool next(RowStore& rows) override {
    if (at_ == n_) return false;
    rows.append({Variant(++at_)});
    return true;
  }
  void restart() override {
    at_ = 0;
    if (restarts_) ++*restarts_;
  }

 private:
  std::vector<ColumnInfo> columns_ = std::vector<ColumnInfo>(1);
  int32_t n_, at_ = 0;
  int* restarts_;
};

TEST(RowStore, KeepsEveryKindOfValueAcrossChunksAndReplacements) {
  auto bytes = std::make_unique<SafeArray>(std::vector<Bound>{{0, 2}}, vtUI1);
  const std::vector<Variant> kinds = {Variant(), Variant::null(), Variant(int16_t(-2)), Variant(int32_t(1) << 30),
                                      Variant(1.5f), Variant(0.1), Variant(Currency{-123456789}),
                                      Variant(Date{makeDate(2024, 2, 29, 13, 5)}), Variant(true), Variant(uint8_t(255)),
                                      Variant(u"text"), Variant(ErrorValue{hr::basicError(2042)}), Variant(std::move(bytes))};
  std::vector<ColumnInfo> columns(kinds.size());
  RowStore store(columns);
  const size_t rows = 16384 + 2;  // into a second chunk
  for (size_t r = 0; r < rows; ++r) store.append(kinds);
  ASSERT_EQ(store.size(), rows);
  for (size_t r : {size_t(0), size_t(16383), size_t(16384), rows - 1})
    for (size_t c = 0; c < kinds.size(); ++c) {
      EXPECT_EQ(store.value(r, c), kinds[c]) << "row " << r << ", column " << c;
      EXPECT_EQ(store.value(r, c).type(), kinds[c].type());
    }
  // A value replaced by another kind, and back.
  for (size_t c = 0; c < kinds.size(); ++c) {
    store.setValue(1, c, Variant(u"replaced"));
    EXPECT_EQ(store.value(1, c), Variant(u"replaced"));
    store.setValue(1, c, kinds[c]);
  }
  EXPECT_EQ(store.rowValues(1), kinds);
  store.markDeleted(1);
  store.markDeleted(1);
  EXPECT_EQ(store.live(), rows - 1);

  store.addOutOfRange();
  for (size_t c = 1; c < kinds.size(); ++c) store.add(Variant());
  store.endRow();
  EXPECT_EQ(errorOf([&] { store.value(rows, 0); }), hr::DISP_E_OVERFLOW);
}

// Where the cursor stands: "BOF", "EOF" or the current value, and its AbsolutePosition.
std::string where(Cursor& c) {
  std::string at = c.bof() ? (c.eof() ? "BOF EOF" : "BOF") : c.eof() ? "EOF" : std::to_string(toI4(c.value(0)));
  return at + " @" + std::to_string(c.absolutePosition());
}

struct Step {
  const char* move;
  std::string after;  // "refused": the move raises and the cursor stays
};

void walk(Cursor& c, const std::vector<Step>& steps) {
  const std::map<std::string, std::function<void()>> moves = {
      {"start", [] {}},
      {"first", [&] { c.moveFirst(); }},
      {"last", [&] { c.moveLast(); }},
      {"next", [&] { c.moveNext(); }},
      {"previous", [&] { c.movePrevious(); }},
      {"to 1", [&] { c.moveTo(1); }},
      {"to 4", [&] { c.moveTo(4); }},
  };
  for (size_t i = 0; i < steps.size(); ++i) {
    std::string before = where(c);
    bool refused = errorOf(moves.at(steps[i].move)) != 0;
    EXPECT_EQ(refused ? "refused, " + where(c) : where(c), steps[i].after == "refused" ? "refused, " + before : steps[i].after)
        << "step " << i << ": " << steps[i].move;
  }
}

TEST(Cursor, StaticCursorsMoveEveryWay) {
  Cursor c(std::make_unique<Numbers>(3), false);
  EXPECT_EQ(c.recordCount(), 3);
  walk(c, {{"start", "1 @1"}, {"last", "3 @3"}, {"previous", "2 @2"}, {"next", "3 @3"}, {"next", "EOF @-3"},
           {"next", "refused"}, {"previous", "3 @3"}, {"to 1", "1 @1"}, {"previous", "BOF @-2"}, {"previous", "refused"},
           {"next", "1 @1"}, {"to 4", "refused"}, {"first", "1 @1"}});
  EXPECT_EQ(errorOf([&] { c.setValue(0, Variant(int32_t(9))); }), hr::basicError(3251));  // read-only
}

TEST(Cursor, ForwardOnlyCursorsGoOnOrStartAgain) {
  int restarts = 0;
  Cursor c(std::make_unique<Numbers>(3, &restarts), true);
  EXPECT_EQ(c.recordCount(), -1);
  walk(c, {{"start", "1 @-1"}, {"first", "1 @-1"}, {"next", "2 @-1"}, {"previous", "refused"}, {"last", "refused"},
           {"to 1", "refused"}, {"first", "1 @-1"}, {"next", "2 @-1"}, {"next", "3 @-1"}, {"next", "EOF @-3"},
           {"next", "refused"}});
  EXPECT_EQ(restarts, 1);  // only once it had moved on
  c.moveFirst();
  std::vector<int32_t> seen;
  c.readRows([&](Variant* values) { seen.push_back(toI4(values[0])); });
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(where(c), "EOF @-3");
  EXPECT_EQ(errorOf([&] { c.moveNext(); }), hr::basicError(3021));
}

TEST(Cursor, NoRowsIsBothEnds) {
  for (bool forwardOnly : {false, true}) {
    Cursor c(std::make_unique<Numbers>(0), forwardOnly);
    walk(c, {{"start", "BOF EOF @-3"}, {"next", "refused"}, {"first", "BOF EOF @-3"}});
    EXPECT_EQ(errorOf([&] { c.value(0); }), hr::basicError(3021));
    c.close();
    EXPECT_THROW(c.eof(), ComError);
  }
}

}  // namespace
}  // namespace tlx::platform::ado
