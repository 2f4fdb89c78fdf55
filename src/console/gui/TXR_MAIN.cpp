#include "console/gui/TXR_MAIN.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>

#include "console/gui/StatePictures.h"
#include "console/gui/WinText.h"

namespace ruvo::gui {

namespace {

constexpr int kQuietAfterReportMs = 500;
constexpr int kClockWatchMs = 1000;

const QString kWaitingPrefix = "In asteptare: ";
const QString kRunningPrefix = "In curs: ";
// What a refusal names when the driver's own work (a file, a connection check) holds the ECR.
const std::string kEcrWorkTitle = "comunicare cu casa de marcat";

}  // namespace

class TXR_MAIN::Activity {
 public:
  explicit Activity(TXR_MAIN& window) : window_(window) { ++window_.activities_; }
  ~Activity() {
    --window_.activities_;
    // Later, from the event loop: the close must not pull the window from under a caller.
    QTimer::singleShot(0, &window_, [w = &window_] { w->RunQueued(); });
  }
  Activity(const Activity&) = delete;
  Activity& operator=(const Activity&) = delete;

 private:
  TXR_MAIN& window_;
};

TXR_MAIN::TXR_MAIN(Driver& driver, std::function<bool()> trayAvailable, IDriverObserver* alsoTell)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint),
      driver_(driver),
      trayAvailable_(trayAvailable ? std::move(trayAvailable)
                                   : [] { return QSystemTrayIcon::isSystemTrayAvailable(); }),
      alsoTell_(alsoTell) {
  setObjectName("TXR_MAIN");
  setWindowTitle(kTitle);
  setWindowIcon(StateIcon(true));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(12);
  BuildLeftColumn();
  BuildManualPanel();
  BuildSettingsPanel();
  // The two panels share one place; only one of them shows at a time.
  auto* right = new QGridLayout;
  right->addWidget(pinfo_, 0, 0);
  right->addWidget(pconfig_, 0, 0);
  layout->addLayout(right, 1);

  connect(bstare_, &QPushButton::clicked, this, &TXR_MAIN::OnBstare);
  connect(bconfig2_, &QPushButton::clicked, this, &TXR_MAIN::OnBConfig2);
  connect(biesire_, &QPushButton::clicked, this, &TXR_MAIN::PutAway);
  connect(jetButton1_, &QPushButton::clicked, this, &TXR_MAIN::OnJetButton1);
  ConnectSettingsControls();

  popup_ = new QMenu(this);
  popup_->setObjectName("MessPopup");
  menuConfigurari_ = popup_->addAction("Configurari", this, &TXR_MAIN::OnMenuConfigurari);
  menuProcessing_ =
      popup_->addAction("Stop procesare mesaje", this, &TXR_MAIN::OnMenuToggleProcessing);
  menuStop_ = popup_->addAction("Stop program", this, &TXR_MAIN::RequestClose);

  ticks_ = new QTimer(this);
  ticks_->setInterval(Driver::kTimerIntervalMs);
  connect(ticks_, &QTimer::timeout, this, &TXR_MAIN::Tick);
  trayWatch_ = new QTimer(this);
  trayWatch_->setInterval(1000);
  connect(trayWatch_, &QTimer::timeout, this, &TXR_MAIN::FollowTray);
  // Also during the driver's waits, which serve the event loop: a report may print for
  // minutes, and the window must say so.
  clockWatch_ = new QTimer(this);
  clockWatch_->setInterval(kClockWatchMs);
  connect(clockWatch_, &QTimer::timeout, this, [this] {
    ShowRunning();
    ShowNotice();
  });
  clockWatch_->start();

  setFixedSize(700, 440);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  driver_.SetObserver(this);
  ShowState();
}

TXR_MAIN::~TXR_MAIN() { driver_.SetObserver(alsoTell_); }

void TXR_MAIN::Start() {
  FollowTray();
  {
    Activity starting(*this);
    driver_.Start();
  }
  ticks_->start();
  trayWatch_->start();
}

void TXR_MAIN::StateChanged() {
  ShowState();
  if (alsoTell_ != nullptr) alsoTell_->StateChanged();
}

bool TXR_MAIN::RunIfIdle(const std::function<void()>& work) {
  if (Working() || closeRequested_ || closeDone_) return false;
  Activity running(*this);
  work();
  return true;
}

void TXR_MAIN::RunServing(const std::function<void()>& work) {
  if (closeDone_) return;
  Activity serving(*this);
  work();
}

bool TXR_MAIN::Working() const { return activities_ > 0 || asking_ || driver_.Working(); }

// ---- clicks kept for the end of the work ----------------------------------------------------

void TXR_MAIN::QueueProcessing(bool on, bool fromButton) {
  // Several clicks on the same caption ask for the same thing: the state it names.
  wantedProcessing_ = on;
  wantedByButton_ = wantedByButton_ || fromButton;
  ShowNotice();
}

