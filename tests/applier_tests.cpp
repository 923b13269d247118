// The applier against the real registry. A seeded random round trip stands for the many ways a machine can look before
// the player registers: every previous owner must come back byte for byte, and nothing else may change.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>

#include "app/texts.h"
#include "associate/applier.h"
#include "associate/registration.h"
#include "associate/verbs.h"
#include "catalogue/discovery.h"
#include "registry/primitives.h"
#include "report/association_state.h"
#include "support.h"

namespace {

const std::wstring kClient = L"\"" + BesideTests(L"Tovrix.exe") + L"\" ";
const FileTypeEntry kAudioCd(L"AudioCD", L"", L"", 0, FT_AUDIOCD | FT_ASSOCIATED);
const FileTypeEntry kFolder(L"Folder", L"", L"", 0, FT_FOLDER | FT_ASSOCIATED);
const std::map<std::wstring, std::wstring> kVerbNames = {
    {L"Open", L"&Open with Korvane Player"}, {L"Play", L"&Play in Korvane Player"},
    {L"Add", L"&Add to Korvane Player's playlist"}, {L"OpenNew", L"Play in a &new Korvane Player playlist"},
    {L"OpenCurrentFolder", L"Play the &folder in Korvane Player"},
};
// The verbs that the main dialog's boxes switch on.
const struct { int AssociationContext::*checked; const wchar_t* verb; } kVerbSwitches[] = {
    {&AssociationContext::addOnlyChecked, L"Add"}, {&AssociationContext::openParentChecked, L"OpenCurrentFolder"},
    {&AssociationContext::newPlayChecked, L"OpenNew"}, {&AssociationContext::addPlayChecked, L"Play"},
};
const wchar_t* const kTypes[] = {L"kvp0", L"kvp1", L"kvp2", L"kvp3", L"kvp4"};
const FileTypeEntry kExecutable(L"bat", L"Batch", L"", 0, FT_ASSOCIATED);  // Windows runs it: never registered

class Applier : public testing::Test {
protected:
    void SetUp() override
    {
        StartUpLikeTheTool();
        LoadVerbDisplayNames();
        keys_.AddPlayersKeys({std::begin(kTypes), std::end(kTypes)});
        keys_.Add(HKEY_CLASSES_ROOT, ProgId(kExecutable.extension));
        keys_.Add(HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb");
    }
    ProcessStateGuard guard_;
    PreservedKeys keys_;
};

// The notices "associations changed" that the shell hands this thread, as Explorer gets them to redraw icons and menus;
// Taken() counts them since it was last asked. One watch at a time.
struct ShellNotices {
    static constexpr UINT kNotice = WM_APP + 7;
    static inline int count = 0;
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ULONG id = [this] {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            return m == kNotice ? (++count, 0) : DefWindowProcW(w, m, wp, lp);
        }));
        SHChangeNotifyEntry everything{nullptr, TRUE};
        return SHChangeNotifyRegister(window, SHCNRF_ShellLevel | SHCNRF_InterruptLevel, SHCNE_ASSOCCHANGED, kNotice, 1, &everything);
    }();
    ~ShellNotices() { SHChangeNotifyDeregister(id), DestroyWindow(window); }
    int Taken() { return std::exchange(count, 0); }
};

// A registration run's registry work: what the user wants is written, and what is the player's now and not wanted is
// removed; stopped, as a run killed then, after the given number of changes to the registry.
std::vector<WriteOutcome> Register(const FileTypeList& wanted, long stopAfter = -1)
{
    WriteDefaultProgramsRecord();
    FileTypeList current;
    DiscoverAssociatedTypes(current);
    AddCurrentHandlers(current);
    g_registryChangesLeft = stopAfter;
    const std::vector<WriteOutcome> outcomes = ApplyAssociations(current, wanted, &associationContext);
    g_registryChangesLeft = -1;
    return outcomes;
}

// "/Unregister": the player's types go, the handlers stay.
void Unregister(long stopAfter = -1)
{
    FileTypeList current;
    DiscoverAssociatedTypes(current);
    g_registryChangesLeft = stopAfter;
    ApplyAssociations(current, {}, &associationContext);
    g_registryChangesLeft = -1;
}

