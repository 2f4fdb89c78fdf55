#pragma once

#include <string>

#include "app/Settings.h"
#include "platform/IniFile.h"

namespace ruvo {

inline const std::string kSettingsFileName = "XRUVODRV.INI";
inline const std::string kSettingsSection = "Configurari";

// Takes every key of section "Configurari" into settings, in the order the driver has always
// read them. A missing key or a value that is not a number gives the key's default; a value
// outside its range either leaves the previous choice or falls back, key by key:
//   "Port" above 16 or negative: previous choice stays; 0 clears it (connects to COM1);
//   "LiniiAvans" outside 0..9 and "CodFormaPlata" outside 1..7: their defaults 0 and 1;
//   "BaudRate", "ModTaiere", "TratareEroareStare", "TratareFormaPlata", "Sintaxa":
//   previous choice stays;
//   "TratareBonInDerulare" is never read: always 2;
//   "Delay" below 0 counts as 0, since a pause cannot be negative.
// "PreluareImediata" is read next to last; like every on/off key it is on only for "DA".
// "PauzaFisierScris" outside 0..10000 gives its default, 500.
void ReadSettings(const IniFile& ini, Settings& settings);

// Writes the nine keys the operator can change, in their fixed order, and nothing else.
void WriteSettings(IniFile& ini, const Settings& settings);

}  // namespace ruvo
