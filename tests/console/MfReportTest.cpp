// The MF/JE report dialog's checks and the report commands they lead to, on the simulated ECR.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/ManualOperations.h"
#include "platform/Locale.h"
#include "support/ConsoleRig.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;

MfReportRequest ByNumber(const std::string& start, const std::string& end,
                         MfJeSource source = MfJeSource::MF) {
  MfReportRequest request;
  request.source = source;
  request.startNumber = start;
  request.endNumber = end;
  return request;
}

MfReportRequest ByPeriod(const std::string& start, const std::string& end,
                         MfJeSource source = MfJeSource::MF,
                         MfReportDetail detail = MfReportDetail::Detailed) {
  MfReportRequest request;
  request.mode = MfReportMode::ByPeriod;
  request.source = source;
  request.detail = detail;
  request.startDate = start;
  request.endDate = end;
  return request;
}

struct Refusal {
  MfReportRequest request;
  std::string message;
  DialogField focus;
};

TEST(MfReportInputTest, ChecksRefuseInTheirOrderWithTheirMessageAndFocus) {
  const std::string sep(1, DecimalSeparator());
  const std::string wrongStart = "Numarul de inceput raport este eronat !";
  const std::string wrongEnd = "Numarul de sfarsit raport este eronat !";
  const std::string startDigits = "Numarul de inceput raport poate contine doar cifre !";
  const std::string endDigits = "Numarul de sfarsit raport poate contine doar cifre !";
  const std::string badStartDate = "Data de inceput interval este eronata !";
  const std::string badEndDate = "Data de sfarsit interval este eronata !";
  const std::vector<Refusal> refusals = {
      {ByNumber("", ""), wrongStart, DialogField::StartNumber},
      {ByNumber("1a", "x"), wrongStart, DialogField::StartNumber},
      {ByNumber("-5", "7"), startDigits, DialogField::StartNumber},
      {ByNumber("+5", "7"), startDigits, DialogField::StartNumber},
      {ByNumber("5" + sep + "0", "7"), startDigits, DialogField::StartNumber},
      {ByNumber("99999999999", "99999999999"), wrongStart, DialogField::StartNumber},
      {ByNumber("5", ""), wrongEnd, DialogField::EndNumber},
      {ByNumber("5", "7" + sep), endDigits, DialogField::EndNumber},
      {ByNumber("12", "5"), "Numarul de sfarsit nu poate fi mai mic decat cel de inceput !",
       DialogField::None},
      {ByNumber("5", "65536", MfJeSource::JE),
       "Numarul raportului Z pentru JE nu poate depasi 65535 !", DialogField::EndNumber},
      {ByNumber("70000", "70001", MfJeSource::JE),
       "Numarul raportului Z pentru JE nu poate depasi 65535 !", DialogField::StartNumber},
      {ByPeriod(kEmptyDateText, "01.03.26"), badStartDate, DialogField::StartDate},
      {ByPeriod("31.04.26", "01.05.26"), badStartDate, DialogField::StartDate},
      {ByPeriod("29.02.25", "01.03.25"), badStartDate, DialogField::StartDate},
      {ByPeriod("1.03.26", "01.03.26"), badStartDate, DialogField::StartDate},
      {ByPeriod("01.03.26", "32.03.26"), badEndDate, DialogField::EndDate},
      {ByPeriod("01.03.26", "01.13.26"), badEndDate, DialogField::EndDate},
      {ByPeriod("02.03.26", "01.03.26"),
       "Data de inceput interval nu poate fi mai mare decat data de sfarsit interval !",
       DialogField::EndDate},
      {ByPeriod("01.01.27", "31.12.26"),
       "Data de inceput interval nu poate fi mai mare decat data de sfarsit interval !",
       DialogField::EndDate},
  };
  for (const Refusal& refusal : refusals) {
    const InputCheck check = CheckMfReportInput(refusal.request);
    const std::string what = refusal.request.startNumber + "/" + refusal.request.endNumber + " " +
                             refusal.request.startDate + "/" + refusal.request.endDate;
    EXPECT_FALSE(check.ok) << what;
    EXPECT_EQ(check.message, refusal.message) << what;
    EXPECT_EQ(check.focus, refusal.focus) << what;
    EXPECT_EQ(check.caption, "Eroare ") << what;
    EXPECT_EQ(check.kind, MsgKind::Error) << what;
  }
}

