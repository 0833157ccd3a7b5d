// Registers every outside application's automation object under its programmatic identifier.
#pragma once

namespace tlx {

// Idempotent; the control calls it when it is created.
void registerPlatformComponents();

}  // namespace tlx
