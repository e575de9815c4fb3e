#include "platform/strings/StringList.h"

#include "platform/streams/Streams.h"

#include <algorithm>

void TStringList::checkIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::operator[](int index) const
{
    checkIndex(index);
    return items_[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, const std::string& text)
{
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    checkIndex(index);
    items_[static_cast<std::size_t>(index)] = text;
}

int TStringList::Add(const std::string& text)
{
    if (!sorted_) {
        items_.push_back(text);
        return Count() - 1;
    }
    int index = 0;
    if (Find(text, index)) {
        if (duplicates_ == TDuplicates::dupIgnore) return index;
        if (duplicates_ == TDuplicates::dupError) throw EStringListError("String list does not allow duplicates");
    }
    items_.insert(items_.begin() + index, text);
    return index;
}

void TStringList::AddStrings(const TStringList& other)
{
    for (const std::string& s : other.items_) Add(s);
}

void TStringList::Insert(int index, const std::string& text)
{
    if (sorted_) throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
    items_.insert(items_.begin() + index, text);
}

void TStringList::Delete(int index)
{
    checkIndex(index);
    items_.erase(items_.begin() + index);
}

void TStringList::Exchange(int a, int b)
{
    checkIndex(a);
    checkIndex(b);
    std::swap(items_[static_cast<std::size_t>(a)], items_[static_cast<std::size_t>(b)]);
}

void TStringList::Move(int from, int to)
{
    if (from == to) return;
    checkIndex(from);
    checkIndex(to);
    std::string item = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
}

int TStringList::IndexOf(const std::string& text) const
{
    if (sorted_) {
        int index = 0;
        return Find(text, index) ? index : -1;
    }
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], text)) return static_cast<int>(i);
    return -1;
}

bool TStringList::Find(const std::string& text, int& index) const
{
    // Lower bound, so the first of equal items is found.
    auto it = std::lower_bound(items_.begin(), items_.end(), text,
                               [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    index = static_cast<int>(it - items_.begin());
    return it != items_.end() && CompareText(*it, text) == 0;
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted && !sorted_) Sort();
    sorted_ = sorted;
}

void TStringList::Sort()
{
    std::stable_sort(items_.begin(), items_.end(),
                     [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

std::string TStringList::Text() const
{
    std::string text;
    for (const std::string& s : items_) {
        text += s;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(const std::string& text)
{
    Clear();
    std::size_t start = 0;
    const std::size_t n = text.size();
    while (start < n) {
        std::size_t end = start;
        while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
        Add(text.substr(start, end - start));
        if (end < n && text[end] == '\r') ++end;
        if (end < n && text[end] == '\n') ++end;
        start = end;
    }
}

std::string TStringList::CommaText() const
{
    std::string out;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i) out += ',';
        const std::string& s = items_[i];
        bool quote = s.empty();
        for (unsigned char c : s)
            if (c <= ' ' || c == ',' || c == '"') quote = true;
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TStringList::SetCommaText(const std::string& text)
{
    Clear();
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i >= n) Add(std::string());
        }
    }
}

std::string TStringList::Names(int index) const
{
    const std::string& s = (*this)[index];
    const std::size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const
{
    const std::string& s = (*this)[index];
    const std::size_t eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStringList::IndexOfName(const std::string& name) const
{
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const std::size_t eq = items_[i].find('=');
        if (eq != std::string::npos && SameText(items_[i].substr(0, eq), name)) return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Values(const std::string& name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStringList::SetValue(const std::string& name, const std::string& value)
{
    const int index = IndexOfName(name);
    if (value.empty()) {
        if (index >= 0) Delete(index);
        return;
    }
    if (index >= 0) {
        const std::string line = Names(index) + "=" + value;  // the stored spelling of the name stays
        if (sorted_) {
            Delete(index);
            Add(line);
        } else {
            Put(index, line);
        }
    } else {
        Add(name + "=" + value);
    }
}

void TStringList::LoadFromFile(const std::string& fileName)
{
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    const auto& bytes = stream.Bytes();
    SetText(std::string(bytes.begin(), bytes.end()));
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    const std::string text = Text();
    TFileStream file(fileName, FileMode::Create);
    file.WriteBuffer(text.data(), text.size());
}
