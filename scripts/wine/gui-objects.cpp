// gui-objects.exe NAME: prints "GDI WINDOWS" for the process of that image name (kelna.scr),
// run in the same Wine session; gui-objects.exe --self-check checks the GDI count on itself.
//
// Wine's GetGuiResources is a stub that answers 0, so the counts are taken as Wine keeps
// them: GDI objects are the used entries of the handle table that the process's PEB points
// at (GdiSharedHandleTable, one table per process under Wine, stock objects included), and
// USER objects are counted as the process's windows (top-level, child and message-only),
// the USER objects a saver makes and could leak. Built by scripts/soak.sh with mingw-w64.
#include <windows.h>
#include <winternl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// An entry of the table, as Wine's ntgdi.h lays it out; Type 0 is a free entry.
struct HandleEntry {
  UINT64 object;
  ULONG owner;
  USHORT unique;
  UCHAR type;
  UCHAR flags;
  UINT64 userPointer;
};
static_assert(sizeof(HandleEntry) == 24);
constexpr std::size_t kTableEntries = 0x10000;
constexpr std::size_t kPebGdiTableOffset = 0xF8;  // of the 64-bit PEB

long GdiObjects(HANDLE process) {
  PROCESS_BASIC_INFORMATION info{};
  ULONG size = 0;
  if (NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof info, &size) != 0) return -1;
  UINT64 table = 0;
  SIZE_T read = 0;
  const auto* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
  if (!ReadProcessMemory(process, peb + kPebGdiTableOffset, &table, sizeof table, &read) || table == 0) return -1;
  std::vector<HandleEntry> entries(kTableEntries);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                         entries.size() * sizeof(HandleEntry), &read))
    return -1;
  long used = 0;
  for (const HandleEntry& entry : entries) used += entry.type != 0;
  return used;
}

struct WindowCount {
  DWORD process;
  long windows = 0;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param) {
  auto& count = *reinterpret_cast<WindowCount*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  count.windows += owner == count.process;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
  CountChild(window, param);
  EnumChildWindows(window, CountChild, param);  // every descendant, not only the children
  return TRUE;
}

long Windows(DWORD process) {
  WindowCount count{process};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
  for (HWND window = nullptr; (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr));)
    CountTopLevel(window, reinterpret_cast<LPARAM>(&count));
  return count.windows;
}

DWORD ProcessNamed(const char* name) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
    if (_stricmp(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
  CloseHandle(snapshot);
  return found;
}

// The count must see objects come and go: 100 brushes made, then deleted.
int SelfCheck() {
  const long before = GdiObjects(GetCurrentProcess());
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 100; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  const long during = GdiObjects(GetCurrentProcess());
  for (HBRUSH brush : brushes) DeleteObject(brush);
  const long after = GdiObjects(GetCurrentProcess());
  std::printf("%ld %ld %ld\n", before, during, after);
  return before > 0 && during == before + 100 && after == before ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: gui-objects.exe NAME | --self-check\n", stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--self-check") == 0) return SelfCheck();
  const DWORD id = ProcessNamed(argv[1]);
  const HANDLE process = id ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id) : nullptr;
  if (!process) {
    std::fprintf(stderr, "gui-objects: no process %s\n", argv[1]);
    return 1;
  }
  std::printf("%ld %ld\n", GdiObjects(process), Windows(id));
  CloseHandle(process);
  return 0;
}
