#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "app/Driver.h"
#include "app/DriverObserver.h"
#include "console/gui/ManualOperation.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace ruvo::gui {

// The operator's window on the driver: start and stop processing, the settings panel, the
// manual operations, the warning box and the tray icon with its pop-up menu. Everything it
// does goes through the Driver; it only draws and routes clicks. Clicks arrive also while
// the driver works (its waits keep the window served); none starts ECR work under running
// work. Start/stop processing, "Stop program" and the tray menu's entries are kept and run
// when the work ends (the notice under the buttons says what waits); a manual operation is
// refused with "O operatie este in curs: ..." in that notice.
class TXR_MAIN final : public QWidget, public IDriverObserver {
  Q_OBJECT
 public:
  // The window's caption and the tray icon's tip.
  static constexpr const char* kTitle = "Ruvo_Drv vers.2.3.3";

  // trayAvailable tells whether the desktop has a notification area (asked again every
  // second); alsoTell hears every state change too.
  explicit TXR_MAIN(Driver& driver, std::function<bool()> trayAvailable = {},
                    IDriverObserver* alsoTell = nullptr);
  ~TXR_MAIN() override;

  // Start-up: tray icon, settings loaded, processing started, timers running. Without a
  // tray the window shows itself, so the operator can always reach it.
  void Start();

  void StateChanged() override;

  // The one road of every manual operation button.
  void RunManualOperation(ManualOperation which);

  // "Stop program" without a question (menu entry, SIGTERM, SIGINT): the close sequence,
  // at once, or as soon as what runs now has ended.
  void RequestClose();
  // Runs work as a click's would run, unless a click's work, a tick, a question or a close
  // is under way: then false, and the caller tries again later.
  bool RunIfIdle(const std::function<void()>& work);
  // Runs work at once, also inside the driver's waits, counted as work in hand: for what
  // decides for itself what may run now (the control socket's requests).
  void RunServing(const std::function<void()>& work);
  bool CloseDone() const { return closeDone_; }
  // What the notice under the buttons says now: what waits for the work to end, or why a
  // click was refused; empty when nothing.
  QString Notice() const;
  // The manual operation under way and how long it has run ("In curs: Raport zilnic,
  // 1:05"), whoever started it; empty while none runs. Shown above the notice and
  // refreshed every second.
  QString RunningText() const;
  // How long a refusal stays in the notice.
  static constexpr int kRefusalShownMs = 4000;

  // One beat of the two 1000 ms timers: TcheckCOM's tick, then Tprocessor's.
  void Tick();
  // Looks again whether the desktop has a tray and follows it.
  void FollowTray();

  // For pictures of the window (scripts/screenshot.sh): processing stopped, the window up,
  // one page in front: "Comenzi", "Rapoarte", "Setari" or "Erori"; "Numerar" and "Logo"
  // open the cash dialog or the picture dialog over "Comenzi".
  void ShowPage(const QString& page);

  QSystemTrayIcon* TrayIcon() const { return tray_; }
  QMenu* MessPopup() const { return popup_; }

 signals:
  // The close sequence has run; the program may end.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Marks a click's work or a tick as running; when it ends, a close asked for meanwhile
  // goes ahead.
  class Activity;

  void BuildLeftColumn();
  void BuildManualPanel();
  void BuildSettingsPanel();
  QWidget* BuildGeneralPage();
  QWidget* BuildErrorPage();
  QGroupBox* RadioGroup(const char* name, const QString& title, const QStringList& items,
                        QButtonGroup*& group, QWidget* parent);
  void ConnectSettingsControls();
  void ShowSettings();
  void ShowState();
  void ShowTrayState();
  void SyncWindowVisibility();

  bool Working() const;
  // Keeps the intent of a click that cannot run now, and shows it.
  void QueueProcessing(bool on, bool fromButton);
  // Runs what was kept, once nothing runs any more.
  void RunQueued();
  void ShowNotice();
  void ShowRunning();
  void TellRefused(const QString& text);
  void OnBstare();
  void OnBConfig2();
  void OnJetButton1();
  void OnTrayActivated(int reason);
  void OnMenuConfigurari();
  void OnMenuToggleProcessing();
  void ToggleSettingsPanel();
  void ShowFromTray();
  // Out of the way: into the tray, or minimised when there is no tray to come back from.
  void PutAway();
  void RemoveTray();
  void FinishClose();
  void CloseIfRequested();

  Driver& driver_;
  std::function<bool()> trayAvailable_;
  IDriverObserver* alsoTell_;

  QPushButton* bstare_ = nullptr;
  QLabel* i1_ = nullptr;
  QLabel* i2_ = nullptr;
  QPushButton* bconfig2_ = nullptr;
  QPushButton* biesire_ = nullptr;
  QPushButton* jetButton1_ = nullptr;
  QLabel* lcomunicatie_ = nullptr;
  QLabel* lasteptare_ = nullptr;  // the notice: what waits, or a refusal
  QLabel* loperatie_ = nullptr;   // the operation under way and its time
  QWidget* pinfo_ = nullptr;
  QWidget* pconfig_ = nullptr;
  QPlainTextEdit* malarma_ = nullptr;

  QComboBox* cport_ = nullptr;
  QButtonGroup* rrata_ = nullptr;
  QButtonGroup* rg_ = nullptr;
  QSpinBox* liniiAvans_ = nullptr;
  QComboBox* csintaxa_ = nullptr;
  QButtonGroup* rgErImpr_ = nullptr;
  QButtonGroup* rgErAnulare_ = nullptr;
  QButtonGroup* rgErModPlata_ = nullptr;
  QSpinBox* sforma_ = nullptr;

  QSystemTrayIcon* tray_ = nullptr;
  QMenu* popup_ = nullptr;
  QAction* menuConfigurari_ = nullptr;
  QAction* menuProcessing_ = nullptr;
  QAction* menuStop_ = nullptr;
  QTimer* ticks_ = nullptr;
  QTimer* trayWatch_ = nullptr;
  // Every second: the running operation's time, and a refusal whose time is up.
  QTimer* clockWatch_ = nullptr;

  bool showingSettings_ = false;  // settings shown since the last save
  bool updatingControls_ = false;
  int activities_ = 0;
  bool asking_ = false;  // "Sigur inchizi programul ?" is open
  bool closeRequested_ = false;
  // Kept for the end of the work in hand: the processing state asked for (and whether by
  // the start/stop button, which saves shown settings first), and "Stop program".
  std::optional<bool> wantedProcessing_;
  bool wantedByButton_ = false;
  bool stopProgramWanted_ = false;
  QString refusal_;  // the last refusal, shown until refusalUntilMs_ (the driver's clock)
  std::int64_t refusalUntilMs_ = 0;
  bool closeDone_ = false;
  // Z and X: when clicks on their button count again (the driver's monotonic clock).
  std::map<ManualOperation, std::int64_t> quietUntilMs_;
};

}  // namespace ruvo::gui
