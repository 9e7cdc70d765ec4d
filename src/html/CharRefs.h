// HTML character references in attribute values: a link is looked up by the characters the
// browser sees, while a rewrite replaces the bytes as written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ts {

// Decodes the character references of an attribute value as a browser's tokenizer does: every
// named reference of the HTML standard, the legacy ones also without their ";" unless "=" or a
// letter or digit follows, and numeric ones (128 to 159 read as Windows-1252; 0, surrogates and
// values beyond Unicode as U+FFFD). Anything else stays as written. When rawAt is given, it
// receives for each byte of out the offset in raw it came from, and raw.size() last.
void DecodeCharRefs(std::string_view raw, std::string& out, std::vector<uint32_t>* rawAt = nullptr);

}  // namespace ts
