// The two temporary reports of a run or an undo: the status report and the error report that
// the passes write to, and that the final report is assembled from. They are created
// exclusively in the temporary directory and removed when this object goes, whatever ended
// the run; when the final report cannot be made they are moved into the site for the user.
#pragma once

#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

class CReportStream;
class CRunUi;

class CTempReports {
public:
    CTempReports(CFileSystem& fs, CReportStream& status, CReportStream& error, std::string dir);
    ~CTempReports();
    CTempReports(const CTempReports&) = delete;
    CTempReports& operator=(const CTempReports&) = delete;

    // Creates both files and attaches the streams to them; tells the user which one could not
    // be created.
    bool Create(CRunUi& ui);
    // Writes what the streams still hold and closes the files; true when both got all of
    // their text. The streams are not touched again afterwards, so their owner may go.
    bool Close();
    // Moves the files into dir as STATUS.TSY and ERROR.TSY, never replacing a file.
    void MoveTo(const std::string& dir);
    void Remove();

    const std::string& StatusPath() const { return m_status.path; }
    const std::string& ErrorPath() const { return m_error.path; }

private:
    struct Report {
        CReportStream* stream;
        std::string path;
        std::unique_ptr<CFile> file;
    };
    bool Create(Report& report);
    bool Close(Report& report);

    CFileSystem& m_fs;
    std::string m_dir;
    Report m_status, m_error;
};

}  // namespace ts
