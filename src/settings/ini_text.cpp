#include "settings/ini_text.h"

#include <algorithm>

UINT (*g_ansiCodePage)() = GetACP;

namespace {

const BYTE kUtf16LeMark[] = {0xFF, 0xFE};
const BYTE kUtf16BeMark[] = {0xFE, 0xFF};
const BYTE kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

template <size_t N>
bool StartsWith(const std::vector<BYTE>& bytes, const BYTE (&mark)[N])
{
    return bytes.size() >= N && std::equal(mark, mark + N, bytes.begin());
}

UINT AnsiCodePage() { return g_ansiCodePage(); }

bool Decode(UINT codePage, const BYTE* bytes, size_t length, std::wstring& text)
{
    if (length == 0) {
        text.clear();
        return true;
    }
    if (length > static_cast<size_t>(INT_MAX)) return false;
    const char* source = reinterpret_cast<const char*>(bytes);
    const int chars = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, source, static_cast<int>(length), nullptr, 0);
    if (chars <= 0) return false;
    std::wstring decoded(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, source, static_cast<int>(length), &decoded[0], chars);
    text = std::move(decoded);
    return true;
}

// Exact or nothing: a character the code page lacks, or holds only as a
// look-alike, fails.
bool EncodeExactly(UINT codePage, const std::wstring& text, std::vector<BYTE>& bytes)
{
    if (text.empty()) return true;
    if (text.size() > static_cast<size_t>(INT_MAX / 4)) return false;
    // UTF-8 holds every character but half a surrogate pair, and takes
    // neither the best-fit flag nor the question whether a default was used.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
    if (size <= 0 || usedDefault) return false;
    const size_t start = bytes.size();
    bytes.resize(start + static_cast<size_t>(size));
    WideCharToMultiByte(codePage, flags, text.data(), length, reinterpret_cast<char*>(&bytes[start]), size, nullptr, nullptr);
    return true;
}

// The blanks the profile functions trim: tab to carriage return, the
// space and the DOS end-of-file mark; a no-break or ideographic space is
// text to them.
bool IsBlank(wchar_t c) { return (c >= L'\t' && c <= L'\r') || c == L' ' || c == 0x1A; }

