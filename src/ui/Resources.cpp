#include "ui/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a function at global scope.
static void InitTessaryResources() {
    Q_INIT_RESOURCE(tessary);
}

namespace ts {

void EnsureResources() {
    static bool done = false;
    if (done) return;
    done = true;
    InitTessaryResources();
}

}  // namespace ts
