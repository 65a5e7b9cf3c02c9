// code_page.cpp: UTF-8 into a Windows ANSI code page through iconv.
#include "tools/pack/code_page.h"

#include <errno.h>
#include <iconv.h>

namespace {

// The ANSI code pages of Windows: each keeps ASCII as it is, and no byte of
// a double-byte character is one of the script's syntax bytes (all below 0x40).
const int AnsiCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                             1252, 1253, 1254, 1255, 1256, 1257, 1258};

const char ByteOrderMark[] = "\xEF\xBB\xBF";

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

size_t Utf8Length(unsigned char lead) {
    return lead >= 0xF0 && lead <= 0xF4  ? 4
           : lead >= 0xE0                ? 3
           : lead >= 0xC2 && lead < 0xE0 ? 2
                                         : 1;
}

bool IsUtf8(const std::string& text) {
    const unsigned char* p = (const unsigned char*)text.data();
    const unsigned char* end = p + text.size();
    while (p < end) {
        unsigned char lead = *p;
        if (lead < 0x80) {
            p++;
            continue;
        }
        size_t length = Utf8Length(lead);
        if (length == 1 || (size_t)(end - p) < length) return false;
        for (size_t i = 1; i < length; i++)
            if (!IsContinuation(p[i])) return false;
        // Overlong three- and four-byte forms, surrogates, values past U+10FFFF.
        if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0) ||
            (lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] >= 0x90))
            return false;
        p += length;
    }
    return true;
}

CodePage::~CodePage() {
    if (converter) iconv_close((iconv_t)converter);
    if (reverse) iconv_close((iconv_t)reverse);
}

std::string CodePage::Open(int wanted) {
    bool known = false;
    for (int page : AnsiCodePages) known = known || page == wanted;
    if (!known)
        return "code page " + std::to_string(wanted) +
               " is no Windows ANSI code page (874, 932, 936, 949, 950, 1250 to 1258)";
    if (converter) iconv_close((iconv_t)converter);
    if (reverse) iconv_close((iconv_t)reverse);
    converter = reverse = nullptr;
    std::string name = "CP" + std::to_string(wanted);
    iconv_t to = iconv_open(name.c_str(), "UTF-8");
    iconv_t from = iconv_open("UTF-8", name.c_str());
    if (to == (iconv_t)-1 || from == (iconv_t)-1) {
        if (to != (iconv_t)-1) iconv_close(to);
        if (from != (iconv_t)-1) iconv_close(from);
        return "iconv does not know code page " + std::to_string(wanted);
    }
    converter = to;
    reverse = from;
    number = wanted;
    return "";
}

// One character; ASCII stays as it is in every ANSI code page.
bool CodePage::Encode(const char* character, size_t length, std::string* out) const {
    if (length == 1 && (unsigned char)*character < 0x80) {
        *out += *character;
        return true;
    }
    char buffer[16];
    char* in = (char*)character;
    size_t inLeft = length;
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    iconv((iconv_t)converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv((iconv_t)converter, &in, &inLeft, &to, &toLeft) == (size_t)-1 ||
        iconv((iconv_t)converter, nullptr, nullptr, &to, &toLeft) == (size_t)-1)
        return false;
    out->append(buffer, to - buffer);
    return true;
}

MappedText CodePage::Convert(const std::string& source,
                             std::vector<Unrepresentable>* failures) const {
    MappedText text;
    if (!IsUtf8(source)) {
        text.bytes = source;
        for (uint32_t i = 0; i < source.size(); i++) text.origin.push_back(i);
        return text;
    }
    size_t at = source.compare(0, 3, ByteOrderMark) == 0 ? 3 : 0;
    bool inComment = false;
    while (at < source.size()) {
        size_t length = Utf8Length((unsigned char)source[at]);
        if (source[at] == '#') inComment = true;
        if (IsLineEnd(source[at])) inComment = false;
        if (!Encode(source.data() + at, length, &text.bytes)) {
            text.bytes += '?';
            if (!inComment) failures->push_back({(uint32_t)at, source.substr(at, length)});
        }
        text.origin.resize(text.bytes.size(), (uint32_t)at);
        at += length;
    }
    return text;
}

std::string CodePage::ConvertName(const std::string& name, std::string* out) const {
    out->clear();
    if (!IsUtf8(name)) {
        *out = name;
        return "";
    }
    for (size_t at = 0; at < name.size();) {
        size_t length = Utf8Length((unsigned char)name[at]);
        if (!Encode(name.data() + at, length, out))
            return "code page " + std::to_string(number) + " has no '" + name.substr(at, length) +
                   "'";
        at += length;
    }
    return "";
}

std::string CodePage::ToUtf8(const std::string& bytes) const {
    std::string out;
    char buffer[64];
    char* in = (char*)bytes.data();
    size_t inLeft = bytes.size();
    iconv((iconv_t)reverse, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* to = buffer;
        size_t toLeft = sizeof buffer;
        size_t result = iconv((iconv_t)reverse, &in, &inLeft, &to, &toLeft);
        out.append(buffer, to - buffer);
        if (result == (size_t)-1 && errno != E2BIG) {
            // A byte that starts nothing readable: shown as '?', then on.
            out += '?';
            in++;
            inLeft--;
            iconv((iconv_t)reverse, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Code pages with combining marks hold the last character back.
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    iconv((iconv_t)reverse, nullptr, nullptr, &to, &toLeft);
    out.append(buffer, to - buffer);
    return out;
}
