// Preferences file: groups of key = value lines. Portable.
//
// As written: 8-bit text, CR LF after every line, "[Group]" lines, "Key = value"
// lines; groups in the order they first receive a key, a group without keys is
// not written, no comments, no blank lines.
//
// As read: an EF BB BF start means UTF-8 (converted to the Windows-1252 code
// page, '?' for what it lacks); CR LF, LF or CR line ends; blanks and tabs at a
// line's start skipped; empty lines and ";" lines ignored; "[" starts a group
// whose name runs to "]" or the line's end; any other line is a key up to the
// first "=" (trailing blanks/tabs removed) and a value after it (leading
// blanks/tabs removed). Group and key names compare without regard to ASCII case.
//
// Choices for hand-edited files:
// - a line without "=" and a line with an empty key name are ignored, and so
//   are key lines above the first group line;
// - blanks and tabs around a group name are removed; "[]" is the group "";
// - a key repeated within a group: the first one counts; a group that appears
//   twice is looked up in both, the earlier one first;
// - after selecting a group the file lacks, every lookup yields its default
//   (the previous group does not stay in force); nothing is found before the
//   first selectGroup;
// - only the first 4 MiB of a file are read.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace preffile {

struct Group {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries; // key, value as written
};

class PrefFile {
  public:
    // For writing: nothing touches the disk until close().
    void create(const std::string& path);
    // For reading: false when the file is missing or unreadable; every lookup
    // then yields its default.
    bool open(const std::string& path);

    void selectGroup(const std::string& group);

    // Writing (after create). Writing a key again in the same group replaces
    // its value. A line break inside a value is written as a blank, so a value
    // can never break the file's lines apart.
    void writeText(const std::string& key, const std::string& value);
    void writeInt(const std::string& key, int value);

    // Reading (after open). Text values lose leading and trailing blanks and
    // tabs. Integers are the value's leading decimal number (optional sign; 0
    // when there are no digits), held to the int range.
    std::string readText(const std::string& key, const std::string& fallback) const;
    // The value as writeText was given it: only the one blank after "=" that
    // the writer puts there is dropped, other blanks and tabs are kept. For
    // values whose blanks matter (a typed " " or " kg").
    std::string readTextExact(const std::string& key, const std::string& fallback) const;
    int readInt(const std::string& key, int fallback) const;

    // After create: writes the whole file to a temporary file beside it and
    // renames that over the old one, so a failed or interrupted save leaves the
    // old settings as they were. False when the file could not be written.
    // After open: forgets the contents. A PrefFile that is never closed writes
    // nothing.
    bool close();

  private:
    enum class State { Closed, Reading, Writing };
    const std::string* find(const std::string& key) const;

    State state_ = State::Closed;
    std::string path_;
    std::vector<Group> groups_;
    std::string selected_;
    bool anySelected_ = false;
};

// The file's bytes for a list of groups, as close() writes them.
std::string Serialise(const std::vector<Group>& groups);
// The groups of a file's bytes, as open() reads them.
std::vector<Group> Parse(const std::string& bytes);

} // namespace preffile
