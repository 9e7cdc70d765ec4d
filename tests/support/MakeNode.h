// Nodes of entries on disk for tests: examined, then made, as a scan makes them.
#pragma once

#include <string>

#include "site/Examine.h"

namespace ts {
class CDirNode;
class CRunContext;
}  // namespace ts

namespace ts::test {

template <class T>
T MakeNode(CRunContext& ctx, const std::string& path, CDirNode* parent = nullptr) {
    return T(&ctx, Examine(&ctx, path, parent == nullptr), parent);
}

}  // namespace ts::test
