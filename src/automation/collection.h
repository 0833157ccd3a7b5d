// Basic's Collection ("VBA.Collection") and the scripting Dictionary ("Scripting.Dictionary").
#pragma once

#include "talvex/dispatch.h"

namespace tlx {

// 1-based items with optional unique string keys compared without case.
// Members: Add(Item, [Key], [Before], [After]), Item(Index) (default), Count, Remove(Index),
// enumeration.
ObjRef newCollection();
// Add(Key, Item), Item(Key) (default, get and put), Exists(Key), Count, Keys(), Items() (in
// insertion order, 0-based arrays), Remove(Key), RemoveAll(); a duplicate key raises.
ObjRef newDictionary();

// Registers both under their programmatic identifiers.
void registerRuntimeClasses();

}  // namespace tlx
