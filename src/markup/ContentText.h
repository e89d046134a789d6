// The line grammar of the content text and the scanners built on it: pure functions over
// UTF-8 text, shared by the module's page list, the generator's parser and the highlighter.
// This is the one reader of that grammar; nothing else cuts lines, headers or directives.
//
// Lines end at CR LF, a lone CR or a lone LF. "Trimmed" removes every byte below 0x21 at both
// ends (in UTF-8 these are exactly the characters below U+0021).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pw::content {

enum class TLineKind {
  Comment,    // ";"
  Header,     // "[" opens a section
  Escaped,    // "\" the rest of the line is body text
  Directive,  // "$" name value
  Body,       // anything else, also an empty line
};

// The kind of a line, decided by its first byte (the line is not trimmed here).
TLineKind ClassifyLine(std::string_view line);

// The next line at pos, without its break; pos moves past the break. False at the end of the
// text: a text ending in a line break yields no empty line after it (the generator's reading).
bool NextLine(std::string_view text, size_t& pos, std::string_view& line);

// The text split into lines without their breaks. A text ending in a line break has one more,
// empty, line; an empty text is one empty line (the editor's counting).
std::vector<std::string_view> SplitLines(std::string_view text);

// The section name of a header line (first byte "["): the text up to the first "]", or, when
// the line holds none, the rest of the line trimmed.
std::string_view HeaderName(std::string_view line);

// True for the bytes a directive name may hold: ASCII letters and digits, "_", "-", "." and
// every byte of a multi-byte UTF-8 character, so that a name in any script reads whole, as the
// placeholders that name it do.
bool IsDirectiveNameByte(unsigned char c);

// A directive line (first byte "$") cut into name and value. The name is the run of directive
// name bytes after "$"; when it is empty or not followed by a space, the whole rest of the
// line after "$" is the name and the value is empty.
struct TDirective {
  std::string_view Name;
  std::string_view Value;
};
TDirective ParseDirective(std::string_view line);

// True when the trimmed line is shown in the page list as a section: it starts with "[",
// ends with "]" and is longer than two bytes.
bool IsListedHeader(std::string_view trimmedLine);

// True for a "$uses " line (any case), which names script units and sets no variable.
bool IsUsesLine(std::string_view line);

// The unit names of a $uses value: entries separated by commas, each optionally quoted with
// double or single quotes (a quoted entry may hold spaces and commas); spaces around entries
// are skipped and empty entries dropped.
std::vector<std::string> ParseUses(std::string_view value);

// The script lines that stand for a $uses value: "#include " + unit + LF for every unit.
std::string UsesIncludes(std::string_view value);
// The script lines of every $uses line of a content text (trimmed as lines are), in order.
std::string UsesIncludesOfText(std::string_view text);

// The page list's icons, by the numbers of the main window's image list.
enum TPageIcon { piFragment = 0, piFile = 1, piProject = 2 };

// One entry of the page list.
struct TPageEntry {
  std::string Caption;
  int Line = 0;               // 1-based line of the section header; 0 for the project entry
  TPageIcon Icon = piFragment;  // piFile when the name holds a ".", piProject for the first entry

  bool operator==(const TPageEntry&) const = default;
};

struct TPageScan {
  std::vector<TPageEntry> Entries;  // the project entry first
  std::string ProjectTitle;         // from a $title line before the first listed section
  bool HasProjectTitle = false;
  std::string UsedUnits;            // trimmed value of the last "$uses " line
};

// The page list of a text, the first entry captioned projectCaption.
TPageScan ScanPages(std::string_view text, std::string_view projectCaption);

// The name of the page the caret line (0-based) stands in: scanning upward from it, the first
// trimmed line that starts with "[" and ends with "]"; its name when that holds ".", else "".
std::string CurrentPageName(std::string_view text, int caretLine);

// The 0-based line after the section whose listed header is at headerLine: the next listed
// header, or the number of lines when there is none.
int SectionEndLine(const std::vector<std::string_view>& lines, int headerLine);

}  // namespace pw::content
