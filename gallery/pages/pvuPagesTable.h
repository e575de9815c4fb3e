#pragma once
// The page writer's tables and picture cells (pvuPagesTable.cpp): what a call
// of the page writer prepares once, and the text that replaces
// "%thumb_location" on an index page and "%img_location" on an image page.

#include "gallery/pages/pvutilsVariables.h"

#include <string>

class TForm1;

namespace page_writer {

struct TPageWriterState {
    TMarkupState Markup;
    std::string TableTag;
    std::string CellTag;
    std::string CellClose;
    std::string PictureAttributes;
    int ItemCount = 0;
    int Item = 0;    // running item counter across the pages of one call
    int Tables = 0;  // tables written so far
    int BannerLine = 0;
};

// The table, cell and picture tags and the caption-position line of a kind
// (0 index, 1 image pages); the buttons the caption line shows are copied.
void PrepareState(const TForm1& form, int kind, TPageWriterState& state);
// Line index of the per-item result list, or "" past its end.
std::string ResultLine(const TForm1& form, int index);
// The thumbnail table of one index page, the picture of one image page; each
// moves the running item counter on past what it placed.
std::string IndexLocation(const TForm1& form, TPageWriterState& state);
std::string ImageLocation(const TForm1& form, TPageWriterState& state);

}  // namespace page_writer
