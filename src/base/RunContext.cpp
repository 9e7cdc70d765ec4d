#include "base/RunContext.h"

#include <algorithm>

#include "base/Findings.h"
#include "base/RunUi.h"

namespace ts {

CRunContext::CRunContext(CFileSystem& fs, CRunUi& ui) : fs(fs), ui(ui), progress(ui.Progress()) {}

void CRunContext::ErrorLine(const std::string& path, const std::string& text) {
    errorReport << ProblemLine(path, text);
}

std::string CRunContext::ProblemLine(const std::string& path, const std::string& text) {
    if (findings) findings->AddProblem(path, text);
    return ts::ErrorLine(path, text);
}

void CRunContext::NoteLine(const std::string& path, const std::string& text) {
    const std::string line = ts::ErrorLine(path, text);
    errorReport << line;
    // The report file has CR LF line ends.
    noteBytes += line.size() + static_cast<uint64_t>(std::count(line.begin(), line.end(), '\n'));
}

}  // namespace ts
