// A run context for tests that build nodes directly: its error and status reports go to
// files outside the site, and can be read back as text with plain "\n" line ends.
#pragma once

#include <memory>
#include <string>

#include "base/RunContext.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace ts::test {

class CSiteCapture {
public:
    explicit CSiteCapture(CFileSystem& fs = RealFileSystem()) : ctx(fs, ui) {
        m_error = RealFileSystem().CreateTemp(m_dir.Path(), "err_", m_errorPath);
        m_status = RealFileSystem().CreateTemp(m_dir.Path(), "st_", m_statusPath);
        ctx.errorReport.Attach(m_error.get());
        ctx.statusReport.Attach(m_status.get());
    }
    std::string Errors() {
        ctx.errorReport.Flush();
        return Lf(ReadFile(m_errorPath));
    }
    std::string Status() {
        ctx.statusReport.Flush();
        return Lf(ReadFile(m_statusPath));
    }

    CScriptedUi ui;
    CRunContext ctx;

private:
    CTempDir m_dir;
    std::string m_errorPath, m_statusPath;
    std::unique_ptr<CFile> m_error, m_status;
};

}  // namespace ts::test
