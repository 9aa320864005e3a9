#include "tests/support/ImportHook.h"

#include <windows.h>

#include <cstring>

namespace {

// The import table entry of library!function in the program's own image;
// null when the program does not import it by name.
void **FindEntry(const char *library, const char *function)
{
    BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleW(nullptr));
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return nullptr;
    for (auto *import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        if (lstrcmpiA(reinterpret_cast<const char *>(base + import->Name), library) != 0 ||
            import->OriginalFirstThunk == 0)
            continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->OriginalFirstThunk);
        auto *entries = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&entries->u1.Function);
        }
    }
    return nullptr;
}

// Writes the entry through a page made writable for the moment.
bool Put(void **entry, void *value)
{
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection))
        return false;
    *entry = value;
    VirtualProtect(entry, sizeof *entry, protection, &protection);
    return true;
}

} // namespace

TImportHook::TImportHook(const char *library, const char *function, void *replacement)
{
    void **entry = FindEntry(library, function);
    if (entry == nullptr)
        return;
    void *original = *entry;
    if (!Put(entry, replacement))
        return;
    entry_ = entry;
    original_ = original;
}

TImportHook::~TImportHook()
{
    if (entry_ != nullptr)
        Put(entry_, original_);
}
