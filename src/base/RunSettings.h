// The options of one run, their position tables, their summary text, and the transfer to and
// from the wizard's page values.
#pragma once

#include <string>
#include <vector>

#include "base/ExternalOptions.h"
#include "base/LinkOptions.h"

namespace ts {

class CProfile;

// Target file-name conventions. The codes are those the profile stores; the fields of
// RunSettings stay int, as the profile and the wizard hand them over.
enum TargetFileSystem : int {
    TFS_UNSPECIFIED = 0,
    TFS_ISO9660 = 1,
    TFS_DOS_FAT = 2,
    TFS_WIN95_VFAT = 3,
    TFS_NTFS = 4,
    TFS_MACINTOSH = 5,
    TFS_UNIX = 6,
    TFS_UPPER = 7,
    TFS_LOWER = 8,
};

// Line-end conventions.
enum LineEndConvention : int { LE_NONE = 0, LE_DOS = 1, LE_MAC = 2, LE_UNIX = 3 };

// Web file-extension conventions (RenameHtml).
enum WebExtConvention : int { WEB_EXT_KEEP = 0, WEB_EXT_WINDOWS = 1, WEB_EXT_UNIX = 2 };

struct RunSettings {
    int Target = 0;
    int LineEnd = 0;
    bool AutoFileName = false;
    int AutoReadOnly = 0;
    int ReportSpecial = 1;  // read as an integer and not reduced to 0/1
    bool Rename = false;
    int RenameHtml = 0;
    bool UseSubdirs = true;
    bool LogSubdirs = false;
    std::string Directory;
    bool FilesOnly = false;
    bool UpdateLinks = false;  // derived, never stored
    std::string HomePage;
    bool ReportExternalRefs = true;
    // Where the external-URL page goes: empty for its usual name in the top directory, else a
    // path, absolute or relative to Directory.
    std::string ExternalPage;
    bool ReportUnresolvedRefs = true;
    bool ReportUnusedFiles = true;
    // How links are read beyond what the pages say (base/LinkOptions.h).
    std::vector<std::string> SiteUrls;
    std::vector<std::string> IndexFiles = CLinkOptions().indexFiles;
    std::vector<std::string> FallbackExtensions;
    // Links with a #fragment are checked against the ids and names of their page.
    bool CheckFragments = false;
    // External http and https URLs are asked for; how, from the command line (and the cache's
    // time from the profile).
    bool CheckExternal = false;
    ExternalOptions External;
    // Links to URLs that moved permanently get the new address, once the user agreed; this
    // run only.
    bool RewriteMoved = false;
    // Shell patterns of paths (relative to Directory) the run leaves alone; this run only.
    std::vector<std::string> Excluded;
    // After renames, permanent redirects from the old URLs to the new ones (site/RedirectFiles.h
    // RedirectFormat; 0 none), and whether the server tells names apart by case alone (the
    // UNIX and Macintosh targets do anyway).
    int Redirects = 0;
    bool CaseSensitiveServer = false;
    // How many journals of ended runs are kept for each directory.
    int KeepRuns = 10;

    void DeriveUpdateLinks() {
        UpdateLinks = Rename && !FilesOnly && (Target != 0 || RenameHtml != 0);
    }
    // The run may change files: rename them or convert their line ends.
    bool Modifies() const {
        return (Rename && (Target != 0 || RenameHtml != 0)) || LineEnd != 0 ||
               (CheckExternal && RewriteMoved && !FilesOnly);
    }
};

// The wizard's list positions and their codes.
inline constexpr int kTargetRows = 8;
inline constexpr int kTargetRowCodes[kTargetRows] = {0, 1, 2, 3, 6, 5, 7, 8};
inline constexpr const char* kTargetRowTexts[kTargetRows] = {
    "None", "ISO 9660",  "DOS/Windows 3.x", "Windows 95/NT",
    "UNIX", "Macintosh", "All upper-case",  "All lower-case"};
inline constexpr int kLineEndRows = 4;
inline constexpr int kLineEndRowCodes[kLineEndRows] = {0, 1, 3, 2};
inline constexpr const char* kLineEndRowTexts[kLineEndRows] = {"None", "DOS/Windows <CR><LF>",
                                                               "UNIX <LF>", "Macintosh <CR>"};

inline constexpr int kRedirectRows = 5;
inline constexpr int kRedirectRowCodes[kRedirectRows] = {0, 1, 2, 3, 4};
inline constexpr const char* kRedirectRowTexts[kRedirectRows] = {
    "None", "Apache (.htaccess)", "nginx (include file)", "Netlify (_redirects)",
    "Pages left at the old addresses"};

// Row of a code in a table, or 0 when the code has none.
int TargetRowOf(int target);
int LineEndRowOf(int lineEnd);

// The values of the wizard's pages, as the page controls hold them.
struct PageValues {
    int nTarget = -1;   // row of the target list
    int nLineEnd = -1;  // row of the line-end list
    int nRenameHtml = 0;
    int nFilesOnly = 0;
    int nRename = 0;
    int nAutoFileName = 0;
    int nAutoReadOnly = 0;
    int bLogSubdirs = 0;
    int bUseSubdirs = 0;
    std::string strDirectory;
    int bReportSpecial = 0;
    std::string strHomePage;
    int bReportExternalRefs = 0;
    int bReportUnresolvedRefs = 0;
    int bReportUnusedFiles = 0;
    int bCheckFragments = 0;
    int bCheckExternal = 0;
    int nRedirects = 0;  // row of the redirect list, which is its code
};

void LoadPages(PageValues& pages, const RunSettings& s);
void ReadPages(const PageValues& pages, RunSettings& s);

// The plain-text summary shown by the wizard's last page and printed in the final report.
// Every line ends in "\r\n".
std::string SettingsSummary(const RunSettings& s);

// The link options of a run made with these settings.
CLinkOptions LinkOptionsOf(const RunSettings& s);

// The items of a list as the profile and the command line write it ("a, b,c"): blanks around
// items dropped, empty items left out.
std::vector<std::string> SplitList(const std::string& text, char sep);

// Profile sections "Settings" and "HTMLSettings".
void LoadSettings(const CProfile& profile, RunSettings& s);
void SaveSettings(CProfile& profile, const RunSettings& s);

}  // namespace ts
