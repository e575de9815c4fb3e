#pragma once
// The full-screen viewer: the thumbnail, the image copy or the original of a
// source item, made as the build would make it, on black; PageUp, PageDown,
// Home and End page through the main window's list, Esc closes.

#include "platform/gui/Gui.h"

class TForm1;
class TRasterView;

class TForm3 : public TForm {
public:
    explicit TForm3(TForm1& main);

    // Esc (27) closes; PageUp (33), PageDown (34), End (35), Home (36) move the
    // main list's selection and show the new item's picture.
    void FormKeyDown(TComponent* Sender, int& Key);
    // Makes the picture of item index in the mode of Label1 and shows it:
    // centred when narrower and lower than the screen, else fitted. False,
    // with the previous picture kept, when it could not be made.
    bool ShowItemPicture(int index);
    // Sizes the window to the screen and records the screen's size.
    void FitScreen();

    TRasterView* RasterView1;
    TLabel* Label1;  // hidden: "1" thumbnail, "2" image copy, "3" original
    int ScreenWidth = 0, ScreenHeight = 0;

private:
    TForm1& main_;
};
