// Command tails of the player's shell verbs. The quotation marks belong to
// the tails; "%1" is filled in by the shell with the file's path.
#ifndef KORVANE_ASSOCIATE_VERBS_H
#define KORVANE_ASSOCIATE_VERBS_H

inline constexpr wchar_t kTailDirectOpen[] = L"\"/dopen\" \"%1\" \"/play\"";
inline constexpr wchar_t kTailAdd[] = L"\"/add\" \"%1\"";
inline constexpr wchar_t kTailAddOpen[] = L"\"/addopen\" \"%1\" \"/play\"";
inline constexpr wchar_t kTailOpen[] = L"\"/open\" \"%1\" \"/play\"";
inline constexpr wchar_t kTailAddOpenParent[] = L"\"/addopenparent\" \"%1\" \"/play\"";

// The Open verb's tail for an execution method; 2 and every unknown value
// give "/addopen".
const wchar_t* OpenCommandForExecMethod(int execMethod);

#endif
