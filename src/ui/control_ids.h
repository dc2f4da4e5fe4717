#pragma once
// Ids of the resources and of the controls that the windows' handlers address. The
// edits that jobs read are in jobs/job_host.h.

#include "jobs/job_host.h"

namespace sonoleaf::ui {

// Templates, icons, bitmap.
inline constexpr int kAboutTemplate = 100;
inline constexpr int kMainTemplate = 102;
inline constexpr int kAppIcon = 128;
inline constexpr int kMakerIcon = 132;
inline constexpr int kVoiceSettingTemplate = 130;
inline constexpr int kBackgroundBitmap = 137;

// Main window buttons.
inline constexpr int kConvertPdfButton = 1000;
inline constexpr int kSpeakNowButton = 1003;
inline constexpr int kVoiceSettingButton = 1004;
inline constexpr int kHelpButton = 1006;
inline constexpr int kSpeakFileButton = 1012;
inline constexpr int kFileToAudioButton = 1013;
inline constexpr int kMakeAudioButton = 1014;
inline constexpr int kLengthListButton = 1015;
inline constexpr int kTitleListButton = 1020;
inline constexpr int kStopButton = 1033;
inline constexpr int kAboutButton = 1037;
inline constexpr int kPdfHeading = 1038;
inline constexpr int kAudioHeading = 1039;

// Voice settings dialog.
inline constexpr int kMaleRadio = 1026;
inline constexpr int kFemaleRadio = 1027;
inline constexpr int kMp3Radio = 1028;
inline constexpr int kWavRadio = 1029;
inline constexpr int kM4bRadio = 1030;
inline constexpr int kSubtitlesCheck = 1046;
inline constexpr int kVolumeTrackbar = 1031;
inline constexpr int kSpeedTrackbar = 1032;
inline constexpr int kVoiceNameCombo = 1044;
inline constexpr int kPronunciationsButton = 1045;
inline constexpr int kListenButton = 1047;

// System commands (the context menu stands in for the system menu).
inline constexpr unsigned kIdmAboutBox = 0x0010;
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScClose = 0xF060;

}  // namespace sonoleaf::ui
