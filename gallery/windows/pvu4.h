#pragma once
// The drop target: a small borderless window, kept above the others where
// the window system allows it, that collects files dropped on it from the
// desktop. Double-clicking it hands the collected paths back and closes it.

#include "gallery/mainwindow/pvu.h"
#include "platform/gui/Gui.h"

#include <QPoint>

#include <memory>
#include <string>
#include <vector>

class TForm6 : public TForm {
public:
    TForm6();
    ~TForm6() override;

    // Adds every dropped path, whole, to the collected ones, in the source
    // list's order; a path already there is ignored (names that differ only
    // in case are different files here, as in the list).
    void WMDropFiles(const std::vector<std::string>& paths);
    // Dragging with the left button held moves the window.
    void Image1MouseMove(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y);
    // ListBox1 := the collected paths in order; the window's place into
    // Label1 and Label2; closes with OK.
    void Image1DblClick(TComponent* Sender);

    TControl* Image1;
    TLabel *Label1, *Label2;  // hidden: left and top as decimal text
    TListBox* ListBox1;       // hidden: full paths in and out
    // Whether the window system lets a program place its windows (not on Wayland).
    bool CanPlaceWindows() const;

protected:
    void FormShow() override;

private:
    friend class DropTargetEvents;
    std::unique_ptr<TPathSet> collecting_;
    QPoint pressGlobal_, pressWindow_;
    bool systemMove_ = false;
};
