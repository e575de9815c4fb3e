#include "widgets/kithotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr std::uint32_t XK_Num_Lock = 0xff7f;

struct HotKeyEntry {
    HWND Wnd = 0;
    int Id = 0;
    unsigned Modifiers = 0;
    unsigned VirtualKey = 0;
    THotKeyMode Mode = THotKeyMode::None;
    // X11 only: the grabbed key code and the modifier masks grabbed with it.
    xcb_keycode_t KeyCode = 0;
    std::uint16_t XModifiers = 0;
    std::vector<std::uint16_t> Grabbed;
};

xcb_connection_t* X11Connection()
{
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!gui || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = gui->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t RootWindow(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

std::uint16_t XModifiersOf(unsigned modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & MOD_SHIFT) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & MOD_CONTROL) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & MOD_ALT) mask |= XCB_MOD_MASK_1;
    return mask;
}

xcb_keycode_t KeyCodeOfKeySym(xcb_connection_t* connection, std::uint32_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr);
    if (!reply) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(reply);
    xcb_keycode_t found = 0;
    // The unshifted column first: the hot key names the key, not the character.
    for (int column = 0; column < perCode && !found; ++column)
        for (int code = 0; code < count && !found; ++code) {
            const int at = code * perCode + column;
            if (at < total && syms[at] == keysym) found = static_cast<xcb_keycode_t>(setup->min_keycode + code);
        }
    std::free(reply);
    return found;
}

std::uint16_t NumLockMask(xcb_connection_t* connection)
{
    const xcb_keycode_t numLock = KeyCodeOfKeySym(connection, XK_Num_Lock);
    if (!numLock) return 0;
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply) return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    std::uint16_t mask = 0;
    for (int modifier = 0; modifier < 8 && !mask; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            if (codes[modifier * perModifier + i] == numLock) mask = static_cast<std::uint16_t>(1u << modifier);
    std::free(reply);
    return mask;
}

class HotKeyTable;
HotKeyTable& Table();

// Delivery happens later from Qt's loop, never inside the event filter, so
// a handler may open a modal box.
void Deliver(HWND wnd, int id, unsigned modifiers, unsigned virtualKey)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [wnd, id, modifiers, virtualKey]() {
            SendMessage(wnd, WM_HOTKEY, static_cast<WPARAM>(id),
                        MakeLParam(static_cast<std::uint16_t>(modifiers), static_cast<std::uint16_t>(virtualKey)));
        },
        Qt::QueuedConnection);
}

class HotKeyTable : public QAbstractNativeEventFilter {
public:
    std::vector<HotKeyEntry> Entries;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return false;
        auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
        const std::uint16_t relevant =
            press->state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
        for (const auto& entry : Entries) {
            if (entry.Mode == THotKeyMode::SystemWide && entry.KeyCode == press->detail &&
                entry.XModifiers == relevant) {
                Deliver(entry.Wnd, entry.Id, entry.Modifiers, entry.VirtualKey);
                return true;
            }
        }
        return false;
    }

    // The application the native filter was installed on (a test may make a new one).
    QCoreApplication* FilterApp = nullptr;
    QPointer<QObject> KeyFilter;
};

// The application-wide form: key presses reaching any of our widgets.
class ApplicationKeyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        const unsigned virtualKey = VirtualKeyOfQtKey(key->key());
        if (!virtualKey) return false;
        unsigned modifiers = 0;
        if (key->modifiers() & Qt::ShiftModifier) modifiers |= MOD_SHIFT;
        if (key->modifiers() & Qt::ControlModifier) modifiers |= MOD_CONTROL;
        if (key->modifiers() & Qt::AltModifier) modifiers |= MOD_ALT;
        for (const auto& entry : Table().Entries) {
            if (entry.Mode == THotKeyMode::ApplicationWide && entry.VirtualKey == virtualKey &&
                entry.Modifiers == modifiers) {
                Deliver(entry.Wnd, entry.Id, entry.Modifiers, entry.VirtualKey);
                return true;
            }
        }
        return false;
    }
};

HotKeyTable& Table()
{
    static HotKeyTable table;
    return table;
}

void Ungrab(xcb_connection_t* connection, const HotKeyEntry& entry)
{
    if (!connection) return;
    const xcb_window_t root = RootWindow(connection);
    for (std::uint16_t mask : entry.Grabbed) xcb_ungrab_key(connection, entry.KeyCode, root, mask);
    // A round trip, not just a flush: once this returns the server has let the
    // keys go, so another program may grab them at once.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

bool Grab(xcb_connection_t* connection, HotKeyEntry& entry)
{
    const std::uint32_t keysym = KeySymOfVirtualKey(entry.VirtualKey);
    entry.KeyCode = keysym ? KeyCodeOfKeySym(connection, keysym) : 0;
    if (!entry.KeyCode) return false;
    entry.XModifiers = XModifiersOf(entry.Modifiers);
    const std::uint16_t numLock = NumLockMask(connection);
    std::vector<std::uint16_t> locks = {0, XCB_MOD_MASK_LOCK};
    if (numLock && numLock != XCB_MOD_MASK_LOCK) {
        locks.push_back(numLock);
        locks.push_back(static_cast<std::uint16_t>(numLock | XCB_MOD_MASK_LOCK));
    }
    const xcb_window_t root = RootWindow(connection);
    for (std::uint16_t lock : locks) {
        const std::uint16_t mask = static_cast<std::uint16_t>(entry.XModifiers | lock);
        xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection, 0, root, mask, entry.KeyCode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            // Another client holds this combination (BadAccess).
            std::free(error);
            Ungrab(connection, entry);
            entry.Grabbed.clear();
            return false;
        }
        entry.Grabbed.push_back(mask);
    }
    return true;
}

