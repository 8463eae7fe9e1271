#pragma once

#include <string>
#include <string_view>

namespace quorvane::config {

// Small text rules shared by the readers of settings, lists and requests.

std::string_view TrimBlanks(std::string_view text);  // spaces and tabs at both ends
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view text, std::string_view prefix);  // letter case significant
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
std::string ToUpperAscii(std::string_view text);
bool HasLineBreak(std::string_view text);

// Text from a request made safe to log: control characters (C0, DEL, C1),
// characters that reorder what a reader sees (bidirectional overrides and
// isolates), bytes that are not UTF-8, and the backslash itself written as
// \xNN, byte by byte. So a request can never forge a line, drive a
// terminal, disguise a name, or pass an escape of its own for one of ours.
std::string EscapeControlCharacters(std::string_view text);

// The text as UTF-8 to show: each ill-formed sequence (the longest start of
// a well-formed one, else a single byte) becomes one U+FFFD, as browsers
// decode it. Everything else is kept, controls included.
std::string ValidUtf8(std::string_view text);

// The text as UTF-8 to show a person, where what cannot be read as itself
// is one U+FFFD each: an ill-formed sequence (as ValidUtf8 takes it), a
// control character (C0, DEL, C1) and a character that reorders what is
// shown (bidirectional marks, embeddings, overrides and isolates), so
// "a<U+202E>txt.exe" can never pass for "aexe.txt".
std::string ShowableText(std::string_view text);

// The text with control characters escaped, cut after `limit` bytes of the
// original with a mark saying so.
std::string LoggableText(std::string_view text, size_t limit);

// The value's leading decimal number: blanks skipped, an optional sign, digits
// and an optional fraction; 0 when the text does not begin with a number.
double LeadingNumber(std::string_view text);

// The two strengths of test applied to flag settings.
bool FlagEqualsOne(std::string_view value);
bool FlagNotZero(std::string_view value);

// A truth word holds when its first four characters are "True".
bool IsTruthWord(std::string_view value);

}  // namespace quorvane::config
