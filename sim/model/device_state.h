#pragma once
// Everything the simulated registrator remembers: settings, bases, the shift, the open
// receipt and the fiscal memory image. Texts are cp1251 bytes, as on the wire; money is in
// hundredths, quantities in thousandths, times are naive device seconds (see values.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/model/values.h"

namespace kovrix::sim {

struct TaxRate {
  int type = 0;            // 0 forbidden, 1 included, 2 added, 3 exempt, 4..7 second-tax kinds
  std::int64_t rate = 0;   // percent in hundredths
  std::string name;
  int link = -1;           // linked tax number, -1 none
  bool operator==(const TaxRate&) const = default;
};

struct HeaderLine {
  std::string text;
  int width = 0;  // 0 single, 1 double
  bool operator==(const HeaderLine&) const = default;
};

struct Article {
  std::int64_t code = 0;
  std::string name;
  std::int64_t price = 0;
  int taxGroup = 0;
  int department = 0;
  std::int64_t soldQuantity = 0;  // since the last clearing of the sales base
  std::int64_t soldSum = 0;
  bool operator==(const Article&) const = default;
};

struct Operator {
  std::string password;
  std::string name;
  bool madeSales = false;
  std::int64_t shiftSales = 0;
  int shiftReceipts = 0;
  bool operator==(const Operator&) const = default;
};

struct PaymentType {
  int mask = 0;  // 0x01 sale, 0x02 refund, 0x80 change in cash
  std::string name;
  bool operator==(const PaymentType&) const = default;
};

struct RegistratorParams {
  int speed = 115200;
  int contrast = 0;
  int documentFlags = 0;
  int printFlags = 0;
  int drawerOpenPulse = 0x32;
  int drawerClosePulse = 0x32;
  int nameLineChars = 20;
  bool operator==(const RegistratorParams&) const = default;
};

struct NetworkSettings {
  bool dhcp = true;
  std::uint32_t address = 0xC0A80164;  // 192.168.1.100
  std::uint32_t mask = 0xFFFFFF00;
  std::uint32_t gateway = 0xC0A80101;
  std::uint32_t server = 0x0A000002;
  int port = 5000;
  int period = 60;
  int retry = 30;
  bool operator==(const NetworkSettings&) const = default;
};

struct ServiceReminder {
  std::string password;  // empty until the service engineer sets one
  DeviceTime date = 0;
  int days = 0;
  int mask = 0;
  std::vector<std::string> message;
  std::vector<std::string> pending;  // lines collected for the next programming
  bool operator==(const ServiceReminder&) const = default;
};

struct ModemState {
  bool personalised = true;
  DeviceTime personalisedAt = 0;
  bool ethernet = true;
  bool samFault = false;
  bool cardFault = false;
  bool technicalRegistration = true;
  int undelivered = 0;            // documents not yet passed on
  DeviceTime firstUndelivered = 0;
  bool operator==(const ModemState&) const = default;
};

struct ReceiptItem {
  std::int64_t code = 0;
  std::string name;
  std::int64_t quantity = 0;
  std::int64_t price = 0;
  std::int64_t amount = 0;    // quantity x price, rounded
  std::int64_t discount = 0;  // item discount (negative) or surcharge
  int taxGroup = 0;
  int department = 0;
  bool annulled = false;
  bool marked = false;  // chosen for removal in the annulment mode
  bool operator==(const ReceiptItem&) const = default;
};

struct Adjustment {
  int taxGroup = -1;  // -1 for the subtotal
  std::int64_t amount = 0;
  bool operator==(const Adjustment&) const = default;
};

struct Payment {
  int type = 0;
  std::int64_t amount = 0;
  std::string transaction;
  bool operator==(const Payment&) const = default;
};

enum ReceiptKind { kNoReceipt = 0, kSaleReceipt = 1, kTextReceipt = 2, kCashReceipt = 3 };

// Receipt states as status byte 2 reports them in its low nibble.
enum ReceiptState {
  kClosed = 0,
  kOpened = 1,
  kSold = 2,
  kPaying = 3,
  kPaid = 4,
  kTextOpen = 5,
  kSubtotalAdjusted = 6,
  kCashOpen = 7,
  kAnnulling = 9,
};

struct Receipt {
  int kind = kNoReceipt;
  int state = kClosed;
  bool isReturn = false;
  int operatorNumber = 0;
  int stateBeforeAnnulling = kClosed;
  std::int64_t serviceCash = 0;  // moved by a service cash receipt, booked when it closes
  std::vector<ReceiptItem> items;
  std::vector<Adjustment> adjustments;
  std::vector<Payment> payments;
  std::vector<std::string> lines;  // printed so far, kept for the copy
  bool operator==(const Receipt&) const = default;
};

struct ShiftTotals {
  std::array<std::int64_t, 5> sales{};
  std::array<std::int64_t, 5> returns{};
  std::array<std::int64_t, 10> salePayments{};
  std::array<std::int64_t, 10> returnPayments{};
  std::array<std::int64_t, 100> departments{};
  int receipts = 0;
  int returnReceipts = 0;
  int annulled = 0;
  std::int64_t cashIn = 0;
  std::int64_t cashOut = 0;
  std::int64_t adjustments = 0;
  bool operator==(const ShiftTotals&) const = default;
};

struct Shift {
  bool open = false;
  DeviceTime openedAt = 0;
  ShiftTotals totals;
  bool operator==(const Shift&) const = default;
};

struct StoredReceipt {
  int number = 0;
  std::vector<std::string> lines;
  bool operator==(const StoredReceipt&) const = default;
};

struct DeviceState {
  // Identity.
  std::string model = "Veltra KR-23";
  std::string version = "3.01";
  std::string serial;
  bool serialProgrammed = false;  // the service engineer's one programming of the serial number
  bool fiscalised = false;
  std::string inspectorPassword;
  std::string fiscalNumber;
  std::string taxId;
  std::string taxNumber;
  std::int64_t idDev = 0;
  bool idDevSet = false;
  std::string firmwareDate = "120314";