std::wstring Trim(const std::wstring& text)
{
    size_t start = 0, end = text.size();
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

// Names match in any letter case of the ASCII letters, as the profile
// functions match them; "é" and "É" are two names to them.
std::wstring Folded(std::wstring name)
{
    for (wchar_t& c : name)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return name;
}

// Where the line that starts at start ends: at CR LF, LF or a CR alone.
// Gives the length of the line end (0 at the end of the text).
template <typename Char>
size_t LineEnd(const Char* text, size_t size, size_t start, size_t& endLength)
{
    size_t at = start;
    while (at < size && text[at] != '\n' && text[at] != '\r') ++at;
    endLength = at == size ? 0 : (text[at] == '\r' && at + 1 < size && text[at + 1] == '\n') ? 2 : 1;
    return at;
}

// "[name]" as the profile functions take it: the name runs to the last "]",
// blanks around it dropped.
bool SectionName(const std::wstring& trimmed, std::wstring& name)
{
    if (trimmed.empty() || trimmed[0] != L'[') return false;
    const size_t close = trimmed.rfind(L']');
    if (close == std::wstring::npos) return false;  // a key line then, as the profile functions read it
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

// The key of a line of a section: the text before its first "=", or the
// whole line where it has none.
std::wstring KeyName(const std::wstring& trimmed)
{
    const size_t equals = trimmed.find(L'=');
    return equals == std::wstring::npos ? trimmed : Trim(trimmed.substr(0, equals));
}

// A value as the profile functions will read it back: they drop blanks at
// its ends and a pair of matching quotes around it, so such a value goes
// in double quotes, of which they take away just the one pair.
std::wstring Quoted(const std::wstring& value)
{
    if (value.empty()) return value;
    const wchar_t first = value.front(), last = value.back();
    const bool quotes = value.size() > 1 && (first == L'"' || first == L'\'') && last == first;
    return IsBlank(first) || IsBlank(last) || quotes ? L"\"" + value + L"\"" : value;
}

} // namespace

bool DecodeSettingsText(const std::vector<BYTE>& bytes, TextForm& form, std::wstring& text)
{
    if (StartsWith(bytes, kUtf8Mark)) {
        if (!Decode(CP_UTF8, bytes.data() + 3, bytes.size() - 3, text)) return false;
        form = TextForm::Utf8;
        return true;
    }
    const bool little = StartsWith(bytes, kUtf16LeMark), big = StartsWith(bytes, kUtf16BeMark);
    if (little || big) {
        if (bytes.size() % 2) return false;  // a stray byte no reading of it keeps
        std::wstring decoded;
        decoded.reserve(bytes.size() / 2 - 1);
        for (size_t at = 2; at < bytes.size(); at += 2)
            decoded += static_cast<wchar_t>(big ? (bytes[at] << 8) | bytes[at + 1] : (bytes[at + 1] << 8) | bytes[at]);
        text = std::move(decoded);
        form = big ? TextForm::Utf16Be : TextForm::Utf16Le;
        return true;
    }
    // Without a mark the profile functions read the ANSI code page; a NUL
    // says the file is something else (UTF-16 without its mark, say). A file
    // that is valid UTF-8 beyond ASCII was saved as UTF-8 (the code page
    // 1252 would take every byte of it, and misread every letter).
    if (std::find(bytes.begin(), bytes.end(), BYTE{0}) != bytes.end()) return false;
    const bool beyondAscii = std::any_of(bytes.begin(), bytes.end(), [](BYTE b) { return b >= 0x80; });
    if (beyondAscii && AnsiCodePage() != CP_UTF8 && Decode(CP_UTF8, bytes.data(), bytes.size(), text)) {
        form = TextForm::Utf8Bare;
        return true;
    }
    if (!Decode(AnsiCodePage(), bytes.data(), bytes.size(), text)) return false;
    form = TextForm::Ansi;
    return true;
}

bool IniText::Encode(TextForm form, const std::vector<BYTE>* original, std::vector<BYTE>& bytes) const
{
    std::vector<BYTE> encoded;
    if (form != TextForm::Ansi) {
        encoded.assign(kUtf16LeMark, kUtf16LeMark + 2);
        for (const Line& line : lines_)
            for (const std::wstring* part : {&line.text, &line.end})
                for (wchar_t c : *part) encoded.insert(encoded.end(), {static_cast<BYTE>(c & 0xFF), static_cast<BYTE>(c >> 8)});
        bytes = std::move(encoded);
        return true;
    }
    // The lines of the file as read, as bytes: a CR or LF byte is the same
    // character in every code page, so they part where the text's lines
    // part.
    std::vector<std::pair<size_t, size_t>> read;  // offset and length, with the line end
    const BYTE* raw = original ? original->data() : nullptr;
    const size_t size = original ? original->size() : 0;
    for (size_t start = 0, length = 0; start < size; start += length) {
        size_t endLength = 0;
        length = LineEnd(raw, size, start, endLength) - start + endLength;
        read.emplace_back(start, length);
    }
    for (const Line& line : lines_) {
        if (!line.changed && line.origin < read.size()) {
            encoded.insert(encoded.end(), raw + read[line.origin].first, raw + read[line.origin].first + read[line.origin].second);
        } else if (!EncodeExactly(AnsiCodePage(), line.text + line.end, encoded)) {
            return false;
        }
    }
    bytes = std::move(encoded);
    return true;
}

IniText::IniText(const std::wstring& text)
{
    for (size_t start = 0; start < text.size();) {
        size_t endLength = 0;
        const size_t end = LineEnd(text.data(), text.size(), start, endLength);
        lines_.push_back(Line{text.substr(start, end - start), text.substr(end, endLength), lines_.size(), false, L"", false, L""});
        start = end + endLength;
    }
    if (!lines_.empty() && !lines_.front().end.empty()) newline_ = lines_.front().end;
    Index();
}

void IniText::SetLine(Line& line, const std::wstring& text)
{
    line.text = text;
    const std::wstring trimmed = Trim(text);
    const size_t equals = trimmed.find(L'=');
    line.hasValue = equals != std::wstring::npos;
    line.value = line.hasValue ? Trim(trimmed.substr(equals + 1)) : std::wstring();
    line.key = trimmed.empty() ? std::wstring() : Folded(KeyName(trimmed));
}

void IniText::Index()
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        SetLine(lines_[i], lines_[i].text);
        std::wstring name;
        if (!SectionName(Trim(lines_[i].text), name)) continue;
        if (!sections_.empty()) sections_.back().last = i;
        firstByName_.emplace(Folded(name), sections_.size());  // a later section of the same name is not read
        sections_.push_back(Section{i, lines_.size()});
    }
}

