#pragma once
// Cutting a text at a separator byte: every piece, empty ones too, so
// "a;;b;" gives "a", "", "b", "".

#include <string>
#include <vector>

inline std::vector<std::string> SplitText(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        if (c == separator) {
            pieces.push_back(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    pieces.push_back(piece);
    return pieces;
}
