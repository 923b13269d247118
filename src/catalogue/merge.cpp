#include "catalogue/merge.h"

#include <algorithm>
#include <cwchar>

void MergeFileTypes(FileTypeList& target, const FileTypeList& source)
{
    for (const FileTypeEntry& entry : source) {
        auto same = std::find_if(target.begin(), target.end(), [&](const FileTypeEntry& e) {
            return _wcsicmp(e.extension.c_str(), entry.extension.c_str()) == 0;
        });
        if (same != target.end()) {
            *same = entry;
        } else {
            target.push_back(entry);
        }
    }
}
