// Links for the tests that must show that nothing behind a link is touched:
// junctions and symbolic links made the system's way where the system can,
// and a host symbolic link as their stand-in under Wine, which makes neither
// through the system calls but shows a host link as a reparse point.
//
// Paths are ANSI Windows paths.
#pragma once

#include <string>
#include <vector>

namespace TestLinks {

enum class TLinkKind { Junction, SymbolicLink };

// Makes link a link of the kind to the existing folder or file target. False
// when neither the system's way nor a host link gives a reparse point.
bool MakeLink(const std::string &link, const std::string &target, TLinkKind kind);
// Under Wine only: makes link a host symbolic link to the host path target
// (a device such as /dev/full, for example). False elsewhere.
bool MakeHostLink(const std::string &link, const std::string &hostTarget);
// Removes a link that a test made, should the code under test have left it.
void RemoveLink(const std::string &link);

// The name of the kind, for test messages.
const char *KindName(TLinkKind kind);

} // namespace TestLinks
