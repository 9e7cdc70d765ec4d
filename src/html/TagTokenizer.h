// The states of a tag from the byte after its "<" to its ">", as a browser's tokenizer reads
// it: quotes count only after "=", and a ">" inside a quoted value does not end the tag. The
// scanner uses it to find where a tag ends, the attribute examination to find names and values.
#pragma once

namespace ts {

enum class TagState : unsigned char {
    Name,
    BeforeAttrName,
    AttrName,
    AfterAttrName,
    BeforeValue,
    ValueDouble,
    ValueSingle,
    ValueUnquoted,
    AfterValue,  // after a quoted value's closing quote
    SelfClosing,
    Done,  // the ">" that ends the tag
};

inline bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

namespace tagstate {

// Where a byte that may begin an attribute's name leads.
inline TagState BeforeName(char c) {
    if (IsHtmlSpace(c)) return TagState::BeforeAttrName;
    if (c == '/') return TagState::SelfClosing;
    if (c == '>') return TagState::Done;
    return TagState::AttrName;
}

inline TagState InName(char c) {
    if (IsHtmlSpace(c)) return TagState::AfterAttrName;
    if (c == '=') return TagState::BeforeValue;
    if (c == '/') return TagState::SelfClosing;
    if (c == '>') return TagState::Done;
    return TagState::AttrName;
}

inline TagState AfterName(char c) {
    if (c == '=') return TagState::BeforeValue;
    if (IsHtmlSpace(c)) return TagState::AfterAttrName;
    return BeforeName(c);
}

inline TagState BeforeValue(char c) {
    if (IsHtmlSpace(c)) return TagState::BeforeValue;
    if (c == '"') return TagState::ValueDouble;
    if (c == '\'') return TagState::ValueSingle;
    if (c == '>') return TagState::Done;
    return TagState::ValueUnquoted;
}

inline TagState Unquoted(char c) {
    if (IsHtmlSpace(c)) return TagState::BeforeAttrName;
    if (c == '>') return TagState::Done;
    return TagState::ValueUnquoted;
}

}  // namespace tagstate

// The state after byte c in state s.
inline TagState NextTagState(TagState s, char c) {
    switch (s) {
        case TagState::Name:
            if (IsHtmlSpace(c)) return TagState::BeforeAttrName;
            if (c == '/') return TagState::SelfClosing;
            return c == '>' ? TagState::Done : TagState::Name;
        case TagState::BeforeAttrName:
        case TagState::AfterValue:
        case TagState::SelfClosing:
            return tagstate::BeforeName(c);
        case TagState::AttrName:
            return tagstate::InName(c);
        case TagState::AfterAttrName:
            return tagstate::AfterName(c);
        case TagState::BeforeValue:
            return tagstate::BeforeValue(c);
        case TagState::ValueDouble:
            return c == '"' ? TagState::AfterValue : s;
        case TagState::ValueSingle:
            return c == '\'' ? TagState::AfterValue : s;
        case TagState::ValueUnquoted:
            return tagstate::Unquoted(c);
        case TagState::Done:
            break;
    }
    return TagState::Done;
}

}  // namespace ts
