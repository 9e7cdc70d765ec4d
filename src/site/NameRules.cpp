// Valid names for a target file system: the rules table, the suggested name of an entry, and
// the numbering that makes a name unique in its directory.
#include "site/NameRules.h"

#include <algorithm>
#include <cstdint>

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "platform/PlainAscii.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DeviceNames.h"
#include "site/DirNode.h"
#include "site/DirXpNode.h"
#include "site/NameIndex.h"
#include "site/Rename.h"

namespace ts {
namespace {

const TargetRules kRules[] = {
    {"Unspecified", "", CASE_KEEP, 255, 255, '~', false},
    {"ISO 9660", "", CASE_UPPER, 12, 255, '_', true},
    {"DOS 8.3 FAT", "\"\\<>:/|?*+,;=[] ", CASE_UPPER, 12, 255, '~', true},
    {"Windows 95 VFAT", "\"\\<>:/|?*", CASE_KEEP, 255, 259, '~', false},
    {"NTFS", "\"\\<>:/|", CASE_KEEP, 255, 255, '~', false},
    {"Macintosh", ":", CASE_KEEP, 31, 255, '~', false},
    {"UNIX", "/", CASE_KEEP, 255, 255, '~', false},
    {"All upper-case letters", "", CASE_UPPER, 255, 255, '~', false},
    {"All lower-case letters", "", CASE_LOWER, 255, 255, '~', false},
};

bool IsIsoChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_';
}

void RemoveChars(std::string& name, std::string_view chars) {
    std::erase_if(name, [chars](char c) { return chars.find(c) != std::string_view::npos; });
}

// The 8.3 form: one dot at most, 8 characters before it, 3 after it.
void MakeEightThree(std::string& name) {
    size_t last = name.rfind('.');
    if (last != std::string::npos) {
        std::string base = name.substr(0, last);
        RemoveChars(base, ".");
        name = base + name.substr(last);
    }
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
        name = Utf8Cut(name, 8);
        return;
    }
    std::string base = name.substr(0, dot), ext = name.substr(dot + 1);
    if (ext.size() > 3) ext = Utf8Cut(ext, 3);
    if (base.size() > 8) base = Utf8Cut(base, 8);
    // A short name has no dot of its own: "A." is stored as "A", so the link to it would
    // break, and ".HTA" needs a long-name entry on FAT and is renamed by ISO 9660 mastering
    // tools, which write "_HTA".
    if (ext.empty()) {
        name = base;
    } else if (base.empty()) {
        name = "_" + ext;
    } else {
        name = base + "." + ext;
    }
}

// A name cut to the room its directory leaves. An 8.3 name gives up characters before its dot
// first and keeps its extension, as numbering does; a cut never leaves the dot last ("A." is
// stored as "A").
std::string CutToLength(const std::string& name, int maxLen, bool b83) {
    std::string cut = Utf8Cut(name, static_cast<size_t>(std::max(0, maxLen)));
    if (!b83) return cut;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && static_cast<int>(name.size() - dot) < maxLen) {
        std::string base = Utf8Cut(name.substr(0, dot), maxLen - (name.size() - dot));
        if (!base.empty()) return base + name.substr(dot);
    }
    if (!cut.empty() && cut.back() == '.') cut.pop_back();
    return cut;
}

// Windows file systems refuse control characters in names.
bool IsControlChar(char c) {
    return c > 0 && c < 0x20;
}

bool IsWindowsTarget(int nTarget) {
    return nTarget == TFS_DOS_FAT || nTarget == TFS_WIN95_VFAT || nTarget == TFS_NTFS;
}

constexpr size_t kMaxDigits = 18;  // as the name index counts numbered names

uint64_t Pow10(size_t digits) {
    uint64_t p = 1;
    for (size_t i = 0; i < digits; ++i)
        p *= 10;
    return p;
}

// The candidates that follow a taken name, one step at a time: PAGE.HTM, PAGE~1.HTM,
// PAGE~2.HTM, ... A number found after the separator is continued (PAGE~9.HTM -> PAGE~10.HTM),
// and the stem is shortened by whole characters when the number no longer fits.
class CNumbering {
public:
    CNumbering(char chSep, int nMaxLen) : m_chSep(chSep), m_nMaxLen(nMaxLen) {}

