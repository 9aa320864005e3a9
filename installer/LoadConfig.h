// The configuration loader's own pieces (TInstParams::Load is in
// LoadConfig.cpp): typed readers of configuration keys, the shell
// special-folder lookup, the resource stream and the shortcut records.
//
// Configuration readers look a key up by name in the reader's current section
// (the first item of that name counts). The required forms raise the reader's
// error naming the item; the Def/Opt forms answer with the default (empty,
// false) when the key is missing or does not convert.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/WinHandle.h"
#include "foundation/class_no_copy.h"
#include "foundation/var_a.h"
#include "installer/InstParams.h"
#include "xini/VxXIniReader.h"

std::string CfgReadString(TVxXIniReader &reader, const char *key);
std::string CfgReadStringDef(TVxXIniReader &reader, const char *key, const std::string &defaultValue);
std::string CfgReadStringOpt(TVxXIniReader &reader, const char *key);
int32_t CfgReadInt(TVxXIniReader &reader, const char *key);
uint32_t CfgReadUInt(TVxXIniReader &reader, const char *key);
bool CfgReadBool(TVxXIniReader &reader, const char *key);
bool CfgReadBoolDef(TVxXIniReader &reader, const char *key, bool defaultValue);
bool CfgReadBoolOpt(TVxXIniReader &reader, const char *key);

// The shell calls behind TSpecialFolderGetter.
struct TShellFolderCalls {
    // SHGetSpecialFolderPathA; null when the shell does not export it.
    BOOL(WINAPI *getFolderPath)(HWND, LPSTR, int, BOOL);
    HRESULT(WINAPI *getFolderLocation)(HWND, int, LPITEMIDLIST *);
    BOOL(WINAPI *getPathFromIdList)(LPCITEMIDLIST, LPSTR);
    // Frees an item list that getFolderLocation returned.
    void(WINAPI *freeIdList)(LPVOID);
};

// Looks up Windows special folders (CSIDL numbers). Keeps the shell library
// loaded for its lifetime. A folder the shell cannot name raises
// "@GetSpecialFolderPath error", unless the getter is tolerant: it then
// answers with the caller's default.
class TSpecialFolderGetter : Mirelta::class_no_copy {
public:
    explicit TSpecialFolderGetter(bool tolerant);
    // With other shell calls (getFolderPath may be null).
    TSpecialFolderGetter(bool tolerant, const TShellFolderCalls &calls);
    ~TSpecialFolderGetter();

    std::string GetSpecialFolderPath(int folder, const std::string &defaultPath);

private:
    bool tolerant_;
    Mirelta::TLibraryHandle shell_;
    TShellFolderCalls calls_;
    std::vector<char> buffer_;
};

// A read-only memory stream over a resource of the program's own module, or an
// empty holder when the resource is missing or cannot be locked. The bytes
// belong to the module and stay valid for the program's life.
VTVxStream LoadResourceStream(const char *name, const char *type);
// The bytes of an RCDATA resource of the program's own module; empty when it
// is missing or cannot be read.
std::string LoadResourceBytes(const char *name);

// Fills link from the reader's current section; every field is required.
void ReadLinkData(TVxXIniReader &reader, TLinkData &link);
// Appends one record per "link" section of the reader's current section.
void ReadLinks(TVxXIniReader &reader, std::vector<TLinkData> &links);
