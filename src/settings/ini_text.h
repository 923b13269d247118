// The settings file as text: the forms a file of the player's may come in,
// its keys read the way Windows' profile functions read them, and values
// set in it line by line, every other line left as it was.
#ifndef KORVANE_SETTINGS_INI_TEXT_H
#define KORVANE_SETTINGS_INI_TEXT_H

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

// How the bytes of a settings file hold its text. Windows' profile
// functions read only two forms: UTF-16LE behind its mark, and the ANSI
// code page for every other file. The others are what editors save
// (Notepad writes UTF-8 without a mark since Windows 10 1903): the tool
// reads them as their author meant them and writes them in UTF-16LE.
enum class TextForm {
    Ansi,     // no mark, and not UTF-8 holding anything beyond ASCII
    Utf16Le,  // FF FE
    Utf16Be,  // FE FF
    Utf8,     // EF BB BF
    Utf8Bare, // no mark, valid UTF-8 with bytes beyond ASCII
};

// The text of a file's bytes in their real form. False, text untouched,
// for bytes no form describes (a NUL without a mark, a stray byte of
// UTF-16, bytes invalid in the code page): such a file is not the tool's
// to read or rewrite.
bool DecodeSettingsText(const std::vector<BYTE>& bytes, TextForm& form, std::wstring& text);

// The code page of a file without a mark: the system's ANSI code page
// (GetACP), which is UTF-8 itself where Windows' "Use Unicode UTF-8"
// setting is on. A seam, so that a test can see that case under Wine.
extern UINT (*g_ansiCodePage)();

// True for a form Windows' profile functions read as the tool does.
inline bool WindowsReadsForm(TextForm form) { return form == TextForm::Ansi || form == TextForm::Utf16Le; }

// The lines of a settings file, as the profile functions read them: a
// line ends at CR, LF or both; a section starts at a line "[name]" (the
// name runs to the last "]", blanks around it dropped); a key is the text
// before the first "=" of a line of that section; sections and keys match
// in any letter case of the ASCII letters and without the blanks around
// them (ASCII blanks,
// form feed, vertical tab and the DOS end-of-file mark); the first section
// of a name is the one read, and its first line of a key. Each line keeps
// its own text and line end.
class IniText {
public:
    explicit IniText(const std::wstring& text = std::wstring());

    // The value of key in section, blanks around it dropped, or null where
    // the key is missing or its line has no "=". Quotes stay.
    const std::wstring* Find(const std::wstring& section, const std::wstring& key) const;

    // Sets key in section to value: the line of the key is written again,
    // a missing key is added after the last line of its section, a missing
    // section at the end. Line breaks in the value become blanks (the value
    // is one line), and a value the profile functions would read otherwise
    // (blanks at its ends, a pair of quotes around it) is written in double
    // quotes, which they take away again. False, nothing changed, for a
    // section or key name that could not be read back as itself (empty, a
    // line break, a key with "=" or starting with "[").
    bool Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);

    std::wstring Text() const;

    // The text in one of the two forms Windows reads, its mark first. As
    // ANSI, every line that was not set is given back as the very bytes it
    // was read from (original: the file's bytes in the ANSI form); the lines
    // set or added are encoded. False when the ANSI code page cannot hold a
    // line exactly (it lacks a character, or has only a look-alike); bytes
    // is then left alone.
    bool Encode(TextForm form, const std::vector<BYTE>* original, std::vector<BYTE>& bytes) const;

private:
    struct Line {
        std::wstring text;  // without its line end
        std::wstring end;   // "\r\n", "\n", "\r" or "" (the last line of a file without one)
        size_t origin;      // its index among the lines as read; kNew for a line added
        bool changed;       // not the line as read
        std::wstring value; // a key line's value, blanks dropped
        bool hasValue;      // the line has "="
        std::wstring key;   // a key line's key, folded
    };
    static constexpr size_t kNew = static_cast<size_t>(-1);
    // The lines from first (its "[name]") to last, not included.
    struct Section {
        size_t first;
        size_t last;
    };
    void Index();
    void Insert(size_t at, const std::wstring& text);
    const Section* SectionNamed(const std::wstring& name) const;
    void SetLine(Line& line, const std::wstring& text);

    std::vector<Line> lines_;
    std::vector<Section> sections_;                          // in the order of the file
    std::unordered_map<std::wstring, size_t> firstByName_;   // name folded: the section read
    std::wstring newline_ = L"\r\n";  // the file's own, for lines it gains
};

#endif
