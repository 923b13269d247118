// The settings file as text: the forms a file of the player's may come in,
// and values set in it line by line, every other line left as it was.
#ifndef KORVANE_SETTINGS_INI_TEXT_H
#define KORVANE_SETTINGS_INI_TEXT_H

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

// How the bytes of a settings file hold its text, told by the mark it
// starts with; a file without one is in the ANSI code page.
enum class TextForm { Ansi, Utf16Le, Utf16Be, Utf8 };

// The text of a file's bytes in their own form. False, text untouched, for
// bytes no form of the profile functions describes (a NUL without a mark,
// bytes invalid in their code page): such a file is not the tool's to
// rewrite.
bool DecodeSettingsText(const std::vector<BYTE>& bytes, TextForm& form, std::wstring& text);

// The lines of a settings file, read the way the profile functions read
// them: a line ends at CR LF, LF or a CR alone; a section starts at a line
// "[name]" (the name up to the last "]"), a key is the text before the
// first "=" of a line of that section, both found in any letter case of
// the ASCII letters and without the ASCII blanks around them; the first
// section of a name is the one read. Each line keeps its own text and its
// own line end.
class IniText {
public:
    explicit IniText(const std::wstring& text);

    // Sets key in section to value: the line of the key is written again,
    // a missing key is added after the last line of its section, a missing
    // section at the end. Line breaks in the value become blanks (the value
    // is one line). False, nothing changed, for a section or key name that
    // could not be read back as itself (empty, a line break, a key with "="
    // or starting with "[").
    bool Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);

    std::wstring Text() const;

    // The text as bytes of the form given, its mark first. In the form the
    // text was read from (original: the file's bytes), every line that was
    // not set is given back as the very bytes it was read from; the lines
    // set or added are encoded. False when the form cannot hold a text
    // exactly (the ANSI code page lacks a character, or has only a
    // look-alike); bytes is then left alone.
    bool Encode(TextForm form, const std::vector<BYTE>* original, std::vector<BYTE>& bytes) const;

private:
    struct Line {
        std::wstring text;  // without its line end
        std::wstring end;   // "\r\n", "\n", "\r" or "" (the last line of a file without one)
        size_t origin;      // its index among the lines as read; kNew for a line added
        bool changed;       // not the line as read
    };
    static constexpr size_t kNew = static_cast<size_t>(-1);
    // The lines from first (its "[name]") to last, not included.
    struct Section {
        size_t first;
        size_t last;
    };
    void Index();
    void Insert(size_t at, const std::wstring& text);

    std::vector<Line> lines_;
    std::vector<Section> sections_;                      // in the order of the file
    std::unordered_map<std::wstring, size_t> firstByName_;  // name in lower case: the section read
    std::wstring newline_ = L"\r\n";  // the file's own, for lines it gains
};

#endif
