#pragma once
// Pictures for the window tests of the makers.

#include <memory>
#include <string>
#include <utility>

class TRasterDIB;

std::shared_ptr<TRasterDIB> NewTestPicture();
std::pair<int, int> TestPictureSize(const TRasterDIB& picture);
// A BMP file of width x height, left half red, right half blue.
void WriteTestBmp(const std::string& path, int width, int height);
