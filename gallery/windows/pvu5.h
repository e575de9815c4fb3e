#pragma once
// The name prompt: one line asking for the name of a saved setting (settings
// templates, FTP profiles). The caller sets the caption and size, shows it
// modally and reads Edit1 after OK.

#include "platform/gui/Gui.h"

class TForm7 : public TForm {
public:
    explicit TForm7(TComponent* owner);

    // Enter (13) closes with OK, Esc (27) with Cancel; other keys do nothing.
    void Edit1KeyPress(TComponent* Sender, int& Key);
    // Caption and client size in one step, as every caller sets both.
    void Prepare(const std::string& caption, int width, int height);

    TLabel* Label1;
    TEdit* Edit1;
    TButton* Button1;  // OK
    TButton* Button2;  // Cancel
};

// Asks for a name with the prompt; true and the name when the user chose OK.
bool AskSettingName(TComponent* owner, const std::string& caption, std::string& name);
