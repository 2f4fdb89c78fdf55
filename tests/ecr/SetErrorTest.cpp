#include <gtest/gtest.h>

#include <string>

#include "LinkFixture.h"
#include "ecr/ErrorTable.h"
#include "ecr/FrameLink.h"

namespace ruvo::test {
namespace {

TEST_F(FrameLinkTest, PaperOutSetsItsFlagAndKeepsTheDashByte) {
  link->SetError(16);
  EXPECT_EQ(link->LastError(), "16;Eroare lipsa hartie \x96 inlocuiti rola de hartie");
  EXPECT_TRUE(link->ErrorPaperOut());
  EXPECT_FALSE(link->ErrorZReportDue());
  EXPECT_FALSE(link->ErrorExtended());
}

TEST_F(FrameLinkTest, EveryCallRebuildsTextAndFlags) {
  link->SetError(61);
  EXPECT_TRUE(link->ErrorZReportDue());
  EXPECT_EQ(link->LastError(), "61;Au trecut 24 ore de la ultimul raport fiscal Z");
  link->SetError(8);
  EXPECT_EQ(link->LastError(), "8;");
  EXPECT_FALSE(link->ErrorZReportDue());
  link->SetError(-5);
  EXPECT_EQ(link->LastError(), "-5;");
  link->SetError(8001);
  EXPECT_EQ(link->LastError(), "8001;Eroare la deschiderea portului serial");
  link->SetError(8004);
  EXPECT_EQ(link->LastError(), "8004;Lungimea textului este prea mare ");
}

TEST_F(FrameLinkTest, CommunicationErrorIsSixLinesSeparatedByCarriageReturns) {
  link->SetError(65543);
  const std::string& text = link->LastError();
  ASSERT_EQ(text.rfind("65543;ERR_COMM_NOT_OK\rEfectuati una din operatiile de mai jos :\r", 0),
            0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 5);
  EXPECT_EQ(text.substr(text.rfind('\r') + 1),
            "Verificati conectarea corecta a cablului de comunicatie PC - Imprimanta.");
}

TEST_F(FrameLinkTest, CloseTimeOutHintIsAddedOnce) {
  link->SetCloseAckTimedOut(true);
  link->SetError(8048);
  EXPECT_EQ(link->LastError(), "8048;TIME OUT; VERIFICATI STAREA IMPRIMANTEI CU COMANDA 9999");
  EXPECT_FALSE(link->CloseAckTimedOut());
  link->SetError(8048);
  EXPECT_EQ(link->LastError(), "8048;TIME OUT");
}

TEST_F(FrameLinkTest, CloseTimeOutFlagWaitsForATimeOut) {
  link->SetCloseAckTimedOut(true);
  link->SetError(16);
  EXPECT_TRUE(link->CloseAckTimedOut());
}

TEST_F(FrameLinkTest, ExtendedErrorIsAskedForAndLooked) {
  port->QueueAnswer(Answer("ERR150"), 5);
  link->SetError(99);
  EXPECT_EQ(link->LastError(), "99;Cod PLU inexistent");
  EXPECT_TRUE(link->ErrorExtended());
  EXPECT_EQ(port->written, std::vector<std::string>{Frame("1015")});
  EXPECT_EQ(link->ExchangeLog().front(), "14:03:07:125-Calculator : 1015");
}

TEST_F(FrameLinkTest, ExtendedErrorInLowerCase) {
  port->QueueAnswer(Answer("err150"), 5);
  link->SetError(99);
  EXPECT_EQ(link->LastError(), "99;Cod PLU inexistent");
}

TEST_F(FrameLinkTest, ExtendedErrorWithoutMessageOrNumber) {
  port->QueueAnswer(Answer("ERR104"), 5);
  link->SetError(99);
  EXPECT_EQ(link->LastError(), "99;");
  port->QueueAnswer(Answer("ERRxyz"), 5);
  link->SetError(99);
  EXPECT_EQ(link->LastError(), "99;");
  port->QueueAnswer(Answer("ERR100"), 5);
  link->SetError(99);
  EXPECT_EQ(link->LastError(), "99;Eroare necunoscuta \x96 contactati tehnicianul autorizat");
}

TEST_F(FrameLinkTest, FailedExtendedQueryLeavesItsOwnError) {
  link->SetError(99);  // the ECR stays silent
  EXPECT_EQ(link->LastError(), "8048;TIME OUT");
  EXPECT_FALSE(link->ErrorExtended());
}

TEST_F(FrameLinkTest, ExtendedQueryFailingWith99DoesNotAskAgain) {
  port->QueueAnswer(ErrorAnswer("99"), 5);
  port->QueueAnswer(ErrorAnswer("99"), 5);
  link->SetError(99);
  EXPECT_EQ(link->LastError(), "99;");
  EXPECT_EQ(port->written.size(), 1u);
  // The guard is released: the next 99 asks again.
  link->SetError(99);
  EXPECT_EQ(port->written.size(), 2u);
}

TEST(ErrorTable, MessagesAreTheSingleBytesShown) {
  EXPECT_EQ(EcrErrorMessage(36),
            "Datele din memoria JE lipsesc  \x96 chemati tehnicianul autorizat");
  EXPECT_EQ(EcrErrorMessage(8047), "NACK");
  EXPECT_EQ(EcrErrorMessage(8000), "Eroare conectare la driverul-ui WobDLL.DLL ");
  EXPECT_EQ(EcrErrorMessage(169), "KP mm-kk NU RASPUNDE");
  EXPECT_EQ(EcrErrorMessage(65542), "ERR_PROT_NOT_OK");
  EXPECT_TRUE(EcrErrorMessage(17).empty());
  EXPECT_TRUE(EcrErrorMessage(99).empty());
  EXPECT_EQ(ExtendedErrorMessage(152), "Operatorul selectat nu exista\\");
  EXPECT_EQ(ExtendedErrorMessage(193), "Eroare salvare Raport Z pe memoria flash");
  EXPECT_TRUE(ExtendedErrorMessage(104).empty());
}

}  // namespace
}  // namespace ruvo::test
