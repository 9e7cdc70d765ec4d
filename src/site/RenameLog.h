// The "RENAME.LOG" of a run directory: one line for each entry renamed in it. A log that stays
// empty is removed when it is closed.
#pragma once

#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

class CDirNode;
class CTreeWriter;

class CRenameLog {
public:
    explicit CRenameLog(CDirNode& dir) : m_dir(dir) {}
    ~CRenameLog() { Close(); }
    CRenameLog(const CRenameLog&) = delete;
    CRenameLog& operator=(const CRenameLog&) = delete;

    // Creates the log (again, after a failure); a failure is shown to the user.
    void Open(CTreeWriter& writer);
    void Write(const std::string& strLine);
    void Close();

private:
    CDirNode& m_dir;
    CTreeWriter* m_pWriter = nullptr;
    std::unique_ptr<CFile> m_pFile;
};

}  // namespace ts