void IniText::Insert(size_t at, const std::wstring& text)
{
    if (at > 0 && lines_[at - 1].end.empty()) {
        lines_[at - 1].end = newline_;
        lines_[at - 1].changed = true;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{L"", newline_, kNew, true, L"", false, L""});
    SetLine(lines_[at], text);
}

const IniText::Section* IniText::SectionNamed(const std::wstring& name) const
{
    const auto found = firstByName_.find(Folded(Trim(name)));
    return found == firstByName_.end() ? nullptr : &sections_[found->second];
}

const std::wstring* IniText::Find(const std::wstring& section, const std::wstring& key) const
{
    const Section* found = SectionNamed(section);
    if (!found) return nullptr;
    const std::wstring wanted = Folded(Trim(key));
    for (size_t i = found->first + 1; i < found->last; ++i)
        if (!lines_[i].key.empty() && lines_[i].key == wanted) return lines_[i].hasValue ? &lines_[i].value : nullptr;
    return nullptr;
}

bool IniText::Set(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    const std::wstring sectionName = Trim(section), keyName = Trim(key);
    auto breaks = [](const std::wstring& text) { return text.find_first_of(L"\r\n") != std::wstring::npos; };
    if (sectionName.empty() || keyName.empty() || breaks(sectionName) || breaks(keyName) ||
        keyName.find(L'=') != std::wstring::npos || keyName[0] == L'[')
        return false;
    std::wstring oneLine = value;
    std::replace_if(oneLine.begin(), oneLine.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    const std::wstring line = keyName + L"=" + Quoted(oneLine);

    const auto found = firstByName_.find(Folded(sectionName));
    if (found == firstByName_.end()) {
        Insert(lines_.size(), L"[" + sectionName + L"]");
        Insert(lines_.size(), line);
        firstByName_.emplace(Folded(sectionName), sections_.size());
        sections_.push_back(Section{lines_.size() - 2, lines_.size()});
        return true;
    }
    const size_t index = found->second;
    const std::wstring wanted = Folded(keyName);
    size_t after = sections_[index].first + 1;  // after the last line of the section that is not blank
    for (size_t i = after; i < sections_[index].last; ++i) {
        const std::wstring trimmed = Trim(lines_[i].text);
        if (trimmed.empty()) continue;
        after = i + 1;
        if (lines_[i].key == wanted) {
            SetLine(lines_[i], KeyName(trimmed) + L"=" + Quoted(oneLine));
            lines_[i].changed = true;
            return true;
        }
    }
    Insert(after, line);
    ++sections_[index].last;
    for (size_t s = index + 1; s < sections_.size(); ++s) {
        ++sections_[s].first;
        ++sections_[s].last;
    }
    return true;
}

std::wstring IniText::Text() const
{
    std::wstring text;
    for (const Line& line : lines_) text += line.text + line.end;
    return text;
}
