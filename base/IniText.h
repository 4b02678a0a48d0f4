#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A settings file's text ("[Section]" lines and "key=value" lines), read the
// way the Windows profile functions read it, and changed one key or one
// section at a time while every other line stays byte for byte as it was.
//
// Reading rules, as GetPrivateProfileString has them: section and key names
// match in any ASCII case; blanks around names and values do not count; a
// value wholly in double or single quotes loses them; the first section of a
// name and the first key of a name in it are the ones that count; lines
// before the first section belong to no section; a line starting with ';'
// is a comment. Lines end with LF or CR LF; a UTF-8 byte order mark at the
// start is skipped and kept.
class IniText {
public:
    IniText() = default;
    explicit IniText(std::string_view bytes);

    // The value of `key` in `section`; none when either is missing or the
    // line has no "=".
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // The section's entries as GetPrivateProfileSection hands them over:
    // "name=value" (or a bare "name"), blanks trimmed, comments and empty
    // lines left out. None when there is no such section.
    std::optional<std::vector<std::string>> Section(std::string_view section) const;

    // Sets the first `key` of the first `section` to `value`, keeping the
    // key's spelling; adds the key at the end of the section, or the section
    // at the end of the file, when missing. A value that reading would change
    // (blanks at its ends, quotes around it) is written in quotes. `value`
    // must hold no line break.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Puts `lines` in place of the section's entries (its comments go too);
    // adds the section when missing.
    void SetSection(std::string_view section, const std::vector<std::string>& lines);

    // The whole file as it is now.
    std::string Bytes() const;

private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\r\n", "\n" or "" (the last line)
    };
    // The line index of the first header of `section`, if any.
    std::optional<size_t> FindSection(std::string_view section) const;
    // One past the section's last line (the next header, or the end).
    size_t SectionEnd(size_t header) const;
    // One past the section's last line that is not empty: where new entries go.
    size_t InsertionPoint(size_t header) const;
    size_t AppendSection(std::string_view section);
    std::string NewLineEnd() const;

    std::string byteOrderMark;
    std::vector<Line> lines;
};

// The whole number a value starts with, as strtoll reads it (blanks, an
// optional sign, digits; anything after them ignored), pulled to
// +/-IniIntegerLimit when larger; none when there are no digits.
inline constexpr long long IniIntegerLimit = 1LL << 62;
std::optional<long long> IniInteger(std::string_view value);
