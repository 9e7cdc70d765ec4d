// What examining an entry found: the kind of file, its attributes and its line-end convention.
// A node is made from this record and never reads the disk itself.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileSystem.h"

namespace ts {

// What an entry is (m_nType).
enum FileType : int {
    FT_HTML = 2,
    FT_TEXT = 1,
    FT_UNKNOWN = 0,
    FT_BINARY = -1,
    FT_DIRECTORY = -2,
    FT_PNG = -3,
    FT_AIFF = -4,
    FT_MPEG = -5,
    FT_JPEG = -6,
};

// File attribute bits (m_dwAttributes), mapped from POSIX as the design notes say.
enum FileAttribute : uint32_t {
    FA_READONLY = 0x1,
    FA_HIDDEN = 0x2,
    FA_SYSTEM = 0x4,
    FA_DIRECTORY = 0x10,
    FA_TEMPORARY = 0x100,
    FA_MISSING = 0xFFFFFFFF,
};

struct CEntryInfo {
    std::string strPath;
    bool bExists = false;
    // A symbolic link to a file: read through it, never written through it.
    bool bLink = false;
    // Text in an 8-bit encoding other than UTF-8 (Windows-1252, ISO-8859-x, Shift_JIS...):
    // bytes above 127 that are not UTF-8, but no NUL and no control characters other than
    // TAB, CR, LF and FF. Such a file stays binary for line-end conversion; a page is read.
    bool bEightBit = false;
    unsigned nMode = 0;
    // The object a change must find under the entry's name: the entry itself, or for the top
    // directory the directory its path leads to.
    FileId id = {};
    uint32_t dwAttributes = FA_MISSING;
    FileType nType = FT_UNKNOWN;
    int nLineEnd = 0;
};

}  // namespace ts
