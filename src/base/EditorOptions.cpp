#include "base/EditorOptions.h"

#include "base/Profile.h"
#include "base/ReportStream.h"
#include "platform/Text.h"

namespace ts {
namespace {

const char* const kEditorSection = "EditorSettings";

}  // namespace

EditorOptions LoadEditorOptions(CFileSystem& fs, const CProfile* profile, const std::string& dir) {
    EditorOptions o;
    if (profile) {
        o.strEditor = profile->GetString(kEditorSection, "ExternalEditor");
        o.bUseAlways = profile->GetInt(kEditorSection, "UseAlways", 0) != 0 ? 1 : 0;
    }
    o.strReportName = JoinPath(dir, "REPORT.TSY");
    FileStat st;
    for (int n = 1; fs.Stat(o.strReportName, st); ++n)
        o.strReportName = JoinPath(dir, Format("REPORT_%d.TSY", n));
    return o;
}

void StoreEditorOptions(CFileSystem& fs, CProfile& profile, const EditorOptions& o) {
    profile.SetString(kEditorSection, "ExternalEditor", o.strEditor);
    profile.SetString(kEditorSection, "ReportName", o.strReportName);
    profile.SetInt(kEditorSection, "UseAlways", o.bUseAlways ? 1 : 0);
    profile.Save(fs);
}

}  // namespace ts