    // Replaces cand by its successor; false when even an empty stem leaves no room.
    bool Next(std::string& cand) {
        size_t end = cand.rfind('.');
        if (end == std::string::npos) end = cand.size();
        std::string ext = cand.substr(end);
        size_t i = end;
        while (i > 0 && cand[i - 1] >= '0' && cand[i - 1] <= '9')
            --i;
        // A number of more than 18 digits is part of the stem: it could not be continued
        // (the name after it would be the same name again).
        if (i < end && end - i <= kMaxDigits && i > 0 && cand[i - 1] == m_chSep) {
            uint64_t value = 0;
            for (size_t k = i; k < end; ++k)
                value = value * 10 + static_cast<uint64_t>(cand[k] - '0');
            m_nNumber = value + 1;
            end = i - 1;
        }
        // An 8.3 name keeps its stem to 8 characters even when the whole limit is 12.
        if (m_nMaxLen <= 12 && static_cast<int>(ext.size()) + 8 < m_nMaxLen)
            m_nMaxLen = static_cast<int>(ext.size()) + 8;
        std::string stem = cand.substr(0, end);
        std::string number = std::to_string(m_nNumber);
        while (static_cast<long long>(stem.size() + 1 + number.size() + ext.size()) > m_nMaxLen) {
            if (stem.empty()) return false;
            stem.resize(Utf8CutLength(stem, stem.size() - 1));
        }
        m_strStem = stem;
        m_strExt = ext;
        cand = stem + m_chSep + number + ext;
        return true;
    }

    // cand is taken: moves to the last name of the run of taken numbers that share its stem
    // and digit count, since each of them would only lead to the next.
    void SkipTaken(std::string& cand, const CNameIndex& index) {
        size_t digits = std::to_string(m_nNumber).size();
        if (digits > kMaxDigits) return;
        uint64_t last = index.LastTakenInRun(m_strStem, m_chSep, m_strExt, m_nNumber);
        last = std::min(last, Pow10(digits) - 1);
        if (last <= m_nNumber) return;
        m_nNumber = last;
        cand = m_strStem + m_chSep + std::to_string(last) + m_strExt;
    }

private:
    char m_chSep;
    int m_nMaxLen;
    uint64_t m_nNumber = 1;
    std::string m_strStem, m_strExt;
};

}  // namespace

const TargetRules& RulesOf(int nTarget) {
    if (nTarget < 0 || nTarget >= static_cast<int>(std::size(kRules))) return kRules[0];
    return kRules[nTarget];
}

std::string InvalidChars(int nTarget) {
    return RulesOf(nTarget).strInvalid;
}

bool IsDotName(const std::string& name) {
    return name == "." || name == "..";
}

bool TargetRefuses(int nTarget, const std::string& name) {
    if (RulesOf(nTarget).b83 && ToPlainAscii(name) != name) return true;
    if (!IsWindowsTarget(nTarget)) return false;
    std::string trimmed = name;
    TrimWindowsEnd(trimmed);
    return trimmed != name || IsDeviceName(name);
}

void SetNewName(CFileNode& node, std::string name) {
    node.m_strNewName = std::move(name);
    if (node.m_pParent && node.m_pParent->m_pNameIndex) node.m_pParent->m_pNameIndex->Update(node);
}

void WriteNotRenamedHeading(CRunContext& ctx) {
    if (ctx.bNotRenamedHeadingWritten) return;
    ctx.statusReport << HeadingBlock(LoadString(IDS_NOT_RENAMED_HEADING));
    ctx.bNotRenamedHeadingWritten = true;
}

int DirPrefixLength(const CFileNode& node) {
    size_t len = 0;
    for (const CDirNode* dir = node.m_pParent; dir; dir = dir->m_pParent) {
        if (dir->m_pParent) {
            len += (dir->m_strNewName.empty() ? dir->Name() : dir->m_strNewName).size() + 1;
        } else {
            len += dir->m_strPath.size();
            // The root "/" already ends in the separator.
            if (dir->m_strPath.empty() || dir->m_strPath.back() != kPathSep) ++len;
        }
    }
    return static_cast<int>(len);
}

int MaxNewNameLength(const CFileNode& node, int nTarget) {
    const TargetRules& rules = RulesOf(nTarget);
    return std::min(rules.nMaxName, rules.nMaxPath - DirPrefixLength(node));
}

namespace {

// The name without what the target forbids, in 8.3 form where the target wants it, and in
// the case of the target.
std::string TargetForm(std::string name, int nTarget, const std::string& numberOne) {
    const TargetRules& rules = RulesOf(nTarget);
    // Short names hold plain ASCII: "café" gives "CAFE", a character with no ASCII letter "_".
    if (rules.b83) name = ToPlainAscii(name);
    if (nTarget == TFS_ISO9660) {
        name = ToUpper(name);
        std::erase_if(name, [](char c) { return !IsIsoChar(static_cast<unsigned char>(c)); });
    } else {
        RemoveChars(name, rules.strInvalid);
        RemoveChars(name, kNeverInName);
        if (IsWindowsTarget(nTarget)) std::erase_if(name, IsControlChar);
    }
    if (name.empty() || name == ".") name = numberOne;
    if (rules.b83) MakeEightThree(name);
    // The case comes last, once the name has its final bytes. Case mapping keeps every byte
    // length.
    if (nTarget != TFS_ISO9660 && rules.nCase == CASE_UPPER) name = ToUpper(name);
    if (nTarget != TFS_ISO9660 && rules.nCase == CASE_LOWER) name = ToLower(name);
    return name;
}

}  // namespace

