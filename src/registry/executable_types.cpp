#include "registry/executable_types.h"

#include <shlwapi.h>

#include <cwchar>

AssocIsDangerousFn g_assocIsDangerous = AssocIsDangerous;

namespace {

// Types that run code, open a program's own window onto the system, or
// lead somewhere else when opened: Windows' list of unsafe types for
// attachments and downloads, with the packages, shortcuts and search and
// settings links of later versions.
const wchar_t* const kExecutableTypes[] = {
    L"ade", L"adp", L"app", L"application", L"appref-ms", L"appx", L"appxbundle", L"asp", L"bas", L"bat", L"cer", L"chm",
    L"cmd", L"cnt", L"com", L"cpl", L"crt", L"csh", L"der", L"diagcab", L"dll", L"exe", L"fxp", L"gadget", L"grp", L"hlp",
    L"hpj", L"hta", L"htc", L"inf", L"ins", L"isp", L"its", L"jar", L"jnlp", L"js", L"jse", L"ksh", L"library-ms", L"lnk",
    L"mad", L"maf", L"mag", L"mam", L"maq", L"mar", L"mas", L"mat", L"mau", L"mav", L"maw", L"mcf", L"mda", L"mdb", L"mde",
    L"mdt", L"mdw", L"mdz", L"msc", L"msh", L"msh1", L"msh1xml", L"msh2", L"msh2xml", L"mshxml", L"msi", L"msix",
    L"msixbundle", L"msp", L"mst", L"msu", L"ocx", L"ops", L"pcd", L"pif", L"pl", L"plg", L"prf", L"prg", L"ps1", L"ps1xml",
    L"ps2", L"ps2xml", L"psc1", L"psc2", L"psd1", L"psm1", L"pst", L"py", L"pyc", L"pyw", L"pyz", L"pyzw", L"reg", L"scf",
    L"scr", L"sct", L"search-ms", L"searchconnector-ms", L"settingcontent-ms", L"shb", L"shs", L"sys", L"theme", L"tmp",
    L"url", L"vb", L"vbe", L"vbp", L"vbs", L"vsmacros", L"vsw", L"website", L"ws", L"wsb", L"wsc", L"wsf", L"wsh",
    L"xbap", L"xll", L"xnk",
};

} // namespace

bool WindowsRunsType(const std::wstring& extension)
{
    std::wstring name = extension;
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    for (const wchar_t* type : kExecutableTypes)
        if (_wcsicmp(type, name.c_str()) == 0) return true;
    return !name.empty() && g_assocIsDangerous && g_assocIsDangerous((L"." + name).c_str());
}