// Everything a round may touch below HKEY_CLASSES_ROOT, and the player's own keys besides.
std::wstring ClassesState()
{
    std::wstring state;
    for (const wchar_t* type : kTypes) state += Snapshot(HKEY_CLASSES_ROOT, std::wstring(L".") + type) + Snapshot(HKEY_CLASSES_ROOT, ProgId(type));
    return state + Snapshot(HKEY_CLASSES_ROOT, L"AudioCD") + Snapshot(HKEY_CLASSES_ROOT, L"Folder\\shell");
}
std::wstring PlayersState()
{
    std::wstring state = ClassesState();
    for (REGSAM view : kBothViews) state += Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
    return state;
}

// A value that some other program left: every registry type, odd sizes, no terminator, empty.
RegValue RandomValue(std::mt19937& random, const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    switch (random() % 6) {
    case 0: return {HKEY_CLASSES_ROOT, key, name, REG_SZ, Sz(text)};
    case 1: return {HKEY_CLASSES_ROOT, key, name, REG_EXPAND_SZ, Sz(L"%ProgramFiles%\\" + text)};
    case 2: return {HKEY_CLASSES_ROOT, key, name, REG_DWORD, {7, 0, 0, static_cast<BYTE>(random())}};
    case 3: return {HKEY_CLASSES_ROOT, key, name, REG_BINARY, {static_cast<BYTE>(random()), 0, 0xbd}};
    case 4: return {HKEY_CLASSES_ROOT, key, name, REG_SZ, {'O', 0, 't'}};  // odd size, no terminator
    default: return {HKEY_CLASSES_ROOT, key, name, REG_SZ, Sz(L"")};
    }
}

