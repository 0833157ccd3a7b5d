#include "talvex/registry.h"

#include <map>

#include "automation/strings.h"

namespace tlx {

namespace {

struct Registry {
  std::map<std::string, Factory, LessNoCaseAscii> classes;
  std::map<std::string, ObjRef, LessNoCaseAscii> running;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

ObjRef createObject(std::string_view progId) {
  auto& classes = registry().classes;
  auto it = classes.find(std::string(progId));
  if (it == classes.end())
    throw ComError(hr::CO_E_CLASSSTRING, "Cannot create object: " + std::string(progId));
  Factory factory = it->second;  // the factory may register or revoke while it runs
  return factory();
}

ObjRef getObject(std::string_view progId) {
  auto& running = registry().running;
  auto it = running.find(std::string(progId));
  if (it == running.end() || !it->second) throw ComError(hr::MK_E_UNAVAILABLE);
  return it->second;
}

void registerClass(std::string progId, Factory factory) { registry().classes[std::move(progId)] = std::move(factory); }

void unregisterClass(std::string_view progId) { registry().classes.erase(std::string(progId)); }

void registerRunning(std::string progId, ObjRef object) { registry().running[std::move(progId)] = std::move(object); }

void revokeRunning(std::string_view progId, const Dispatch* object) {
  auto& running = registry().running;
  auto it = running.find(std::string(progId));
  if (it != running.end() && (!object || it->second.get() == object)) running.erase(it);
}

}  // namespace tlx
