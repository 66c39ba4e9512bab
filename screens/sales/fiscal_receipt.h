#pragma once

#include <cstdint>
#include <optional>
#include <string>
// The dialog "Фискальный чек": drives one fiscal receipt step by step (open, sell programmed
// articles, comments, discounts and surcharges, total, payments, close, annulment, barcode and
// customer display). The registrator holds the receipt and refuses what is out of order; the
// dialog keeps no receipt state. Card payments go through the bank terminal on its own port.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <string>

#include "app/screen.h"
#include "driver/driver.h"
#include "screens/sales/card_terminal.h"

namespace kovrix {

class ArticleLoading;
struct ReplyRecord;

/// Answers whether a payment of this type goes through the card path: a type other than 0 on a
/// registrator with protocol "4.00" or "5.00", or with the electronic journal "КСЕФ".
bool UsesCardPath(int paymentType, const std::string& protocolVersion, const std::string& elJournal);

class FiscalReceipt : public Screen {
  Q_OBJECT

 public:
  FiscalReceipt(ScreenContext& context, ArticleLoading& articles, QWidget* parent = nullptr);

  /// Replaces the waits of the card payment (tests shrink them).
  void SetTerminalTiming(TerminalTiming timing) { terminalTiming_ = timing; }
  /// Replaces where the terminal messages of a card payment are logged (the session log by default).
  void SetTerminalLog(std::function<void(const std::string&, const std::string&)> log) { terminalLog_ = std::move(log); }

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* OperatorBox() const { return operator_; }
  QCheckBox* ReturnBox() const { return returnReceipt_; }
  QCheckBox* DisplayBox() const { return showOnDisplay_; }
  QLineEdit* CommentBox() const { return comment_; }
  QComboBox* DisplayModeList() const { return displayMode_; }
  QListWidget* ArticleList() const { return articleList_; }
  QLineEdit* ArticleLineBox() const { return articleLine_; }
  QLineEdit* QuantityBox() const { return quantity_; }
  QLineEdit* PriceBox() const { return price_; }
  QLineEdit* BarcodeBox() const { return barcode_; }
  QLineEdit* PercentBox() const { return percent_; }
  QLineEdit* PercentGroupBox() const { return percentGroup_; }
  QLineEdit* AbsoluteBox() const { return absolute_; }
  QLineEdit* AbsoluteGroupBox() const { return absoluteGroup_; }
  QLineEdit* TotalBox() const { return total_; }
  QComboBox* PaymentTypeList() const { return paymentType_; }
  QLineEdit* PaymentAmountBox() const { return paymentAmount_; }
  QLineEdit* ErrorCodeBox() const { return errorCode_; }
  QCheckBox* OwnTransactionBox() const { return ownTransaction_; }
  QLineEdit* TransactionBox() const { return transaction_; }
  QCheckBox* NoCardInfoBox() const { return noCardInfo_; }

  QPushButton* OpenButton() const { return open_; }
  QPushButton* CommentButton() const { return printComment_; }
  QPushButton* SellButton() const { return sell_; }
  QPushButton* ItemPercentButton() const { return itemPercent_; }
  QPushButton* SubtotalPercentButton() const { return subtotalPercent_; }
  QPushButton* GroupPercentButton() const { return groupPercent_; }
  QPushButton* ItemAbsoluteButton() const { return itemAbsolute_; }
  QPushButton* SubtotalAbsoluteButton() const { return subtotalAbsolute_; }
  QPushButton* GroupAbsoluteButton() const { return groupAbsolute_; }
  QPushButton* TotalButton() const { return printTotal_; }
  QPushButton* PayButton() const { return pay_; }
  QPushButton* CloseReceiptButton() const { return closeReceipt_; }
  QPushButton* AnnulButton() const { return annulAll_; }
  QPushButton* AnnulStartButton() const { return annulStart_; }
  QPushButton* AnnulEndButton() const { return annulEnd_; }
  QPushButton* AnnulCancelButton() const { return annulCancel_; }
  QPushButton* BarcodeButton() const { return printBarcode_; }
  QPushButton* DisplayButton() const { return showText_; }
  QPushButton* StatusButton() const { return status_; }
  QPushButton* CloseButton() const { return close_; }
  /// The small window shown while the terminal waits for the customer, and its cancel button.
  QDialog* CardWaitWindow() const { return cardWait_; }
  QPushButton* CardCancelButton() const { return cardCancel_; }

