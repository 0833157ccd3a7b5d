// The part of the styles the workbook model needs: each cell style's number format, and new
// date styles when a Date is written into a cell without one.
#pragma once

#include <pugixml.hpp>

#include <map>
#include <string>
#include <vector>

#include "platform/opc/package.h"

namespace tlx::platform::spreadsheet {

class Styles {
 public:
  void load(const opc::Package& p, const std::string& part);
  void createDefault(const std::string& part);

  // The number format code of a cell style ("General" when unknown).
  std::string formatOf(uint32_t style) const;
  bool isDate(uint32_t style) const;
  // A style showing dates (with the time when `withTime`); added on first use.
  uint32_t dateStyle(bool withTime);

  bool changed() const { return dirty_; }
  void saved() { dirty_ = false; }
  const std::string& part() const { return part_; }
  std::string xml() const;

 private:
  void index();
  void addDefaults();
  std::string part_;
  pugi::xml_document doc_;
  std::map<int, std::string> custom_;  // numFmtId -> code
  std::vector<int> xfFormats_;         // numFmtId of each cellXfs entry
  std::vector<bool> xfIsDate_;
  bool dirty_ = false;
};

}  // namespace tlx::platform::spreadsheet
