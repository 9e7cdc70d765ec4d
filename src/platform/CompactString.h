// A string that costs one pointer where it is kept, its bytes allocated to fit. A link record
// holds a few texts and a large site has millions of records, most of whose texts are too long
// for std::string's in-place buffer: a std::string would cost 24 bytes more each, and a text
// kept only now and then a second allocation.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace ts {

class CCompactString {
public:
    CCompactString() = default;
    CCompactString(std::string_view text) { Assign(text); }  // NOLINT: a text converts freely
    CCompactString(const CCompactString& o) { Assign(o.View()); }
    CCompactString(CCompactString&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    CCompactString& operator=(const CCompactString& o) {
        if (this != &o) Assign(o.View());
        return *this;
    }
    CCompactString& operator=(CCompactString&& o) noexcept {
        swap(o);
        return *this;
    }
    CCompactString& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    ~CCompactString() { delete[] m_p; }

    std::string_view View() const {
        if (!m_p) return {};
        size_t n;
        std::memcpy(&n, m_p, sizeof n);
        return {m_p + sizeof n, n};
    }
    operator std::string_view() const { return View(); }  // NOLINT: reads as its text
    std::string Str() const { return std::string(View()); }
    // The text followed by a NUL, for formatting.
    const char* c_str() const { return m_p ? m_p + sizeof(size_t) : ""; }
    bool empty() const { return m_p == nullptr; }
    size_t size() const { return View().size(); }
    void swap(CCompactString& o) noexcept { std::swap(m_p, o.m_p); }

    friend bool operator==(const CCompactString& a, std::string_view b) { return a.View() == b; }

private:
    // The length, the bytes and a NUL in one block; no block for an empty text.
    void Assign(std::string_view text) {
        char* p = nullptr;
        if (!text.empty()) {
            const size_t n = text.size();
            p = new char[sizeof n + n + 1];
            std::memcpy(p, &n, sizeof n);
            std::memcpy(p + sizeof n, text.data(), n);
            p[sizeof n + n] = '\0';
        }
        delete[] m_p;
        m_p = p;
    }

    char* m_p = nullptr;
};

}  // namespace ts