bool TargetHolds(int nTarget, const std::string& name) {
    return !name.empty() && static_cast<int>(name.size()) <= RulesOf(nTarget).nMaxName &&
           TargetForm(name, nTarget, "1") == name && !TargetRefuses(nTarget, name);
}

bool SuggestName(CFileNode& node, int nTarget) {
    const TargetRules& rules = RulesOf(nTarget);
    const std::string current = node.Name();
    const char sep = rules.chSep;
    const std::string numberOne{sep, '1'};
    std::string name =
        TargetForm(node.m_strNewName.empty() ? current : node.m_strNewName, nTarget, numberOne);

    const int maxLen = MaxNewNameLength(node, nTarget);
    if (static_cast<int>(name.size()) > maxLen) name = CutToLength(name, maxLen, rules.b83);
    if (IsWindowsTarget(nTarget)) {
        // Windows drops blanks and dots at the end of a name and cannot create "CON" or
        // "AUX.TXT"; checked after the cut, which can leave either.
        TrimWindowsEnd(name);
        AvoidDeviceName(name, maxLen);
    }
    // A cut can leave a name that names a directory itself, or nothing at all.
    if (IsDotName(name) || name.empty())
        name = static_cast<int>(numberOne.size()) <= maxLen ? numberOne : "";

    int unique = 0;
    if (name.empty()) {
        unique = -1;
    } else if (name != current && node.m_pParent) {
        // A sibling that differs only in case counts too (Index.htm beside index.htm).
        unique = node.m_pParent->MakeUnique(&node, name, sep, maxLen);
    }
    if (unique < 0) {
        node.Ctx().errorReport << FormatMessage(IDS_DIR_TOO_LONG_TO_RENAME,
                                                ShownName(node.m_strPath))
                               << "\n";
        SetNewName(node, std::string());
        return false;
    }
    if (name != current) {
        SetNewName(node, name);
        return true;
    }
    // The rules undo a proposed Web extension: the entry keeps its name.
    SetNewName(node, std::string());
    return false;
}

bool CFileNode::CheckName(int nTarget, bool* pAutoFileName, int, bool* pCancel) {
    SuggestName(*this, nTarget);
    if (pAutoFileName && !*pAutoFileName && !m_strNewName.empty()) {
        CRunContext& ctx = Ctx();
        switch (ctx.ui.RenamePrompt(ctx, *this, nTarget, true)) {
            case RENAME_ACCEPT:
                break;
            case RENAME_ACCEPT_ALL:
                *pAutoFileName = true;
                break;
            case RENAME_NO_RENAME:
                WriteNotRenamedHeading(ctx);
                ReportNewName(*this);
                SetNewName(*this, std::string());
                break;
            default:  // Cancel, or the prompt closed
                if (pCancel) *pCancel = true;
                SetNewName(*this, std::string());
                break;
        }
    }
    return !m_strNewName.empty();
}

// A plain entry holds no other entries: every name is unique in it.
int CFileNode::MakeUnique(CFileNode*, std::string&, char, int) {
    return 0;
}

// The result equals a sweep over the entries that numbers the candidate at every collision
// and sweeps again until a sweep finds none: the numbered candidates follow each other in a
// fixed order, so the first one no entry has is the answer, whatever the entries' order.
int CDirNode::MakeUnique(CFileNode* pExclude, std::string& strName, char chSep, int nMaxLen) {
    if (!m_pNameIndex) m_pNameIndex = std::make_shared<CNameIndex>(*this);
    CNameIndex& index = *m_pNameIndex;
    if (pExclude && pExclude->m_pParent == this) index.Update(*pExclude);
    struct Excluded {
        CNameIndex& index;
        const CFileNode* node;
        ~Excluded() { index.Restore(node); }
    } excluded{index, pExclude};
    index.Exclude(pExclude);

    if (!index.Taken(strName)) return 0;
    CNumbering numbering(chSep, nMaxLen);
    std::string cand = strName;
    for (;;) {
        if (!numbering.Next(cand)) return -1;
        if (!index.Taken(cand)) break;
        numbering.SkipTaken(cand, index);
    }
    strName = cand;
    return 1;
}

bool CDirXpNode::CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) {
    CRunContext& ctx = Ctx();
    if (!m_pParent) {
        // The top directory is never renamed; checking it starts a name-check pass.
        m_bLongPathWarned = false;
        return false;
    }
    // The warning is shown once per pass: the outermost run directory remembers it.
    CDirXpNode* top = this;
    for (CDirNode* dir = m_pParent; dir; dir = dir->m_pParent)
        if (auto* run = dynamic_cast<CDirXpNode*>(dir)) top = run;
    if (DirPrefixLength(*this) > 220 && !top->m_bLongPathWarned) {
        top->m_bLongPathWarned = true;
        ctx.ui.MessageBox(LoadString(IDS_LONG_PATH));
    }
    return CFileNode::CheckName(nTarget, pAutoFileName, nRenameHtml, pCancel);
}

}  // namespace ts
