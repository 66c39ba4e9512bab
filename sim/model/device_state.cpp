#include <cctype>
#include <cstdio>

#include "sim/model/device.h"
#include "sim/model/device_state.h"
#include "sim/model/fiscal_memory.h"

namespace kovrix::sim {

namespace {

// A serial number of 11 characters made from the model's letters and digits.
std::string FactorySerial(const std::string& model) {
  std::string stem;
  const std::size_t space = model.find(' ');
  for (std::size_t i = space == std::string::npos ? 0 : space + 1; i < model.size() && stem.size() < 4; ++i) {
    const auto c = static_cast<unsigned char>(model[i]);
    if (std::isalnum(c)) stem += static_cast<char>(std::toupper(c));
  }
  while (stem.size() < 4) stem += '0';
  return stem + "0000001";
}

}  // namespace

DeviceState FactoryState(const std::string& model, const std::string& version, std::size_t flashSize) {
  DeviceState s;
  s.model = model;
  s.version = version;
  s.serial = FactorySerial(model);

  const char* const kTaxNames[] = {"ПДВ_А", "ПДВ_Б", "ПДВ_В", "ПДВ_Г", "ПДВ_Д"};
  for (int i = 0; i < 5; ++i) {
    s.taxes[static_cast<std::size_t>(i)] = TaxRate{i < 2 ? 1 : 0, i == 0 ? 2000 : 0, Cp(kTaxNames[i]), -1};
  }
  s.header[0] = {Cp("ТОВ \"ДЕМО-МАГАЗИН\""), 0};
  s.header[1] = {Cp("м. Київ, вул. Хрещатик, 1"), 0};
  s.header[10] = {Cp("ДЯКУЄМО ЗА ПОКУПКУ!"), 0};

  for (std::size_t i = 0; i < s.operators.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%zu", i + 1);
    s.operators[i] = Operator{"482916", Cp("КАСИР ") + name, false, 0, 0};
  }
  s.paymentTypes = {
      {0x83, Cp("ГОТІВКА")}, {0x03, Cp("КАРТКА")}, {0x01, Cp("КРЕДИТ")}, {0x01, Cp("СЕРТИФІКАТ")}, {0x00, ""},
      {0x00, ""},            {0x00, ""},           {0x00, ""},          {0x00, ""},              {0x00, ""},
  };
  s.counters = {87, 0, 30, 0, 0, 0, 0, 1, 0, 0, 1, 524288, 0, 0, 0, 1};
  s.reminder.date = *ParseDeviceDate("010130");
  s.modem.personalisedAt = *ParseDeviceDate("150124", "1030");
  s.flash = FormatFlash(flashSize, s.serial, s.model, s.fiscalNumber);
  return s;
}

}  // namespace kovrix::sim
