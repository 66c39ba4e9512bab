#pragma once
// An in-memory device registry for tests: a list of devices, a switch that makes the class
// unknown, chosen outcomes for state changes, and a record of every change asked for.

#include <string>
#include <vector>

#include "port/device_registry.h"

namespace kovrix {

class MemoryDeviceRegistry final : public DeviceRegistry {
 public:
  std::vector<PortDevice> devices;
  bool classMissing = false;                       // PresentDevices answers none
  StateChange disableOutcome = StateChange::Done;  // what ChangeState(…, false) answers
  StateChange enableOutcome = StateChange::Done;   // what ChangeState(…, true) answers
  std::vector<std::string> changes;                // "disable <id>" / "enable <id>", in order
  int listings = 0;                                // PresentDevices calls

  /// Appends a device with a readable port name and friendly name; answers the registry.
  MemoryDeviceRegistry& Add(const std::string& portName, const std::string& friendlyName,
                            const std::string& id = {});

  /// Answers the devices for the class "Ports" (any letter case); none for other classes.
  std::optional<std::vector<PortDevice>> PresentDevices(const std::string& className) override;
  /// Records the change and answers the chosen outcome.
  StateChange ChangeState(const PortDevice& device, bool enable) override;
};

}  // namespace kovrix
