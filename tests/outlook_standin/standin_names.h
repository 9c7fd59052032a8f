#pragma once

// What the stand-in for Outlook's automation server and the tests that register it
// agree on.

namespace tessaly::standin {

inline constexpr wchar_t kDllName[] = L"outlook-standin.dll";
// Names the folder store file (the format of outlook/folder_store.h) it serves;
// read at each GetNamespace, as Outlook logs on there.
inline constexpr char kStoreVariable[] = "TESSALY_STANDIN_STORE";
inline constexpr wchar_t kClassId[] = L"{B9CD22CD-BCBA-481B-9693-8D34A329FA91}";

}  // namespace tessaly::standin
