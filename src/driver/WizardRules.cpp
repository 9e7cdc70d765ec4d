#include "driver/WizardRules.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/QuietUi.h"
#include "base/RunContext.h"
#include "base/Strings.h"
#include "html/HtmlNode.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/Examine.h"

namespace ts {
namespace {

Refusal Refuse(int id, const std::string& a1 = std::string(), const std::string& a2 = {}) {
    return Refusal{id, FormatMessage(id, a1, a2)};
}

// The refusal with the cause the system gave, on a line of its own after the text.
Refusal WithCause(Refusal r, int err) {
    if (err != 0) r.text += std::string("\n(") + std::strerror(err) + ")";
    return r;
}

}  // namespace

std::string NormalizeDirectory(const std::string& typed) {
    std::string path = typed;
    if (path.empty()) return path;
    if (path[0] != '/') {
        std::vector<char> buf(4096);
        if (::getcwd(buf.data(), buf.size())) path = std::string(buf.data()) + "/" + path;
    }
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(pos, slash - pos);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = slash + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

int ClassifyPath(CFileSystem& fs, const std::string& path) {
    CQuietUi ui;
    CRunContext ctx(fs, ui);
    CHtmlNode node(&ctx, Examine(&ctx, path, true), nullptr);
    return node.m_bExists ? node.m_nType : FT_UNKNOWN;
}

Refusal CheckDirectoryChoice(CFileSystem& fs, const RunSettings& s) {
    if (s.Directory.empty()) return Refuse(IDS_DIR_EMPTY_STRING);
    FileStat st;
    if (!fs.Stat(s.Directory, st)) return WithCause(Refuse(IDS_DIR_NOT_VALID, s.Directory), errno);
    if (st.kind != EntryKind::Directory && !st.linkToDir)
        return Refuse(IDS_NOT_A_DIRECTORY, s.Directory);
    std::vector<std::string> names;
    // A directory that cannot be read is no empty one: say why it cannot be used.
    if (!fs.ListDir(s.Directory, names))
        return WithCause(Refuse(IDS_DIR_NOT_VALID, s.Directory), errno);
    if (names.empty()) return Refuse(IDS_DIR_IS_EMPTY, s.Directory);
    if (s.Rename && st.readOnly)
        return Refuse(IDS_DIR_READ_ONLY_RENAME, LoadString(IDS_TITLE_DIRECTORY), s.Directory);
    if (s.LineEnd != 0 && st.readOnly)
        return Refuse(IDS_DIR_READ_ONLY_LINE_ENDS, LoadString(IDS_TITLE_DIRECTORY), s.Directory);
    return Refusal();
}

bool DirectoryRefusesWrites(CFileSystem& fs, const std::string& dir) {
    CResult probe = fs.CanWriteIn(dir);
    if (probe) return false;
    // Only a refusal counts: a full disk or a failing device is not a read-only volume.
    int err = probe.Error();
    return err == EACCES || err == EPERM || err == EROFS;
}

Refusal CheckDriveChoice(CFileSystem& fs, const RunSettings& s) {
    int id = s.Rename ? IDS_DIR_READ_ONLY_RENAME : s.LineEnd != 0 ? IDS_DIR_READ_ONLY_LINE_ENDS : 0;
    if (id == 0 || !DirectoryRefusesWrites(fs, s.Directory)) return Refusal();
    // No drive letters here: the volume is named by the directory that lies on it.
    Refusal r = Refuse(id, LoadString(IDS_DRIVE), s.Directory);
    r.text += LoadString(IDS_CONTINUE_ANYWAY);
    return r;
}

Refusal CheckActions(const RunSettings& s) {
    if (s.Target == 0 && s.RenameHtml == 0 && s.LineEnd == 0 && s.FilesOnly)
        return Refuse(IDS_NO_ACTIONS);
    return Refusal();
}

WebExtChoice AdjustWebExtChoice(int target, bool checkUrls, int renameHtml) {
    WebExtChoice c;
    c.nRenameHtml = renameHtml;
    switch (target) {
        case TFS_ISO9660:
            if (c.nRenameHtml == WEB_EXT_UNIX) c.nRenameHtml = WEB_EXT_KEEP;
            c.bToUnix = false;
            break;
        case TFS_DOS_FAT:
        case TFS_WIN95_VFAT:
        case TFS_NTFS:
            if (checkUrls) c.nRenameHtml = WEB_EXT_WINDOWS;
            if (c.nRenameHtml == WEB_EXT_UNIX) c.nRenameHtml = WEB_EXT_KEEP;
            c.bToUnix = false;
            break;
        case TFS_MACINTOSH:
        case TFS_UNIX:
            if (checkUrls)
                c.nRenameHtml = WEB_EXT_UNIX;
            else if (c.nRenameHtml == WEB_EXT_WINDOWS)
                c.nRenameHtml = WEB_EXT_KEEP;
            c.bToWindows = false;
            break;
        default:
            // No convention of its own: the choice stays, and both conversions are offered
            // again after an earlier target had ruled one out.
            break;
    }
    return c;
}

int PreferredWebExt(int target) {
    switch (target) {
        case TFS_DOS_FAT:
        case TFS_WIN95_VFAT:
        case TFS_NTFS:
            return WEB_EXT_WINDOWS;
        case TFS_MACINTOSH:
        case TFS_UNIX:
            return WEB_EXT_UNIX;
        default:
            return -1;
    }
}

std::string DefaultHomePage(CFileSystem& fs, const RunSettings& s) {
    std::string home;
    std::string htm = JoinPath(s.Directory, "index.htm");
    if (ClassifyPath(fs, htm) == FT_HTML) home = htm;
    if (home.empty() || s.Target == TFS_MACINTOSH || s.Target == TFS_UNIX) {
        std::string html = JoinPath(s.Directory, "index.html");
        if (ClassifyPath(fs, html) == FT_HTML) home = html;
    }
    return home;
}

Refusal CheckHomePage(CFileSystem& fs, const RunSettings& s) {
    if (s.HomePage.empty()) return Refuse(IDS_HOME_EMPTY);
    if (!StartsWithNoCase(s.HomePage, s.Directory)) return Refuse(IDS_HOME_NOT_IN_DIR, s.Directory);
    FileStat st;
    errno = 0;
    if (!fs.Stat(s.HomePage, st)) return WithCause(Refuse(IDS_HOME_NOT_TEXT, s.HomePage), errno);
    if (st.kind == EntryKind::Directory)
        return WithCause(Refuse(IDS_HOME_NOT_TEXT, s.HomePage), EISDIR);
    errno = 0;
    if (ClassifyPath(fs, s.HomePage) <= 0)
        return WithCause(Refuse(IDS_HOME_NOT_TEXT, s.HomePage), errno);
    return Refusal();
}

}  // namespace ts
