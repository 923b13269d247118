// Cost per file type of a registration's registry work: discovery of what is
// associated, then removing and writing every type, for 10, 100 and 1,000
// types in one process. Prints microseconds per type; run it in the
// project's prefix:  build/wine-run.sh build/bin/korvane_bench.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/context.h"
#include "app/settings.h"
#include "app/startup.h"
#include "associate/applier.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "registry/file_type_class.h"
#include "registry/player_keys.h"
#include "registry/primitives.h"
#include "support.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

FileTypeList MakeTypes(int count)
{
    FileTypeList list;
    for (int i = 0; i < count; ++i)
        list.emplace_back(L"kvbench" + std::to_wstring(i), L"Bench type " + std::to_wstring(i), resourceModulePath,
                          -105, FT_ASSOCIATED);
    return list;
}

struct Figures {
    double discoveryPerType;
    double applyPerType;
};

Figures Measure(int count)
{
    const FileTypeList wanted = MakeTypes(count);
    ApplyAssociations({}, wanted, &associationContext);  // registered before the measured run

    const double start = Now();
    FileTypeList current;
    DiscoverAssociatedTypes(current);
    const double discovered = Now();
    ApplyAssociations(current, wanted, &associationContext);
    const double applied = Now();

    if (static_cast<int>(current.size()) != count)
        std::printf("warning: discovery found %zu of %d types\n", current.size(), count);
    ApplyAssociations(wanted, {}, &associationContext);
    return {(discovered - start) / count, (applied - discovered) / count};
}

} // namespace

int main()
{
    // A registration that the prefix holds is put aside, so that discovery
    // sees the benchmark's types only, and is put back at the end.
    PreservedTrees keep;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) keep.Add(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
    registryViewFlag = DetectRegistryView();
    InitializePaths(GetModuleHandleW(nullptr));
    LoadVerbDisplayNames();
    associationContext.openCommand = OpenCommandForExecMethod(2);

    std::printf("%8s %16s %16s %16s\n", "types", "discovery us/t", "apply us/t", "total us/t");
    double first = 0, last = 0;
    for (int count : {10, 100, 1000}) {
        Measure(count);  // warm the registry's caches once
        Figures f = Measure(count);
        const double total = f.discoveryPerType + f.applyPerType;
        std::printf("%8d %16.1f %16.1f %16.1f\n", count, f.discoveryPerType, f.applyPerType, total);
        if (count == 10) first = total;
        last = total;
    }
    std::printf("cost per type at 1000 / at 10: %.2f (must be at most 2)\n", last / first);
    return last <= 2 * first ? 0 : 1;
}
