#include "settings/type_store.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

#include "app/context.h"
#include "app/texts.h"

namespace {

const wchar_t kListSection[] = L"RegisterdExtensions";  // spelled as the player has always spelled it
const wchar_t kListKey[] = L"Extensions";
const wchar_t kTickedKey[] = L"Ticked";
// The longest list read whole: far beyond any list of types a player keeps.
constexpr size_t kLongestList = 1u << 21;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

const wchar_t* WithoutLeadingDot(const wchar_t* name) { return name[0] == L'.' ? name + 1 : name; }


// The names of a list value, with what cannot be a type of the player's
// passed to skipped.
std::vector<std::wstring> ListNames(const SettingsText& settings, const wchar_t* key, std::vector<SkippedType>* skipped)
{
    const std::wstring list = settings.String(kListSection, key, L"", kLongestList + 1);
    const bool whole = list.size() < kLongestList;
    std::vector<std::wstring> names;
    for (size_t start = 0; start < list.size();) {
        const size_t end = std::min(list.find(L';', start), list.size());
        if (end == list.size() && !whole) break;  // cut at the limit: the last name may be cut short
        size_t first = start, last = end;
        while (first < last && IsBlank(list[first])) ++first;
        while (last > first && IsBlank(list[last - 1])) --last;
        std::wstring name = WithoutLeadingDot(list.substr(first, last - first).c_str());
        start = end + 1;
        const ExtensionFault fault = CheckExtension(name);
        if (fault == ExtensionFault::None) {
            names.push_back(std::move(name));
        } else if (fault != ExtensionFault::Empty && skipped) {
            OutputDebugStringW(L"Korvane: a stored type that can be no type of the player's was skipped\n");
            skipped->push_back({std::move(name), fault});
        }
    }
    return names;
}

} // namespace

StoredTypes LoadStoredTypes(const SettingsText& settings)
{
    StoredTypes stored;
    stored.listed = !settings.String(kListSection, kListKey, L"", 4).empty();
    for (const std::wstring& name : ListNames(settings, kListKey, &stored.skipped)) {
        FileTypeEntry entry(name, settings.String(name.c_str(), L"Description", L"", kPathChars),
                            settings.String(name.c_str(), L"IconPath", resourceModulePath, kPathChars),
                            static_cast<int32_t>(settings.Int(name.c_str(), L"IconId", DefaultIconIdOf(name))), 0u);
        UseRunLanguage(entry);
        UseLocalIconOnly(entry);  // the file is any user's to edit
        stored.types.push_back(std::move(entry));
    }
    stored.choiceKept = settings.Has(kListSection, kTickedKey);
    // A ticked name the list does not hold, but that can be no type, is
    // said once, as the list's own are.
    std::vector<SkippedType> tickedSkipped;
    stored.ticked = ListNames(settings, kTickedKey, &tickedSkipped);
    for (SkippedType& skipped : tickedSkipped)
        if (std::none_of(stored.skipped.begin(), stored.skipped.end(), [&](const SkippedType& s) { return SameName(s.name, skipped.name); }))
            stored.skipped.push_back(std::move(skipped));
    return stored;
}

void SaveStoredTypes(const wchar_t* path, const FileTypeList& list)
{
    std::vector<SettingValue> values;
    std::wstring extensions, ticked;
    const std::wstring moduleName = PathFindFileNameW(resourceModulePath);
    for (const FileTypeEntry& entry : list) {
        if (entry.IsPseudoType()) continue;
        const wchar_t* name = WithoutLeadingDot(entry.extension.c_str());
        if (!IsRegistrableExtension(name)) {
            // It could never be registered, nor read back as itself (";"
            // separates the list).
            OutputDebugStringW(L"Korvane: a type without a storable name was not stored\n");
            continue;
        }
        extensions += name + std::wstring(L";");
        if (entry.flags & FT_ASSOCIATED) ticked += name + std::wstring(L";");
        // The resource module by its name alone, which the next run finds
        // wherever the module is then.
        const bool ownIcon = !moduleName.empty() && (entry.iconPath == resourceModulePath || NamesResourceModule(entry.iconPath));
        values.push_back({name, L"Description", StoredDescription(entry)});
        values.push_back({name, L"IconPath", ownIcon ? moduleName : entry.iconPath});
        values.push_back({name, L"IconId", std::to_wstring(entry.iconId)});
    }
    values.push_back({kListSection, kListKey, extensions});
    values.push_back({kListSection, kTickedKey, ticked});
    WriteSettingValues(path, values);
}

std::vector<std::wstring> TypesToDeploy(const StoredTypes& stored, const FileTypeList& registeredNow,
                                        const std::vector<std::wstring>& unfinished)
{
    std::vector<std::wstring> names;
    auto listedIn = [](const FileTypeList& list, const std::wstring& name) {
        return std::any_of(list.begin(), list.end(), [&](const FileTypeEntry& e) { return SameName(e.extension, name); });
    };
    auto add = [&](const std::wstring& name) {
        if (std::none_of(names.begin(), names.end(), [&](const std::wstring& n) { return SameName(n, name); })) names.push_back(name);
    };
    // A ticked name is a type where the file or the player describes it.
    for (const std::wstring& name : stored.ticked)
        if (stored.choiceKept && (listedIn(stored.types, name) || BuiltinRow(name) >= 0 || listedIn(registeredNow, name))) add(name);
    if (!stored.choiceKept)
        for (const FileTypeEntry& entry : stored.types) add(entry.extension);
    // A dialog run stopped while it took a type the user unticked away
    // leaves it whole enough to be found: where the file lists the type
    // and keeps the ticks, they say what the user wants of it. A type a
    // stopped run was adding, or one this file does not hold, stays.
    auto changing = [&](const std::wstring& name) {
        return stored.choiceKept && listedIn(stored.types, name) &&
               std::any_of(unfinished.begin(), unfinished.end(), [&](const std::wstring& u) { return SameName(u, L"." + name); });
    };
    for (const FileTypeEntry& entry : registeredNow)
        if (!entry.IsPseudoType() && IsRegistrableExtension(entry.extension) && !changing(entry.extension)) add(entry.extension);
    return names;
}
