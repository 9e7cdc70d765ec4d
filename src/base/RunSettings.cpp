#include "base/RunSettings.h"

#include "base/Profile.h"
#include "base/Strings.h"
#include "platform/ShownText.h"

namespace ts {
namespace {

int RowOf(const int* codes, int rows, int code) {
    for (int i = 0; i < rows; ++i)
        if (codes[i] == code) return i;
    return 0;
}

int CodeOf(const int* codes, int rows, int row) {
    return row >= 0 && row < rows ? codes[row] : 0;
}

const char* const kSettings = "Settings";
const char* const kHtmlSettings = "HTMLSettings";

std::string JoinList(const std::vector<std::string>& items, const char* sep) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : sep) + item;
    return out;
}

}  // namespace

std::vector<std::string> SplitList(const std::string& text, char sep) {
    std::vector<std::string> items;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find(sep, begin);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(begin, end - begin);
        size_t first = item.find_first_not_of(" \t");
        if (first != std::string::npos)
            items.push_back(item.substr(first, item.find_last_not_of(" \t") - first + 1));
        begin = end + 1;
    }
    return items;
}

CLinkOptions LinkOptionsOf(const RunSettings& s) {
    CLinkOptions links;
    links.siteUrls = s.SiteUrls;
    links.indexFiles = s.IndexFiles;
    links.fallbackExtensions = s.FallbackExtensions;
    links.checkFragments = s.CheckFragments;
    // ".html" and "html" mean the same extension.
    for (std::string& ext : links.fallbackExtensions)
        if (ext.starts_with(".")) ext.erase(0, 1);
    return links;
}

int TargetRowOf(int target) {
    return RowOf(kTargetRowCodes, kTargetRows, target);
}
int LineEndRowOf(int lineEnd) {
    return RowOf(kLineEndRowCodes, kLineEndRows, lineEnd);
}

void LoadPages(PageValues& p, const RunSettings& s) {
    p.nTarget = TargetRowOf(s.Target);
    p.nLineEnd = LineEndRowOf(s.LineEnd);
    p.nRename = s.Rename ? 1 : 0;
    p.nAutoFileName = s.AutoFileName ? 1 : 0;
    p.nRenameHtml = s.RenameHtml;
    p.nFilesOnly = s.FilesOnly ? 1 : 0;
    p.strHomePage = s.HomePage;
    p.bReportExternalRefs = s.ReportExternalRefs;
    p.bReportUnresolvedRefs = s.ReportUnresolvedRefs;
    p.bReportUnusedFiles = s.ReportUnusedFiles;
    p.bCheckFragments = s.CheckFragments;
    p.bCheckExternal = s.CheckExternal;
    p.nRedirects = s.Redirects;
    p.nAutoReadOnly = s.AutoReadOnly;
    p.bUseSubdirs = s.UseSubdirs;
    p.bLogSubdirs = s.LogSubdirs;
    p.strDirectory = s.Directory;
    p.bReportSpecial = s.ReportSpecial;
}

void ReadPages(const PageValues& p, RunSettings& s) {
    s.Target = CodeOf(kTargetRowCodes, kTargetRows, p.nTarget);
    s.LineEnd = CodeOf(kLineEndRowCodes, kLineEndRows, p.nLineEnd);
    s.RenameHtml = p.nRenameHtml;
    s.FilesOnly = p.nFilesOnly != 0;
    s.Rename = p.nRename != 0;
    s.AutoFileName = p.nAutoFileName != 0;
    s.AutoReadOnly = p.nAutoReadOnly;
    s.LogSubdirs = p.bLogSubdirs != 0;
    s.UseSubdirs = p.bUseSubdirs != 0;
    s.Directory = p.strDirectory;
    s.ReportSpecial = p.bReportSpecial;
    s.HomePage = p.strHomePage;
    s.ReportExternalRefs = p.bReportExternalRefs != 0;
    s.ReportUnresolvedRefs = p.bReportUnresolvedRefs != 0;
    s.ReportUnusedFiles = p.bReportUnusedFiles != 0;
    s.CheckFragments = p.bCheckFragments != 0;
    s.CheckExternal = p.bCheckExternal != 0;
    s.Redirects = CodeOf(kRedirectRowCodes, kRedirectRows, p.nRedirects);
    s.DeriveUpdateLinks();
}

