// Nodes of entries on disk for tests: examined, then made, as a scan makes them.
#pragma once

#include <string>

#include "html/HtmlNode.h"
#include "site/DirXpNode.h"
#include "site/Examine.h"

namespace ts::test {

template <class T>
T MakeNode(CRunContext& ctx, const std::string& path, CDirNode* parent = nullptr) {
    return T(&ctx, Examine(&ctx, path, parent == nullptr), parent);
}

// The top directory of a run, making HTML nodes of its Web files as a run does.
inline CDirXpNode MakeRunDir(CRunContext& ctx, const std::string& path) {
    return CDirXpNode(&ctx, Examine(&ctx, path, true), nullptr, MakeWebFileNode);
}

}  // namespace ts::test
