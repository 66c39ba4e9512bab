#pragma once
// The main window (object name TForm1, like the designer names of the other forms): start-up,
// connection to the registrator, the model-dependent settings of the other screens, the state
// button, the bank-terminal port, USB recovery and the menu that opens every screen. It owns the
// connection state and creates every screen once.

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMap>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/about_box.h"
#include "app/command_console.h"
#include "app/connection_state.h"
#include "app/main_shell.h"
#include "app/screen.h"
#include "app/status_bytes_screen.h"
#include "app/ui_services.h"
#include "port/port_control.h"
#include "port/usb_port.h"

namespace kovrix {

class ArticleLoading;

class MainWindow : public QMainWindow, public MainShell, private UsbHost {
  Q_OBJECT

 public:
  /// A main window over a device registry (the system's, or a double) and the UI services.
  MainWindow(DeviceRegistry& registry, UiServices& ui, QWidget* parent = nullptr);
  ~MainWindow() override;

  /// The start-up sequence; runs once, at the first showing (a later call does nothing).
  void StartupSequence();
  /// The connect button: connects when the indicator is red, disconnects otherwise.
  void ConnectToggle();
  /// The state button: diagnostic information, then the status-bytes screen.
  void CheckRegistratorState();
  /// The terminal button: prepares or releases the bank-terminal port.
  void ConnectTerminalPort();
  /// The "Восстановить USB" button.
  void RecoverUsb();

  /// Ports that the start-up sequence puts into the port boxes in place of the file's choice
  /// (the simulated registrator and bank terminal); a preset terminal port shows its group and
  /// is prepared as by the terminal button.
  void PresetPorts(const QString& registratorPort, const QString& terminalPort);

  /// Makes a menu entry open a screen (in place of what it opened before); until then the entry
  /// stays disabled.
  void BindMenuEntry(const QString& entry, std::function<void()> open);
  /// Binds "Чтение и программирование": the standard or the extended-tax screen, chosen by the
  /// "ExtendedTax" key read at that moment and the access level.
  void BindFiscalParameterScreens(std::function<void()> standard, std::function<void()> extendedTax);
  /// Binds "Состояние модема": the short report (its caption extended by the model name while it
  /// is open) for the QX41 and KR-12 models, the general report for the others.
  void BindModemScreens(QDialog& shortReport, std::function<void()> general);

  // MainShell.
  void SetStatusText(const QString& text) override;
  void ShowDisconnected() override;
  QString PortText() const override;
  QString SpeedText() const override;
  bool SelectSpeed(const QString& speed) override;
  void OpenStatusBytes() override;

  ConnectionState& State() { return state_; }
  const std::string& UsbPortName() const { return usbPortName_; }
  StatusBytesScreen& StatusBytes() { return *statusBytes_; }
  CommandConsole& Console() { return *console_; }

  // Widgets, for the tests and for screens that follow the main window.
  QComboBox* PortBox() const { return portBox_; }
  QComboBox* SpeedList() const { return speedList_; }
  QPushButton* ConnectButton() const { return connectButton_; }
  QPushButton* StateButton() const { return stateButton_; }
  QPushButton* UsbButton() const { return usbButton_; }
  QPushButton* CloseButton() const { return closeButton_; }
  QGroupBox* TerminalGroup() const { return terminalGroup_; }
  QComboBox* TerminalPortBox() const { return terminalPortBox_; }
  QComboBox* TerminalSpeedBox() const { return terminalSpeedBox_; }
  QPushButton* TerminalButton() const { return terminalButton_; }
  QColor IndicatorColor() const;
  QColor TerminalIndicatorColor() const;
  QString StatusText() const;
  /// Answers the menu-bar menu of a title, or the action of an entry (entry text or menu title).
  QAction* Action(const QString& text) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  /// What the model allows of a menu entry.
  enum class EntryRule {
    Always,          // enabled once its screen is bound
    SecondLineOnly,  // enabled for the second model line only
    NotSecondLine,   // enabled for every model but the second line
    HiddenForModem,  // hidden for the models with a modem
    WithMenus,       // enabled with the device menus (while connected), whatever the model
    OutsideStartup,  // enabled but during the start-up sequence, whatever the model
  };
  /// Creates an entry's screen once; answers what choosing the entry runs.
  using Maker = std::function<void()> (MainWindow::*)();
  struct MenuRow;
  static const std::vector<MenuRow>& MenuRows();
  /// The text of the entry whose row makes its screen with make.
  static QString EntryMadeBy(Maker make);