namespace {

// "" when the run writes no redirects.
std::string RedirectsLine(const RunSettings& s) {
    static constexpr const char* kRedirects[kRedirectRows] = {
        "", "an Apache .htaccess", "an nginx include file", "a Netlify _redirects file",
        "pages left at the old paths"};
    if (!s.Rename || s.Redirects <= 0 || s.Redirects >= kRedirectRows) return {};
    return FormatMessage("Redirect the old URLs of renamed files with %1", kRedirects[s.Redirects]);
}

}  // namespace

std::string SettingsSummary(const RunSettings& s) {
    std::string out;
    auto line = [&out](const std::string& text) {
        out += text;
        out += "\r\n";
    };
    line(FormatMessage("Directory:  %1", ShownName(s.Directory)));
    if (!s.FilesOnly) line(FormatMessage("Home Page:  %1", ShownName(s.HomePage)));
    if (s.UseSubdirs)
        line(std::string("Using subdirectories") +
             (s.LogSubdirs ? " (make local log in each subdirectory)" : ""));
    line("");
    // NTFS has no row of the wizard's list, but a command-line run can choose it.
    line(FormatMessage("Filename convention: %1",
                       s.Target == TFS_NTFS ? "NTFS" : kTargetRowTexts[TargetRowOf(s.Target)]));
    if (s.RenameHtml == 1)
        line(FormatMessage("Rename Web files to use %1 filename extensions",
                           "Windows \".htm\", \".jpg\", etc."));
    else if (s.RenameHtml == 2)
        line(FormatMessage("Rename Web files to use %1 filename extensions",
                           "Mac/UNIX \".html\", \".jpeg\", etc."));
    if (s.Target != 0 || s.RenameHtml != 0) {
        line(s.Rename ? "Rename the files now" : "Do not rename files, just offer suggestions");
        if (std::string redirects = RedirectsLine(s); !redirects.empty()) line(redirects);
        if (!s.AutoFileName) line("Prompt for each filename change");
    }
    line("");
    line(FormatMessage("ASCII line end conversion: %1", kLineEndRowTexts[LineEndRowOf(s.LineEnd)]));
    line("");
    if (s.FilesOnly) {
        line("Do not check URL references");
    } else {
        if (s.UpdateLinks) line("Update HTML references for files whose names change");
        if (s.ReportUnresolvedRefs)
            line("Report HTML references for local files which can't be found");
        if (s.CheckFragments) line("Report links to fragments their pages do not have");
        if (s.ReportUnusedFiles) line("Report local files which are unused in the Web hierarchy");
        if (s.ReportExternalRefs) line("Report external URLs which are referenced by the site");
        if (s.CheckExternal) line("Check that external URLs answer");
    }
    return out;
}