void TXR_MAIN::RunQueued() {
  if (closeDone_) return;
  if (!Working()) {
    if (wantedProcessing_) {
      const bool on = *wantedProcessing_;
      const bool byButton = wantedByButton_;
      wantedProcessing_.reset();
      wantedByButton_ = false;
      ShowNotice();
      if (driver_.State().processing != on && !closeRequested_) {
        Activity toggling(*this);
        if (byButton && showingSettings_) {
          driver_.SaveSettings();
          showingSettings_ = false;
        }
        driver_.SetProcessing(on);
      }
    } else if (stopProgramWanted_) {
      stopProgramWanted_ = false;
      ShowNotice();
      OnJetButton1();
    }
  }
  CloseIfRequested();
}

QString TXR_MAIN::Notice() const {
  QStringList waiting;
  if (wantedProcessing_) waiting << (*wantedProcessing_ ? "Start procesare" : "Stop procesare");
  if (stopProgramWanted_ || (closeRequested_ && !closeDone_)) waiting << "Stop program";
  QStringList lines;
  if (!waiting.isEmpty()) lines << kWaitingPrefix + waiting.join(", ");
  if (!refusal_.isEmpty() && driver_.Context().clock.MonotonicMs() < refusalUntilMs_) {
    lines << refusal_;
  }
  return lines.join('\n');
}

