#include "resources/event_names.h"

namespace tb {

std::string KeyName(int key) {
    switch (key) {
        case 0:
            return "<no key>";
        case 1:
            return "<any key>";
        case 8:
            return "<Backspace>";
        case 9:
            return "<Tab>";
        case 13:
            return "<Enter>";
        case 16:
            return "<Shift>";
        case 17:
            return "<Ctrl>";
        case 18:
            return "<Alt>";
        case 27:
            return "<Escape>";
        case 32:
            return "<Space>";
        case 33:
            return "<Page Up>";
        case 34:
            return "<Page Down>";
        case 35:
            return "<End>";
        case 36:
            return "<Home>";
        case 37:
            return "<Left>";
        case 38:
            return "<Up>";
        case 39:
            return "<Right>";
        case 40:
            return "<Down>";
        case 45:
            return "<Insert>";
        case 46:
            return "<Delete>";
        case 106:
            return "Keypad *";
        case 107:
            return "Keypad +";
        case 109:
            return "Keypad -";
        case 110:
            return "Keypad .";
        case 111:
            return "Keypad /";
        default:
            break;
    }
    if ((key >= 48 && key <= 57) || (key >= 65 && key <= 90))
        return std::string(1, char(key)) + "-key";
    if (key >= 96 && key <= 105) return "Keypad " + std::to_string(key - 96);
    if (key >= 112 && key <= 123) return "F" + std::to_string(key - 111);
    return "<unknown>";
}

std::string MouseName(int number) {
    static const char* const kButtons[] = {"Left Button",     "Right Button",  "Middle Button",
                                           "No Button",       "Left Pressed",  "Right Pressed",
                                           "Middle Pressed",  "Left Released", "Right Released",
                                           "Middle Released", "Mouse Enter",   "Mouse Leave"};
    static const char* const kGlobal[] = {
        "Glob Left Button",   "Glob Right Button",   "Glob Middle Button",
        "Glob Left Pressed",  "Glob Right Pressed",  "Glob Middle Pressed",
        "Glob Left Released", "Glob Right Released", "Glob Middle Released"};
    static const char* const kDirections[] = {"Left", "Right", "Up", "Down"};
    if (number >= 0 && number <= 11) return kButtons[number];
    for (int pad = 1; pad <= 2; ++pad) {
        int base = pad == 1 ? 16 : 31;  // directions; buttons start five further on
        std::string prefix = "Joystick " + std::to_string(pad) + " ";
        if (number >= base && number < base + 4) return prefix + kDirections[number - base];
        if (number >= base + 5 && number < base + 13)
            return prefix + "Button " + std::to_string(number - base - 4);
    }
    if (number >= 50 && number <= 58) return kGlobal[number - 50];
    if (number == 60) return "Mouse Wheel Up";
    if (number == 61) return "Mouse Wheel Down";
    return "<unknown>";
}

std::string OtherName(int number) {
    static const char* const kNames[] = {
        "Outside Room", "Intersect Boundary", "Game Start",    "Game End",    "Room Start",
        "Room End",     "No More Lives",      "Animation End", "End Of Path", "No More Health"};
    if (number >= 0 && number <= 9) return kNames[number];
    if (number >= 10 && number <= 25) return "User Defined " + std::to_string(number - 10);
    if (number == 30) return "Close Button";
    if (number >= 40 && number <= 47) return "Outside View " + std::to_string(number - 40);
    if (number >= 50 && number <= 57) return "Boundary View " + std::to_string(number - 50);
    return "<unknown>";
}

std::string EventName(int kind, int number, const ResourceList<CObject>& objects) {
    switch (kind) {
        case ev_create:
            return "Create Event";
        case ev_destroy:
            return "Destroy Event";
        case ev_alarm:
            return "Alarm Event for alarm " + std::to_string(number);
        case ev_step: {
            const char* step = number == 0   ? ""
                               : number == 1 ? "Begin"
                               : number == 2 ? "End"
                                             : "<unknown>";
            return std::string(step) + " Step Event";
        }
        case ev_collision:
            return "Collision Event with object " + objects.Name(number);
        case ev_keyboard:
            return "Keyboard Event for " + KeyName(number) + " Key";
        case ev_mouse:
            return "Mouse Event for " + MouseName(number);
        case ev_other:
            return "Other Event: " + OtherName(number);
        case ev_draw:
            return "Draw Event";
        case ev_keypress:
            return "Key Press Event for " + KeyName(number) + " Key";
        case ev_keyrelease:
            return "Key Release Event for " + KeyName(number) + " Key";
        default:
            return "<Unknown Event>";
    }
}

}  // namespace tb
