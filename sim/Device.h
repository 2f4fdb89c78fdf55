#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Answer.h"
#include "Conditions.h"
#include "DailyTotals.h"
#include "Fields.h"
#include "Paper.h"
#include "Receipt.h"
#include "SimConfig.h"
#include "platform/Clock.h"

namespace xruvo_sim {

struct ZRecord {
  int number = 0;
  ruvo::LocalDateTime date;
  std::int64_t total = 0;
  int receipts = 0;
};

// One finished document as the electronic journal keeps it.
struct JournalEntry {
  int z = 0;
  int receipt = 0;
  ruvo::LocalDateTime date;
  std::int64_t total = 0;
  bool cancelled = false;
};

struct ExportState {
  enum class Phase { kNone, kPreparing, kReady };
  Phase phase = Phase::kNone;
  std::int64_t readyAtMs = 0;
  std::string archive;
  bool open = false;        // between "7400" and "7408"
  std::size_t readPos = 0;  // next byte for "7403060"
};

struct LogoUpload {
  bool active = false;
  std::size_t announced = 0;
  std::string received;
  std::string stored;   // the last logo completed by "9102", byte for byte
  int storedCount = 0;  // how many logos "9102" has completed
};

// The model of one XRuvo ECR: documents, counters, reports, export and logo. It knows
// nothing of bytes on a line; the protocol engine hands it command texts and frames what
// it answers. Each command family lives in its own Device*.cpp file.
class Device {
 public:
  Device(ruvo::IClock& clock, Paper& paper, const SimConfig& config);

  // Runs one command text (code and fields) and says what to answer.
  Answer Execute(const std::string& text);

  std::string StatusText() const;
  Conditions& GetConditions() { return conditions_; }
  const Conditions& GetConditions() const { return conditions_; }

  const FiscalReceipt& Receipt() const { return receipt_; }
  const DailyTotals& Totals() const { return totals_; }
  int LastReceiptNumber() const { return lastReceiptNumber_; }
  int LastZNumber() const { return lastZNumber_; }
  int LastNonFiscalNumber() const { return lastNonFiscalNumber_; }
  bool NonFiscalOpen() const { return nonFiscalOpen_; }
  std::int64_t JeFreeLines() const { return jeFreeLines_; }
  void SetJeFreeLines(std::int64_t lines) { jeFreeLines_ = lines < 0 ? 0 : lines; }
  const std::string& Logo() const { return logo_.stored; }
  int LogosStored() const { return logo_.storedCount; }
  const std::string& DisplayText() const { return display_; }
  int ExtendedError() const { return extendedError_; }
  void SetExtendedError(int code) { extendedError_ = code; }
  int OperatorCode() const { return operator_; }
  const std::vector<ZRecord>& ZHistory() const { return zHistory_; }
  const std::vector<JournalEntry>& Journal() const { return journal_; }
  void SetExportArchive(std::string archive) { config_.exportArchive = std::move(archive); }
  ruvo::LocalDateTime DeviceTime() const;

  // "5005": stops the report in progress (the engine owns the timing).
  void StopReport();

  // The operator cancels the open fiscal receipt at the ECR's keyboard, as "33028" would;
  // false when no receipt could be cancelled.
  bool CancelAtKeyboard();
  // The ECR is switched off and on again: a fiscal receipt not yet finished by its cut is
  // gone, with nothing counted and its number not used; a receipt finished stays.
  void PowerCycle();

 private:
  using Handler = Answer (Device::*)(FieldReader&);
  struct Command {
    const char* code;
    Handler handler;
  };
  static const std::vector<Command>& Table();

  // Faults that stop anything that prints, and anything fiscal.
  int PrinterFault() const;
  int FiscalMemoryFault() const;
  void Print(const std::string& line);
  void PrintColumns(const std::string& left, const std::string& right);
  void PrintHeader();
  void PrintFooter(const std::string& document);
  void UseJournalLines(std::int64_t lines);

  // DeviceQueries.cpp
  Answer SwitchOver(FieldReader& f);
  Answer DailyTotalsBlock(FieldReader& f);
  Answer FiscalSeries(FieldReader& f);
  Answer Poll(FieldReader& f);
  Answer ReceiptStateQuery(FieldReader& f);
  Answer ExtendedErrorQuery(FieldReader& f);
  Answer DocumentState(FieldReader& f);
  Answer LastReceipt(FieldReader& f);
  Answer Totalizer(FieldReader& f);
  Answer Status(FieldReader& f);
  Answer PrinterState(FieldReader& f);
  Answer SetDateTime(FieldReader& f);
  Answer Totalizers(FieldReader& f);
  Answer Beep(FieldReader& f);
  Answer Display(FieldReader& f);

