#pragma once

#include "sample/sampleanalysis.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korvo {

// `korvo --tempo FILE...`: one line per file, then the program ends; no window, no display needed.
// Gives the exit status (1 when a file could not be read, a wildcard matched nothing or the lines
// could not be written out, 2 when no file was named). The arguments are the bytes typed, UTF-8 on
// every system (see app/console.h for Windows).
int tempoCommand(const std::vector<std::string>& arguments, std::FILE* out = stdout, std::FILE* err = stderr);

// One file's line, without its line end, in tab-separated columns a script can split: the path as
// shown, the length in seconds, the estimate, the tempo, why, and the other readings offered
// ("87 (8拍), 58 (4拍)", empty when there are none). A file that gave no tempo has only the path
// and the reason.
std::string tempoLine(const std::string& shownPath, const sample::Analysis& analysis);

// The path with what would break a line or a column escaped, so that any file name stays one line
// of the same columns: tab, line feed and backslash as \t, \n and \\, any other control character
// (below 0x20, and DEL) and every byte that is not part of valid UTF-8 as \x and two lowercase hex
// digits. Valid UTF-8 stays as it is, so Japanese names stay readable.
std::string escapedPath(std::string_view bytes);

// The length of the well-formed UTF-8 sequence at the start of `bytes`, 0 when there is none there
// (a stray continuation byte, a lead byte of a sequence cut short, an overlong form, a surrogate or
// a code point above U+10FFFF).
std::size_t utf8Length(std::string_view bytes);

// The path as a line shows it: escaped on systems whose file names may hold any byte
// (tempocommand_posix.cpp), as given on Windows, whose backslashes are separators and whose
// arguments are UTF-8 already (tempocommand_windows.cpp).
std::string shownPath(const char* argument);

// The files an argument names. On Windows the shell hands wildcards to the program, and a console
// program expands them itself: `*` and `?` in the last part of the path are matched against that
// folder's entries, and the matches, sorted, keep the folder part as typed ("loops\*.wav" gives
// "loops\a.wav", "loops\b.wav"); an argument with no wildcard there is the one file, and a pattern
// that matches nothing gives no file (tempocommand_windows.cpp). Elsewhere the shell has expanded
// them already, and an argument is always the one file it names (tempocommand_posix.cpp).
std::vector<std::string> filesNamed(const char* argument);

// The names among a folder's entries that a wildcard pattern matches, the way Windows matches them:
// `*` any run of characters, dots included, `?` any one character, letters of either case alike;
// "*.*" (or "name.*") also takes a name without an extension. Sorted as a Windows folder lists them,
// by the names in upper case. Names and pattern are UTF-8; matching goes by characters, not bytes.
std::vector<std::string> matchingNames(std::string_view pattern, std::vector<std::string> names);

} // namespace korvo
