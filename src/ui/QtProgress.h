// The progress of the desktop program's walks: the one progress dialog, created by the first
// walk, whose Cancel button stops a walk between entries; a stop signal does the same.
#pragma once

#include <memory>

#include "base/Progress.h"

namespace ts {

class CProgDlg;

class CQtProgress : public CProgress {
public:
    CQtProgress();
    ~CQtProgress() override;

    // Null until the first walk.
    CProgDlg* Dialog() const { return m_pDlg.get(); }

    void Begin(const std::string& caption, int range) override;
    bool SetDirectory(const std::string& path) override;
    void SetFile(const std::string& path) override;
    void End() override;

private:
    std::unique_ptr<CProgDlg> m_pDlg;
};

}  // namespace ts
