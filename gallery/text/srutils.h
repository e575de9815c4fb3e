#pragma once
// Small text routines shared by the gallery and the upload window: case
// conversion of output names, replacing text, wildcard matching, integer
// conversion and counts with thousands separators. Text is bytes; positions
// count from 1 where a routine speaks of positions; case changes touch only
// the ASCII letters. The file routines are in gallery/text/srutilsFiles.h.

#include "platform/core/AsciiCase.h"
#include "platform/core/Trim.h"
#include "platform/strings/StringList.h"

#include <cstdint>
#include <functional>
#include <string>

// ---- Case and text ------------------------------------------------------

std::string TitleCaseName(const std::string& name);
std::string ToggleCase(const std::string& text);
bool HasDigit(const std::string& text);
std::string CollapseSpaces(const std::string& text);

// The "Change case" modes.
enum : int {
    ccDoNotChange = 0,
    ccLowerCase = 1,
    ccUpperCase = 2,
    ccTitleCase = 3,
    ccSentenceCase = 4,
    ccToggleCase = 5,
};
// Applies a case mode to an output name. Call it on the name relative to the
// destination folder, never on the folder itself. With applyExceptions set,
// mode 4 follows with ApplyExceptionWords(exceptionWords).
std::string ConvertCase(int mode, const std::string& text, bool applyExceptions = false, bool collapseSpaces = false,
                        const std::string& exceptionWords = std::string());
std::string ApplyExceptionWords(const std::string& text, const std::string& words);

// Replaces the pattern, left to right; with all set every occurrence in the
// original text. Inserted text is never searched again, so a replacement that
// contains the pattern cannot loop. An empty pattern replaces nothing.
// ignoreCase compares ASCII letters without regard to case.
std::string ReplaceText(const std::string& text, const std::string& pattern, const std::string& replacement,
                        bool ignoreCase, bool all);
// The same with the result as an out parameter, as the page code calls it.
void ReplaceText(const std::string& text, const std::string& pattern, const std::string& replacement,
                 std::string& result, bool ignoreCase, bool all);

// Case-sensitive; callers lower-case both sides. "*" alone matches everything
// (also an empty text); an empty text matches only "*" or an empty pattern;
// '?' is any one byte; '*' any run.
bool WildcardMatch(const std::string& text, const std::string& pattern);
// WildcardMatch on copies of both, each cut at 255 bytes.
bool MatchesMask(const std::string& name, const std::string& mask);

int BoolToInt(bool value);
// The standard integer conversion of record fields: optional leading blanks,
// a sign, decimal digits or "$"/"0x" hexadecimal, within 32 bits. Anything
// else (also an empty field) raises EConvertError "'<text>' is not a valid
// integer value".
int StrToInt(const std::string& text);
int StrToIntDef(const std::string& text, int defaultValue);
// Delphi's Round: halves go to the even neighbour.
std::int64_t DelphiRound(double value);

// A whole number with the locale's thousands separator ("#,0").
std::string FormatThousands(std::int64_t value);
// Kind 1: result := pattern with its first "%s" replaced by the number written
// with FormatThousands ("%%" gives "%"). Other kinds leave result unchanged.
void FormatCount(int kind, const std::string& pattern, std::int64_t number, std::string& result);
