// code_page.h: scripts and file names from UTF-8 into the installer's ANSI code page.
//
// The installer is ANSI: its texts and names are bytes of a Windows code page.
// Publishers write UTF-8; text that is not valid UTF-8 is taken as already
// being in the code page and passed on unchanged.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

enum { DefaultCodePage = 1252 };

// Converted text and, for each of its bytes, the offset in the source of the
// character it came from.
struct MappedText {
    std::string bytes;
    std::vector<uint32_t> origin;
};

// A character that the code page cannot hold, at offset of the source.
struct Unrepresentable {
    uint32_t offset;
    std::string character; // its UTF-8 bytes
};

class CodePage {
  public:
    CodePage() = default;
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;
    ~CodePage();

    // Empty when number is a Windows ANSI code page that iconv knows,
    // otherwise why not.
    std::string Open(int number);
    int Number() const { return number; }

    // A script in the code page. Valid UTF-8 (a leading byte-order mark
    // dropped) is converted; a character that the code page cannot hold is
    // written as '?' and listed, unless it stands in a comment, which the
    // installer drops anyway. Other text is taken byte for byte.
    MappedText Convert(const std::string& source, std::vector<Unrepresentable>* failures) const;
    // A name in the code page: empty, or the complaint that names the first
    // character that does not fit.
    std::string ConvertName(const std::string& name, std::string* out) const;
    // Bytes of the code page as UTF-8, for messages; what cannot be read is
    // shown as '?'.
    std::string ToUtf8(const std::string& bytes) const;

  private:
    bool Encode(const char* character, size_t length, std::string* out) const;
    int number = 0;
    void* converter = nullptr; // iconv_t, UTF-8 to the code page
    void* reverse = nullptr;   // and back
};

// True when text is valid UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF).
bool IsUtf8(const std::string& text);

// Length in bytes of the UTF-8 character that starts with byte lead (1 for
// ASCII and for bytes that start none).
size_t Utf8Length(unsigned char lead);
