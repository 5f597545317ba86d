#pragma once

#include <memory>
#include <string>
#include <vector>

// One compiled element of a line pattern.
struct PatternElement {
    enum Kind { Integer = 0, Float = 1, Literal = 2, Token = 3 };
    Kind kind = Integer;
    std::string literal;  // the text between the quotes, literals only
};

// The captured texts of a successful match: one slot per pattern element,
// literals included, so the keyword is slot 0 and the first value slot 1.
// Slots past the last element are empty. A failed match holds no slots.
class LineMatch {
public:
    static constexpr int kSlots = 512;     // elements per pattern, at most
    static constexpr int kMaxText = 511;   // characters per captured text

    LineMatch() = default;

    explicit operator bool() const { return matched; }
    // The text of slot i, or null when the slot is empty (or i is outside 0..511).
    const char* operator[](int i) const;
    // Number of filled slots (the pattern's element count).
    int size() const { return static_cast<int>(texts.size()); }

private:
    friend LineMatch matchLine(const std::vector<PatternElement>& elements, const char* line);
    bool matched = false;
    std::vector<std::string> texts;
};

// Matches the whole line against the pattern. The pattern language has four
// elements: [int], [float], [?] (a word of graphic characters) and ['text']
// (a literal prefix); characters outside brackets are ignored. Any failure
// (malformed pattern, a line that does not fit, leftover characters) gives
// an empty result. Stateless; the pattern is compiled on every call.
LineMatch matchLine(const char* pattern, const char* line);
// The same against a pattern compiled once, for files of many lines.
LineMatch matchLine(const std::vector<PatternElement>& elements, const char* line);

// The compiled form of a pattern; false when it is malformed.
bool compilePattern(const char* pattern, std::vector<PatternElement>& elements);
