// The External Editor options as the dialog starts with them and stores them: the menu command
// and the final report read and write them the same way.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace ts {

class CProfile;

// External editor options as the External Editor dialog holds them.
struct EditorOptions {
    std::string strEditor;
    std::string strReportName;
    int bUseAlways = 0;
};

// The editor and the "always" flag from the profile (section "EditorSettings"; profile may be
// null), and a report name in dir that names no existing file: REPORT.TSY, else REPORT_1.TSY,
// REPORT_2.TSY, ... The stored report name is never read back.
EditorOptions LoadEditorOptions(CFileSystem& fs, const CProfile* profile, const std::string& dir);

// What OK in the dialog stores, written to the profile file at once.
void StoreEditorOptions(CFileSystem& fs, CProfile& profile, const EditorOptions& options);

}  // namespace ts
