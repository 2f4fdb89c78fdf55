// The graphic logo upload on the simulated ECR: the commands and the script, the file
// name checks, the sizes that cannot go, the failures of each command, and the progress
// window on every way out.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/LogoUpload.h"
#include "support/ConsoleRig.h"
#include "support/FileBytes.h"

namespace ruvo {
namespace {

using Texts = std::vector<std::string>;
using testing::ReadBytes;
using testing::WriteBytes;

// Bytes 0x00, 0x0A, 0xAB, ... so that the hexadecimal text shows zeros, line feeds and
// upper-case letters.
std::string Picture(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t k = 0; k < size; ++k)
    bytes[k] = static_cast<char>((k * 10 + (k / 7) * 0xAB) & 0xFF);
  return bytes;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
    hex.push_back(kDigits[static_cast<unsigned char>(c) & 0x0F]);
  }
  return hex;
}

// What the window would show, in order: "cursor+", "begin N", "advance N", "end", "cursor-".
class RecordingProgress final : public ILogoProgress {
 public:
  void BusyCursor(bool busy) override { events.push_back(busy ? "cursor+" : "cursor-"); }
  void Begin(int pieceCount) override { events.push_back("begin " + std::to_string(pieceCount)); }
  void Advance(int piecesSent) override {
    events.push_back("advance " + std::to_string(piecesSent));
    if (piecesSent == throwAt) throw std::runtime_error("fereastra s-a blocat");
  }
  void End() override { events.push_back("end"); }

  Texts events;
  int throwAt = -1;
};

class LogoUploadTest : public testing::ConsoleRig {
 protected:
  LogoUploadTest() { std::filesystem::create_directories(pictures); }
  // A picture in a folder of its own, away from the working folder.
  std::string Put(const std::string& name, const std::string& bytes) {
    WriteBytes(pictures + name, bytes);
    return pictures + name;
  }
  bool Load(const std::string& path) {
    return LoadLogo(Context(), path, &progress, LogoConfirmation::AlreadyConfirmed);
  }
  // Nothing sent, no port made, no script written.
  void ExpectNothingDone() {
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(ports.made, 0);
    EXPECT_TRUE(Files("", "*.XRD").empty());
  }

  const std::string pictures = folder.Path() + "/poze/";
  RecordingProgress progress;
};

TEST_F(LogoUploadTest, FileOf120BytesGoesInPiecesOf50_50And20AndTheScriptHoldsTheSameCommands) {
  state.settings.logFile = true;
  const std::string bytes = Picture(120);
  EXPECT_TRUE(Load(Put("Logo.bmp", bytes)));

  const Texts expected{"9100000120", "910150" + Hex(bytes.substr(0, 50)),
                       "910150" + Hex(bytes.substr(50, 50)), "910120" + Hex(bytes.substr(100)),
                       "9102"};
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(ReadBytes(state.workingFolder + "LOGO.XRD"),
            expected[0] + "\r\n" + expected[1] + "\r\n" + expected[2] + "\r\n" + expected[3] +
                "\r\n" + expected[4] + "\r\n");
  EXPECT_EQ(engine.GetDevice().Logo(), bytes);
  EXPECT_EQ(progress.events,
            (Texts{"cursor+", "begin 3", "advance 1", "advance 2", "advance 3", "end", "cursor-"}));
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text, "Transmisia s-a facut cu succes !");
  EXPECT_EQ(op.boxes[0].caption, "");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Information);
  EXPECT_EQ(Files("Log/", "Log_LoadBMP_*.TXT").size(), 1u);
  EXPECT_EQ(ports.open, 0);
}

TEST_F(LogoUploadTest, FileOf100BytesIsTwoFullPiecesAndALineFeedIsSentAs0A) {
  const std::string bytes = Picture(100);
  ASSERT_EQ(bytes[1], '\x0A');
  EXPECT_TRUE(Load(Put("a.BMP", bytes)));
  const Texts sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], "9100000100");
  EXPECT_EQ(sent[1].substr(0, 10), "910150000A");
  EXPECT_EQ(sent[2].substr(0, 6), "910150");
  EXPECT_EQ(sent[3], "9102");
  EXPECT_EQ(engine.GetDevice().Logo(), bytes);
}

TEST_F(LogoUploadTest, ExtensionIsComparedInUpperCaseAndNothingElseOfTheFileIsLookedAt) {
  for (const std::string name : {"logo.jpg", "logo", "logo.bmp.png", "bmp", "logo.bm"}) {
    op.boxes.clear();
    EXPECT_FALSE(Load(pictures + name)) << name;  // none of them exists: never opened
    ASSERT_EQ(op.boxes.size(), 1u) << name;
    EXPECT_EQ(op.boxes[0].text, "Pot fi transmise doar fisiere BMP ! ");
    EXPECT_EQ(op.boxes[0].caption, "Eroare");
    EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
    EXPECT_TRUE(op.errors.empty());
  }
  ExpectNothingDone();
  EXPECT_TRUE(progress.events.empty());

  EXPECT_TRUE(IsBmpFileName("/x/logo.Bmp"));
  EXPECT_TRUE(IsBmpFileName("/x.jpg/LOGO.BMP"));
  EXPECT_FALSE(IsBmpFileName("/x.bmp/logo"));
  EXPECT_EQ(LogoScriptName("/home/casa/Logo.bmp"), "LOGO.XRD");
  EXPECT_EQ(LogoScriptName("sigla.bmp.Bmp"), "SIGLA.XRD.XRD");
  EXPECT_EQ(LogoScriptName("/tmp/\xC8\x98"
                           "coala.bmp"),
            "\xC8\x98"
            "COALA.XRD");  // UTF-8 kept
}

