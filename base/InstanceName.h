#pragma once
#include <string>
#include <string_view>

// The name that stands for one settings file among the running widgets:
// two starts that would share the file get the same name, a copy with its
// own file gets another. Windows' paths ignore case and take either slash,
// so the name does too. Always "Quillbrae-" and 16 hexadecimal digits, well
// within the length of a kernel object's name, however long the path.
std::string InstanceName(std::string_view settingsPath);