TEST(MfReportInputTest, AcceptedInput) {
  EXPECT_TRUE(CheckMfReportInput(ByNumber("7", "7")).ok);
  EXPECT_TRUE(CheckMfReportInput(ByNumber("12345", "12346")).ok);
  EXPECT_TRUE(CheckMfReportInput(ByNumber("65535", "65535", MfJeSource::JE)).ok);
  EXPECT_TRUE(CheckMfReportInput(ByPeriod("29.02.24", "29.02.24")).ok);
  EXPECT_TRUE(CheckMfReportInput(ByPeriod(" 1.03.26", "31.03.26")).ok);
  EXPECT_EQ(MfReportCaption(MfReportMode::ByZNumber), "Raport MF/JE dupa numar Z");
  EXPECT_EQ(MfReportCaption(MfReportMode::ByPeriod), "Raport MF pe perioada");
}

class MfReportTest : public testing::ConsoleRig {};

TEST_F(MfReportTest, ReportsByNumberSendTheirCommands) {
  EXPECT_TRUE(RunMfReport(Context(), ByNumber("7", "7")));
  EXPECT_TRUE(RunMfReport(Context(), ByNumber("0012", "0015", MfJeSource::JE)));
  EXPECT_TRUE(op.boxes.empty());
  RunMfReport(Context(), ByNumber("12345", "12346"));  // sent whole; the ECR decides
  EXPECT_EQ(Sent(), (Texts{"500100070007", "800300120015", "50011234512346"}));
}

TEST_F(MfReportTest, ReportsByPeriodSendTheirCommands) {
  EXPECT_TRUE(RunMfReport(Context(), ByPeriod("01.03.26", "31.03.26", MfJeSource::MF,
                                              MfReportDetail::Summary)));
  EXPECT_TRUE(RunMfReport(Context(), ByPeriod("01.03.26", "31.03.26")));
  EXPECT_TRUE(RunMfReport(Context(), ByPeriod("01.03.26", "01.03.26", MfJeSource::JE,
                                              MfReportDetail::Summary)));
  EXPECT_EQ(Sent(), (Texts{"5003010326310326", "5002010326310326", "8001010326010326"}));
}

TEST_F(MfReportTest, RefusedInputSendsNothingAndOpensNoPort) {
  EXPECT_FALSE(RunMfReport(Context(), ByNumber("12", "5")));
  EXPECT_EQ(op.BoxTexts(), Texts{"Numarul de sfarsit nu poate fi mai mic decat cel de inceput !"});
  EXPECT_EQ(op.boxes[0].caption, "Eroare ");
  EXPECT_EQ(ports.made, 0);
}

TEST_F(MfReportTest, ReportTheEcrOrTheLinkRefusesIsToldWithTheError) {
  Fault("err 5001 5 once");
  EXPECT_FALSE(RunMfReport(Context(), ByNumber("1", "2")));
  // The year 00 is a calendar date for the dialog but not for the link.
  EXPECT_FALSE(RunMfReport(Context(), ByPeriod("01.01.00", "02.01.00")));
  const Texts boxes = op.BoxTexts();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].substr(0, 36), "Eroare la efectuarea raportului !\r5;");
  EXPECT_EQ(boxes[1].substr(0, 39), "Eroare la efectuarea raportului !\r8035;");
  EXPECT_EQ(op.boxes[0].caption, "Eroare");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
}

TEST_F(MfReportTest, LogLandsInTheWorkingFolderAndTheStopHasNone) {
  state.settings.logFile = true;
  EXPECT_TRUE(RunMfReport(Context(), ByNumber("1", "1")));
  EXPECT_EQ(Files("", "Log_RapMF_*.TXT").size(), 1u);
  EXPECT_FALSE(FolderExists(state.logFolder));

  EXPECT_TRUE(StopMfReport(Context()));
  Fault("err 5005 5 once");
  EXPECT_FALSE(StopMfReport(Context()));
  EXPECT_EQ(Sent(), (Texts{"500100010001", "5005", "5005"}));
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.substr(0, 36), "Eroare la intreruperea raportului !\r");
  EXPECT_EQ(Files("", "Log_*").size(), 1u);
}

}  // namespace
}  // namespace ruvo