  // DeviceReceipt.cpp
  Answer Sale(FieldReader& f, bool storno);
  Answer SaleNormal(FieldReader& f) { return Sale(f, false); }
  Answer SaleStorno(FieldReader& f) { return Sale(f, true); }
  Answer Subtotal(FieldReader& f);
  Answer Payment(FieldReader& f);
  Answer Close(FieldReader& f);
  Answer PartialCut(FieldReader& f);
  Answer FullCut(FieldReader& f);
  Answer Cut(int advanceLines);
  Answer Cancel(FieldReader& f);
  Answer Adjust(FieldReader& f, bool percent, bool discount);
  // Kind 0 is a markup, kind 1 a discount; either by value or by percentage.
  Answer AdjustValueKind0(FieldReader& f) { return Adjust(f, false, false); }
  Answer AdjustValueKind1(FieldReader& f) { return Adjust(f, false, true); }
  Answer AdjustPercentKind0(FieldReader& f) { return Adjust(f, true, false); }
  Answer AdjustPercentKind1(FieldReader& f) { return Adjust(f, true, true); }
  Answer FollowUpAmount(FieldReader& f);
  Answer SetOperator(FieldReader& f);
  void FinishReceipt();
  void OpenReceiptIfNone();
  void CloseReceiptNow();
  bool ZReportDue() const;
  Answer LineRefusal() const;  // why the open receipt takes no more lines

  // DeviceTexts.cpp
  Answer TextLine(FieldReader& f, bool afterClose);
  Answer Text3002(FieldReader& f) { return TextLine(f, false); }
  Answer Text3008(FieldReader& f) { return TextLine(f, false); }
  Answer Text3010(FieldReader& f) { return TextLine(f, false); }
  Answer Text3012(FieldReader& f) { return TextLine(f, true); }
  Answer Barcode(FieldReader& f);
  Answer OpenNonFiscal(FieldReader& f);
  Answer NonFiscalText(FieldReader& f);
  Answer CloseNonFiscal(FieldReader& f);
  Answer CashInOut(FieldReader& f);

  // DeviceReports.cpp
  Answer ZReport(FieldReader& f);
  Answer XReport(FieldReader& f);
  Answer DepartmentReport(FieldReader& f);
  Answer TypedReport(FieldReader& f);
  Answer MfByNumber(FieldReader& f);
  Answer MfByDate(FieldReader& f);
  Answer MfAll(FieldReader& f);
  Answer StopReportCommand(FieldReader& f);
  Answer JeByDate(FieldReader& f);
  Answer JeByReceipts(FieldReader& f);
  Answer JeByZ(FieldReader& f);
  Answer JeFromLine(FieldReader& f);
  Answer JeReceiptsOfZ(FieldReader& f);
  int ReportFault(bool allowJeFull) const;
  void PrintTotalsSection();
  void PrintZRecords(int firstZ, int lastZ, std::int64_t fromMs, std::int64_t toMs);
  void PrintJournal(int z, int firstReceipt, int lastReceipt, std::int64_t fromMs,
                    std::int64_t toMs);
  Answer FinishReport(const std::string& title);

  // DeviceExport.cpp
  Answer StartExport(FieldReader& f);
  Answer BeginTransfer(FieldReader& f);
  Answer ReadChunk(FieldReader& f);
  Answer ReadWhole(FieldReader& f);
  Answer EndTransfer(FieldReader& f);
  void RefreshExport();

  // DeviceLogo.cpp
  Answer BeginLogo(FieldReader& f);
  Answer LogoPiece(FieldReader& f);
  Answer EndLogo(FieldReader& f);

  ruvo::IClock& clock_;
  Paper& paper_;
  SimConfig config_;
  Conditions conditions_;

  FiscalReceipt receipt_;
  DailyTotals totals_;
  int lastReceiptNumber_;
  int lastZNumber_;
  int lastNonFiscalNumber_;
  bool nonFiscalOpen_ = false;
  std::int64_t jeFreeLines_;
  std::int64_t jeLineNumber_ = 0;   // lines written to the journal so far
  std::int64_t clockOffsetMs_ = 0;  // set by "2001"
  std::int64_t lastZAtMs_;          // device time of the last Z, for the 24-hour rule
  int extendedError_ = extended_error::kNone;
  int operator_ = 1;
  std::int64_t receiptCash_ = 0;  // what the open receipt put into the drawer
  std::string display_;
  std::vector<ZRecord> zHistory_;
  std::vector<JournalEntry> journal_;
  std::map<int, std::int64_t> departments_;  // sales per department since the last Z
  ExportState export_;
  LogoUpload logo_;
};

// Calendar helpers shared by the date-handling commands.
std::int64_t ToEpochMs(const ruvo::LocalDateTime& dt);
ruvo::LocalDateTime FromEpochMs(std::int64_t ms);
bool ValidDate(int day, int month, int year);
std::string DateText(const ruvo::LocalDateTime& dt);  // "15-01-2026 12:00"

}  // namespace xruvo_sim