// What an older player's class holds, damaged now and then: an icon path
// or a description far beyond any buffer, a default value of another type.
RegValue OlderClassValue(std::mt19937& random, const std::wstring& progId)
{
    switch (random() % 5) {
    case 0: return {HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", L"", REG_SZ, Sz(L"C:\\" + std::wstring(3000, L'i') + L",7")};
    case 1: return {HKEY_CLASSES_ROOT, progId, L"", REG_SZ, Sz(std::wstring(5000, L'd'))};
    case 2: return {HKEY_CLASSES_ROOT, progId, L"", REG_DWORD, {7, 0, 7, 0}};
    default: return {HKEY_CLASSES_ROOT, progId, L"", REG_SZ, Sz(L"Older sound")};
    }
}

struct Round {
    std::vector<RegValue> before;     // the machine before the player
    std::vector<RegValue> givenBack;  // what an older player's backups give back
    std::set<std::wstring> takenOver; // extension keys (and the audio-CD command) that older player held
    std::set<std::wstring> untouched; // keys of the player's that no run reaches
    FileTypeList wanted;
};

Round MakeRound(std::mt19937& random)
{
    Round round;
    for (const wchar_t* type : kTypes) {
        const std::wstring key = std::wstring(L".") + type;
        switch (random() % 4) {
        case 0: break;  // no extension key at all
        case 1:
            round.before.push_back(RandomValue(random, key, L"", L"Other." + key));
            if (random() % 2) round.before.push_back({HKEY_CLASSES_ROOT, key, L"Content Type", REG_SZ, Sz(L"audio/x")});
            if (random() % 2) round.before.push_back({HKEY_CLASSES_ROOT, key + L"\\OpenWithProgids", L"Other", REG_SZ, Sz(L"")});
            break;
        case 2: {  // no owner, and something else that keeps the key: a value, one of no data, a long name
            const RegValue keepers[] = {{HKEY_CLASSES_ROOT, key, L"PerceivedType", REG_SZ, Sz(L"audio")},
                                        {HKEY_CLASSES_ROOT, key, L"", REG_NONE, {}},
                                        {HKEY_CLASSES_ROOT, key, std::wstring(300, L'n'), REG_SZ, Sz(L"x")}};
            round.before.push_back(keepers[random() % 3]);
            break;
        }
        default: {  // an older player registered the type and took its key over, keeping the owner in a backup
            const std::wstring progId = ProgId(type);
            round.takenOver.insert(key);
            for (REGSAM view : kBothViews)
                round.before.push_back({HKEY_LOCAL_MACHINE, kCapability, key, REG_SZ, Sz(progId), view});
            round.before.push_back(OlderClassValue(random, progId));
            if (random() % 3 == 0)  // values of the older player's own; a class written again keeps none
                for (const wchar_t* name : {L"EditFlags", L"FriendlyTypeName"})
                    round.before.push_back({HKEY_CLASSES_ROOT, progId, name, REG_SZ, Sz(L"older")});
            round.before.push_back({HKEY_CLASSES_ROOT, progId + L"\\shell\\open\\command", L"", REG_SZ, Sz(L"old.exe \"%1\"")});
            // Its backup names another owner, or (in other letter case) its own
            // class: then there was no owner, and the key goes.
            std::wstring own = progId;
            CharUpperBuffW(&own[0], static_cast<DWORD>(own.size()));
            RegValue backup = random() % 5 ? RandomValue(random, key, L"Before Korvane", L"Older." + key)
                                           : RegValue{HKEY_CLASSES_ROOT, key, L"Before Korvane", REG_SZ, Sz(own)};
            round.before.push_back(backup);
            backup.name = L"";  // the owner it kept, as it was
            // The key holds the player's class still, or nothing: the backup
            // comes back. A program that took the key since keeps it.
            const RegValue newer{HKEY_CLASSES_ROOT, key, L"", REG_SZ, Sz(L"Newer." + key)};
            switch (random() % 3) {
            case 0: round.before.push_back({HKEY_CLASSES_ROOT, key, L"", REG_SZ, Sz(progId)}); [[fallthrough]];
            case 1:  // unless the backup says no owner was there: its own class, or the empty text
                if (backup.data != Sz(own) && !(backup.type == REG_SZ && backup.data == Sz(L""))) round.givenBack.push_back(backup);
                break;
            default: round.before.push_back(newer), round.givenBack.push_back(newer); break;
            }
            break;
        }
        }
        const bool wanted = random() % 3 != 0;
        // Ticked, with an icon path no buffer holds: no icon of its own.
        const bool overlong = wanted && random() % 8 == 0;
        // A class an earlier run left without its capability value, with a verb that is switched off now and a DDE
        // conversation: written again, it keeps none of it.
        if (!round.takenOver.count(key) && random() % 4 == 0) {
            for (const std::wstring stale : {L"\\shell\\Stale\\command", L"\\shell\\Open\\ddeexec"}) {
                round.before.push_back({HKEY_CLASSES_ROOT, ProgId(type) + stale, L"", REG_SZ, Sz(L"old.exe")});
                if (!wanted) round.untouched.insert(ProgId(type) + stale);
            }
        }
        if (wanted) {
            // Some with a long-named .ico file, some with one on a share, a network drive or a link to the share, which
            // is never written (nor opened).
            const int drawn = static_cast<int>(random() % 8);
            const bool ico = drawn == 0;
            const std::wstring icon = overlong    ? L"C:\\" + std::wstring(1100, L'i') + L".dll"
                                      : ico       ? BesideTests(kLongNamedIcon)
                                      : drawn == 1 ? kNetworkIcon
                                      : drawn == 2 ? kNetworkDriveIcon
                                      : drawn == 3 ? kLinkedIcon
                                                  : std::wstring(resourceModulePath);
            round.wanted.emplace_back(type, std::wstring(L"Sound ") + type, icon,
                                      ico ? 0 : -101 - static_cast<int>(random() % 10), FT_ASSOCIATED);
        }
    }
    const RegValue olderBackup{HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane", REG_SZ, Sz(L"older.exe \"%L\"")};
    const std::vector<BYTE> olderPlayers = Sz(L"\"C:\\Old\\Tovrix.exe\" \"/open\" \"%L\"");
    switch (random() % 8) {
    case 5:  // an older player's own leftovers: its command kept as its backup (no earlier owner), its
    case 6:  // command, REG_EXPAND_SZ or not (the player's all the same), each alone or both
    case 7: {
        const DWORD type = random() % 2 ? REG_SZ : REG_EXPAND_SZ;
        if (random() % 3) round.before.push_back({HKEY_CLASSES_ROOT, kAudioCommand, L"", type, olderPlayers});
        if (random() % 3) round.before.push_back({HKEY_CLASSES_ROOT, kAudioCommand, L"Before Korvane", REG_SZ, olderPlayers});
        round.takenOver.insert(kAudioCommand);
        break;
    }
    case 0: break;
    case 3:  // an older player's backup, and another program's command since: that one stays
        round.before.push_back(olderBackup);
        round.before.push_back({HKEY_CLASSES_ROOT, kAudioCommand, L"", REG_EXPAND_SZ, Sz(L"newer.exe \"%L\"")});
        break;
    case 4:  // an older player's backup and no command: the backup's comes back
        round.before.push_back(olderBackup);
        round.givenBack.push_back({HKEY_CLASSES_ROOT, kAudioCommand, L"", REG_SZ, olderBackup.data});
        break;
    case 1: {
        // An empty text is how a backup says "no command was there", so an
        // empty command of another program would come back as none.
        RegValue other = RandomValue(random, kAudioCommand, L"", L"Other\\cd.exe \"%L\"");
        if (other.type == REG_SZ && other.data.size() == 2) other.data = Sz(L"cd.exe");
        round.before.push_back(other);
        break;
    }
    default: round.before.push_back({HKEY_CLASSES_ROOT, kAudioCommand, L"Other", REG_SZ, Sz(L"kept")}); break;
    }
    if (random() % 2) round.before.push_back({HKEY_CLASSES_ROOT, L"Folder\\shell\\KvOtherVerb\\command", L"", REG_SZ, Sz(L"x.exe")});
    // The name of a change an earlier run left unfinished: damaged, it names nothing; a handler it names is not the
    // player's here. Nothing of another program's is touched for it.
    const wchar_t* const unfinished[] = {L"Xkvp1", L"AudioCD", L"Folder", L".", L"Xkvp4"};
    if (random() % 4 == 0)
        round.before.push_back({HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished", REG_SZ,
                                Sz(unfinished[random() % 5])});
    // A value of the player's record that stands for no registration (its class gone; a type Windows runs, which the
    // player never keeps) goes with the first run, as the rest of the record does with the last.
    if (random() % 3 == 0) {
        const std::wstring strays[] = {L".kvstray", L".exe", std::wstring(L".") + kTypes[0]};
        const std::wstring& stray = strays[random() % 3];
        round.before.push_back({HKEY_LOCAL_MACHINE, kCapability, stray, REG_SZ, Sz(L"Korvane mp3 File"), kBothViews[random() % 2]});
        if (stray == strays[2])  // its class, left alone without it, goes with it
            for (const std::wstring stale : {L"\\shell\\Stale\\command", L"\\shell\\Open\\ddeexec"}) round.untouched.erase(ProgId(kTypes[0]) + stale);
    }
    if (random() % 2) round.wanted.push_back(kAudioCd);
    if (random() % 2) round.wanted.push_back(kFolder);
    if (random() % 4 == 0) round.wanted.push_back(kExecutable);
    AssociationContext& c = associationContext;
    for (auto switched : kVerbSwitches) c.*switched.checked = random() % 2;
    c.execMethod = static_cast<int>(random() % 6);
    c.openCommand = OpenCommandForExecMethod(c.execMethod);
    return round;
}

