// The candidate URLs of a srcset or imagesrcset attribute, found as a browser parses the list.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ts {

struct CSpan {
    size_t nBegin = 0;
    size_t nEnd = 0;
};

// The URL of each image candidate of value, in order: white space and commas are skipped, the
// URL is the run up to white space (its trailing commas dropped), its descriptors run to a
// comma outside parentheses.
std::vector<CSpan> SrcsetUrls(std::string_view value);

// The URL of a meta refresh's content ("5; url=next.htm"); empty when it names none.
CSpan RefreshUrl(std::string_view content);

}  // namespace ts
