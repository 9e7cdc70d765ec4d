#include "base/RunContext.h"

namespace ts {

void CRunContext::ErrorLine(const std::string& path, const std::string& text) {
    errorReport << ts::ErrorLine(path, text);
}

}  // namespace ts
