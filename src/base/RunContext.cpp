#include "base/RunContext.h"

#include "base/RunUi.h"

namespace ts {

CRunContext::CRunContext(CFileSystem& fs, CRunUi& ui) : fs(fs), ui(ui), progress(ui.Progress()) {}

void CRunContext::ErrorLine(const std::string& path, const std::string& text) {
    errorReport << ts::ErrorLine(path, text);
}

}  // namespace ts
