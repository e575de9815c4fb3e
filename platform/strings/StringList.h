#pragma once
// A list of byte strings with the behaviour the settings, list boxes and text
// files rely on: optional case-insensitive sorting, duplicate handling,
// CR LF text, comma text and name=value lines.

#include "platform/core/AsciiCase.h"
#include "platform/core/Exception.h"

#include <string>
#include <vector>

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// Sorted lists and IndexOf compare with CompareText and SameText
// (platform/core/AsciiCase.h): ASCII letters without regard to case.

class TStringList {
public:
    TStringList() = default;

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    // Index errors raise EStringListError "List index out of bounds (<n>)".
    const std::string& operator[](int index) const;
    const std::string& Strings(int index) const { return (*this)[index]; }
    // Replacing an item of a sorted list raises "Operation not allowed on sorted list".
    void Put(int index, const std::string& text);

    // Adds at the end, or at the sorted place when Sorted; returns the index.
    // Sorted with dupIgnore: an existing equal item's index comes back and
    // nothing is added; dupError raises "String list does not allow duplicates".
    int Add(const std::string& text);
    void Append(const std::string& text) { Add(text); }
    void AddStrings(const TStringList& other);
    // Inserting into a sorted list raises "Operation not allowed on sorted list".
    void Insert(int index, const std::string& text);
    void Delete(int index);
    void Clear() { items_.clear(); }
    void Exchange(int a, int b);
    void Move(int from, int to);

    // First index equal without regard to ASCII case, -1 when none.
    int IndexOf(const std::string& text) const;
    // Sorted lists only: binary search; true when found, index is the place.
    bool Find(const std::string& text, int& index) const;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);  // sorting a list sorts it at once
    void Sort();
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }

    // Every item followed by CR LF.
    std::string Text() const;
    // Splits at CR LF, LF or a lone CR; a last line without end counts; an
    // empty text gives an empty list.
    void SetText(const std::string& text);

    // Items separated by commas; items holding a space, comma, quote or
    // control character are double-quoted with quotes doubled.
    std::string CommaText() const;
    void SetCommaText(const std::string& text);

    // "name=value" lines.
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    int IndexOfName(const std::string& name) const;
    std::string Values(const std::string& name) const;
    // Setting an empty value removes the line, as the framework's lists do.
    void SetValue(const std::string& name, const std::string& value);

    // Raise the stream errors of platform/streams when the file cannot be
    // opened or created. Reading accepts CR LF, LF and CR; writing uses CR LF.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

    const std::vector<std::string>& Items() const { return items_; }
    std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
    std::vector<std::string>::const_iterator end() const { return items_.end(); }

private:
    void checkIndex(int index) const;

    std::vector<std::string> items_;
    bool sorted_ = false;
    TDuplicates duplicates_ = TDuplicates::dupIgnore;
};
