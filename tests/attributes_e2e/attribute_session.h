// What the attribute end-to-end tests share: drawings made and queried by ezdxf
// (attribute_drawings.py), templates written from a query, and the text a sink should give.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/talvex_session.h"

namespace tlxtest {

using json = nlohmann::json;

inline std::string drawings(const std::string& args) { return python("tests/attributes_e2e/attribute_drawings.py", args); }

inline json call(const std::string& method, json args = json::array()) {
  return {{"call", method}, {"args", std::move(args)}};
}

// A template and the same selection as the ezdxf query reads it.
struct Query {
  std::string blocks = "*", layers = "*", space = "*";
  std::vector<std::string> columns, tags;
  bool suppress = false;

  std::string templateText() const {
    std::string t = "Extraction for the tests\r\n*INPUT\r\n";
    t += "BLOCK: " + blocks + "\r\nLAYER: " + layers + "\r\nSPACE: " + space + "\r\n*OUTPUT\r\n";
    for (auto& c : columns) t += c + "\r\n";
    t += "*ATTRIBUTE_TAGS\r\n' tags\r\n";
    for (auto& tag : tags) t += tag + "\r\n";
    if (suppress) t += "*SUPPRESS\r\n";
    return t;
  }
  // Writes the template as `file`; its path.
  std::string write(const std::filesystem::path& file) const {
    writeFile(file, templateText());
    return file.string();
  }
  // The filters in their stored form: " A B " or "*".
  static std::string filter(std::string list) {
    if (list == "*") return list;
    for (char& c : list)
      if (c == ',') c = ' ';
    return " " + list + " ";
  }
  // The records an extraction should give from `drawing`, as ezdxf finds them.
  json records(const std::filesystem::path& drawing) const {
    const json query = {{"blocks", filter(blocks)}, {"layers", filter(layers)}, {"space", space},
                        {"columns", columns},       {"tags", tags}};
    return json::parse(drawings("records " + shellQuote(drawing.string()) + " " + shellQuote(query.dump())));
  }
};

// The lines a text sink should give for these records.
inline std::string lines(const json& recs, bool includeTags, const std::string& delimiter, const std::string& quote,
                         bool suppress) {
  auto join = [&](const json& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? delimiter : "") + quote + fields[i].get<std::string>() + quote;
    return line + "\r\n";
  };
  std::string out;
  bool header = false;
  for (auto& r : recs) {
    if (suppress && !r["found"].get<bool>()) continue;
    if (includeTags && !header) out += join(r["header"]), header = true;
    out += join(r["fields"]);
  }
  return out;
}

}  // namespace tlxtest
