// The pictures are compiled into the program's library; a static library needs its resources
// registered explicitly, before the first picture is loaded.
#pragma once

namespace ts {

void EnsureResources();

}  // namespace ts
