#pragma once
#include <functional>
#include <string>
#include <vector>

// Breaks `text` into at most `maxLines` lines no wider than `width`, as
// `measure` judges widths: at spaces where it can, inside a word where a
// word alone is too wide. What does not fit in the last line is cut, and
// the cut marked with "...".
std::vector<std::string> WrapText(const std::string& text, int width, size_t maxLines,
                                  const std::function<int(const std::string&)>& measure);
