// Stand-in for the player's core library: command-line tokenizer, resource
// module and string loading, exported by ordinal only.
#include <windows.h>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Appends c to the token while there is room; the token is cut, never
// overrun, when the argument is longer than the buffer.
struct TokenWriter {
    wchar_t* buffer;
    int capacity;
    int length = 0;
    void Put(wchar_t c)
    {
        if (length + 1 < capacity) buffer[length++] = c;
    }
    void Finish()
    {
        if (capacity > 0) buffer[length] = L'\0';
    }
};

// The program name: a quoted name runs to the closing quote, an unquoted
// one to the first blank; backslashes are plain characters here.
const wchar_t* ReadProgramName(const wchar_t* p, TokenWriter& out)
{
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) out.Put(*p);
        if (*p == L'"') ++p;
    } else {
        for (; *p && !IsBlank(*p); ++p) out.Put(*p);
    }
    return p;
}

// An argument by the Windows rules: 2n backslashes before a quote give n
// backslashes and the quote toggles quoting, 2n+1 give n and a literal
// quote; "" inside quotes is a literal quote; blanks outside quotes end it.
const wchar_t* ReadArgument(const wchar_t* p, TokenWriter& out)
{
    bool quoted = false;
    while (*p && (quoted || !IsBlank(*p))) {
        int backslashes = 0;
        while (*p == L'\\') { ++backslashes; ++p; }
        if (*p == L'"') {
            for (int i = 0; i < backslashes / 2; ++i) out.Put(L'\\');
            if (backslashes % 2) {
                out.Put(L'"');
                ++p;
            } else if (quoted && p[1] == L'"') {
                out.Put(L'"');
                p += 2;
            } else {
                quoted = !quoted;
                ++p;
            }
            continue;
        }
        for (int i = 0; i < backslashes; ++i) out.Put(L'\\');
        if (*p && (quoted || !IsBlank(*p))) out.Put(*p++);
    }
    return p;
}

HMODULE LoadResourceModuleBesideHost()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LoadResourceModuleBesideHost), &self))
        return nullptr;
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(self, path, ARRAYSIZE(path));
    if (n == 0 || n >= ARRAYSIZE(path)) return nullptr;
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash) return nullptr;
    const wchar_t name[] = L"KorvaneRes.dll";
    if (static_cast<size_t>(slash + 1 - path) + ARRAYSIZE(name) > ARRAYSIZE(path)) return nullptr;
    wcscpy(slash + 1, name);
    // Always by full path: the DLL search path is never asked for it. The
    // module holds resources only, so mapping it as an image runs no code,
    // and a real image handle works with GetModuleFileNameW as well.
    return LoadLibraryExW(path, nullptr, 0);
}

} // namespace

extern "C" {

__declspec(dllexport) const wchar_t* HostNextToken(const wchar_t* position, wchar_t* token, int capacity)
{
    if (!position || !token) return nullptr;
    const bool programName = position == GetCommandLineW();
    const wchar_t* p = position;
    while (IsBlank(*p)) ++p;
    if (*p == L'\0') return nullptr;
    TokenWriter out{token, capacity};
    p = programName ? ReadProgramName(p, out) : ReadArgument(p, out);
    out.Finish();
    return p;
}

__declspec(dllexport) HMODULE HostResourceModule(void)
{
    static HMODULE module = LoadResourceModuleBesideHost();
    return module;
}

__declspec(dllexport) void HostLoadString(HMODULE module, UINT id, wchar_t* buffer, int capacity)
{
    if (!buffer || capacity <= 0) return;
    buffer[0] = L'\0';
    if (LoadStringW(module, id, buffer, capacity) <= 0) buffer[0] = L'\0';
}

}