void RemoveEntry(std::size_t index)
{
    auto& table = Table();
    HotKeyEntry entry = table.Entries[index];
    table.Entries.erase(table.Entries.begin() + static_cast<std::ptrdiff_t>(index));
    if (entry.Mode == THotKeyMode::SystemWide) Ungrab(X11Connection(), entry);
    if (table.Entries.empty() && QCoreApplication::instance()) {
        if (table.FilterApp == QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(&table);
        table.FilterApp = nullptr;
        // The application-wide filter stays: it is the application's child and only reads the table.
    }
}

}  // namespace

THotKeyMode CurrentHotKeyMode()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return THotKeyMode::None;
    return X11Connection() ? THotKeyMode::SystemWide : THotKeyMode::ApplicationWide;
}

bool RegisterHotKey(HWND wnd, int id, unsigned modifiers, unsigned virtualKey)
{
    auto& table = Table();
    for (std::size_t i = 0; i < table.Entries.size(); ++i)
        if (table.Entries[i].Wnd == wnd && table.Entries[i].Id == id) {
            RemoveEntry(i);
            break;
        }
    for (const auto& entry : table.Entries)
        if (entry.Modifiers == modifiers && entry.VirtualKey == virtualKey) return false;
    if (!virtualKey || !IsWindowHandle(wnd)) return false;

    HotKeyEntry entry{wnd, id, modifiers, virtualKey, CurrentHotKeyMode(), 0, 0, {}};
    if (entry.Mode == THotKeyMode::None) return false;
    if (entry.Mode == THotKeyMode::SystemWide) {
        if (!Grab(X11Connection(), entry)) return false;
        if (table.FilterApp != QCoreApplication::instance()) {
            QCoreApplication::instance()->installNativeEventFilter(&table);
            table.FilterApp = QCoreApplication::instance();
        }
    } else if (!table.KeyFilter) {
        table.KeyFilter = new ApplicationKeyFilter(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(table.KeyFilter);
    }
    table.Entries.push_back(std::move(entry));
    return true;
}

bool UnregisterHotKey(HWND wnd, int id)
{
    auto& table = Table();
    for (std::size_t i = 0; i < table.Entries.size(); ++i)
        if (table.Entries[i].Wnd == wnd && table.Entries[i].Id == id) {
            RemoveEntry(i);
            return true;
        }
    return false;
}

std::uint32_t KeySymOfVirtualKey(unsigned vk)
{
    if (vk >= '0' && vk <= '9') return vk;                      // XK_0 .. XK_9
    if (vk >= 'A' && vk <= 'Z') return vk + ('a' - 'A');        // XK_a .. XK_z, the unshifted keys
    if (vk >= 0x60 && vk <= 0x69) return 0xffb0 + (vk - 0x60);  // numeric pad digits
    if (vk >= 0x70 && vk <= 0x87) return 0xffbe + (vk - 0x70);  // F1 .. F24
    switch (vk) {
    case 0x08: return 0xff08;  // Backspace
    case 0x09: return 0xff09;  // Tab
    case 0x0D: return 0xff0d;  // Return
    case 0x13: return 0xff13;  // Pause
    case 0x1B: return 0xff1b;  // Escape
    case 0x20: return 0x0020;  // space
    case 0x21: return 0xff55;  // Prior
    case 0x22: return 0xff56;  // Next
    case 0x23: return 0xff57;  // End
    case 0x24: return 0xff50;  // Home
    case 0x25: return 0xff51;  // Left
    case 0x26: return 0xff52;  // Up
    case 0x27: return 0xff53;  // Right
    case 0x28: return 0xff54;  // Down
    case 0x2C: return 0xff61;  // Print
    case 0x2D: return 0xff63;  // Insert
    case 0x2E: return 0xffff;  // Delete
    case 0x6A: return 0xffaa;  // KP_Multiply
    case 0x6B: return 0xffab;  // KP_Add
    case 0x6D: return 0xffad;  // KP_Subtract
    case 0x6E: return 0xffae;  // KP_Decimal
    case 0x6F: return 0xffaf;  // KP_Divide
    default: return 0;
    }
}

unsigned VirtualKeyOfQtKey(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<unsigned>(key);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<unsigned>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70u + static_cast<unsigned>(key - Qt::Key_F1);
    switch (key) {
    // Shifted digits of the common layout still name their digit key.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    default: return 0;
    }
}
