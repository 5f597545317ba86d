#include "base/Error.h"

#include <cstdio>

namespace {

std::string tagOf(const std::string& line)
{
    const size_t close = line.find(']');
    return line.size() > 1 && line[0] == '[' && close != std::string::npos ? line.substr(1, close - 1) : "";
}

void escape(std::string& out, char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f) {
        out += c;
        return;
    }
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02x", u);
    out += code;
}

}  // namespace

Error::Error(const std::string& line) : std::runtime_error(oneLine(line)), partTag(tagOf(line)) {}

Error::Error(const std::string& tag, const std::string& text)
    : std::runtime_error(oneLine("[" + tag + "] " + text)), partTag(tag)
{
}

std::string excerpt(const std::string& text, char mark, size_t limit)
{
    std::string out(1, mark);
    for (size_t i = 0; i < text.size() && i < limit; ++i)
        escape(out, text[i]);
    return out + (text.size() > limit ? "..." : "") + mark;
}

std::string oneLine(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            escape(out, c);
        else
            out += c;
    return out;
}
