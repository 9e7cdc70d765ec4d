// BuildLineEndTable and ConvertLineEnds on a real file, against the rules applied in memory:
// blocks of 512 bytes, a NUL ends the text of its block, a CR LF pair is one line end (also
// across two blocks). The table lists every line end and then the length; a conversion gives
// exactly the reference text, keeps the file's permission bits, leaves no temporary file
// behind, and rewrites nothing when there is no line end. For a text without NUL bytes a
// conversion to UNIX and back to DOS gives the DOS form of the text, and converting to the
// convention a text already has changes nothing.
//
// Input: one byte (the convention; 0xFF puts the text after about 256 KiB of plain text, the
// next byte choosing how much, so that it straddles the conversion's reads: such inputs are
// slow, so only a few are made), then the text.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/RunSettings.h"
#include "site/FileNode.h"
#include "site/LineEndTable.h"
#include "site/LineEnds.h"
#include "site/TreeWriter.h"
#include "support/MakeNode.h"
#include "support/TempDir.h"

using namespace ts;

namespace {

struct Place {
    test::CTempDir dir;
    std::string path;
    fuzz::CQuietContext quiet;
    Place() { path = dir / "page.txt"; }
};

Place& ThePlace() {
    static Place place;
    return place;
}

// Each recorded line end replaced by the new one; the LF of a recorded CR LF pair dropped.
FUZZ_REFERENCE std::string ReferenceConvert(const std::string& data, const std::string& newEnd) {
    std::string out;
    size_t from = 0;
    for (uint64_t end : fuzz::ReferenceLineEnds(data)) {
        out.append(data, from, end - from);
        out += newEnd;
        from = end + 1;
        if (data[end] == '\r' && from < data.size() && data[from] == '\n') ++from;
    }
    out.append(data, from, std::string::npos);
    return out;
}

const char* EndBytes(int le) {
    return le == LE_DOS ? "\r\n" : le == LE_MAC ? "\r" : "\n";
}

// Any line end of a text without NUL bytes, in the given form.
FUZZ_REFERENCE std::string PlainForm(const std::string& text, const std::string& newEnd) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += newEnd;
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (text[i] == '\n') {
            out += newEnd;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Converts the file and checks it against the reference; the file's new content.
std::string Convert(Place& place, const std::string& before, int le) {
    CFileNode node = test::MakeNode<CFileNode>(place.quiet.ctx, place.path);
    node.m_nLineEnd = LE_UNIX;
    place.quiet.Clear();
    CTreeWriter writer(place.quiet.ctx);
    FUZZ_CHECK(ConvertLineEnds(writer, node, le) == 1);
    FUZZ_CHECK(place.quiet.Errors().empty());
    std::string after = test::ReadFile(place.path);
    FUZZ_CHECK(after == ReferenceConvert(before, EndBytes(le)));
    // Reported when rewritten, and rewritten only when there was a line end.
    const bool any = !fuzz::ReferenceLineEnds(before).empty();
    FUZZ_CHECK(place.quiet.Status().empty() != any);
    struct stat st;
    FUZZ_CHECK(::stat(place.path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
    size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(place.dir.Path())) {
        (void)e;
        ++entries;
    }
    FUZZ_CHECK(entries == 1);
    return after;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) return 0;
    Place& place = ThePlace();
    const int le = 1 + bytes[0] % 3;
    std::string data;
    size_t skip = 1;
    if (bytes[0] == 0xFF && size >= 2) {
        // The conversion reads 256 KiB at a time; a line end at the seam must stay one.
        data.assign(256 * 1024 - 300 + (bytes[1] & 0x1F) * 10, 'a');
        skip = 2;
    }
    data.append(reinterpret_cast<const char*>(bytes) + skip, size - skip);
    FUZZ_CHECK(fuzz::WriteBytes(place.path, data));
    FUZZ_CHECK(::chmod(place.path.c_str(), 0640) == 0);

    // The table: every line end, then the length.
    {
        CFileNode node = test::MakeNode<CFileNode>(place.quiet.ctx, place.path);
        auto file = place.quiet.ctx.fs.OpenRead(place.path);
        FUZZ_CHECK(file && BuildLineEndTable(node, *file));
        std::vector<uint64_t> want = fuzz::ReferenceLineEnds(data);
        want.push_back(data.size());
        FUZZ_CHECK(node.m_pLineEnds && *node.m_pLineEnds == want);
        // Built again from the same file, the table is the same (it is emptied first).
        FUZZ_CHECK(BuildLineEndTable(node, *file) && *node.m_pLineEnds == want);
    }

    std::string converted = Convert(place, data, le);
    // NUL bytes hide line ends in their blocks, and a conversion moves the block borders: only
    // a text without them has one form per convention.
    if (data.find('\0') == std::string::npos) {
        FUZZ_CHECK(converted == PlainForm(data, EndBytes(le)));
        FUZZ_CHECK(Convert(place, converted, le) == converted);
        std::string unix = Convert(place, converted, LE_UNIX);
        FUZZ_CHECK(Convert(place, unix, LE_DOS) == PlainForm(data, "\r\n"));
    }
    return 0;
}
