#pragma once
#include <string>

// The path a Windows program under Wine uses for `path`: an absolute Unix
// path ("/work/x/y") becomes one on Wine's drive for the Unix root
// ("Z:\work\x\y"); anything else (a Windows path, a relative path, an empty
// one) comes back as it is. Plain text work, so it builds everywhere; CMake
// hands the test programs target paths in Unix form, and the Windows build
// turns them with this.
std::string WinePath(const std::string& path);
