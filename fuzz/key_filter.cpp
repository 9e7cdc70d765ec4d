// The keystroke filter of the file-name edit box, driven like a person editing: keys typed
// over selections, Backspace, and whole names typed at once. Whatever is accepted, the text
// never exceeds the maximum length, never holds "/" or a character the target refuses, shows
// the target's case, and for an 8.3 target keeps one dot at most, 8 bytes before it and 3
// after it. A name typed whole and accepted types again to itself.
//
// Input (FuzzedDataProvider): target, maximum length, then keys (selection and character).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/RunSettings.h"
#include "platform/Text.h"
#include "site/FileKeyFilter.h"
#include "site/NameRules.h"

using namespace ts;

namespace {

bool IsControl(char32_t ch) {
    return ch < 0x20 || ch == 0x7F;
}

// The start of the character that holds byte i, so that carets sit between characters.
size_t Boundary(const std::string& text, size_t i) {
    i = std::min(i, text.size());
    while (i > 0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        --i;
    return i;
}

// The length of the character that ends at byte e.
size_t LastCharLength(const std::string& text, size_t e) {
    size_t b = e - 1;
    while (b > 0 && (static_cast<unsigned char>(text[b]) & 0xC0) == 0x80 && e - b < 4)
        --b;
    return e - b;
}

void CheckText(const CFileKeyFilter& filter, const std::string& text) {
    const int target = filter.Target();
    FUZZ_CHECK(static_cast<int>(text.size()) <= std::max(0, filter.MaxLength()));
    FUZZ_CHECK(text.find('/') == std::string::npos);
    if (target == TFS_ISO9660) {
        for (char c : text)
            FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_');
    } else if (target != TFS_UPPER && target != TFS_LOWER) {
        FUZZ_CHECK(text.find_first_of(InvalidChars(target)) == std::string::npos);
    }
    FUZZ_CHECK(filter.ShowCase(text) == text);
    if (target == TFS_ISO9660 || target == TFS_DOS_FAT) {
        size_t dot = text.find('.');
        FUZZ_CHECK(dot == text.rfind('.'));
        if (dot == std::string::npos)
            FUZZ_CHECK(text.size() <= 8);
        else
            FUZZ_CHECK(dot <= 8 && text.size() - dot - 1 <= 3);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider fdp(bytes, size);
    const int target = fdp.ConsumeIntegralInRange(0, 9);
    const int maxLen = fdp.ConsumeIntegralInRange(-1, 300);
    CFileKeyFilter filter(target, maxLen);
    FUZZ_CHECK(filter.Target() == target && filter.MaxLength() == maxLen);

    std::string text;
    for (int key = 0; key < 200 && fdp.remaining_bytes() > 0; ++key) {
        const int kind = fdp.ConsumeIntegralInRange(0, 3);
        if (kind == 3) {
            // A whole name typed on a terminal.
            std::string typed = fdp.ConsumeRandomLengthString(64);
            std::string result, refused;
            int code = filter.TypeName(typed, result, refused);
            if (code == KEY_OK) {
                FUZZ_CHECK(refused.empty());
                FUZZ_CHECK(result == filter.ShowCase(typed));
                CheckText(filter, result);
                std::string again, none;
                FUZZ_CHECK(filter.TypeName(result, again, none) == KEY_OK && again == result);
            } else {
                FUZZ_CHECK(!refused.empty() && !filter.Reason(code, refused).empty());
            }
            continue;
        }
        size_t s = Boundary(text, fdp.ConsumeIntegral<uint8_t>());
        size_t e = Boundary(text, fdp.ConsumeIntegral<uint8_t>());
        if (s > e) std::swap(s, e);
        char32_t ch;
        if (kind == 0) {
            ch = KEY_BACKSPACE;
        } else if (kind == 1) {
            ch = fdp.ConsumeIntegralInRange<char32_t>(0, 0x7F);
        } else {
            ch = fdp.ConsumeIntegralInRange<char32_t>(0x80, 0x10FFFF);
            if (ch >= 0xD800 && ch <= 0xDFFF) continue;  // no such characters
        }
        const int code = filter.Check(text, s, e, ch);
        if (code != KEY_OK) continue;
        // What the edit box does with an accepted key.
        if (ch == KEY_BACKSPACE) {
            if (s != e)
                text.erase(s, e - s);
            else if (s > 0)
                text.erase(s - LastCharLength(text, s), LastCharLength(text, s));
        } else if (!IsControl(ch)) {
            text.replace(s, e - s, filter.ShowCase(Utf8Encode(ch)));
        }
        CheckText(filter, text);
    }
    return 0;
}