// What a registration must have written for the wanted types.
void ExpectRegistered(const Round& round)
{
    const AssociationContext& c = associationContext;
    std::vector<std::wstring> verbs{L"Open"};
    for (auto switched : kVerbSwitches)
        if (c.*switched.checked) verbs.push_back(switched.verb);
    std::sort(verbs.begin(), verbs.end());
    const wchar_t* openTails[] = {L"\"/dopen\" \"%1\" \"/play\"", L"\"/add\" \"%1\"", L"\"/addopen\" \"%1\" \"/play\"",
                                  L"\"/open\" \"%1\" \"/play\"", L"\"/addopenparent\" \"%1\" \"/play\"",
                                  L"\"/addopen\" \"%1\" \"/play\""};
    for (const FileTypeEntry& e : round.wanted) {
        if (e.IsPseudoType()) {
            const bool cd = e.flags & FT_AUDIOCD;
            EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, cd ? kAudioCommand : L"Folder\\shell\\KorvaneOpen\\command", nullptr),
                      kClient + (cd ? L"\"/open\" \"%L\" \"/play\"" : L"\"/open\" \"%1\" \"/play\""));
            continue;
        }
        const std::wstring progId = ProgId(e.extension);
        if (e.extension == kExecutable.extension) {
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId)) << progId;
            EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, kCapability, (L"." + e.extension).c_str()), kMissing);
            continue;
        }
        for (REGSAM view : kBothViews) {
            DWORD type = REG_NONE;
            std::vector<BYTE> bytes;
            GetRaw(HKEY_LOCAL_MACHINE, kCapability, (L"." + e.extension).c_str(), type, bytes, view);
            EXPECT_EQ(bytes, Sz(progId)) << "REG_SZ " << type << ", its terminator and nothing more";
        }
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId, nullptr), e.description);
        const std::wstring written = Snapshot(HKEY_CLASSES_ROOT, progId);  // every value of it a default value
        for (size_t at = written.find(L"\n  \""); at != std::wstring::npos; at = written.find(L"\n  \"", at + 1))
            EXPECT_EQ(written.compare(at + 4, 2, L"\" "), 0) << written;
        EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, progId + L"\\shell"), verbs);
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\shell\\Open\\Command", nullptr), kClient + openTails[c.execMethod]);
        for (const std::wstring& verb : verbs) {
            EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\shell\\" + verb, nullptr), kVerbNames.at(verb));
            EXPECT_EQ(SubKeys(HKEY_CLASSES_ROOT, progId + L"\\shell\\" + verb), std::vector<std::wstring>{L"Command"});
        }
        const bool elsewhere = e.iconPath != resourceModulePath && e.iconPath != BesideTests(kLongNamedIcon);  // the type's own icon then
        wchar_t shortIcon[kPathChars] = L"";
        GetShortPathNameW(elsewhere ? resourceModulePath : e.iconPath.c_str(), shortIcon, kPathChars);
        EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", nullptr),
                  shortIcon + (L"," + std::to_wstring(elsewhere ? -101 : e.iconId)));
        EXPECT_NE(GetString(HKEY_CLASSES_ROOT, L"." + e.extension, nullptr), progId) << "the extension key is never claimed";
    }
}

