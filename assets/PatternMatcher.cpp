#include "assets/PatternMatcher.h"

#include <cctype>
#include <cstring>

namespace {

// Single-byte classification; the cast keeps bytes above 127 defined.
bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isGraph(char c) { return std::isgraph(static_cast<unsigned char>(c)) != 0; }

bool startsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

const char* skipDigits(const char* p)
{
    while (isDigit(*p))
        ++p;
    return p;
}

// Each returns the end of the run it takes at p, or null when it takes nothing.
const char* takeInteger(const char* p)
{
    if (*p == '+' || *p == '-')
        ++p;
    const char* end = skipDigits(p);
    return end == p ? nullptr : end;
}

const char* takeFloat(const char* p)
{
    if (*p == '+' || *p == '-')
        ++p;
    const char* end = skipDigits(p);
    if (end == p)
        return nullptr;
    if (*end == '.')
        ++end;
    const char* fraction = end;
    end = skipDigits(fraction);
    return end == fraction ? nullptr : end;
}

const char* takeToken(const char* p)
{
    const char* end = p;
    while (isGraph(*end))
        ++end;
    return end == p ? nullptr : end;
}

} // namespace

const char* LineMatch::operator[](int i) const
{
    if (i < 0 || i >= size())
        return nullptr;
    return texts[static_cast<size_t>(i)].c_str();
}

bool compilePattern(const char* pattern, std::vector<PatternElement>& elements)
{
    elements.clear();
    if (pattern == nullptr)
        return false;
    const char* p = pattern;
    for (;;) {
        while (isSpace(*p))
            ++p;
        if (*p == '\0')
            return true;
        if (*p++ != '[')
            continue;  // anything outside brackets carries no meaning

        PatternElement element;
        if (startsWith(p, "int]")) {
            element.kind = PatternElement::Integer;
            p += 4;
        } else if (startsWith(p, "float]")) {
            element.kind = PatternElement::Float;
            p += 6;
        } else if (startsWith(p, "?]")) {
            element.kind = PatternElement::Token;
            p += 2;
        } else if (*p == '\'') {
            const char* text = p + 1;
            const char* close = std::strchr(text, '\'');
            if (close == nullptr || close[1] != ']')
                return false;
            if (close - text > LineMatch::kMaxText)
                return false;
            element.kind = PatternElement::Literal;
            element.literal.assign(text, close);
            p = close + 2;
        } else {
            return false;
        }
        if (elements.size() >= static_cast<size_t>(LineMatch::kSlots))
            return false;
        elements.push_back(std::move(element));
    }
}

LineMatch matchLine(const char* pattern, const char* line)
{
    std::vector<PatternElement> elements;
    if (pattern == nullptr || line == nullptr || !compilePattern(pattern, elements))
        return LineMatch();
    return matchLine(elements, line);
}

LineMatch matchLine(const std::vector<PatternElement>& elements, const char* line)
{
    LineMatch result;
    if (line == nullptr)
        return result;
    const char* cursor = line;
    std::vector<std::string> texts;
    texts.reserve(elements.size());
    for (const PatternElement& element : elements) {
        while (isSpace(*cursor))
            ++cursor;
        if (*cursor == '\0')
            return result;
        const char* end = nullptr;
        switch (element.kind) {
        case PatternElement::Integer:
            end = takeInteger(cursor);
            break;
        case PatternElement::Float:
            end = takeFloat(cursor);
            break;
        case PatternElement::Token:
            end = takeToken(cursor);
            break;
        case PatternElement::Literal:
            if (startsWith(cursor, element.literal.c_str()))
                end = cursor + element.literal.size();
            break;
        }
        if (end == nullptr || end - cursor > LineMatch::kMaxText)
            return result;
        texts.emplace_back(cursor, end);
        cursor = end;
    }
    if (*cursor != '\0')
        return result;

    result.matched = true;
    result.texts = std::move(texts);
    return result;
}
