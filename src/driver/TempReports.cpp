#include "driver/TempReports.h"

#include "base/ReportStream.h"
#include "base/RunUi.h"
#include "base/Strings.h"

namespace ts {

CTempReports::CTempReports(CFileSystem& fs, CReportStream& status, CReportStream& error,
                           std::string dir)
    : m_fs(fs), m_dir(std::move(dir)), m_status{&status, {}, {}}, m_error{&error, {}, {}} {}

CTempReports::~CTempReports() {
    Remove();
}

bool CTempReports::Create(Report& report) {
    report.file = m_fs.CreateTemp(m_dir, std::string(kTempPrefix), report.path);
    if (!report.file) {
        report.path.clear();
        return false;
    }
    report.stream->Attach(report.file.get());
    return true;
}

bool CTempReports::Create(CRunUi& ui) {
    if (!Create(m_status)) {
        ui.MessageBox(LoadString(IDS_CREATE_STATUS_REPORT));
        return false;
    }
    if (!Create(m_error)) {
        ui.MessageBox(LoadString(IDS_CREATE_ERROR_REPORT));
        return false;
    }
    return true;
}

bool CTempReports::Close(Report& report) {
    if (!report.stream) return true;
    report.stream->Detach();
    bool whole = !report.stream->Failed();
    report.stream = nullptr;
    report.file.reset();
    return whole;
}

bool CTempReports::Close() {
    bool status = Close(m_status);
    bool error = Close(m_error);
    return status && error;
}

void CTempReports::MoveTo(const std::string& dir) {
    if (!m_status.path.empty()) MoveFileNoReplace(m_fs, m_status.path, JoinPath(dir, "STATUS.TSY"));
    if (!m_error.path.empty()) MoveFileNoReplace(m_fs, m_error.path, JoinPath(dir, "ERROR.TSY"));
}

void CTempReports::Remove() {
    for (Report* report : {&m_status, &m_error}) {
        report->file.reset();
        if (!report->path.empty()) m_fs.Remove(report->path);
        report->path.clear();
    }
}

}  // namespace ts
