// The player's settings file (INI) as far as the association tool reads and
// writes it, and the localized texts from the resource module.
#ifndef KORVANE_APP_SETTINGS_H
#define KORVANE_APP_SETTINGS_H

// True for "TRUE", "ENABLE" and "On" in any letter case, or a number that
// reads as 1; everything else is false.
bool ReadBoolSetting(const wchar_t* text);

// Reads "ExecMethod" and the four "Association" keys from settingsPath into
// associationContext; missing keys give the defaults.
void ReadSettings();

// Writes the four "Association" keys and "ExecMethod" from associationContext.
void SaveSettings();

// Replaces each built-in description by its localized string when that is
// not empty.
void LoadBuiltinDescriptions();

// Loads the five verb display names into associationContext, whatever the
// resource module holds for them.
void LoadVerbDisplayNames();

#endif
