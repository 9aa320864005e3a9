// The folders that the system or its users own, which no installation may
// take as its target or hold in its target: the installation empties its
// target first.
#pragma once

#include <string>
#include <vector>

// The folders that the system or its users own: the Windows and system
// folders, both program files folders and their common-files folders,
// ProgramData, the users' folder and every profile root (those in it and those
// the system lists), the user's Documents, Desktop, AppData roots, start menu
// and its Programs folder, their all-users counterparts, and the temp folder.
// Folders the system cannot name are left out.
std::vector<std::string> SystemOwnedFolders();
// Where IsSafeTargetFolder learns the owned folders: SystemOwnedFolders
// unless a test replaces it.
typedef std::vector<std::string> (*TOwnedFoldersQuery)();
extern TOwnedFoldersQuery OwnedFoldersQuery;
