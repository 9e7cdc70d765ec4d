#include "base/PageOutput.h"

#include "base/Findings.h"
#include "base/ReportStream.h"
#include "base/RunContext.h"

namespace ts {

CPageOutput CPageOutput::Of(CRunContext& ctx) {
    return {ctx.statusReport, ctx.errorReport, ctx.findings};
}

void CPageOutput::Problem(const std::string& path, const std::string& text) const {
    if (findings) findings->AddProblem(path, text);
    errors << ErrorLine(path, text);
}

}  // namespace ts