QString TXR_MAIN::RunningText() const {
  const RunningOperation& operation = driver_.State().operation;
  if (!operation.Active()) return {};
  const std::int64_t seconds =
      std::max<std::int64_t>(driver_.Context().clock.MonotonicMs() - operation.sinceMs, 0) / 1000;
  return kRunningPrefix + FromWinText(operation.name) +
         QString(", %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

void TXR_MAIN::ShowNotice() {
  const QString text = Notice();
  if (lasteptare_->text() != text) lasteptare_->setText(text);
  lasteptare_->setVisible(!text.isEmpty());
}

void TXR_MAIN::ShowRunning() {
  const QString text = RunningText();
  if (loperatie_->text() != text) loperatie_->setText(text);
  loperatie_->setVisible(!text.isEmpty());
}

// Each refusal gets its whole time in the notice, whatever came before it.
void TXR_MAIN::TellRefused(const QString& text) {
  refusal_ = text;
  refusalUntilMs_ = driver_.Context().clock.MonotonicMs() + kRefusalShownMs;
  ShowNotice();
  QApplication::beep();
}

// ---- what the window shows --------------------------------------------------------------

void TXR_MAIN::ShowState() {
  const DriverState& state = driver_.State();
  const bool processing = state.processing;
  ShowRunning();
  bstare_->setText(QString::fromStdString(driver_.ProcessingCaption()));
  i1_->setVisible(processing);
  i2_->setVisible(!processing);
  bconfig2_->setEnabled(!processing);
  if (processing) pconfig_->hide();
  pinfo_->setVisible(pconfig_->isHidden());
  pinfo_->setEnabled(!processing);

  lcomunicatie_->setText(FromWinText(driver_.ConnectedLabel()));
  const QString colour = state.connected ? "color: green;" : "color: red;";
  if (lcomunicatie_->styleSheet() != colour) lcomunicatie_->setStyleSheet(colour);

  QStringList lines;
  for (const std::string& line : state.warningBox) lines << FromWinText(line);
  const QString text = lines.join('\n');
  if (malarma_->toPlainText() != text) malarma_->setPlainText(text);

  ShowSettings();
  ShowTrayState();
  SyncWindowVisibility();
}

void TXR_MAIN::ShowTrayState() {
  const bool processing = driver_.State().processing;
  menuConfigurari_->setEnabled(!processing);
  menuProcessing_->setText(QString::fromStdString(driver_.ProcessingCaption()));
  if (tray_ != nullptr) tray_->setIcon(StateIcon(processing));
}

// The warning box asks for the window when it gets lines while the window is hidden.
void TXR_MAIN::SyncWindowVisibility() {
  if (driver_.State().windowVisible && !isVisible() && !closeDone_) {
    showNormal();
    raise();
    activateWindow();
  }
}

void TXR_MAIN::showEvent(QShowEvent* event) {
  driver_.State().windowVisible = true;
  QWidget::showEvent(event);
}

void TXR_MAIN::hideEvent(QHideEvent* event) {
  if (!isVisible()) driver_.State().windowVisible = false;
  QWidget::hideEvent(event);
}

// ---- the buttons -------------------------------------------------------------------------

void TXR_MAIN::OnBstare() {
  if (Working()) {
    QueueProcessing(!driver_.State().processing, true);
    return;
  }
  Activity toggling(*this);
  if (showingSettings_) {
    driver_.SaveSettings();
    showingSettings_ = false;
  }
  driver_.ToggleProcessing();
}

// Only shows a panel; nothing of it reaches the ECR, so it needs no wait.
void TXR_MAIN::OnBConfig2() { ToggleSettingsPanel(); }

void TXR_MAIN::OnJetButton1() {
  if (asking_) {
    // The question is still up: it already asks what this click asks.
    if (QWidget* question = QApplication::activeModalWidget()) {
      question->raise();
      question->activateWindow();
      return;
    }
    // Answered, but what ran under it (a tick's connection check with a silent ECR) has
    // not ended yet: the click is kept and asked again then, like any click during work.
  }
  if (Working()) {
    stopProgramWanted_ = true;
    ShowNotice();
    return;
  }
  // The processing timer keeps ticking under the question; only TcheckCOM is held.
  asking_ = true;
  const bool closed = driver_.AskAndClose();
  asking_ = false;
  if (closed) {
    RemoveTray();
    FinishClose();
  } else {
    // What was kept while the question was up (this click again, a start or stop) runs now.
    QTimer::singleShot(0, this, &TXR_MAIN::RunQueued);
  }
}

void TXR_MAIN::RunManualOperation(ManualOperation which) {
  // While processing runs the panel is disabled; a click that still gets here starts nothing.
  if (driver_.State().processing || closeRequested_) return;
  if (Working()) {
    // Never kept: the operator decides again once the running work has ended.
    const std::string running = OperationInProgressText(driver_.State());
    TellRefused(FromWinText(running.empty() ? kOperationInProgress + kEcrWorkTitle : running));
    return;
  }
  IClock& clock = driver_.Context().clock;
  const auto quiet = quietUntilMs_.find(which);
  if (quiet != quietUntilMs_.end() && clock.MonotonicMs() < quiet->second) return;
  {
    Activity running(*this);
    const ConsoleContext context{driver_.Context(), driver_.State()};
    RunManualOperationBody(which, context, this);
  }
  // Clicks made on the Z or X button while its report printed must not print it again.
  if (DiscardsQueuedClicks(which)) quietUntilMs_[which] = clock.MonotonicMs() + kQuietAfterReportMs;
}

void TXR_MAIN::ShowPage(const QString& page) {
  if (driver_.State().processing) OnBstare();
  ShowFromTray();
  const bool settings = page == "Setari" || page == "Erori";
  if (settings == pconfig_->isHidden()) ToggleSettingsPanel();
  auto* manualPages = findChild<QTabWidget*>("PageControl1");
  auto* settingsPages = findChild<QTabWidget*>("PageControl2");
  manualPages->setCurrentIndex(page == "Rapoarte" ? 1 : 0);
  settingsPages->setCurrentIndex(page == "Erori" ? 1 : 0);
  // The dialogs of "Comenzi" that have pictures of their own, opened over the window.
  if (page == "Numerar" || page == "Logo") {
    const ManualOperation which =
        page == "Numerar" ? ManualOperation::CashInOut : ManualOperation::LogoUpload;
    QTimer::singleShot(0, this, [this, which] { RunManualOperation(which); });
  }
}

// ---- timers ------------------------------------------------------------------------------

void TXR_MAIN::Tick() {
  // A tick that falls due during an ECR wait (the wait lets the window run) waits its turn;
  // the driver's busy flag holds off what the driver itself runs.
  if (activities_ > 0 || closeDone_) return;
  if (wantedProcessing_ || stopProgramWanted_) RunQueued();
  if (closeDone_) return;
  Activity ticking(*this);
  driver_.TcheckComTick();
  if (closeRequested_) return;
  driver_.TprocessorTick();
}

// ---- the pop-up menu ------------------------------------------------------------------

void TXR_MAIN::OnMenuToggleProcessing() {
  if (Working()) {
    QueueProcessing(!driver_.State().processing, false);
    return;
  }
  Activity toggling(*this);
  driver_.ToggleProcessing();
}

// ---- closing -----------------------------------------------------------------------------

void TXR_MAIN::closeEvent(QCloseEvent* event) {
  if (closeDone_) {
    event->accept();
    return;
  }
  // Only "Stop program" ends the driver: the close box puts the window away, into the tray
  // or, with no tray to come back from, onto the task bar.
  event->ignore();
  PutAway();
}

void TXR_MAIN::RequestClose() {
  closeRequested_ = true;
  ShowNotice();
  // A question left open must not hold the driver: closing it answers No / Cancel.
  if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  CloseIfRequested();
}

void TXR_MAIN::CloseIfRequested() {
  if (!closeRequested_ || closeDone_ || Working()) return;
  RemoveTray();
  driver_.Close();
  FinishClose();
}

void TXR_MAIN::FinishClose() {
  if (closeDone_) return;
  closeDone_ = true;
  ticks_->stop();
  trayWatch_->stop();
  clockWatch_->stop();
  RemoveTray();
  close();
  emit Closed();
}

}  // namespace ruvo::gui
