// HTML character references in attribute values: a link is looked up by the characters the
// browser sees, while a rewrite replaces the bytes as written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ts {

// Decodes the references a page uses in URLs (&amp; &quot; &apos; &lt; &gt; and numeric ones)
// from raw into out; other named references stay as written. When rawAt is given, it receives
// for each byte of out the offset in raw it came from, and raw.size() last.
void DecodeCharRefs(std::string_view raw, std::string& out, std::vector<uint32_t>* rawAt = nullptr);

}  // namespace ts