void LoadSettings(const CProfile& p, RunSettings& s) {
    RunSettings d;
    s.Target = p.GetInt(kSettings, "Target", d.Target);
    s.LineEnd = p.GetInt(kSettings, "LineEnd", d.LineEnd);
    s.Rename = p.GetInt(kSettings, "Rename", d.Rename) != 0;
    s.AutoFileName = p.GetInt(kSettings, "AutoFileName", d.AutoFileName) != 0;
    s.AutoReadOnly = p.GetInt(kSettings, "AutoReadOnly", d.AutoReadOnly);
    s.ReportSpecial = p.GetInt(kSettings, "ReportSpecial", d.ReportSpecial);
    s.UseSubdirs = p.GetInt(kSettings, "UseSubdirs", d.UseSubdirs) != 0;
    s.LogSubdirs = p.GetInt(kSettings, "LogSubdirs", d.LogSubdirs) != 0;
    s.Directory = p.GetString(kSettings, "Directory", d.Directory);
    s.RenameHtml = p.GetInt(kHtmlSettings, "RenameHtml", d.RenameHtml);
    s.FilesOnly = p.GetInt(kHtmlSettings, "FilesOnly", d.FilesOnly) != 0;
    s.HomePage = p.GetString(kHtmlSettings, "HomePage", d.HomePage);
    s.ReportExternalRefs = p.GetInt(kHtmlSettings, "ReportExternalRefs", 1) != 0;
    s.ExternalPage = p.GetString(kHtmlSettings, "ExternalPage", "");
    s.ReportUnresolvedRefs = p.GetInt(kHtmlSettings, "ReportUnresolvedRefs", 1) != 0;
    s.ReportUnusedFiles = p.GetInt(kHtmlSettings, "ReportUnusedFiles", 1) != 0;
    // Addresses hold no blanks; names of index pages and extensions no commas.
    s.SiteUrls = SplitList(p.GetString(kHtmlSettings, "SiteUrls", ""), ' ');
    s.IndexFiles =
        SplitList(p.GetString(kHtmlSettings, "IndexFiles", JoinList(d.IndexFiles, ",")), ',');
    s.FallbackExtensions = SplitList(p.GetString(kHtmlSettings, "FallbackExtensions", ""), ',');
    s.CheckFragments = p.GetInt(kHtmlSettings, "CheckFragments", 0) != 0;
    s.CheckExternal = p.GetInt(kHtmlSettings, "CheckExternal", 0) != 0;
    s.External.cacheHours = p.GetInt(kHtmlSettings, "ExternalCacheHours", d.External.cacheHours);
    s.KeepRuns = p.GetInt(kSettings, "KeepRuns", d.KeepRuns);
    s.Redirects = p.GetInt(kSettings, "Redirects", d.Redirects);
    // A hand-edited profile may hold values no run understands; those fall back to defaults.
    // Without the wizard (the command line's stored settings) no page maps an unknown target
    // or line end to "None", so it is done here.
    if (s.Target < TFS_UNSPECIFIED || s.Target > TFS_LOWER) s.Target = d.Target;
    if (s.LineEnd < LE_NONE || s.LineEnd > LE_UNIX) s.LineEnd = d.LineEnd;
    if (s.AutoReadOnly < 0 || s.AutoReadOnly > 2) s.AutoReadOnly = d.AutoReadOnly;
    if (s.RenameHtml < 0 || s.RenameHtml > 2) s.RenameHtml = d.RenameHtml;
    if (s.KeepRuns < 1) s.KeepRuns = d.KeepRuns;
    if (s.Redirects < 0 || s.Redirects > 4) s.Redirects = d.Redirects;
    if (s.External.cacheHours < 0) s.External.cacheHours = d.External.cacheHours;
    s.DeriveUpdateLinks();
}

void SaveSettings(CProfile& p, const RunSettings& s) {
    p.SetInt(kSettings, "Target", s.Target);
    p.SetInt(kSettings, "LineEnd", s.LineEnd);
    p.SetInt(kSettings, "Rename", s.Rename ? 1 : 0);
    p.SetInt(kSettings, "AutoFileName", s.AutoFileName ? 1 : 0);
    p.SetInt(kSettings, "AutoReadOnly", s.AutoReadOnly);
    p.SetInt(kSettings, "ReportSpecial", s.ReportSpecial ? 1 : 0);
    p.SetInt(kSettings, "UseSubdirs", s.UseSubdirs ? 1 : 0);
    p.SetInt(kSettings, "LogSubdirs", s.LogSubdirs ? 1 : 0);
    p.SetString(kSettings, "Directory", s.Directory);
    p.SetInt(kSettings, "Redirects", s.Redirects);
    p.SetInt(kHtmlSettings, "RenameHtml", s.RenameHtml);
    p.SetInt(kHtmlSettings, "FilesOnly", s.FilesOnly ? 1 : 0);
    p.SetString(kHtmlSettings, "HomePage", s.HomePage);
    p.SetInt(kHtmlSettings, "ReportExternalRefs", s.ReportExternalRefs ? 1 : 0);
    p.SetString(kHtmlSettings, "ExternalPage", s.ExternalPage);
    p.SetInt(kHtmlSettings, "ReportUnresolvedRefs", s.ReportUnresolvedRefs ? 1 : 0);
    p.SetInt(kHtmlSettings, "ReportUnusedFiles", s.ReportUnusedFiles ? 1 : 0);
    p.SetString(kHtmlSettings, "SiteUrls", JoinList(s.SiteUrls, " "));
    p.SetString(kHtmlSettings, "IndexFiles", JoinList(s.IndexFiles, ","));
    p.SetString(kHtmlSettings, "FallbackExtensions", JoinList(s.FallbackExtensions, ","));
    p.SetInt(kHtmlSettings, "CheckFragments", s.CheckFragments ? 1 : 0);
    p.SetInt(kHtmlSettings, "CheckExternal", s.CheckExternal ? 1 : 0);
    p.SetInt(kHtmlSettings, "ExternalCacheHours", s.External.cacheHours);
}

}  // namespace ts
