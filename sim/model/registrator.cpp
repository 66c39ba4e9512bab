#include "sim/model/registrator.h"

namespace kovrix::sim {

Registrator::Registrator(DeviceState state, Device::WallClock clock) : dev_(std::move(state), std::move(clock)) {
  AddClockAndSettingsCommands(table_);
  AddFiscalCommands(table_);
  AddArticleCommands(table_);
  AddReceiptCommands(table_);
  AddPaymentCommands(table_);
  AddReportCommands(table_);
  AddServiceCommands(table_);
  AddMemoryCommands(table_);
  byCode_.fill(-1);
  for (std::size_t i = 0; i < table_.size(); ++i) byCode_[table_[i].code] = static_cast<int>(i);
}

bool Registrator::PasswordAccepted(Access access, const std::string& password) const {
  const DeviceState& s = dev_.s;
  switch (access) {
    case Access::None:
      return true;
    case Access::Admin:
      return password == s.adminPassword;
    case Access::Programming:
      return password == s.programmingPassword || password == s.adminPassword;
    case Access::Reports:
      return password == s.reportsPassword || password == s.adminPassword;
    case Access::Any:
      if (password == s.programmingPassword || password == s.reportsPassword || password == s.adminPassword) {
        return true;
      }
      for (const Operator& op : s.operators) {
        if (!op.password.empty() && op.password == password) return true;
      }
      return false;
  }
  return false;
}

Reply Registrator::handle(const Request& request) {
  ++executed_;
  Reply reply;
  const int index = byCode_[request.command];
  const CommandEntry* entry = index < 0 ? nullptr : &table_[static_cast<std::size_t>(index)];
  if (entry == nullptr) {
    reply.error = err::kUnknownCommand;
  } else if (request.data.empty() && entry->access != Access::None) {
    reply.error = err::kNoData;
  } else {
    const Args args(request.data);
    try {
      if (!PasswordAccepted(entry->access, args.optional(1))) throw Refusal{err::kPassword};
      reply.data = entry->handler(dev_, args);
    } catch (const Refusal& refusal) {
      reply.error = refusal.code;
      reply.data.clear();
    }
  }
  reply.status = dev_.Status();
  return reply;
}

}  // namespace kovrix::sim
