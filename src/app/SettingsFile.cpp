#include "app/SettingsFile.h"

namespace ruvo {

namespace {

// A choice among fixed options: a value outside them leaves the choice as it was.
void ReadChoice(const IniFile& ini, const std::string& key, int defaultValue, int first, int last,
                int& choice) {
  const int value = ini.ReadInteger(kSettingsSection, key, defaultValue);
  if (value >= first && value <= last) choice = value;
}

// A value with a fallback: anything outside the range becomes the fallback.
int ReadBounded(const IniFile& ini, const std::string& key, int defaultValue, int first, int last) {
  const int value = ini.ReadInteger(kSettingsSection, key, defaultValue);
  return value >= first && value <= last ? value : defaultValue;
}

}  // namespace

void ReadSettings(const IniFile& ini, Settings& s) {
  const Settings defaults;
  ReadChoice(ini, "Port", defaults.port, 0, 16, s.port);
  ReadChoice(ini, "ModTaiere", defaults.modTaiere, 0, 1, s.modTaiere);
  ReadChoice(ini, "BaudRate", defaults.baudRate, 0, 2, s.baudRate);
  s.liniiAvans = ReadBounded(ini, "LiniiAvans", defaults.liniiAvans, 0, 9);
  s.longTimeOut = ini.ReadInteger(kSettingsSection, "LongTimeOut", defaults.longTimeOut);
  s.codFormaPlata = ReadBounded(ini, "CodFormaPlata", defaults.codFormaPlata, 1, 7);
  s.logFile = ini.ReadFlag(kSettingsSection, "LogFile");
  s.faraVerificareConexiune = ini.ReadFlag(kSettingsSection, "FaraVerificareConexiune");
  s.history = ini.ReadFlag(kSettingsSection, "History");
  s.dialogMesajEroare = ini.ReadFlag(kSettingsSection, "DialogMesajEroare");
  s.mesajLaListareItem = ini.ReadFlag(kSettingsSection, "MesajLaListareItem");
  s.stergereFisiereVechi = ini.ReadFlag(kSettingsSection, "StergereFisierevechi");
  s.marjaZileStergere =
      ini.ReadInteger(kSettingsSection, "MarjaZileStergere", defaults.marjaZileStergere);
  s.curatareFolderLucru = ini.ReadFlag(kSettingsSection, "CuratareFolderLucru");
  ReadChoice(ini, "TratareEroareStare", defaults.tratareEroareStare, 0, 1, s.tratareEroareStare);
  s.tratareBonInDerulare = 2;
  ReadChoice(ini, "Sintaxa", defaults.sintaxa, 0, 1, s.sintaxa);
  ReadChoice(ini, "TratareFormaPlata", defaults.tratareFormaPlata, 0, 1, s.tratareFormaPlata);
  const int delay = ini.ReadInteger(kSettingsSection, "Delay", defaults.delay);
  s.delay = delay < 0 ? 0 : delay;
  s.preluareImediata = ini.ReadFlag(kSettingsSection, "PreluareImediata");
  s.pauzaFisierScris = ReadBounded(ini, "PauzaFisierScris", defaults.pauzaFisierScris, 0, 10000);
}

void WriteSettings(IniFile& ini, const Settings& s) {
  ini.WriteInteger(kSettingsSection, "Port", s.port);
  ini.WriteInteger(kSettingsSection, "BaudRate", s.baudRate);
  ini.WriteInteger(kSettingsSection, "ModTaiere", s.modTaiere);
  ini.WriteInteger(kSettingsSection, "LiniiAvans", s.liniiAvans);
  ini.WriteInteger(kSettingsSection, "TratareEroareStare", s.tratareEroareStare);
  ini.WriteInteger(kSettingsSection, "TratareBonInDerulare", 2);
  ini.WriteInteger(kSettingsSection, "TratareFormaPlata", s.tratareFormaPlata);
  ini.WriteInteger(kSettingsSection, "CodFormaPlata", s.codFormaPlata);
  ini.WriteInteger(kSettingsSection, "Sintaxa", s.sintaxa);
}

}  // namespace ruvo
