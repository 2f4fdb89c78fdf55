#pragma once

namespace ruvo {

// The driver's settings, section "Configurari" of XRUVODRV.INI, as loaded. Defaults are the
// values of a missing file.
struct Settings {
  int port = 1;           // "Port": 1..16; 0 = no choice, which connects to COM1
  int baudRate = 0;       // "BaudRate": 0..2, kept and saved but never applied
  int modTaiere = 0;      // "ModTaiere": 0 total cut, 1 partial cut and paper advance
  int liniiAvans = 0;     // "LiniiAvans": 0..9 lines advanced with the partial cut
  int longTimeOut = 5;    // "LongTimeOut": seconds, handed to every link object
  int codFormaPlata = 1;  // "CodFormaPlata": 1..7
  bool logFile = false;   // "LogFile"
  bool faraVerificareConexiune = false;  // "FaraVerificareConexiune"
  bool history = false;                  // "History"
  bool dialogMesajEroare = false;        // "DialogMesajEroare"
  bool mesajLaListareItem = false;       // "MesajLaListareItem"
  bool stergereFisiereVechi = false;     // "StergereFisierevechi"
  int marjaZileStergere = 100;           // "MarjaZileStergere": days
  bool curatareFolderLucru = false;      // "CuratareFolderLucru"
  int tratareEroareStare = 0;            // "TratareEroareStare": 0..1
  int tratareBonInDerulare = 2;          // "TratareBonInDerulare": always 2, whatever the file says
  int tratareFormaPlata = 0;             // "TratareFormaPlata": 0..1
  int sintaxa = 0;                       // "Sintaxa": 0 current syntax, 1 legacy syntax
  int delay = 0;                         // "Delay": milliseconds after each receipt line
  // "PreluareImediata": a receipt file is taken as soon as it arrives in the working folder,
  // not at the next tick (never saved: set by editing the file)
  bool preluareImediata = false;
  // "PauzaFisierScris": milliseconds a receipt file written in place must be left unchanged
  // before it is read, 0..10000 (never saved: set by editing the file). A file renamed into
  // the folder does not wait.
  int pauzaFisierScris = 500;

  // The port a link opens: a cleared choice (0) connects to COM1.
  int PortToOpen() const { return port == 0 ? 1 : port; }
};

}  // namespace ruvo