  // Clock: device time = the machine's wall clock + offset.
  std::int64_t clockOffset = 0;
  bool dateSet = true;
  bool restartNeeded = false;

  // Programming.
  std::array<TaxRate, 5> taxes{};
  std::array<HeaderLine, 21> header{};
  std::vector<Article> articles;
  int articleCapacity = 10000;
  std::array<Operator, 16> operators{};
  std::string programmingPassword = "482916";
  std::string reportsPassword = "482916";
  std::string adminPassword = "482916";
  std::vector<PaymentType> paymentTypes;
  RegistratorParams params;
  int decimalPoint = 2;
  ServiceReminder reminder;
  std::array<std::int64_t, 16> counters{};
  NetworkSettings network;
  ModemState modem;
  DeviceTime lastAcquirer = 0;  // 0 = no session yet
  std::string logo;             // bytes written by the logo lines
  int logoWidth = 0;
  int logoHeight = 0;
  int logoCapacity = 4800;
  int logoMaxWidth = 384;

  // Fiscal memory image.
  std::string flash;

  // Shift and documents.
  Shift shift;
  Receipt receipt;
  std::int64_t cash = 0;
  int receiptNumber = 0;  // running number of the last closed fiscal receipt
  int zNumber = 0;        // number of the last Z report
  int emergencyResets = 0;
  std::vector<StoredReceipt> copies;
  std::vector<std::string> controlTape;
  std::array<std::string, 2> display{};

  // Data buffer of the bulk reading.
  int dataSource = -1;
  std::string dataBuffer;
  std::int64_t dataOffset = 0;
  int packetNumber = 0;

  bool usbStorage = false;

  bool operator==(const DeviceState&) const = default;
};

/// Most fiscal receipts kept for copies.
inline constexpr std::size_t kStoredReceipts = 200;

/// Answers a factory-fresh registrator of the model (version, flash size in bytes).
DeviceState FactoryState(const std::string& model = "Veltra KR-23", const std::string& version = "3.01",
                         std::size_t flashSize = 65536);

}  // namespace kovrix::sim
