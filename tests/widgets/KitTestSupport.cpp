#include "KitTestSupport.h"

#include "widgets/kithotkeys.h"

#include <cstdlib>

OtherXClient::OtherXClient(const std::string& display)
{
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (c && !xcb_connection_has_error(c))
        connection_ = c;
    else if (c)
        xcb_disconnect(c);
}

OtherXClient::~OtherXClient()
{
    if (connection_) xcb_disconnect(connection_);
}

xcb_keycode_t OtherXClient::KeyCode(unsigned virtualKey)
{
    const std::uint32_t keysym = KeySymOfVirtualKey(virtualKey);
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* reply = xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr);
    if (!reply) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int code = 0; code < count && !found; ++code)
        if (syms[code * perCode] == keysym) found = static_cast<xcb_keycode_t>(setup->min_keycode + code);
    std::free(reply);
    return found;
}

namespace {
std::uint16_t Mask(unsigned modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & MOD_SHIFT) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & MOD_CONTROL) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & MOD_ALT) mask |= XCB_MOD_MASK_1;
    return mask;
}
}  // namespace

bool OtherXClient::Grab(unsigned virtualKey, unsigned modifiers)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    auto cookie = xcb_grab_key_checked(connection_, 0, root, Mask(modifiers), KeyCode(virtualKey), XCB_GRAB_MODE_ASYNC,
                                       XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
        std::free(error);
        return false;
    }
    return true;
}

void OtherXClient::Ungrab(unsigned virtualKey, unsigned modifiers)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Checked, so this returns once the server has let the key go: a flush
    // alone lets the next grab of the program under test reach the server first.
    const auto cookie = xcb_ungrab_key_checked(connection_, KeyCode(virtualKey), root, Mask(modifiers));
    std::free(xcb_request_check(connection_, cookie));
}
