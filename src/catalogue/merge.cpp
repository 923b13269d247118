#include "catalogue/merge.h"

#include <windows.h>

#include <string>
#include <unordered_map>

namespace {

std::wstring Lower(std::wstring name)
{
    if (!name.empty()) CharLowerBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

} // namespace

void MergeFileTypes(FileTypeList& target, const FileTypeList& source)
{
    // The first target entry of each extension, found at once however long
    // the lists: a settings file may list thousands of types.
    std::unordered_map<std::wstring, size_t> first;
    for (size_t i = target.size(); i-- > 0;) first[Lower(target[i].extension)] = i;
    for (const FileTypeEntry& entry : source) {
        const auto found = first.emplace(Lower(entry.extension), target.size());
        if (found.second) {
            target.push_back(entry);
        } else {
            target[found.first->second] = entry;
        }
    }
}
