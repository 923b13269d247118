// The player's preferences for its file associations, as the settings file
// keeps them: the execution method and the four extra verbs.
#ifndef KORVANE_SETTINGS_PREFERENCES_H
#define KORVANE_SETTINGS_PREFERENCES_H

// True for "TRUE", "ENABLE" and "On" in any letter case, or a number that
// reads as 1; everything else is false.
bool ReadBoolSetting(const wchar_t* text);

class SettingsText;

// Reads "ExecMethod" and the four "Association" keys into
// associationContext; missing keys give the defaults.
void ReadSettings(const SettingsText& settings);

// Writes the four "Association" keys and "ExecMethod" from
// associationContext, in one write of the file.
void SaveSettings();

#endif