  void BuildLayout();
  void BuildMenu();
  void CreateScreens();

  // Makers of the menu rows.
  template <class Screen>
  std::function<void()> Modal();  // a screen shown modally
  std::function<void()> OpenConsole();
  std::function<void()> OpenAbout();
  std::function<void()> OpenArticleLoading();
  std::function<void()> OpenFiscalReceipt();
  std::function<void()> OpenFiscalParameters();
  std::function<void()> OpenModemState();
  ArticleLoading& Articles();  // the article loader, which the fiscal receipt sells from
  QAction* AboutEntry() const;
  std::function<void()> FiscalParametersChoice(std::function<void()> standard, std::function<void()> extendedTax);
  std::function<void()> ModemStateChoice(QDialog& shortReport, std::function<void()> general);
  void SetIndicator(QFrame* indicator, const QColor& color);
  void FitSize();
  void SetMenusEnabled(bool enabled);
  void UpdateModelEntries();

  // Start-up steps.
  void ListPorts();
  void CreateIniFileIfMissing();
  void PreselectPortAndSpeed();
  void ApplyPresetPorts();

  // Connect and disconnect.
  void Connect();
  void Disconnect();
  void ApplyModelSettings(const ReplyRecord& reply);
  /// Says in the status bar that the registrator did not answer, until a command gets an answer.
  void ShowNoAnswer();
  void ClearNoAnswerOnReply();
  std::string IniText(const char* section, const char* key, const char* fallback, std::size_t size) const;
  int IniInt(const char* section, const char* key, int fallback) const;

  // UsbHost.
  void ShowMessage(const std::string& text) override;
  void SetCaption(const std::string& caption) override;
  void LetEventsRun(int ms) override;
  void CloseLink() override;
  void ShowLinkClosed() override;
  void EnableRecovery(bool enabled) override;

  DeviceRegistry& registry_;
  UiServices& ui_;
  ConnectionState state_;
  ScreenContext context_;
  TPortControl PortControl1;
  std::string usbPortName_;
  QString presetPort_;
  QString presetTerminalPort_;
  bool startupDone_ = false;
  bool secondLineModel_ = false;
  bool modemModel_ = false;
  QTimer* noAnswerTimer_ = nullptr;  // watches for an answer while the no-answer note shows

  QComboBox* portBox_ = nullptr;
  QComboBox* speedList_ = nullptr;
  QFrame* indicator_ = nullptr;
  QPushButton* connectButton_ = nullptr;
  QPushButton* stateButton_ = nullptr;
  QPushButton* usbButton_ = nullptr;
  QGroupBox* terminalGroup_ = nullptr;
  QComboBox* terminalPortBox_ = nullptr;
  QComboBox* terminalSpeedBox_ = nullptr;
  QFrame* terminalIndicator_ = nullptr;
  QPushButton* terminalButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QLabel* statusLabel_ = nullptr;

  QList<QMenu*> deviceMenus_;           // the five menus that need an open port
  QMap<QString, QAction*> actions_;     // entries and menu titles by text
  QMap<QAction*, EntryRule> rules_;     // each entry's rule, from its row
  QMap<QString, bool> bound_;           // entries whose screen exists

  // Screens, children of the window: created once, kept for the whole run.
  StatusBytesScreen* statusBytes_ = nullptr;
  CommandConsole* console_ = nullptr;
  AboutBox* about_ = nullptr;
  ArticleLoading* articles_ = nullptr;
};

}  // namespace kovrix
