#include "report/default_associations.h"

#include "registry/file_type_class.h"
#include "registry/player_keys.h"

namespace {

// A character XML 1.0 can carry at all: not a control character other than
// tab, line feed and carriage return, not a lone half of a surrogate pair,
// not U+FFFE or U+FFFF.
bool XmlCarries(const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
        if (IS_HIGH_SURROGATE(c)) {
            if (i + 1 == text.size() || !IS_LOW_SURROGATE(text[i + 1])) return false;
            ++i;
        } else if (IS_LOW_SURROGATE(c)) {
            return false;
        }
    }
    return true;
}

// Text as an attribute value in double quotes; tab and line ends as
// character references, which an XML reader keeps as they are.
std::wstring Attribute(const std::wstring& text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        case L'\'': escaped += L"&apos;"; break;
        case L'\t': escaped += L"&#9;"; break;
        case L'\n': escaped += L"&#10;"; break;
        case L'\r': escaped += L"&#13;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

bool Registered(const TypeState& type)
{
    return type.status == TypeStatus::Registered || type.status == TypeStatus::ChosenForOther;
}

} // namespace

std::wstring DefaultAssociationsXml(const AssociationReport& report, std::vector<std::wstring>& leftOut,
                                    const PolicyAttributes& attributes)
{
    const std::wstring version = attributes.version ? L" Version=\"" + std::to_wstring(attributes.version) + L"\"" : L"";
    const std::wstring suggested = attributes.suggested ? L" Suggested=\"true\"" : L"";
    std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DefaultAssociations" + version + L">\r\n";
    for (const TypeState& type : report.types) {
        const std::wstring identifier = L"." + type.extension;
        if (!Registered(type) || !XmlCarries(type.extension)) {
            leftOut.push_back(identifier);
            continue;
        }
        xml += L"  <Association Identifier=\"" + Attribute(identifier) + L"\" ProgId=\"" +
               Attribute(MakeProgId(type.extension)) + L"\" ApplicationName=\"" + Attribute(kApplicationName) + L"\"" + suggested + L" />\r\n";
    }
    return xml + L"</DefaultAssociations>\r\n";
}
