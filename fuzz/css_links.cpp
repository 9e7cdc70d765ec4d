// The style scanner fed a sheet in two pieces, cut where the first byte says, finds what it finds
// in the sheet fed whole; every URL lies inside the sheet as written there.
//
// Input: one byte choosing the cut, then the sheet.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "html/CssLinks.h"

using namespace ts;

namespace {

struct CCollect : CCssSink {
    void CssLink(const CCssLink& link) override {
        out += std::to_string(link.nStart) + ":" + link.strUrl + "\n";
        FUZZ_CHECK(!link.strUrl.empty() && link.strUrl.size() <= CCssScanner::kMaxUrl);
        FUZZ_CHECK(link.nStart + link.strUrl.size() <= sheet->size());
        FUZZ_CHECK(sheet->compare(link.nStart, link.strUrl.size(), link.strUrl) == 0);
    }
    const std::string* sheet = nullptr;
    std::string out;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) return 0;
    const std::string sheet(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    CCollect whole, parts;
    whole.sheet = parts.sheet = &sheet;
    CCssScanner one(whole);
    one.Feed(sheet.data(), sheet.size(), 0);
    one.Finish();
    const size_t cut = sheet.empty() ? 0 : bytes[0] % (sheet.size() + 1);
    CCssScanner two(parts);
    two.Feed(sheet.data(), cut, 0);
    two.Feed(sheet.data() + cut, sheet.size() - cut, cut);
    two.Finish();
    FUZZ_CHECK(whole.out == parts.out);
    return 0;
}
