#pragma once
// The three dialog templates as the window's user sees them: what each control is,
// where it stands (dialog units) and what it says. Kept apart from the program's own
// tables so that the tests compare two independent copies.

#include <QString>
#include <vector>

namespace sonoleaf::testing {

enum class Kind {
    Button,
    DefaultButton,
    Edit,
    MultiLine,
    BrowseFile,
    BrowseFolder,
    Static,
    Icon,
    Group,
    Radio,
    Trackbar,
    CheckBox,
    ComboBox  // its height is the open list's; closed it is as tall as its font needs
};

struct ExpectedControl {
    int id;  // -1: no id, found by its text (icons by their place)
    Kind kind;
    QString text;
    int x, y, w, h;
    QString accessibleName;  // caption, or the label's text for edits and trackbars
};

inline const std::vector<ExpectedControl>& MainWindowControls() {
    static const std::vector<ExpectedControl> controls{
        {1000, Kind::Button, "Convert PDF to Text", 80, 159, 77, 14, "Convert PDF to Text"},
        {1002, Kind::MultiLine, "", 286, 224, 312, 46, "Write Something to speak or Make Audio"},
        {1003, Kind::Button, "Speak Now", 311, 278, 60, 14, "Speak Now"},
        {-1, Kind::Static, "Write Something to speak or Make Audio", 360, 208, 143, 8,
         "Write Something to speak or Make Audio"},
        {1038, Kind::Static, "PDF to Text Operations", 14, 7, 143, 28, "PDF to Text Operations"},
        {1039, Kind::Static, "Text to Audio Operations", 330, 5, 199, 29,
         "Text to Audio Operations"},
        {-1, Kind::Static, "Path of Source Text file", 287, 60, 143, 8, "Path of Source Text file"},
        {-1, Kind::Static, "Path of Destination Folder", 288, 88, 143, 8,
         "Path of Destination Folder"},
        {-1, Kind::Static, "Path of Source PDF file", 24, 39, 91, 8, "Path of Source PDF file"},
        {-1, Kind::Static, "Path of Destination Folder to save Text", 23, 98, 143, 8,
         "Path of Destination Folder to save Text"},
        {1012, Kind::Button, "Speak From Text file", 287, 118, 120, 15, "Speak From Text file"},
        {1013, Kind::Button, "Convert to Audio from Text file", 475, 118, 121, 15,
         "Convert to Audio from Text file"},
        {1014, Kind::Button, "Make Audio", 475, 278, 60, 14, "Make Audio"},
        {1016, Kind::BrowseFile, "", 286, 71, 313, 14, "Path of Source Text file"},
        {1017, Kind::BrowseFolder, "", 287, 99, 312, 14, "Path of Destination Folder"},
        {1018, Kind::BrowseFile, "", 21, 50, 216, 14, "Path of Source PDF file"},
        {1019, Kind::BrowseFolder, "", 23, 110, 216, 14, "Path of Destination Folder to save Text"},
        {1042, Kind::CheckBox, "Mark chapters from the PDF's outline", 23, 130, 170, 10,
         "Mark chapters from the PDF's outline"},
        {-1, Kind::Static, "Set Voice Setting :", 287, 41, 84, 8, "Set Voice Setting :"},
        {1004, Kind::Button, "Voice Setting", 366, 38, 80, 14, "Voice Setting"},
        {1033, Kind::Button, "Stop TTS Process", 451, 39, 73, 14, "Stop TTS Process"},
        {1015, Kind::Button, "Convert Text file to Audio List", 290, 182, 116, 15,
         "Convert Text file to Audio List"},
        {-1, Kind::Static, "Character Length (1 - 2^25):", 289, 143, 115, 8,
         "Character Length (1 - 2^25):"},
        {1034, Kind::Edit, "0", 289, 160, 98, 15, "Character Length (1 - 2^25):"},
        {-1, Kind::Icon, "", 7, 281, 20, 20, ""},
        {-1, Kind::Static, "Sonoleaf Team", 31, 288, 60, 12, "Sonoleaf Team"},
        {1020, Kind::Button, "Audio list by Title Tag", 476, 183, 120, 15,
         "Audio list by Title Tag"},
        {1037, Kind::Button, "About", 11, 262, 39, 12, "About"},
        {1006, Kind::Button, "Help", 58, 263, 39, 12, "Help"},
        {-1, Kind::Static, "Filename Starting Number(#):", 479, 144, 115, 8,
         "Filename Starting Number(#):"},
        {1035, Kind::Edit, "", 477, 159, 98, 15, "Filename Starting Number(#):"},
    };
    return controls;
}

inline const std::vector<ExpectedControl>& VoiceSettingControls() {
    static const std::vector<ExpectedControl> controls{
        {1026, Kind::Radio, "Male", 42, 35, 31, 10, "Male"},
        {1027, Kind::Radio, "Female", 42, 57, 39, 10, "Female"},
        {-1, Kind::Static, "Voice:", 23, 133, 25, 8, "Voice:"},
        {1044, Kind::ComboBox, "By gender (as chosen above)", 50, 131, 241, 60, "Voice:"},
        {1045, Kind::Button, "Pronunciations...", 23, 155, 70, 14, "Pronunciations..."},
        {1, Kind::DefaultButton, "OK", 198, 155, 50, 14, "OK"},
        {2, Kind::Button, "Cancel", 252, 155, 50, 14, "Cancel"},
        {-1, Kind::Group, "Select Voice Type", 23, 23, 105, 54, "Select Voice Type"},
        // Grown down to hold the audiobook choice.
        {-1, Kind::Group, "Select Audio Type", 183, 21, 108, 66, "Select Audio Type"},
        {1028, Kind::Radio, "MP3", 203, 41, 29, 10, "MP3"},
        {1029, Kind::Radio, "WAV", 205, 62, 31, 10, "WAV"},
        {1030, Kind::Radio, "M4B (audiobook)", 205, 74, 70, 10, "M4B (audiobook)"},
        {1031, Kind::Trackbar, "", 25, 110, 74, 18, "Set Volume"},
        {-1, Kind::Static, "Set Volume", 31, 90, 36, 8, "Set Volume"},
        {1032, Kind::Trackbar, "", 184, 109, 74, 18, "Set Speed"},
        {-1, Kind::Static, "Set Speed", 190, 88, 34, 8, "Set Speed"},
        {1046, Kind::CheckBox, "Write subtitles (.srt)", 100, 157, 90, 10,
         "Write subtitles (.srt)"},
        // Between the sliders, last in the tab order.
        {1047, Kind::Button, "Listen", 117, 111, 50, 14, "Listen"},
    };
    return controls;
}

inline const std::vector<ExpectedControl>& AboutControls() {
    static const std::vector<ExpectedControl> controls{
        {-1, Kind::Icon, "", 14, 14, 21, 20, ""},
        {-1, Kind::Static, "Sonoleaf Version 1.0", 83, 14, 187, 8, "Sonoleaf Version 1.0"},
        {-1, Kind::Static, "Ideas and bug reports: the project's issue list", 104, 66, 84, 18,
         "Ideas and bug reports: the project's issue list"},
        {1, Kind::DefaultButton, "OK", 256, 99, 50, 14, "OK"},
        {-1, Kind::Static, "Free software", 118, 38, 60, 12, "Free software"},
        {-1, Kind::Icon, "", 93, 32, 21, 20, ""},
    };
    return controls;
}

}  // namespace sonoleaf::testing