 protected:
  void Activate() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  /// The password box's text; a ";" in it ends the handler (InputError) before anything is sent.
  std::string Password() const;
  /// The comment box's text, checked like the password.
  QString Comment() const;
  /// Shows the reply's error code, enables the status button and reports a time-out or an error.
  bool Result(const ReplyRecord& reply, const QString& timeoutMessage, const QString& errorMessage);
  void EarlierSettled(const ReplyRecord* answer) override;
  void OpenReceipt();
  void PrintComment();
  void Sell();
  void Discount(int kind, bool percent);
  void PrintReceiptTotal();
  void Pay();
  void PayByCard(int paymentType, const QString& amountText);
  void CompleteCardPayment(const std::string& password, int paymentType, const QString& amountText,
                           const CardPaymentData& card, bool fromTerminal);
  void Annul(int mode);
  void PrintBarcode();
  void ShowOnDisplay();
  void CloseScreen();

  ArticleLoading& articles_;
  TerminalTiming terminalTiming_;
  std::function<void(const std::string&, const std::string&)> terminalLog_ = WriteLog;
  bool cardCancelled_ = false;

  QLineEdit* password_ = nullptr;
  QLineEdit* operator_ = nullptr;
  QCheckBox* returnReceipt_ = nullptr;
  QCheckBox* showOnDisplay_ = nullptr;
  QLineEdit* comment_ = nullptr;
  QComboBox* displayMode_ = nullptr;
  QListWidget* articleList_ = nullptr;
  QLineEdit* articleLine_ = nullptr;
  QLineEdit* quantity_ = nullptr;
  QLineEdit* price_ = nullptr;
  QLineEdit* barcode_ = nullptr;
  QLineEdit* percent_ = nullptr;
  QLineEdit* percentGroup_ = nullptr;
  QLineEdit* absolute_ = nullptr;
  QLineEdit* absoluteGroup_ = nullptr;
  QLineEdit* total_ = nullptr;
  QComboBox* paymentType_ = nullptr;
  QLineEdit* paymentAmount_ = nullptr;
  QLineEdit* errorCode_ = nullptr;
  QCheckBox* ownTransaction_ = nullptr;
  QLineEdit* transaction_ = nullptr;
  QCheckBox* noCardInfo_ = nullptr;

  /// A purchase the terminal approved that the registrator has not recorded yet: the next payment
  /// records it with its identifier, never with a second purchase unless the operator says so.
  struct PendingCharge {
    std::string transaction;
    QString amount;
    int paymentType = 0;
  };
  std::optional<PendingCharge> pendingCharge_;
  void HoldCharge(const PendingCharge& charge);
  /// Shows the card payment's outcome; a recorded payment releases the charge held for it.
  void FinishCardPayment(const ReplyRecord& reply, const QString& timeoutMessage, const QString& errorMessage);
  void ReleaseCharge();

  QPushButton* open_ = nullptr;
  QPushButton* printComment_ = nullptr;
  QPushButton* sell_ = nullptr;
  QPushButton* itemPercent_ = nullptr;
  QPushButton* subtotalPercent_ = nullptr;
  QPushButton* groupPercent_ = nullptr;
  QPushButton* itemAbsolute_ = nullptr;
  QPushButton* subtotalAbsolute_ = nullptr;
  QPushButton* groupAbsolute_ = nullptr;
  QPushButton* printTotal_ = nullptr;
  QPushButton* pay_ = nullptr;
  QPushButton* closeReceipt_ = nullptr;
  QPushButton* annulAll_ = nullptr;
  QPushButton* annulStart_ = nullptr;
  QPushButton* annulEnd_ = nullptr;
  QPushButton* annulCancel_ = nullptr;
  QPushButton* printBarcode_ = nullptr;
  QPushButton* showText_ = nullptr;
  QPushButton* status_ = nullptr;
  QPushButton* close_ = nullptr;
  QDialog* cardWait_ = nullptr;
  QPushButton* cardCancel_ = nullptr;
};

}  // namespace kovrix
