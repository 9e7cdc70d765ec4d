// The "RENAME.LOG" of a run directory: one line for each entry renamed in it. The lines of a run
// are added after those of earlier runs, and the file is made only when there is a first line,
// so a directory where nothing was renamed keeps its log, or its absence, as it was.
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

    // The run keeps a log here; the file is opened with the first line.
    void Open(CTreeWriter& writer);
    void Write(const std::string& strLine);
    void Close();

private:
    CDirNode& m_dir;
    CTreeWriter* m_pWriter = nullptr;
    std::unique_ptr<CFile> m_pFile;
    // Opening failed once and the user was told: the run goes on without this log.
    bool m_bFailed = false;
};

}  // namespace ts