// The keys a round seeds, deleted again.
void ClearRound()
{
    for (const std::wstring type : kTypes) {
        DeleteKeyTree(HKEY_CLASSES_ROOT, (L"." + type).c_str());
        DeleteKeyTree(HKEY_CLASSES_ROOT, ProgId(type).c_str());
        DeleteValueAllViews(HKEY_LOCAL_MACHINE, kCapability.c_str(), (L"." + type).c_str());
    }
    // Windows has the play verb of audio CDs from the start; the player only ever owns its command.
    DeleteKeyTree(HKEY_CLASSES_ROOT, kAudioCommand.c_str());
    SetStringValue(HKEY_CLASSES_ROOT, L"AudioCD\\shell\\play", nullptr, nullptr);
    for (const wchar_t* verb : {L"Folder\\shell\\KvOtherVerb", L"Folder\\shell\\KorvaneOpen"}) DeleteKeyTree(HKEY_CLASSES_ROOT, verb);
    for (REGSAM view : kBothViews) DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen", view);
}

// The marks by which a run finds the player's registrations (a handler's: its command).
std::wstring Marks()
{
    std::wstring marks;
    for (const std::wstring type : kTypes) {
        for (REGSAM view : kBothViews) marks += GetString(HKEY_LOCAL_MACHINE, kCapability, (L"." + type).c_str(), view) == kMissing ? L"-" : L"v";
        marks += KeyExists(HKEY_CLASSES_ROOT, ProgId(type)) ? L"c " : L"- ";
    }
    return marks + GetString(HKEY_CLASSES_ROOT, kAudioCommand, nullptr) + GetString(HKEY_CLASSES_ROOT, L"Folder\\shell\\KorvaneOpen\\command", nullptr);
}

// The report calls every type a whole run wrote registered, and no run stopped; its two forms agree.
void ExpectReported(const Round& round)
{
    const AssociationReport report = ReadAssociationReport(L"");
    EXPECT_TRUE(report.runFindings.empty());
    ExpectBothFormsTellTheSame(report);
    for (const FileTypeEntry& e : round.wanted) {
        const auto type = std::find_if(report.types.begin(), report.types.end(), [&](const TypeState& t) { return t.extension == e.extension; });
        const bool written = !e.IsPseudoType() && e.extension != kExecutable.extension;
        if (written) { EXPECT_TRUE(type != report.types.end() && type->status == TypeStatus::Registered) << e.extension; }
    }
}

