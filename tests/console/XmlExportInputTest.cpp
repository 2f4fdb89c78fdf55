// The export dialog's defaults and the check of its year and month.
#include <gtest/gtest.h>

#include <string>

#include "console/XmlExport.h"

namespace ruvo {
namespace {

ExportXmlRequest Export(const std::string& year, const std::string& month) {
  ExportXmlRequest request;
  request.yearText = year;
  request.monthText = month;
  return request;
}

TEST(XmlExportInputTest, DialogOpensOnTheCurrentMonth) {
  const ExportXmlRequest request = DefaultExportXmlRequest(LocalDateTime{2026, 9, 8}, true);
  EXPECT_EQ(request.yearText, "2026");
  EXPECT_EQ(request.monthText, " 9");
  EXPECT_EQ(request.type, ExportType::R);
  EXPECT_TRUE(request.binaryTransfer);
  EXPECT_EQ(MonthItem(12), "12");
}

TEST(XmlExportInputTest, YearAfter2017AndAMonthOfTheYear) {
  for (const std::string year : {"2017", "0", "", "abc", "-2020", "20x4", "10000"}) {
    const InputCheck check = CheckExportXmlInput(Export(year, " 1"));
    EXPECT_FALSE(check.ok) << year;
    EXPECT_EQ(check.message, "Anul exportului este eronat") << year;
    EXPECT_EQ(check.caption, "Eroare ") << year;
    EXPECT_EQ(check.kind, MsgKind::Error) << year;
    EXPECT_EQ(check.focus, DialogField::Year) << year;
  }
  EXPECT_TRUE(CheckExportXmlInput(Export("2018", " 1")).ok);
  EXPECT_EQ(ExportYearText(Export("02024", " 1")), "2024");

  for (const std::string month : {"", "0", "13", "x", "1 2"}) {
    EXPECT_EQ(CheckExportXmlInput(Export("2024", month)).focus, DialogField::Month) << month;
  }
  EXPECT_EQ(ExportMonth(Export("2024", " 9")), 9);
  EXPECT_EQ(ExportMonth(Export("2024", "12")), 12);
  EXPECT_EQ(ExportMonth(Export("2024", "5")), 5);
}

}  // namespace
}  // namespace ruvo