TEST_F(LogoUploadTest, QuestionShowsTheFullNameAndNoSendsNothing) {
  const std::string path = Put("logo.bmp", Picture(10));
  op.answer = MsgResult::No;
  EXPECT_FALSE(LoadLogo(Context(), path, &progress));
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text,
            "Fisierul \r\r" + path + "\r\r va fi transmis catre imprimanta.\r\r Continui ?");
  EXPECT_EQ(op.boxes[0].caption, "Atentie");
  EXPECT_EQ(op.boxes[0].kind, MsgKind::Confirmation);
  EXPECT_EQ(op.boxes[0].buttons, MsgButtons::YesNo);
  ExpectNothingDone();

  op.answer = MsgResult::Yes;
  EXPECT_TRUE(LoadLogo(Context(), path, &progress));
  EXPECT_EQ(engine.GetDevice().Logo(), Picture(10));
}

TEST_F(LogoUploadTest, EmptyMissingAndOversizedFilesAreRefusedBeforeAnythingIsSentOrWritten) {
  EXPECT_FALSE(Load(Put("gol.bmp", "")));
  EXPECT_FALSE(Load(pictures + "lipsa.bmp"));
  EXPECT_FALSE(Load(Put("mare.bmp", std::string(kLogoMaxBytes + 1, 'x'))));
  ASSERT_EQ(op.boxes.size(), 2u);
  EXPECT_EQ(op.boxes[0].text, "Fisierul nu contine nimic, nu am ce transmite !");
  EXPECT_EQ(op.boxes[1].text,
            "Fisierul are 1000000 bytes; pot fi transmise cel mult 999999 bytes !");
  ASSERT_EQ(op.errors.size(), 1u);
  EXPECT_NE(op.errors[0].find("lipsa.bmp"), std::string::npos);
  EXPECT_TRUE(progress.events.empty());
  ExpectNothingDone();
}

TEST_F(LogoUploadTest, FileOfTheLargestAnnouncedSizeGoesWhole) {
  const std::string bytes = Picture(kLogoMaxBytes);
  EXPECT_TRUE(Load(Put("mare.bmp", bytes)));
  EXPECT_EQ(engine.GetDevice().Logo(), bytes);
  const std::optional<Texts> script = ReadLines(state.workingFolder + "MARE.XRD");
  ASSERT_TRUE(script);
  ASSERT_EQ(script->size(), 20000u + 2u);
  EXPECT_EQ(script->front(), "9100999999");
  EXPECT_EQ((*script)[20000].substr(0, 6), "910149");
  EXPECT_EQ(Sent().back(), "9102");
}

TEST_F(LogoUploadTest, ScriptIsWrittenAlsoWhenThePortDoesNotOpen) {
  state.settings.port = 0;
  EXPECT_FALSE(Load(Put("Logo.bmp", Picture(120))));
  EXPECT_EQ(SplitLines(ReadBytes(state.workingFolder + "LOGO.XRD")).size(), 5u);
  ASSERT_EQ(op.boxes.size(), 1u);
  EXPECT_EQ(op.boxes[0].text.rfind("Nu pot deschide portul serial !\r", 0), 0u);
  EXPECT_EQ(progress.events, (Texts{"cursor+", "cursor-"}));
}

TEST_F(LogoUploadTest, EachRefusedCommandEndsTheUploadWithItsMessage) {
  struct Case {
    std::string fault;
    std::string message;
    Texts events;
    std::size_t sent;  // commands the ECR received
  };
  const std::vector<Case> cases{
      {"err 9100 5 once", "Eroare comanda 9100 !\r5;", {"cursor+", "cursor-"}, 1},
      {"err 9101 5 once skip 1",
       "Eroare comanda 9101 !\r5;",
       {"cursor+", "begin 3", "advance 1", "end", "cursor-"},
       3},
      {"err 9102 5 once",
       "Eroare comanda 9102 !\r5;",
       {"cursor+", "begin 3", "advance 1", "advance 2", "advance 3", "end", "cursor-"},
       5},
  };
  const std::string path = Put("logo.bmp", Picture(120));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    op.boxes.clear();
    progress.events.clear();
    Fault(c.fault);
    EXPECT_FALSE(Load(path));
    ASSERT_EQ(op.boxes.size(), 1u);
    EXPECT_EQ(op.boxes[0].text.substr(0, c.message.size()), c.message);
    EXPECT_EQ(op.boxes[0].caption, "Eroare");
    EXPECT_EQ(op.boxes[0].kind, MsgKind::Warning);
    EXPECT_EQ(progress.events, c.events);
    EXPECT_EQ(Sent().size(), c.sent);
    EXPECT_EQ(ports.open, 0);
  }
  EXPECT_EQ(engine.GetDevice().Logo(), "");
}

TEST_F(LogoUploadTest, ErrorRaisedByTheProgressWindowClosesItAndThePort) {
  progress.throwAt = 2;
  EXPECT_FALSE(Load(Put("logo.bmp", Picture(120))));
  EXPECT_EQ(progress.events,
            (Texts{"cursor+", "begin 3", "advance 1", "advance 2", "end", "cursor-"}));
  EXPECT_EQ(op.errors, Texts{"fereastra s-a blocat"});
  EXPECT_EQ(ports.open, 0);
  EXPECT_EQ(ports.alive, 0);
  EXPECT_FALSE(engine.GetDevice().Logo() == Picture(120));
}

}  // namespace
}  // namespace ruvo