TEST_F(Applier, RandomRoundTripsGiveEveryPreviousOwnerBack)
{
    wchar_t text[32] = L"";
    const unsigned base = GetEnvironmentVariableW(L"KORVANE_SEED", text, 32) ? wcstoul(text, nullptr, 10) : 20261206u;
    const int rounds = GetEnvironmentVariableW(L"KORVANE_ROUNDS", text, 32) ? _wtoi(text) : 100;
    ShellNotices shell;
    // The audio-CD handler alone stopped after each change: from no key, an empty command (which comes back as none), a
    // command of one byte.
    for (const std::vector<BYTE>& command : {std::vector<BYTE>{}, Sz(L""), std::vector<BYTE>{'O'}}) {
        const bool empty = command == Sz(L"");
        const auto from = [&] { ClearRound(), command.empty() ? void() : Seed({{HKEY_CLASSES_ROOT, kAudioCommand, L"", REG_SZ, command}}); };
        from();
        const std::wstring cleared = ClassesState(), whole = (Register({kAudioCd}), ClassesState());
        for (long at = 0; at < 8; ++at) {  // run again, it ends as a whole run; unticked, the command before is back
            from(), Register({kAudioCd}, at), Register({kAudioCd});
            const std::wstring again = ClassesState();
            from(), Register({kAudioCd}, at), Register({});
            EXPECT_EQ(again + (empty ? L"" : ClassesState()), whole + (empty ? L"" : cleared)) << "stopped after " << at << ", empty " << empty;
        }
    }
    for (int r = 0; r < rounds && !HasFailure(); ++r) {
        const unsigned seed = base + static_cast<unsigned>(r);
        SCOPED_TRACE("seed " + std::to_string(seed) + ": KORVANE_SEED=" + std::to_string(seed) + " KORVANE_ROUNDS=1 repeats it");
        std::mt19937 random(seed);
        const Round round = MakeRound(random);
        // The state to come back to: the machine as it was, except that the
        // keys an older player held go to the owners in their backups.
        std::vector<RegValue> expected;
        for (const RegValue& v : round.before)
            if (v.root == HKEY_CLASSES_ROOT && !round.takenOver.count(v.key) && v.name != L"Before Korvane" &&
                (v.key.rfind(L"Korvane ", 0) != 0 || round.untouched.count(v.key)))
                expected.push_back(v);
        expected.insert(expected.end(), round.givenBack.begin(), round.givenBack.end());
        ClearRound();
        Seed(expected);
        const std::wstring after = ClassesState();
        const auto startAgain = [&] { ClearRound(), Seed(round.before), WriteDefaultProgramsRecord(); };  // as it was; each run writes the record first, outside the changes a stop counts
        startAgain();
        const std::wstring startMarks = Marks();
        shell.Taken();
        g_registryChanges = 0;
        const std::vector<WriteOutcome> outcomes = Register(round.wanted);
        const unsigned long changes = g_registryChanges;
        EXPECT_EQ(shell.Taken(), 1) << "Explorer is told once";
        ExpectRegistered(round);
        for (size_t i = 0; i < outcomes.size(); ++i) {  // what could not be written is said, and nothing else
            const FileTypeEntry& e = round.wanted[i];
            EXPECT_EQ(outcomes[i].error, e.extension == kExecutable.extension ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS) << e.extension;
        }
        for (const FileTypeEntry& pseudo : {kAudioCd, kFolder}) {  // the client's name in the command marks it ours
            FileTypeEntry probe(pseudo.extension, L"", L"", 0, pseudo.flags & ~FT_ASSOCIATED);
            const bool wanted = std::any_of(round.wanted.begin(), round.wanted.end(),
                                            [&](const FileTypeEntry& e) { return e.flags == pseudo.flags; });
            EXPECT_EQ(IsTypeAssociated(probe), wanted);
            EXPECT_EQ(probe.flags, pseudo.flags & (wanted ? ~0u : ~FT_ASSOCIATED));
        }
        ExpectReported(round);
        const std::wstring registered = PlayersState();
        Register(round.wanted);
        EXPECT_EQ(PlayersState(), registered) << "a second run changes nothing";
        Unregister();
        const std::wstring unregistered = PlayersState();
        // Stopped at any moment of either run and run again, it ends where the whole run ended.
        const long at = static_cast<long>(random() % (changes + 1));
        SCOPED_TRACE("stopped after " + std::to_string(at) + " of " + std::to_string(changes) + " changes");
        startAgain();
        Register(round.wanted, at);
        // A stop that changed which registrations the player holds (a type's capability values and class, a handler's
        // command: the marks a run finds them by) names its changes. A registration written over itself keeps its marks.
        const std::wstring stopped = PlayersState();
        if (Marks() != startMarks && stopped != registered) {
            EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, L"Software\\Ostrafen\\Korvane Player", L"Unfinished")) << "a run stopped half way names its changes";
            EXPECT_FALSE(ReadAssociationReport(L"").Consistent()) << "and is never reported all consistent";
        }
        Register(round.wanted);
        EXPECT_EQ(PlayersState(), registered);
        Unregister(at / 2);
        Unregister();
        EXPECT_EQ(PlayersState(), unregistered);
        Register({});  // the audio-CD and folder boxes unticked
        EXPECT_EQ(ClassesState(), after);
        const std::wstring record = Snapshot(HKEY_LOCAL_MACHINE, kCapability);
        EXPECT_EQ(record.find(L"\n  "), std::wstring::npos) << "no capability value is left: " << record;
    }
}

} // namespace
