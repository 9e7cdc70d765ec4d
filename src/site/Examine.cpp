#include "site/Examine.h"

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/Text.h"

namespace ts {
namespace {

uint32_t AttributesOf(const FileStat& st, const std::string& path, bool bTop) {
    uint32_t attributes = 0;
    if (st.readOnly) attributes |= FA_READONLY;
    std::string_view name = BaseNameView(path);
    if (!name.empty() && name[0] == '.') attributes |= FA_HIDDEN;
    // Below the directory of the run a linked directory is never followed.
    if (st.kind == EntryKind::Directory || (st.linkToDir && bTop)) {
        attributes |= FA_DIRECTORY;
    } else if (st.kind == EntryKind::Special) {
        attributes |= FA_SYSTEM;
    }
    return attributes;
}

// The convention of the first line end of the block; DOS when it has none.
int FirstLineEnd(const unsigned char* block, long long n) {
    for (long long i = 0; i < n; ++i) {
        if (block[i] == '\n') return LE_UNIX;
        if (block[i] == '\r') return (i + 1 < n && block[i + 1] == '\n') ? LE_DOS : LE_MAC;
    }
    return LE_DOS;
}

// Every ASCII-compatible 8-bit encoding keeps the controls to TAB, CR, LF and FF; a NUL or
// another control byte is what binary data has.
bool IsEightBitText(const unsigned char* block, long long n) {
    for (long long i = 0; i < n; ++i) {
        unsigned char c = block[i];
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f') || c == 0x7F)
            return false;
    }
    return true;
}

void ClassifyContent(CRunContext& ctx, CEntryInfo& info, CReportStream& errors) {
    auto file = ctx.fs.OpenRead(info.strPath);
    if (!file) {
        errors << ctx.ProblemLine(info.strPath, FailureText(IDS_OPEN_FAILED, errno));
        return;
    }
    long long length = file->Length();
    if (length < 1) return;
    unsigned char block[512];
    long long n = file->Read(block, sizeof block);
    if (n < 0) {
        errors << ctx.ProblemLine(info.strPath, FailureText(IDS_READ_FAILED, errno));
        return;
    }
    file.reset();
    bool high = false;
    for (long long i = 0; i < n && !high; ++i)
        high = block[i] >= 0x80;
    // Bytes of 128 and more make a file binary unless they are UTF-8: today's pages are.
    if (high && !IsUtf8Text(block, static_cast<size_t>(n))) {
        info.nType = FT_BINARY;
        info.bEightBit = IsEightBitText(block, n);
        return;
    }
    info.nType = FT_TEXT;
    info.nLineEnd = FirstLineEnd(block, n);
}

// Examine, its error lines going to errors.
CEntryInfo ExamineTo(CRunContext* ctx, const std::string& path, bool bTop, CReportStream* errors) {
    CEntryInfo info;
    info.strPath = path;
    if (path.empty()) {
        info.dwAttributes = 0;
        return info;
    }
    FileStat st;
    if (!ctx || !ctx->fs.Stat(path, st)) return info;
    info.bExists = true;
    info.bLink = st.isLink;
    info.nMode = st.mode;
    info.id = bTop ? st.followedId : st.id;
    info.dwAttributes = AttributesOf(st, path, bTop);
    if (info.dwAttributes & FA_DIRECTORY) {
        info.nType = FT_DIRECTORY;
        return info;
    }
    // Special entries are never opened: a FIFO would block, a device could be anything.
    if (info.dwAttributes & FA_SYSTEM) return info;
    ClassifyContent(*ctx, info, *errors);
    return info;
}

}  // namespace

CEntryInfo Examine(CRunContext* ctx, const std::string& path, bool bTop) {
    return ExamineTo(ctx, path, bTop, ctx ? &ctx->errorReport : nullptr);
}

CEntryInfo Examine(CRunContext& ctx, const std::string& path, bool bTop, CReportStream& errors) {
    return ExamineTo(&ctx, path, bTop, &errors);
}

}  // namespace ts
