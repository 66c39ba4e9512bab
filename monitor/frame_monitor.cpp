#include "monitor/frame_monitor.h"

#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/input_gate.h"
#include "app/screen_helpers.h"
#include "app/text_boxes.h"
#include "app/text_codec.h"
#include "driver/driver.h"
#include "monitor/recent_files.h"
#include "driver/commands.h"
#include "monitor/script/monitor_boxes.h"
#include "monitor/trace_lines.h"

namespace kovrix {
namespace {

const QString kCaption = QStringLiteral("Монитор для фискального регистратора + запуск скриптов");

QPushButton* Button(const QString& caption) {
  auto* button = new QPushButton(caption);
  button->setAutoDefault(false);  // Enter belongs to the code and data boxes
  return button;
}

QLineEdit* ReadOnlyBox() {
  auto* box = new QLineEdit;
  box->setReadOnly(true);
  return box;
}

}  // namespace

FrameMonitor::FrameMonitor(ScreenContext& context, QWidget* parent)
    : Screen(context, QStringLiteral("TForm28"), kCaption, parent), host_(*this, context.state, context.ui) {
  BuildWidgets();
  BuildLayout();
  ConnectHandlers();
}

void FrameMonitor::BuildWidgets() {
  trace_ = new QPlainTextEdit;
  trace_->setReadOnly(true);
  trace_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  commandGroup_ = new QGroupBox(QStringLiteral("Выполнение команды"));
  commandGroup_->setEnabled(false);
  code_ = new QLineEdit;
  code_->setMaxLength(2);
  password_ = new QLineEdit(QString::fromLatin1(kDefaultPassword));
  password_->setMaxLength(6);
  data_ = new QLineEdit;
  KeepToolTipWithText(data_);  // a script may put a long data text there
  send_ = Button(QStringLiteral("Выполнить"));
  addToList_ = Button(QStringLiteral("В список"));
  commandList_ = new QListWidget;
  send_->setEnabled(false);
  addToList_->setEnabled(false);

  error_ = ReadOnlyBox();
  status_ = ReadOnlyBox();
  statusButton_ = Button(QStringLiteral(".?."));
  statusButton_->setMaximumWidth(40);
  repeat_ = Button(QStringLiteral("Повторить команду"));
  noRepaint_ = new QCheckBox(QStringLiteral("Не перерисовывать форму"));
  quiet_ = new QCheckBox(QStringLiteral("Не выводить данные"));

  recentFiles_ = new QComboBox;  // a drop-down list: no typing
  recentFiles_->setMinimumContentsLength(40);
  openFile_ = Button(QStringLiteral("Открыть файл"));
  openFile_->setEnabled(false);
  run_ = Button(QStringLiteral("Выполнить"));
  stop_ = Button(QStringLiteral("Стоп"));
  continue_ = Button(QStringLiteral("Продолжить"));
  step_ = Button(QStringLiteral("Шаг"));
  variablesButton_ = Button(QStringLiteral("Переменные"));
  lineNumber_ = new QLineEdit(QStringLiteral("0"));
  lineNumber_->setMaximumWidth(80);
  clear_ = Button(QStringLiteral("Очистить сообщения"));
  exit_ = Button(QStringLiteral("Выход"));

  variables_ = new VariablesWindow(this);
}

void FrameMonitor::BuildLayout() {
  auto* command = new QFormLayout;
  command->addRow(QStringLiteral("Код команды: "), code_);
  command->addRow(QStringLiteral("Пароль: "), password_);
  command->addRow(QStringLiteral("Данные:"), data_);
  auto* commandButtons = new QHBoxLayout;
  commandButtons->addWidget(send_);
  commandButtons->addWidget(addToList_);
  auto* group = new QVBoxLayout(commandGroup_);
  group->addLayout(command);
  group->addLayout(commandButtons);
  group->addWidget(commandList_);

  auto* reply = new QFormLayout;
  reply->addRow(QStringLiteral("Код ошибки:"), error_);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(status_);
  statusRow->addWidget(statusButton_);
  reply->addRow(QStringLiteral("Статус:"), statusRow);

  auto* side = new QVBoxLayout;
  side->addWidget(commandGroup_);
  side->addLayout(reply);
  side->addWidget(repeat_);
  side->addWidget(noRepaint_);
  side->addWidget(quiet_);

  auto* top = new QHBoxLayout;
  top->addWidget(trace_, 1);
  top->addLayout(side);

  auto* file = new QHBoxLayout;
  file->addWidget(new QLabel(QStringLiteral("Имя  файла:")));
  file->addWidget(recentFiles_, 1);
  file->addWidget(openFile_);

  auto* script = new QHBoxLayout;
  for (QPushButton* button : {run_, stop_, continue_, step_, variablesButton_}) script->addWidget(button);
  script->addWidget(new QLabel(QStringLiteral("Ном. стр. скрипта:")));
  script->addWidget(lineNumber_);
  script->addStretch();

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(clear_);
  bottom->addStretch();
  bottom->addWidget(exit_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(file);
  layout->addLayout(script);
  layout->addLayout(bottom);
  resize(900, 560);
}

void FrameMonitor::ConnectHandlers() {
  connect(code_, &QLineEdit::textChanged, this, [this] { CodeChanged(); });
  connect(password_, &QLineEdit::textChanged, this, [this] { PasswordChanged(); });
  connect(code_, &QLineEdit::returnPressed, this, [this] { data_->setFocus(); });
  connect(data_, &QLineEdit::returnPressed, this, [this] { Guarded(ui(), [this] { QuickSend(); }); });
  connect(commandList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { LoadListEntry(item); });
  connect(recentFiles_, &QComboBox::activated, this, [this](int index) { RecentFileChosen(index); });
  OnClick(send_, [this] { Send(); });
  OnClick(addToList_, [this] { AddToList(); });
  OnClick(statusButton_, [this] { OpenStatusBytes(); });
  OnClick(repeat_, [this] { Repeat(); });
  OnClick(openFile_, [this] { OpenScriptFile(); });
  OnClick(run_, [this] { RunScript(&script::ScriptRunner::Run); });
  OnClick(stop_, [this] { host_.requestStop(); });
  InputGate::MarkStop(stop_);
  OnClick(continue_, [this] { RunScript(&script::ScriptRunner::Continue); });
  OnClick(step_, [this] { RunScript(&script::ScriptRunner::Step); });
  OnClick(variablesButton_, [this] { variables_->Open(); });
  OnClick(clear_, [this] { ClearTrace(); });
  OnClick(exit_, [this] { reject(); });
}

void FrameMonitor::Activate() {
  // Activation in the middle of a run (a message box of the run closing) leaves the run alone:
  // its file, its stop flag and the disabled buttons stay as they are until it ends.
  if (runner_.Running()) return;
  commandGroup_->setEnabled(true);
  code_->setFocus();
  send_->setEnabled(true);
  addToList_->setEnabled(true);
  openFile_->setEnabled(true);
  host_.clearStopRequest();
  runner_.SeedRandom(host_.randomSeed());
  LoadRecentFiles();
}

void FrameMonitor::reject() {
  if (runner_.Running()) return;
  Screen::reject();
}

void FrameMonitor::SetCodeText(const QString& text) {
  // Setting the same text emits no change signal, so the change handling runs here explicitly.
  {
    const QSignalBlocker blocker(code_);
    code_->setText(text);
  }
  CodeChanged();
}

void FrameMonitor::AppendTrace(const QString& line) { trace_->appendPlainText(line); }

// --- The command part -------------------------------------------------------------------------

void FrameMonitor::CodeChanged() {
  const bool complete = code_->text().size() == 2 && password_->text().size() == 6;
  send_->setEnabled(complete);
  if (!complete) return;
  // A bad character leaves the code decoded so far (0, or the high digit times 16).
  if (!script::DecodeCommandCode(ToCp1251(code_->text()), commandCode_)) {
    ui().ShowMessage(QStringLiteral("Неверный код команды!"));
  }
}

void FrameMonitor::PasswordChanged() {
  send_->setEnabled(code_->text().size() == 2 && password_->text().size() == 6);
}

std::string FrameMonitor::DataText() const { return ToCp1251(password_->text()) + ";" + ToCp1251(data_->text()); }

const ReplyRecord* FrameMonitor::ExecuteBoxes() {
  // A data text beyond one frame never goes out; saying so beats a time-out that never was.
  const ReplyRecord* reply = ExecuteFitting(ui(), commandCode_, DataText());
  if (reply) state().lastReply = reply;
  return reply;
}

void FrameMonitor::Send() {
  const ReplyRecord* reply = ExecuteBoxes();
  if (!reply || !ReplyArrived(reply)) return;
  if (!quiet_->isChecked()) {
    AppendTrace(FromCp1251(SendSentLine(ToCp1251(code_->text()), reply->sentFrame)));
    AppendTrace(FromCp1251(SendReceivedLine(reply->rawReply)));
  }
  ShowReplyBoxes(*reply, true);
}

void FrameMonitor::QuickSend() {
  const ReplyRecord* reply = ExecuteBoxes();
  if (!reply || !ReplyArrived(reply)) return;
  if (!quiet_->isChecked()) {
    AppendTrace(FromCp1251(WholeFrameLine("PC: ", reply->sentFrame)));
    AppendTrace(FromCp1251(WholeFrameLine("FP: ", reply->rawReply)));
  }
  ShowReplyBoxes(*reply, false);
}

void FrameMonitor::Repeat() {
  // No record means the link has nothing to repeat (no port open): nothing went out.
  const ReplyRecord* reply = RepeatCommand(false);
  if (reply) state().lastReply = reply;
  if (!ReplyArrived(reply)) return;
  if (!quiet_->isChecked()) {
    AppendTrace(FromCp1251(WholeFrameLine("PC: ", reply->sentFrame)));
    AppendTrace(FromCp1251(WholeFrameLine("FP: ", reply->rawReply)));
  }
  ShowReplyBoxes(*reply, true);
}

bool FrameMonitor::ReplyArrived(const ReplyRecord* reply) {
  if (!reply || (reply->status & ST_NO_REPLY)) {
    ui().ShowMessage(QStringLiteral("Ошибка выполнения команды. Таймаут"));
    return false;
  }
  if (reply->status & ST_BAD_CHECKSUM) {
    ui().ShowMessage(QStringLiteral("Неверная контрольная сумма"));
    return false;
  }
  return true;
}

void FrameMonitor::ShowReplyBoxes(const ReplyRecord& reply, bool withStatus) {
  error_->setText(FromCp1251(FrameErrorCode(reply.rawReply)));
  if (withStatus) status_->setText(FromCp1251(script::StatusBoxText(reply.statusBytes)));
}

void FrameMonitor::AddToList() { commandList_->addItem(CommandListEntry(code_->text(), data_->text())); }

void FrameMonitor::LoadListEntry(QListWidgetItem* item) {
  if (!item) return;
  const QString entry = item->text();
  SetCodeText(EntryCode(entry));
  ShowBoxText(data_, EntryData(entry));
}

void FrameMonitor::OpenStatusBytes() {
  if (state().connected) shell().OpenStatusBytes();
}

void FrameMonitor::ClearTrace() {
  trace_->clear();
  repaint();
}

// --- The script part --------------------------------------------------------------------------

void FrameMonitor::LoadRecentFiles() {
  recentFiles_->clear();
  recentFiles_->addItems(NonEmptyEntries(ReadRecentFiles(state().iniPath)));
  // Show the file a run would use when the list has it; otherwise nothing is selected.
  recentFiles_->setCurrentIndex(recentFiles_->findText(scriptFile_));
}

void FrameMonitor::OpenScriptFile() {
  const QString path = ui().OpenFileName(QStringLiteral("Открыть файл"), QDir::currentPath(),
                                         QStringLiteral("Текстовые файлы (*.txt *.TXT);;Все (*)"), QStringLiteral("txt"));
  if (path.isEmpty()) return;
  ChooseScript(path);
  // A path a "Files" key would give back cut or changed is used, but not remembered.
  if (!FitsRecentFiles(path)) {
    recentFiles_->setCurrentIndex(-1);
    return;
  }
  QStringList entries;
  for (int i = 0; i < recentFiles_->count(); ++i) entries << recentFiles_->itemText(i);
  const RecentFileChoice choice = ChooseRecentFile(entries, path);
  if (choice.added) {
    WriteRecentFiles(choice.files, state().iniPath);
    recentFiles_->clear();
    recentFiles_->addItems(NonEmptyEntries(choice.files));
  }
  recentFiles_->setCurrentIndex(choice.select);
}

void FrameMonitor::RecentFileChosen(int index) {
  if (index < 0 || runner_.Running()) return;
  ChooseScript(recentFiles_->itemText(index));
}

void FrameMonitor::ChooseScript(const QString& path) {
  scriptFile_ = path;
  lineNumber_->setText(QStringLiteral("0"));
  runner_.ClearVariables();
}

void FrameMonitor::RunScript(RunOperation operation) {
  if (runner_.Running()) return;
  // Events run between the script's lines: the buttons that would start a second run stay
  // disabled until this one ends, whichever way it ends.
  struct RunningLook {
    FrameMonitor& monitor;
    explicit RunningLook(FrameMonitor& m) : monitor(m) { monitor.SetRunning(true); }
    ~RunningLook() { monitor.SetRunning(false); }
  } look(*this);
  (runner_.*operation)(QFile::encodeName(scriptFile_).toStdString());
}

void FrameMonitor::SetRunning(bool running) {
  for (QWidget* widget : std::initializer_list<QWidget*>{run_, continue_, step_, openFile_, recentFiles_, exit_}) {
    widget->setEnabled(!running);
  }
}

}  // namespace kovrix
